#!/usr/bin/env bash
# The arm64 host probe where it must answer without running anything: a host
# where the root cannot be made (here: not root) gives "no" with the reason
# and exit 0, so that the arm64 Wine tests are skipped; a root that is there
# but broken fails, so that a broken setup is never skipped.
set -u
CC_NO_SKIP=1 source "$(dirname "$0")/lib.sh"
probe=$CC_SOURCE_DIR/tests/wine/arm64_probe.sh
work=$(mktemp -d /tmp/cc-arm64-probe.XXXXXX)
chmod 777 "$work"
trap 'rm -rf "$work"' EXIT

su nobody -s /bin/bash -c "bash '$probe' '$work/user.status' '$work/none.exe' >/dev/null"
check "not root: exit 0" test $? = 0
check "not root: no, with the reason" grep -q "^no: arm64 Wine needs root" "$work/user.status"

# A root marked complete but without Wine in it.
mkdir -p "$work/root"
touch "$work/root/.complete"
CC_ARM64_ROOT=$work/root bash "$probe" "$work/broken.status" "$work/none.exe" >/dev/null
check "a broken root: failure" test $? = 1
check "a broken root: no answer written" test ! -e "$work/broken.status"
finish
