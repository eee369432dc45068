#include "app/frmAbout.h"

#include <algorithm>
#include <utility>

#include "app/Twips.h"
#include "app/VersionInfo.h"
#include "app/resource.h"

namespace frmAbout {
namespace {

struct Layout {
  int id;
  int left, top, width, height;  // twips
};

// Design positions of the box's controls, in twips.
constexpr Layout kLayout[] = {
    {IDC_PICICON, 120, 480, 720, 720},        {IDC_LBLTITLE, 1095, 60, 3300, 420},
    {IDC_LBLVERSION, 3270, 540, 1200, 225},    {IDC_LBLDESCRIPTION, 1290, 780, 3210, 570},
    {IDC_LINE1_1, 240, 1440, 4170, 30},        {IDC_LBLDISCLAIMER, 360, 1560, 3810, 285},
    {IDOK, 3300, 1800, 1020, 345},
};

struct DialogState {
  Fonts fonts;
  Texts texts;
};

// Fonts and places for the DPI of the box's monitor; the size given is kept
// when a suggested rectangle comes with a DPI change.
void ApplyDpi(HWND dlg, DialogState& state, int dpi, const RECT* suggested) {
  Fonts fonts = CreateFonts(dpi);
  SendDlgItemMessageW(dlg, IDC_LBLTITLE, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.title.get()), FALSE);
  for (int label : {IDC_LBLVERSION, IDC_LBLDESCRIPTION, IDC_LBLDISCLAIMER})
    SendDlgItemMessageW(dlg, label, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.label.get()), FALSE);
  // The labels use the new fonts now; the old ones go.
  state.fonts = std::move(fonts);

