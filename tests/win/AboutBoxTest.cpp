// The About box: its texts come from the version block of the module that
// shows it, as the system itself reads that block, and each fits its label.
#include <cmath>
#include <vector>

#include "app/Twips.h"
#include "app/frmAbout.h"
#include "app/resource.h"
#include "tests/win/WinTestSupport.h"

using vorpa::test::MainWindowTest;

namespace {

constexpr wchar_t kDescription[] =
    L"このソフトは、お気に入り等にあるファイルのリンク先であるURLアドレスをファイルのパスと共に一覧表示させます";

// The texts a module's version block gives, read by version.dll: a reader
// other than the program's own.
frmAbout::Texts SystemReading(const std::wstring& file) {
  frmAbout::Texts t;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<BYTE> data(size);
  if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return t;
  WORD* tr = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &len) || len < 4)
    return t;
  const auto value = [&](const wchar_t* name) {
    wchar_t path[96];
    swprintf(path, 96, L"\\StringFileInfo\\%04x%04x\\%ls", tr[0], tr[1], name);
    wchar_t* v = nullptr;
    UINT n = 0;
    return VerQueryValueW(data.data(), path, reinterpret_cast<void**>(&v), &n) && v ? std::wstring(v) : std::wstring();
  };
  VS_FIXEDFILEINFO* fixed = nullptr;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed) return t;
  t.caption = L"ﾊﾞｰｼﾞｮﾝ情報 " + value(L"Comments");
  t.title = value(L"FileDescription");
  t.version = L"Version " + std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
              std::to_wstring(LOWORD(fixed->dwFileVersionMS));
  t.description = kDescription;
  t.disclaimer = L"警告:  " + value(L"LegalCopyright");
  return t;
}

std::wstring ModuleFile(HMODULE module) {
  wchar_t file[MAX_PATH * 4] = {};
  GetModuleFileNameW(module, file, static_cast<DWORD>(std::size(file)));
  return file;
}

void ExpectSameTexts(const frmAbout::Texts& got, const frmAbout::Texts& want) {
  EXPECT_EQ(got.caption, want.caption);
  EXPECT_EQ(got.title, want.title);
  EXPECT_EQ(got.version, want.version);
  EXPECT_EQ(got.description, want.description);
  EXPECT_EQ(got.disclaimer, want.disclaimer);
}

}  // namespace

TEST(AboutBox, ReadsTheVersionBlockOfTheModuleItIsGiven) {
  const std::wstring own = ModuleFile(nullptr);
  const frmAbout::Texts mine = SystemReading(own);
  EXPECT_EQ(mine.caption, L"ﾊﾞｰｼﾞｮﾝ情報 Quenmora");
  EXPECT_EQ(mine.title, L"VORPA");
  EXPECT_EQ(mine.version, L"Version 2.0");
  ExpectSameTexts(frmAbout::LoadTexts(GetModuleHandleW(nullptr)), mine);

  // A system program: another language, other texts, another version.
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring other = std::wstring(system) + L"\\winver.exe";
  const frmAbout::Texts theirs = SystemReading(other);
  ASSERT_FALSE(theirs.title.empty());
  ASSERT_NE(theirs.disclaimer, mine.disclaimer);
  HMODULE data = LoadLibraryExW(other.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(data, nullptr);
  ExpectSameTexts(frmAbout::LoadTexts(data), theirs);
  FreeLibrary(data);
}

namespace {

struct Label {
  int id;
  std::wstring text;
  SIZE need{}, have{};  // pixels: what the text takes, wrapped in the label's width, and the label's client area
};

struct AboutProbe {
  UINT key = VK_RETURN;
  frmAbout::Texts shown;
  std::vector<Label> labels;
  bool seen = false;
};
AboutProbe* g_probe = nullptr;

// Measures the text as a static control draws it: in its font, broken at
// words within its width.
Label Measure(HWND dlg, int id) {
  Label l;
  l.id = id;
  HWND c = GetDlgItem(dlg, id);
  wchar_t buf[512] = {};
  GetWindowTextW(c, buf, 512);
  l.text = buf;
  RECT client{};
  GetClientRect(c, &client);
  l.have = {client.right, client.bottom};
  HDC dc = GetDC(c);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
  RECT r{0, 0, client.right, 0};
  DrawTextW(dc, buf, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(c, dc);
  l.need = {r.right - r.left, r.bottom - r.top};
  return l;
}

void CALLBACK AboutTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dlg = vorpa::test::FindThreadDialog(GetCurrentThreadId());
  if (!dlg || g_probe->seen) return;
  g_probe->seen = true;
  KillTimer(nullptr, id);
  wchar_t buf[256] = {};
  GetWindowTextW(dlg, buf, 256);
  g_probe->shown.caption = buf;
  for (int label : {IDC_LBLTITLE, IDC_LBLVERSION, IDC_LBLDESCRIPTION, IDC_LBLDISCLAIMER})
    g_probe->labels.push_back(Measure(dlg, label));
  g_probe->shown.title = g_probe->labels[0].text;
  g_probe->shown.version = g_probe->labels[1].text;
  g_probe->shown.description = g_probe->labels[2].text;
  g_probe->shown.disclaimer = g_probe->labels[3].text;
  // The key goes to the focused control, as a user's press would.
  HWND focus = GetFocus();
  PostMessageW(focus ? focus : dlg, WM_KEYDOWN, g_probe->key, 0);
  PostMessageW(focus ? focus : dlg, WM_KEYUP, g_probe->key, 0);
}

}  // namespace

TEST_F(MainWindowTest, AboutBoxShowsTheVersionBlockInFullAndClosesWithEnterOrEscape) {
  const frmAbout::Texts want = SystemReading(ModuleFile(nullptr));
  for (UINT key : {VK_RETURN, VK_ESCAPE, VK_RETURN}) {
    AboutProbe probe;
    probe.key = key;
    g_probe = &probe;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AboutTimer);
    Command(IDM_VER);  // returns only when the box has closed
    KillTimer(nullptr, timer);
    g_probe = nullptr;
    ASSERT_TRUE(probe.seen) << "no About box appeared";
    ExpectSameTexts(probe.shown, want);
    for (const Label& l : probe.labels) {
      EXPECT_TRUE(l.need.cx <= l.have.cx && l.need.cy <= l.have.cy)
          << testing::PrintToString(l.text) << " needs " << l.need.cx << " x " << l.need.cy << " pixels, has "
          << l.have.cx << " x " << l.have.cy;
    }
    EXPECT_TRUE(IsWindowEnabled(form().hwnd()));
  }
}

