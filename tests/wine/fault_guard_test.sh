#!/usr/bin/env bash
# Hardware faults inside guarded probes become the guard's "undefined
# exception" line and the run goes on; a fault outside every guard still ends
# the process.
source "$(dirname "$0")/lib.sh"

probe="$CC_BUILD_DIR/tests/report/win/fault_probe.exe"
[ -f "$probe" ] || { echo "missing $probe"; exit 1; }
wine_prefix_new

wine_run guarded "$probe" guarded
out=$CC_WORK/guarded.out
check "guarded fault: exit status 0" test "$(cat "$CC_WORK/guarded.rc")" = 0
check "guarded fault: the guard's line" contains "$out" '\t\t*** Error: probe catch undefined exception! LastError: '
check "guarded fault: a second fault is caught too" contains "$out" '\t\t*** Error: again catch undefined exception! LastError: '

wine_run nested "$probe" nested
out=$CC_WORK/nested.out
check "nested: the innermost guard consumes it" contains "$out" '\t\t*** Error: inner catch undefined exception!'
check "nested: the outer guard writes nothing" test "$(grep -c 'outer catch' "$out")" = 0
check "nested: the outer operation goes on" contains "$out" 'after=1'

wine_run divide "$probe" divide
check "integer divide by zero is caught" contains "$CC_WORK/divide.out" '\t\t*** Error: divide catch undefined exception!'

if [ "$CC_ARCH" = x64 ]; then
  # x64 unwinds through the faulting frames, so their objects are released.
  check "x64: objects of the faulting frames are released" contains "$CC_WORK/guarded.out" 'released=2'
fi

wine_run unguarded "$probe" unguarded
check "unguarded fault ends the process" test "$(cat "$CC_WORK/unguarded.rc")" != 0
check "unguarded fault: nothing after it ran" test "$(grep -c survived "$CC_WORK/unguarded.out")" = 0

finish
