#!/usr/bin/env bash
# Configures and builds one tree: native, sanitize, tsan, x64, x86 or arm64
# (the last three cross-built; arm64 with the pinned Zig), or summary
# (CapabilitySummary and what it links, without the tests: what
# scripts/setup_summary.sh installs is enough for it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
shift || true
# CC_BUILD_ROOT lets several people build side by side (default: build/).
build_root=${CC_BUILD_ROOT:-$root/build}
extra=()
[ -n "${CC_DIST_DIR:-}" ] && extra+=(-DCC_DIST_DIR="$CC_DIST_DIR")
case "$kind" in
  native) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
  summary) args=(-DCMAKE_BUILD_TYPE=Release -DCC_SUMMARY_ONLY=ON) ;;
  sanitize)
    export CC=clang CXX=clang++  # read only when the tree is first configured
    args=(-DCMAKE_BUILD_TYPE=Debug -DCC_SANITIZE=ON -DCC_FUZZ=ON) ;;
  tsan)
    export CC=clang CXX=clang++  # read only when the tree is first configured
    args=(-DCMAKE_BUILD_TYPE=Debug -DCC_TSAN=ON) ;;
  x64) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x64.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  x86) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  arm64)
    "$root/scripts/install_zig.sh"
    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/zig-arm64.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  *) echo "usage: $0 native|summary|sanitize|tsan|x64|x86|arm64" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$build_root/$kind" -G Ninja --no-warn-unused-cli "${args[@]}" "${extra[@]}" >/dev/null
cmake --build "$build_root/$kind" "$@"
