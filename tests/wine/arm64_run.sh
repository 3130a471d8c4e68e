#!/usr/bin/env bash
# Runs a program of the arm64 Debian root (scripts/arm64_root.sh), usually its
# Wine, as if it were installed here: in a mount namespace of its own, the
# root gets /dev, /proc, /tmp and the source, build and dist folders at their
# own paths, and the program starts there in the current folder. The mounts
# end with the last process of the namespace (a wineserver keeps them).
#
# Usage: arm64_run.sh PROGRAM ARGS...   (PROGRAM as a path inside the root)
# Called as tests/wine/arm64/NAME (a link), it runs /usr/lib/wine/NAME.
set -euo pipefail
root=${CC_ARM64_ROOT:-/var/cache/capability-checker/arm64-root}
here=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
[ "$(basename "$0")" = arm64_run.sh ] || set -- "/usr/lib/wine/$(basename "$0")" "$@"
dirs=("${CC_SOURCE_DIR:-$here}" "${CC_BUILD_DIR:-$here/build}" "${CC_DIST_DIR:-$here/dist}")
export CC_ARM64_ROOT=$root CC_ARM64_DIRS="${dirs[*]}"
exec unshare --mount --propagation private -- bash -c '
  set -e
  root=$CC_ARM64_ROOT
  mount --rbind /dev "$root/dev"
  mount -t proc proc "$root/proc"
  mount --bind /tmp "$root/tmp"
  for dir in $CC_ARM64_DIRS; do
    [ -d "$dir" ] || continue
    mkdir -p "$root$dir"
    mount --bind "$dir" "$root$dir"
  done
  exec chroot "$root" /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$PWD" "$@"' arm64-run "$@"
