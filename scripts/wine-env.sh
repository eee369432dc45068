# Sourced by the run, test and bench scripts: a Wine prefix of our own inside
# the build folder, created once, with a Japanese locale (code page 932), the
# Japanese faces the program asks for, and Japanese and Korean fonts linked in
# so that every name renders. Wine's own fonts (Debian's fonts-wine) draw the
# title-bar buttons and menu check marks (Marlett) and the dialog face.
# Needs $VORPA_BUILD (the build folder). Sets WINE, VORPA_WIN_ARCH and the
# WINE* variables.

export WINEPREFIX="$VORPA_BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8

# wine32 needs a kernel that runs 32-bit code; some virtual machines switch
# that off. The Windows programs are then run in their 64-bit build.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE=wine
  VORPA_WIN_ARCH=i686
else
  WINE=/usr/lib/wine/wine64
  VORPA_WIN_ARCH=x86_64
fi
WINESERVER=/usr/lib/wine/wineserver
export WINE WINESERVER VORPA_WIN_ARCH

# The prefix is created once; its settings are applied again whenever this
# version changes, so that an existing prefix picks up new ones.
VORPA_PREFIX_SETUP=5

vorpa_wine_prefix() {
  local stamp="$WINEPREFIX/.vorpa-setup-$VORPA_PREFIX_SETUP"
  [ -f "$stamp" ] && return 0
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once)..." >&2
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
  fi
  # Wine's own fonts (Marlett draws the title-bar buttons and the menu check
  # marks, Tahoma the dialogs): this Wine does not find them where Debian
  # puts them, but it loads every font in the prefix's Fonts folder.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp -f /usr/share/wine/fonts/*.ttf "$fonts/"
  local nt='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
  local face
  # On a Japanese Windows both are proportional faces; the program asks for
  # them by name (the dialog font, the About box) and "MS Shell Dlg" stands
  # for the first. Wine follows only one step of FontSubstitutes, so "MS
  # Shell Dlg" -> "MS UI Gothic" would end in the fixed-pitch IPAGothic; its
  # own replacement list makes the two names real faces.
  for face in "MS UI Gothic" "ＭＳ Ｐゴシック"; do
    "$WINE" reg add "$nt\FontSubstitutes" /v "$face" /d "IPAPGothic" /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "IPAPGothic" /f >/dev/null 2>&1
  done
  # Japanese and Korean glyphs for the faces that Wine's own fonts draw
  # without them, and Korean ones for the Japanese faces themselves.
  local korean='NanumGothic.ttf,NanumGothic'
  for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "Microsoft Sans Serif"; do
    "$WINE" reg add "$nt\FontLink\SystemLink" /v "$face" /t REG_MULTI_SZ /d "ipagp.ttf,IPAPGothic\0$korean" /f \
      >/dev/null 2>&1
  done
  for face in "IPAPGothic" "IPAGothic"; do
    "$WINE" reg add "$nt\FontLink\SystemLink" /v "$face" /t REG_MULTI_SZ /d "$korean" /f >/dev/null 2>&1
  done
  # Xvfb runs no window manager: without this, Wine waits two seconds for one
  # each time a window is hidden or destroyed.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$WINESERVER" -w
  rm -f "$WINEPREFIX"/.vorpa-setup-*
  touch "$stamp"
}
