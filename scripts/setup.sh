#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (as root),
# skipping what is already there: the summary's own needs
# (scripts/setup_summary.sh), then the test libraries, the cross compilers,
# Wine with Xvfb, clang for the sanitizers and fuzzers, Chromium for the
# summary's page test, and what runs the ARM64 build. It works alike on hosts
# that cannot execute 32-bit programs: the i386 packages install there, and
# the x86 Wine tests find out for themselves that they cannot run
# (tests/wine/wine32_probe.sh). Wine's 32-bit side draws with its own i386
# Mesa (Direct3D under Xvfb); it is only a recommendation of wine32, so it is
# named here. The ARM64 build's compiler comes from the npm registry at a
# pinned version (scripts/install_zig.sh); its Wine tests run arm64 Linux
# programs through qemu-user-static in an arm64 Debian root made once per
# machine (scripts/arm64_root.sh, called by those tests).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

"$here/setup_summary.sh"
"$here/install_packages.sh" libgtest-dev libgmock-dev googletest \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 \
  wine wine64 xvfb xauth libgl1-mesa-dri \
  clang llvm libclang-rt-14-dev libbenchmark-dev \
  binutils python3 chromium \
  qemu-user-static binfmt-support debootstrap
# Wine's 32-bit side goes on its own: with a mirror that lacks an i386 list
# (or its security updates) it cannot be installed, and then the x86 Wine
# tests say they are skipped rather than every other test going unrun.
if ! "$here/install_packages.sh" wine32:i386 \
  libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386; then
  echo "setup.sh: Wine's 32-bit side could not be installed; the x86 Wine tests will be skipped" >&2
fi
"$here/install_zig.sh"
