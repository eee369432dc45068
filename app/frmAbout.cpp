#include "app/frmAbout.h"

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
  HFONT titleFont = nullptr;
  HFONT labelFont = nullptr;
};

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<DialogState*>(lp);
      SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      // Form_Load: the texts are built afresh at every showing.
      const Texts t = LoadTexts(GetModuleHandleW(nullptr));
      SetWindowTextW(dlg, t.caption.c_str());
      SetDlgItemTextW(dlg, IDC_LBLTITLE, t.title.c_str());
      SetDlgItemTextW(dlg, IDC_LBLVERSION, t.version.c_str());
      SetDlgItemTextW(dlg, IDC_LBLDESCRIPTION, t.description.c_str());
      SetDlgItemTextW(dlg, IDC_LBLDISCLAIMER, t.disclaimer.c_str());

      const HINSTANCE inst = GetModuleHandleW(nullptr);
      HICON icon = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(IDI_VORPA), IMAGE_ICON, 48, 48, LR_SHARED));
      SendDlgItemMessageW(dlg, IDC_PICICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);

      const int dpi = vorpa::ScreenDpi();
      state->titleFont = CreateFontW(-MulDiv(18, dpi, 72), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック");
      SendDlgItemMessageW(dlg, IDC_LBLTITLE, WM_SETFONT, reinterpret_cast<WPARAM>(state->titleFont), FALSE);
      // 9 points asked for as the cell height, not the character height: the
      // labels hold lines 12 pixels apart, which the Japanese system faces
      // give either way (they have no internal leading); a substitute with
      // leading would otherwise need more height than the labels have, and
      // lose the description's last line.
      state->labelFont = CreateFontW(MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック");
      for (int label : {IDC_LBLVERSION, IDC_LBLDESCRIPTION, IDC_LBLDISCLAIMER})
        SendDlgItemMessageW(dlg, label, WM_SETFONT, reinterpret_cast<WPARAM>(state->labelFont), FALSE);

      using vorpa::TwipsToPixels;
      for (const Layout& l : kLayout) {
        MoveWindow(GetDlgItem(dlg, l.id), TwipsToPixels(l.left), TwipsToPixels(l.top), TwipsToPixels(l.width),
                   TwipsToPixels(l.height), FALSE);
      }
      // Client area 4680 x 2250 twips, centred on the owner.
      RECT r{0, 0, TwipsToPixels(4680), TwipsToPixels(2250)};
      AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_EXSTYLE)));
      const int w = r.right - r.left, h = r.bottom - r.top;
      RECT owner{};
      HWND parent = GetParent(dlg);
      if (!parent || !GetWindowRect(parent, &owner)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
      SetWindowPos(dlg, nullptr, owner.left + ((owner.right - owner.left) - w) / 2,
                   owner.top + ((owner.bottom - owner.top) - h) / 2, w, h, SWP_NOZORDER);
      return TRUE;  // the focus goes to OK, first in the tab order
    }
    case WM_COMMAND:
      // OK is both the default and the cancel button: Enter and Esc press it.
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (state) {
        for (HFONT* font : {&state->titleFont, &state->labelFont}) {
          if (*font) DeleteObject(*font);
          *font = nullptr;
        }
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

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
