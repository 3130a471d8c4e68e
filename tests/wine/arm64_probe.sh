#!/usr/bin/env bash
# Finds out, once per build tree, whether this host can run ARM64 Windows
# programs: under Debian's arm64 Wine in an arm64 root (scripts/arm64_root.sh
# makes it once per machine, registering qemu-user-static in binfmt_misc).
#
# Usage: arm64_probe.sh STATUS_FILE PROBE_EXE
# STATUS_FILE receives "yes", or "no: " and why. Exit status 0 when the answer
# is known; 1 when the root is there (or should have been made) but a trivial
# ARM64 program does not run: a broken setup on a host that can run it is a
# failure, not a reason to skip.
set -u
status_file=$1
probe_exe=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -f "$status_file"

answer=$("$here/../../scripts/arm64_root.sh" 2>&1)
rc=$?
if [ "$rc" -ne 0 ]; then
  printf '%s\n' "$answer"
  exit 1
fi
last=$(printf '%s\n' "$answer" | tail -n 1)
if [ "${last#no: }" != "$last" ]; then
  echo "$last" >"$status_file"
  echo "$last"
  exit 0
fi

work=$(mktemp -d /tmp/cc-arm64.XXXXXX)
trap 'WINEPREFIX=$work/prefix "$here/arm64/wineserver" -k >/dev/null 2>&1; rm -rf "$work"' EXIT
(cd "$work" && WINEPREFIX="$work/prefix" WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
  "$here/arm64/wine64" "$probe_exe" \
  </dev/null >"$work/probe.out" 2>"$work/probe.err")
rc=$?
if [ "$rc" -eq 42 ] && grep -q 'wine ok' "$work/probe.out"; then
  echo yes >"$status_file"
  echo "yes: arm64 Wine runs ARM64 Windows programs on this host"
  exit 0
fi
echo "the arm64 root is in place, but a trivial ARM64 program did not run (status $rc):"
head -n 5 "$work/probe.err"
exit 1
