#!/usr/bin/env bash
# Builds the release programs and packs them, with the Japanese readme, into
# dist/VORPA-<version>-win32.zip (win64 with --arch x86_64) and writes
# dist/SHA256SUMS. Two runs from the same commit give the same bytes: the
# images and the zip entries carry the last commit's time.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

usage() {
  echo "usage: bash scripts/package.sh [--arch i686|x86_64] [--dist FOLDER]"
}
arch=i686
dist=""
while [ $# -gt 0 ]; do
  case $1 in
    --arch) [ $# -ge 2 ] || { usage >&2; exit 2; }; arch=$2; shift 2 ;;
    --arch=*) arch=${1#--arch=}; shift ;;
    --dist) [ $# -ge 2 ] || { usage >&2; exit 2; }; dist=$2; shift 2 ;;
    --dist=*) dist=${1#--dist=}; shift ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
case $arch in
  i686|x86_64) ;;
  *) echo "package.sh: unknown architecture '$arch'" >&2; usage >&2; exit 2 ;;
esac

"$here/deps.sh"
source "$here/build.sh"
dist=$(realpath -m "${dist:-$VORPA_ROOT/dist}")

# One time for everything in the zip: the last commit's, unless the caller
# fixes another.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH=$(git -C "$VORPA_ROOT" log -1 --format=%ct 2>/dev/null) || [ -z "$SOURCE_DATE_EPOCH" ]; then
    echo "package.sh: not a git checkout; set SOURCE_DATE_EPOCH to the release's time" >&2
    exit 1
  fi
  if [ -n "$(git -C "$VORPA_ROOT" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    echo "package.sh: note: uncommitted changes are packed with the last commit's time" >&2
  fi
fi
export SOURCE_DATE_EPOCH

# The programs of the Windows build folder, which the tests use too (its
# compile flags keep build paths out of the images), copied without their
# symbol tables. strip stamps the copies with SOURCE_DATE_EPOCH.
dir="$VORPA_BUILD/win-$arch"
vorpa_build_win "$arch" vorpa vorpa-list
stage="$VORPA_BUILD/release-$arch"
mkdir -p "$stage"
for exe in vorpa.exe vorpa-list.exe; do
  "$arch-w64-mingw32-strip" -o "$stage/$exe" "$dir/$exe"
done

/usr/bin/python3 "$here/pack-release.py" --arch "$arch" --root "$VORPA_ROOT" --dist "$dist" \
  --epoch "$SOURCE_DATE_EPOCH" "$stage/vorpa.exe" "$stage/vorpa-list.exe"
