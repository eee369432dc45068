#!/usr/bin/env bash
# Installs what building, running and testing need, and nothing when it is all there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest
  mingw-w64 libz-mingw-w64-dev zlib1g-dev libcurl4-openssl-dev openssl
  wine wine64 wine32:i386
  xvfb xauth xdotool imagemagick fonts-ipafont-gothic fonts-wine fonts-nanum
  python3 python3-openpyxl locales
)

# Wine takes code page 932 from a Japanese locale; generating it keeps the
# shell from warning that it does not exist.
vorpa_locale() {
  locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null || true
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  vorpa_locale
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
vorpa_locale