// At 100 % to 200 % scaling every label holds its text, measured in the
// fonts made for that DPI, and stays inside the box.
TEST(AboutBox, EveryLabelHoldsItsTextAtEachScaling) {
  const frmAbout::Texts texts = frmAbout::LoadTexts(GetModuleHandleW(nullptr));
  ASSERT_FALSE(texts.disclaimer.empty());
  const struct {
    int id;
    const std::wstring& text;
    bool title;
  } labels[] = {{IDC_LBLTITLE, texts.title, true},
                {IDC_LBLVERSION, texts.version, false},
                {IDC_LBLDESCRIPTION, texts.description, false},
                {IDC_LBLDISCLAIMER, texts.disclaimer, false}};
  HDC dc = GetDC(nullptr);
  for (int dpi : {96, 120, 144, 168, 192}) {
    frmAbout::Fonts fonts = frmAbout::CreateFonts(dpi);
    SIZE client{};
    const std::vector<frmAbout::Placement> placed = frmAbout::LayOut(texts, fonts, dpi, client);
    for (const auto& label : labels) {
      RECT have{};
      for (const frmAbout::Placement& p : placed)
        if (p.id == label.id) have = p.rect;
      const HGDIOBJ old = SelectObject(dc, label.title ? fonts.title.get() : fonts.label.get());
      RECT need{0, 0, have.right - have.left, 0};
      DrawTextW(dc, label.text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
      SelectObject(dc, old);
      EXPECT_TRUE(need.right <= have.right - have.left && need.bottom <= have.bottom - have.top)
          << dpi << " DPI: " << testing::PrintToString(label.text) << " needs " << need.right << " x " << need.bottom
          << " pixels, has " << have.right - have.left << " x " << have.bottom - have.top;
      EXPECT_TRUE(have.left >= 0 && have.top >= 0 && have.right <= client.cx && have.bottom <= client.cy) << dpi;
    }
    // The box keeps its design size where the texts allow.
    EXPECT_GE(client.cx, MulDiv(4680, dpi, 1440));
    EXPECT_GE(client.cy, MulDiv(2250, dpi, 1440));
  }
  ReleaseDC(nullptr, dc);
}

// Moved to a monitor with other scaling, the main window takes the size the
// system suggests and lays its list out in the twips of the new DPI, and the
// columns keep their share.
TEST_F(MainWindowTest, FollowsTheDpiOfItsMonitor) {
  const int before = vorpa::ScreenDpi();
  const int column = HeaderWidth(1);
  for (int dpi : {144, before}) {
    RECT suggested{10, 20, 10 + MulDiv(800, dpi, 96), 20 + MulDiv(500, dpi, 96)};
    SendMessageW(form().hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT window{};
    GetWindowRect(form().hwnd(), &window);
    EXPECT_EQ(window.right - window.left, suggested.right - suggested.left) << dpi;
    RECT client{};
    GetClientRect(form().hwnd(), &client);
    RECT r{};
    GetWindowRect(list(), &r);
    MapWindowPoints(nullptr, form().hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, MulDiv(90, dpi, 1440)) << dpi;
    EXPECT_EQ(r.right - r.left, static_cast<int>(std::lround((client.right * 1440.0 / dpi - 180) * dpi / 1440.0)))
        << dpi;
    EXPECT_NEAR(HeaderWidth(1), MulDiv(column, dpi, before), 1) << dpi;
    // The list's font is one for the new DPI.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(list(), WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    LOGFONTW system{};
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof system, &system, 0);
    if (dpi != before || font) {
      ASSERT_TRUE(font && GetObjectW(font, sizeof lf, &lf)) << dpi;
      EXPECT_EQ(lf.lfHeight, MulDiv(system.lfHeight, dpi, before)) << dpi;
    }
  }
}