  SIZE client{};
  for (const Placement& p : LayOut(state.texts, state.fonts, dpi, client))
    MoveWindow(GetDlgItem(dlg, p.id), p.rect.left, p.rect.top, p.rect.right - p.rect.left, p.rect.bottom - p.rect.top,
               FALSE);
  RECT r{0, 0, client.cx, client.cy};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_EXSTYLE)));
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (suggested) {
    SetWindowPos(dlg, nullptr, suggested->left, suggested->top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    // Centred on the owner.
    RECT owner{};
    HWND parent = GetParent(dlg);
    if (!parent || !GetWindowRect(parent, &owner)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
    SetWindowPos(dlg, nullptr, owner.left + ((owner.right - owner.left) - w) / 2,
                 owner.top + ((owner.bottom - owner.top) - h) / 2, w, h, SWP_NOZORDER);
  }
  InvalidateRect(dlg, nullptr, TRUE);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<DialogState*>(lp);
      SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      // Form_Load: the texts are built afresh at every showing.
      state->texts = LoadTexts(GetModuleHandleW(nullptr));
      const Texts& t = state->texts;
      SetWindowTextW(dlg, t.caption.c_str());
      SetDlgItemTextW(dlg, IDC_LBLTITLE, t.title.c_str());
      SetDlgItemTextW(dlg, IDC_LBLVERSION, t.version.c_str());
      SetDlgItemTextW(dlg, IDC_LBLDESCRIPTION, t.description.c_str());
      SetDlgItemTextW(dlg, IDC_LBLDISCLAIMER, t.disclaimer.c_str());

      const HINSTANCE inst = GetModuleHandleW(nullptr);
      HICON icon = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_VORPA), IMAGE_ICON, 48, 48, LR_SHARED));
      SendDlgItemMessageW(dlg, IDC_PICICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      ApplyDpi(dlg, *state, vorpa::WindowDpi(dlg), nullptr);
      return TRUE;  // the focus goes to OK, first in the tab order
    }
    case WM_DPICHANGED:
      if (state) ApplyDpi(dlg, *state, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return TRUE;
    case WM_COMMAND:
      // OK is both the default and the cancel button: Enter and Esc press it.
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (state) state->fonts = Fonts();
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

Fonts CreateFonts(int dpi) {
  Fonts f;
  f.title.reset(CreateFontW(-MulDiv(18, dpi, 72), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, SHIFTJIS_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            L"ＭＳ Ｐゴシック"));
  // 9 points asked for as the cell height, not the character height: the
  // labels hold lines 12 pixels apart at 96 DPI, which the Japanese system
  // faces give either way (they have no internal leading); a substitute with
  // leading would otherwise need more height than the labels have.
  f.label.reset(CreateFontW(MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            L"ＭＳ Ｐゴシック"));
  return f;
}

std::vector<Placement> LayOut(const Texts& texts, const Fonts& fonts, int dpi, SIZE& client) {
  const auto px = [dpi](int twips) { return vorpa::TwipsToPixels(twips, dpi); };
  std::vector<Placement> placed;
  for (const Layout& l : kLayout)
    placed.push_back({l.id, RECT{px(l.left), px(l.top), px(l.left) + px(l.width), px(l.top) + px(l.height)}});
  client = SIZE{px(4680), px(2250)};
  const auto at = [&](int id) -> RECT& {
    for (Placement& p : placed)
      if (p.id == id) return p.rect;
    return placed.front().rect;
  };
  // Measured as the static control draws: broken at words within its width.
  HDC dc = GetDC(nullptr);
  const auto need = [&](HFONT font, const std::wstring& text, LONG width) {
    const HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    return SIZE{r.right - r.left, r.bottom - r.top};
  };
  const LONG margin = px(120);
  // One line each: as wide as the text, the box wider where it must be.
  const struct {
    int id;
    const std::wstring& text;
    HFONT font;
  } lines[] = {{IDC_LBLTITLE, texts.title, fonts.title.get()},
               {IDC_LBLVERSION, texts.version, fonts.label.get()},
               {IDC_LBLDISCLAIMER, texts.disclaimer, fonts.label.get()}};
  for (const auto& line : lines) {
    RECT& r = at(line.id);
    const SIZE n = need(line.font, line.text, 32767);
    r.right = std::max(r.right, r.left + n.cx + 1);
    r.bottom = std::max(r.bottom, r.top + n.cy);
    client.cx = std::max(client.cx, r.right + margin);
  }
  // The description wraps: as tall as its lines, and what lies below it
  // moves down as far.
  RECT& d = at(IDC_LBLDESCRIPTION);
  const LONG extra =
      std::max<LONG>(0, need(fonts.label.get(), texts.description, d.right - d.left).cy - (d.bottom - d.top));
  d.bottom += extra;
  for (int below : {IDC_LINE1_1, IDC_LBLDISCLAIMER, IDOK}) OffsetRect(&at(below), 0, extra);
  client.cy += extra;
  ReleaseDC(nullptr, dc);
  return placed;
}

Texts LoadTexts(HMODULE module) {
  Texts t;
  t.description =
      L"このソフトは、お気に入り等にあるファイルのリンク先であるURLアドレスをファイルのパスと共に一覧表示させます";
  // The module's own resource, not GetFileVersionInfo: see VersionInfo.h.
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL loaded = res ? LoadResource(module, res) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  vorpa::VersionInfo info;
  if (!bytes || !vorpa::ParseVersionInfo(static_cast<const unsigned char*>(bytes), SizeofResource(module, res), info))
    return t;
  t.caption = L"ﾊﾞｰｼﾞｮﾝ情報 " + info.String(L"Comments");
  t.title = info.String(L"FileDescription");
  t.disclaimer = L"警告:  " + info.String(L"LegalCopyright");
  t.version = L"Version " + std::to_wstring(info.Major()) + L"." + std::to_wstring(info.Minor());
  return t;
}

void ShowModal(HWND owner) {
  DialogState state;
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, DialogProc,
                  reinterpret_cast<LPARAM>(&state));
}

}  // namespace frmAbout
