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

check "guarded fault: each fault dispatched once" contains "$out" 'dispatched=2 '

# A crash in a destructor cannot leave it as an exception, nor can one in
# the program's own code outside a call while an object lives (no unwind
# entry covers it): it resumes at the guard, alone and while a first crash
# unwinds, and the thread's exception state is the guard's again.
for mode in release cleanup own; do
  wine_run "$mode" "$probe" "$mode"
  out=$CC_WORK/$mode.out
  check "$mode: exit status 0" test "$(cat "$CC_WORK/$mode.rc")" = 0
  check "$mode: the guard's line" contains "$out" "\t\t*** Error: $mode catch undefined exception! LastError: "
  check "$mode: the next guard still works" contains "$out" '\t\t*** Error: again catch undefined exception!'
  check "$mode: no exception left in flight" contains "$out" 'uncaught=0'
done

# A check given up on that crashes on its way out stays given up: the guard
# writes no line for it and its next platform call is stopped too.
wine_run givenup "$probe" givenup
check "given up, crashing while it unwinds: it stays given up" contains "$CC_WORK/givenup.out" 'stopped=1 stays=1'
check "given up, crashing while it unwinds: no line of its own" \
  test "$(grep -c 'givenup catch' "$CC_WORK/givenup.out")" = 0

wine_run nested "$probe" nested
out=$CC_WORK/nested.out
check "nested: the innermost guard consumes it" contains "$out" '\t\t*** Error: inner catch undefined exception!'
check "nested: the outer guard writes nothing" test "$(grep -c 'outer catch' "$out")" = 0
check "nested: the outer operation goes on" contains "$out" 'after=1'

wine_run worker "$probe" worker
out=$CC_WORK/worker.out
check "worker thread: exit status 0" test "$(cat "$CC_WORK/worker.rc")" = 0
check "worker thread: the guard's line" contains "$out" '\t\t*** Error: worker catch undefined exception!'
check "worker thread: the innermost guard consumes it" contains "$out" '\t\t*** Error: worker inner catch undefined exception!'
check "worker thread: the outer guard writes nothing" test "$(grep -c 'worker outer catch' "$out")" = 0
check "worker thread: the outer operation goes on" contains "$out" 'after=1'
check "worker thread: the main thread's guard still works" contains "$out" '\t\t*** Error: again catch undefined exception!'

# ARM64 division does not trap: there a divide by zero is a break that the
# compiler plants (MSVC does), which arm64 Wine does not turn into the fault.
if [ "$CC_ARCH" != arm64 ]; then
  wine_run divide "$probe" divide
  check "integer divide by zero is caught" contains "$CC_WORK/divide.out" '\t\t*** Error: divide catch undefined exception!'
fi

if [ "$CC_ARCH" != x86 ]; then
  # x64 and ARM64 unwind through the faulting frames, so their objects are released.
  check "$CC_ARCH: objects of the frames the fault unwinds through are released" contains "$CC_WORK/guarded.out" 'released=2'
  check "$CC_ARCH: and on a worker thread" contains "$CC_WORK/worker.out" 'released=3'
fi

# A driver that crashes inside a probe: the test encoder writes through a
# null pointer where it is told to.
encoder_dll="$CC_BUILD_DIR/tests/encode/win/test_encoder.dll"
[ -f "$CC_EXE" ] && [ -f "$encoder_dll" ] || { echo "missing $CC_EXE or $encoder_dll"; exit 1; }
register_test_encoder "$encoder_dll"

# encoding_section NAME: the encoding section's lines of run NAME, without CRs.
encoding_section() {
  tr -d '\r' <"$CC_WORK/$1.out" |
    sed -n '/^On-board GPU H.264 Encoding Capabilities:$/,/^On-board GPU H.264 Decoding Capabilities:$/p'
}
GUARD_LINE='catch undefined exception! LastError: -?[0-9]+$'

