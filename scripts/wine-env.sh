# Sourced by the run, test and bench scripts: a Wine prefix of our own inside
# the build folder, created once, with a Japanese locale (code page 932) and a
# CJK font linked in so that Japanese captions render.
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

vorpa_wine_prefix() {
  local stamp="$WINEPREFIX/.vorpa-setup-2"
  [ -f "$stamp" ] && return 0
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (once)..." >&2
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
  fi
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  local face
  for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "Microsoft Sans Serif"; do
    "$WINE" reg add "$key" /v "$face" /t REG_MULTI_SZ /d "ipag.ttf,IPAGothic" /f >/dev/null 2>&1
  done
  # Xvfb runs no window manager: without this, Wine waits two seconds for one
  # each time a window is hidden or destroyed.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$stamp"
}
