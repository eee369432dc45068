# Sourced by the run, test and bench scripts. Configures once and rebuilds
# only what changed.
VORPA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VORPA_BUILD="${VORPA_BUILD:-$VORPA_ROOT/build}"
export VORPA_ROOT VORPA_BUILD

# The arguments of the last configure are kept beside the build: other
# arguments configure afresh, so that an option taken away is gone too.
vorpa_configure() { # dir, cmake args...
  local dir=$1; shift
  local stamp="$dir/vorpa-configure-args" args
  args=$(printf '%s\n' "$@")
  if [ ! -f "$dir/build.ninja" ] || [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$args" ]; then
    local fresh=()
    [ -f "$dir/CMakeCache.txt" ] && fresh=(--fresh)
    cmake "${fresh[@]}" -S "$VORPA_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    printf '%s' "$args" >"$stamp"
  fi
}

# Windows build for an architecture (i686 or x86_64): folder build/win-ARCH.
vorpa_build_win() { # arch, targets...
  local arch=$1; shift
  local dir="$VORPA_BUILD/win-$arch"
  vorpa_configure "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$VORPA_ROOT/cmake/mingw-$arch.cmake"
  cmake --build "$dir" --target "$@"
}

vorpa_build_native() { # targets...
  local dir="$VORPA_BUILD/native"
  vorpa_configure "$dir" -DCMAKE_BUILD_TYPE=Debug -DVORPA_SANITIZE=ON
  cmake --build "$dir" --target "$@"
}

# Optimised native build without sanitizers: the native vorpa-list product
# and the benchmarks.
vorpa_build_native_release() { # targets...
  local dir="$VORPA_BUILD/native-release"
  vorpa_configure "$dir" -DCMAKE_BUILD_TYPE=Release -DVORPA_TESTS=OFF
  cmake --build "$dir" --target "$@"
}
