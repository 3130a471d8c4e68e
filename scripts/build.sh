#!/usr/bin/env bash
# Configures and builds one tree: native, x64 or x86 (the last two cross-built).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
shift || true
case "$kind" in
  native) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=Debug -DCC_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++) ;;
  x64) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x64.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  x86) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  *) echo "usage: $0 native|sanitize|x64|x86" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$root/build/$kind" -G Ninja --no-warn-unused-cli "${args[@]}" >/dev/null
cmake --build "$root/build/$kind" "$@"
