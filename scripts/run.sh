#!/usr/bin/env bash
# Builds and starts the program under Wine. With a display it runs there;
# without one it runs on Xvfb, lists the sample shortcuts, saves a screenshot
# and closes the program.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/deps.sh"
source "$here/build.sh"
source "$here/wine-env.sh"

vorpa_build_win i686 vorpa
[ "$VORPA_WIN_ARCH" = i686 ] || vorpa_build_win "$VORPA_WIN_ARCH" vorpa
exe="$VORPA_BUILD/win-$VORPA_WIN_ARCH/vorpa.exe"
vorpa_wine_prefix

favorites="$WINEPREFIX/drive_c/users/$(whoami)/Favorites"
mkdir -p "$favorites"
python3 "$VORPA_ROOT/scripts/make-samples.py" "$favorites"

if [ -n "${DISPLAY:-}" ]; then
  exec "$WINE" "$exe"
fi

shot="$VORPA_BUILD/screenshot.png"
export VORPA_EXE="$exe" VORPA_SHOT="$shot"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$WINE" "$VORPA_EXE" &
  pid=$!
  win=""
  for _ in $(seq 1 60); do
    win=$(xdotool search --name "^VORPA\$" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
    sleep 0.5
  done
  if [ -z "$win" ]; then echo "the window did not appear" >&2; kill $pid; exit 1; fi
  sleep 2
  # The sample shortcuts, sub-folders included: the folder browser opens on
  # the Favorites folder with nothing selected and OK focused; Shift+Tab goes
  # to the tree, Home selects that folder and Enter takes it. Then the window
  # is maximized from its system menu (there is no window manager) so that
  # every row shows.
  xdotool windowfocus --sync "$win" key ctrl+e ctrl+o 2>/dev/null || true
  sleep 3
  xdotool key shift+Tab Home Return 2>/dev/null || true
  sleep 3
  xdotool windowfocus --sync "$win" key alt+space 2>/dev/null || true
  sleep 1
  xdotool key x 2>/dev/null || true
  sleep 2
  import -window root "$VORPA_SHOT"
  xdotool windowfocus --sync "$win" key ctrl+x 2>/dev/null || true
  for _ in $(seq 1 20); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
  kill -0 $pid 2>/dev/null && { echo "closing by force" >&2; "$WINESERVER" -k; }
  wait $pid 2>/dev/null || true
  # Wine'"'"'s desktop process ends while the display is still there.
  "$WINESERVER" -k 2>/dev/null; "$WINESERVER" -w
'
echo "Screenshot: $shot"
