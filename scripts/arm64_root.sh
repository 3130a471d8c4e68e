#!/usr/bin/env bash
# Makes, once per machine, the arm64 Debian root whose Wine runs the ARM64
# Windows build: debootstrap from the archive apt uses here, with arm64 Linux
# programs run by qemu-user-static through binfmt_misc (registered here when
# missing). About 650 MB and a few minutes; later calls only check it.
#
# Usage: arm64_root.sh [ROOT]   (default $CC_ARM64_ROOT or
#                                /var/cache/capability-checker/arm64-root)
# Prints "yes", or "no: " and why on its last line and exits 0 either way when
# the host simply cannot (not root, no binfmt_misc); exits 1 when debootstrap
# itself fails on a host that should manage it.
set -u
root=${1:-${CC_ARM64_ROOT:-/var/cache/capability-checker/arm64-root}}
binfmt=/proc/sys/fs/binfmt_misc
conf=/usr/lib/binfmt.d/qemu-aarch64.conf

no() { echo "no: $*"; exit 0; }

[ "$(id -u)" = 0 ] || no "arm64 Wine needs root (binfmt_misc, chroot)"
[ -r "$conf" ] || no "qemu-user-static is not installed ($conf missing)"
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
    no "binfmt_misc cannot be mounted on this host"
fi
if [ ! -e "$binfmt/qemu-aarch64" ]; then
  # The F flag opens the interpreter now, so it also runs inside the root.
  tr -d '\n' <"$conf" >"$binfmt/register" 2>/dev/null ||
    no "qemu-aarch64 cannot be registered in binfmt_misc"
fi
grep -qx enabled "$binfmt/qemu-aarch64" || no "qemu-aarch64 is disabled in binfmt_misc"

mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9
if [ ! -e "$root/.complete" ]; then
  # The Debian archive apt uses (deb822 or one-line sources), else the default.
  mirror=$(grep -hE '^[[:space:]]*(URIs:|deb )' /etc/apt/sources.list.d/*.sources \
    /etc/apt/sources.list 2>/dev/null | grep -oE 'https?://[^ ]*/debian/?( |$)' |
    grep -v security | head -n 1 | tr -d ' ')
  mirror=${mirror:-http://deb.debian.org/debian}
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "making the arm64 root in $root from $mirror ($suite); once per machine"
  rm -rf "$root.tmp"
  if ! debootstrap --arch=arm64 --variant=minbase --include=wine,wine64 \
    "$suite" "$root.tmp" "$mirror" >"$root.log" 2>&1; then
    echo "debootstrap failed; last lines of $root.log:"
    tail -n 5 "$root.log"
    exit 1
  fi
  touch "$root.tmp/.complete"
  rm -rf "$root"
  mv "$root.tmp" "$root"
fi
[ -x "$root/usr/lib/wine/wine64" ] || { echo "no wine64 in $root"; exit 1; }
echo yes
