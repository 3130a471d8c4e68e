#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (as root),
# skipping what is already there. It works alike on hosts that cannot execute
# 32-bit programs: the i386 packages install there, and the x86 Wine tests
# find out for themselves that they cannot run (tests/wine/wine32_probe.sh).
# Wine's 32-bit side draws with its own i386 Mesa (Direct3D under Xvfb); it is
# only a recommendation of wine32, so it is named here. The ARM64 build's
# compiler comes from the npm registry at a pinned version
# (scripts/install_zig.sh); its Wine tests run arm64 Linux programs through
# qemu-user-static in an arm64 Debian root made once per machine
# (scripts/arm64_root.sh, called by those tests).
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev googletest
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
          wine wine64 wine32:i386 xvfb xauth
          libgl1-mesa-dri libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
          clang libclang-rt-14-dev libbenchmark-dev
          binutils python3 nlohmann-json3-dev libcli11-dev chromium
          qemu-user-static binfmt-support debootstrap)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

"$(dirname "$0")/install_zig.sh"
