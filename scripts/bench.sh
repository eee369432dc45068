#!/usr/bin/env bash
# Builds and runs the benchmarks (bench_* targets). Each prints its own
# figures as ratios against a baseline measured in the same run.
# Usage: scripts/bench.sh [name-filter]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/deps.sh"
# Only the link check's benchmark needs Debian's linkchecker, as its baseline.
if ! command -v linkchecker >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends linkchecker >/dev/null
fi
source "$here/build.sh"
source "$here/wine-env.sh"
filter="${1:-}"

# Benchmarks are timed in optimised builds.
native="$VORPA_BUILD/native-release"
vorpa_configure "$native" -DCMAKE_BUILD_TYPE=Release -DVORPA_TESTS=OFF
win="$VORPA_BUILD/win-$VORPA_WIN_ARCH"
vorpa_configure "$win" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$VORPA_ROOT/cmake/mingw-$VORPA_WIN_ARCH.cmake"
vorpa_wine_prefix

# Ninja's own target list: CMake's "help" target names only the phony
# targets, and an executable whose file has the target's name is not one.
targets() {
  ninja -C "$1" -t targets all | sed -n 's/^\(bench_[A-Za-z0-9_]*\)\(\.exe\)\{0,1\}: .*/\1/p' | sort -u |
    grep -- "$filter" || true
}
for t in $(targets "$native"); do
  cmake --build "$native" --target "$t" >/dev/null
  echo "== $t (native)"
  "$native/$t"
done
for t in $(targets "$win"); do
  cmake --build "$win" --target "$t" >/dev/null
  echo "== $t (Wine, $VORPA_WIN_ARCH)"
  (cd "$win" && T="$t" xvfb-run -a bash -c '"$WINE" "./$T.exe"; rc=$?; "$WINESERVER" -k 2>/dev/null; "$WINESERVER" -w; exit $rc')
done
