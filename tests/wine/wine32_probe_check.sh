#!/usr/bin/env bash
# The host probe against stand-in loaders: one the kernel refuses to execute
# (as a 32-bit program is refused on a host without 32-bit support) must give
# "no" and exit 0, so that the x86 tests are skipped; one that starts but
# cannot run the program must fail, so that a broken Wine is never skipped.
set -u
CC_NO_SKIP=1 source "$(dirname "$0")/lib.sh"
probe=$CC_SOURCE_DIR/tests/wine/wine32_probe.sh
work=$(mktemp -d /tmp/cc-probe.XXXXXX)
trap 'rm -rf "$work"' EXIT

# An ELF file for a machine this kernel does not run (e_machine 0x28, ARM).
cp /bin/true "$work/refused"
printf '\x28\x00' | dd of="$work/refused" bs=1 seek=18 conv=notrunc 2>/dev/null
CC_WINE32_LOADER=$work/refused bash "$probe" "$work/refused.status" "$work/none.exe" >/dev/null
check "a loader the kernel refuses: exit 0" test $? = 0
check "a loader the kernel refuses: no, with the reason" \
  grep -q "^no: .*Exec format error" "$work/refused.status"

CC_WINE32_LOADER=$work/absent bash "$probe" "$work/absent.status" "$work/none.exe" >/dev/null
check "no 32-bit loader installed: exit 0" test $? = 0
check "no 32-bit loader installed: no, not installed" \
  grep -q "^no: .*not installed" "$work/absent.status"

printf '#!/bin/sh\n[ "$1" = --version ] && exit 0\nexit 1\n' >"$work/broken"
chmod +x "$work/broken"
CC_WINE32_LOADER=$work/broken bash "$probe" "$work/broken.status" "$work/none.exe" >/dev/null
check "a loader that starts but runs nothing: failure" test $? = 1
check "a loader that starts but runs nothing: no answer written" test ! -e "$work/broken.status"
finish