# Under arm64 Wine a run that gets as far as the encoder's frame sizes
# faults outside every guard whether or not the encoder does: Debian's arm64
# Wine is built as Linux libraries, and host code reached through its Media
# Foundation leaves x18 (the TEB register of Windows ARM64 code) clobbered,
# so the checker's next thread-local access faults. Windows keeps x18.
if [ "$CC_ARCH" != arm64 ]; then
  CC_TEST_ENCODER_FAULT=SetOutputType:640x360 wine_run size "$CC_EXE"
  encoding_section size >"$CC_WORK/size.enc"
  check "fault in SetOutputType: exit status 0" test "$(cat "$CC_WORK/size.rc")" = 0
  check "fault in SetOutputType: the report is complete" contains "$CC_WORK/size.out" 'Endpoint OS\r'
  check "fault in SetOutputType: one guard line for the frame size" \
    test "$(grep -cE $'^\t\t\\*\\*\\* Error: in resolutions '"$GUARD_LINE" "$CC_WORK/size.enc")" = 1
  check "fault in SetOutputType: no other Error line" test "$(grep -c 'Error:' "$CC_WORK/size.enc")" = 1
  check "fault in SetOutputType: the other sizes are still tried and listed" contains "$CC_WORK/size.enc" \
    '\t\tSupports output resolutions: 320x180, 424x240, 480x270, 800x448, 848x480, 960x540, 1024x576, 1280x720, 1600x896, 1920x1080\n'
  check "fault in SetOutputType: the encoder's line follows" contains "$CC_WORK/size.enc" \
    '\t<Unknown device name> - Not supported'
fi

# The encoder faults in its last Release, which the checker's ComPtr
# destructor (noexcept) calls, alone and while the cleanup of a fault in
# SetOutputType runs: each costs a line, never the report.
if [ "$CC_ARCH" != arm64 ]; then
  for row in release_enc:Release size_release_enc:SetOutputType:640x360,Release; do
    name=${row%%:*}
    started=$(date +%s.%N)
    CC_TEST_ENCODER_FAULT=${row#*:} wine_run "$name" "$CC_EXE"
    echo "# $name: exit status $(cat "$CC_WORK/$name.rc"), $(echo "$(date +%s.%N) - $started" | bc) s"
    encoding_section "$name" >"$CC_WORK/$name.enc"
    check "fault in Release ($name): exit status 0" test "$(cat "$CC_WORK/$name.rc")" = 0
    check "fault in Release ($name): the report is complete" contains "$CC_WORK/$name.out" \
      'Camera Built-in H.264 Encoding Details:\r'
    check "fault in Release ($name): and ends with the OS" contains "$CC_WORK/$name.out" 'Endpoint OS\r'
    check "fault in Release ($name): the guard's line" \
      test "$(grep -cE $'^\t\t\\*\\*\\* Error: .*'"$GUARD_LINE" "$CC_WORK/$name.enc")" -ge 1
  done
fi

CC_TEST_ENCODER_FAULT=ActivateObject wine_run activate "$CC_EXE"
encoding_section activate | grep -v '^$' | sed -n '2,5p' >"$CC_WORK/activate.enc"
check "fault in ActivateObject: exit status 0" test "$(cat "$CC_WORK/activate.rc")" = 0
check "fault in ActivateObject: the report is complete" contains "$CC_WORK/activate.out" 'Endpoint OS\r'
# line_matches FILE N REGEX: line N of FILE matches the extended regex.
line_matches() {
  sed -n "$2p" "$1" | grep -qE -- "$3"
}
enc=$CC_WORK/activate.enc
check "fault in ActivateObject: the guard line names the step" line_matches "$enc" 1 \
  $'^\t\t\\*\\*\\* Error: check_encoder_io_media_types: ActivateObject '"$GUARD_LINE"
check "fault in ActivateObject: then the probe's failure line" line_matches "$enc" 2 \
  $'^\t\t\\*\\*\\* Error: Failed to check encoder input media type \\(error = .+\\)!$'
check "fault in ActivateObject: then the encoder's line" line_matches "$enc" 3 \
  $'^\t<Unknown device name> - Not supported$'
check "fault in ActivateObject: then the feature probe, faulting in turn" line_matches "$enc" 4 \
  $'^\t\t\\*\\*\\* Error: check_codec_capabilities '"$GUARD_LINE"

# With no filter before the guard's, Wine hands the fault to winedbg, which
# ends the process with a status of its choosing (the exception code on one
# machine, 0 on another), so only "nothing after it ran" is checked here.
wine_run unguarded "$probe" unguarded
check "unguarded fault: nothing after it ran" test "$(grep -c survived "$CC_WORK/unguarded.out")" = 0

# The guard passes a fault no guard claims on to the filter installed before
# it, which ends the process with a status of its own.
wine_run chained "$probe" chained
check "chained: a guarded fault does not reach the previous filter" \
  test "$(grep -c '^previous filter:' "$CC_WORK/chained.out")" = 1
check "chained: the guarded fault came first" \
  contains "$CC_WORK/chained.out" "guarded fault kept from the previous filter"
check "chained: the previous filter sees the unguarded access violation" \
  contains "$CC_WORK/chained.out" "previous filter: c0000005"
check "chained: the previous filter ends the process" test "$(cat "$CC_WORK/chained.rc")" = 3
check "chained: nothing after it ran" test "$(grep -c survived "$CC_WORK/chained.out")" = 0

finish
