#!/usr/bin/env bash
# Runs every test: native unit tests (AddressSanitizer, UBSan), the native
# vorpa-list against independent readers, a short fuzz run of the shortcut
# reader, the Windows tests under Wine on Xvfb, then the release zip.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/deps.sh"
source "$here/build.sh"
source "$here/wine-env.sh"

logs="$VORPA_BUILD/test-logs"
mkdir -p "$logs"
status=0

echo "== Native unit tests"
vorpa_build_native vorpa_unittests
"$VORPA_BUILD/native/vorpa_unittests" --gtest_brief=1 2>&1 | tee "$logs/native.txt" || status=1

echo "== vorpa-list natively, read back by independent readers"
vorpa_build_native_release vorpa-list
/usr/bin/python3 "$VORPA_ROOT/tests/cli/check_vorpa_list.py" "$VORPA_BUILD/native-release/vorpa-list" 2>&1 |
  tee "$logs/cli.txt" || status=1

echo "== Fuzzing the shortcut reader briefly"
fuzzdir="$VORPA_BUILD/fuzz"
vorpa_configure "$fuzzdir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DVORPA_FUZZ=ON -DVORPA_TESTS=OFF -DVORPA_SANITIZE=ON
cmake --build "$fuzzdir"
for target in "$fuzzdir"/*_fuzz; do
  [ -f "$target" ] && [ -x "$target" ] || continue  # not the work-*_fuzz folders
  name=$(basename "$target")
  corpus="$VORPA_ROOT/tests/fuzz/corpus/${name%_fuzz}"
  work="$fuzzdir/work-$name"; mkdir -p "$work"
  if "$target" -max_total_time=20 -rss_limit_mb=1024 "$work" "$corpus" >"$logs/$name.txt" 2>&1; then
    echo "$name: no crash in 20 s ($(grep -c . "$logs/$name.txt") log lines)"
  else
    echo "$name: FAILED, see $logs/$name.txt"; tail -30 "$logs/$name.txt"; status=1
  fi
done

echo "== Windows build (product, i686)"
# The i686 tests are built even where they cannot run, so that both
# architectures keep compiling.
vorpa_build_win i686 vorpa vorpa_wintests
echo "== Windows tests under Wine ($VORPA_WIN_ARCH)"
vorpa_build_win "$VORPA_WIN_ARCH" vorpa_wintests
vorpa_wine_prefix
echo "== One shortcut corpus through the native tool and the Windows tool under Wine"
/usr/bin/python3 "$VORPA_ROOT/tests/cli/check_corpus.py" "$VORPA_BUILD/native-release/vorpa-list" \
  "$VORPA_BUILD/win-$VORPA_WIN_ARCH/vorpa-list.exe" "$WINE" 2>&1 | tee "$logs/corpus.txt" || status=1
# Wine's own processes (the desktop window among them) outlive the tests;
# they are ended while the display is still there, or each would report its
# lost X connection when xvfb-run stops the server.
(cd "$VORPA_BUILD/win-$VORPA_WIN_ARCH" &&
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c \
    '"$WINE" ./vorpa_wintests.exe --gtest_brief=1; rc=$?; "$WINESERVER" -k 2>/dev/null; "$WINESERVER" -w; exit $rc') \
  2>&1 | tee "$logs/wine.txt" || status=1
echo "== vorpa-list --check against local servers, natively and under Wine"
(cd "$VORPA_BUILD/win-$VORPA_WIN_ARCH" && /usr/bin/python3 "$VORPA_ROOT/tests/cli/check_links.py" \
  "$VORPA_BUILD/native-release/vorpa-list" --wine "$WINE" ./vorpa-list.exe) 2>&1 | tee "$logs/links.txt" || status=1
"$WINESERVER" -k 2>/dev/null || true

echo "== Release zip: packed twice, read back, the 64-bit one run from where it was unpacked"
/usr/bin/python3 "$VORPA_ROOT/tests/release/check_release.py" 2>&1 | tee "$logs/release.txt" || status=1
"$WINESERVER" -k 2>/dev/null || true

# One closing line for both runners.
count() { sed -n "s/^\[  $1  \] \([0-9]*\) tests\?.*/\1/p" "$2" | tail -1; }
# GoogleTest's brief output names each failed test but prints no count.
failures() { grep -E '^\[  FAILED  \] ' "$1" | grep -cvE '^\[  FAILED  \] [0-9]+ tests?' || true; }
passed=0; failed=0
for log in "$logs/native.txt" "$logs/cli.txt" "$logs/corpus.txt" "$logs/wine.txt" "$logs/links.txt" "$logs/release.txt"; do
  p=$(count PASSED "$log"); f=$(count FAILED "$log"); named=$(failures "$log")
  [ "${named:-0}" -gt "${f:-0}" ] && f=$named
  passed=$((passed + ${p:-0})); failed=$((failed + ${f:-0}))
  if [ -z "$p" ] && [ -z "$f" ]; then status=1; echo "no test summary in $log"; fi
done
[ "$failed" -gt 0 ] && status=1
echo "$passed passed, $failed failed"
exit $status
