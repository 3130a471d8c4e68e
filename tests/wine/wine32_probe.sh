#!/usr/bin/env bash
# Finds out, once per build tree, whether this host can run 32-bit Windows
# programs under Wine. Some hosts' kernels cannot execute 32-bit Linux
# programs at all, and Wine's 32-bit loader is one; Debian has no Wine that
# runs 32-bit Windows programs without it.
#
# Usage: wine32_probe.sh STATUS_FILE PROBE_EXE
# STATUS_FILE receives "yes", or "no: " and why. Exit status 0 when the answer
# is known; 1 when the loader starts but the trivial program does not run
# under it: that is a broken Wine on a host that can run it, a failure and not
# a reason to skip. CC_WINE32_LOADER stands in for the loader (tests of this
# script).
set -u
status_file=$1
probe_exe=$2
loader=${CC_WINE32_LOADER:-/usr/lib/wine/wine}
rm -f "$status_file"

# Starting the loader is the cheap part: it fails at once where the kernel
# refuses 32-bit programs ("Exec format error"). Its own output is kept out
# of pipes, as with every Wine program.
if [ ! -x "$loader" ]; then
  echo "no: Wine's 32-bit loader is not installed ($loader)" >"$status_file"
  cat "$status_file"
  exit 0
fi
work=$(mktemp -d /tmp/cc-wine32.XXXXXX)
trap 'WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
if ! "$loader" --version >"$work/version.out" 2>"$work/version.err"; then
  why=$(head -n 1 "$work/version.err" | sed 's/^.*line [0-9]*: //')
  echo "no: this host cannot execute Wine's 32-bit loader (${why:-$loader: no output})" >"$status_file"
  cat "$status_file"
  exit 0
fi

# The loader starts: a 32-bit Windows program must now run under it for real.
(cd "$work" && WINEPREFIX="$work/prefix" WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
  "$loader" "$probe_exe" </dev/null >"$work/probe.out" 2>"$work/probe.err")
rc=$?
if [ "$rc" -eq 42 ] && grep -q 'wine ok' "$work/probe.out"; then
  echo yes >"$status_file"
  echo "yes: Wine runs 32-bit Windows programs on this host"
  exit 0
fi
echo "Wine's 32-bit loader starts, but a trivial 32-bit program did not run (status $rc):"
head -n 5 "$work/probe.err"
exit 1
