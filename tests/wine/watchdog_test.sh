#!/usr/bin/env bash
# A driver that never answers: the test encoder stops for good in
# SetOutputType for one frame size, or in its DllMain while it loads or
# unloads. The executable must still print the whole report, with one line
# for each check the stall stops and every other section as in a run without
# it, write the same report into its file, and end with status 0 by twice the
# limit, with nothing on standard input.
source "$(dirname "$0")/lib.sh"

DLL=$CC_BUILD_DIR/tests/encode/win/test_encoder.dll
[ -f "$CC_EXE" ] || { echo "missing $CC_EXE"; exit 1; }
[ -f "$DLL" ] || { echo "missing $DLL"; exit 1; }
wine_prefix_new
register_test_encoder "$DLL"

HEADING='On-board GPU H.264 Encoding Capabilities:'
STUCK=SetOutputType:640x360

# timed_run NAME [VAR=VALUE...]: runs the executable with the settings and the
# report file NAME.txt, with nothing on standard input; NAME.report holds the
# report without CRs and the pause prompt, NAME.secs the wall time, and
# NAME.times the milliseconds to the whole report on standard output and to
# the end of the process. A run that outlives 90 s is stopped.
timed_run() {
  local name=$1
  shift
  local start now report_ms=-1 pid
  start=$(date +%s%N)
  (
    for setting in "$@"; do export "${setting?}"; done
    wine_run "$name" "$CC_EXE" "$name.txt"
  ) &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    now=$(date +%s%N)
    if [ "$report_ms" -lt 0 ] && grep -q 'Endpoint OS' "$CC_WORK/$name.out" 2>/dev/null; then
      report_ms=$(((now - start) / 1000000))
    fi
    [ $((now - start)) -gt 90000000000 ] && "$WINESERVER" -k
    sleep 0.05
  done
  wait "$pid" || true
  now=$(date +%s%N)
  [ "$report_ms" -ge 0 ] || report_ms=$(((now - start) / 1000000))
  echo $(((now - start) / 1000000000)) >"$CC_WORK/$name.secs"
  echo "$report_ms $(((now - start) / 1000000))" >"$CC_WORK/$name.times"
  tr -d '\r' <"$CC_WORK/$name.out" | sed '/^Press any key/,$d' >"$CC_WORK/$name.report"
}

# whole NAME: the report is printed in full, the same bytes are in the file,
# and only the pause prompt, its line ended, follows them on standard output.
whole() {
  local out=$CC_WORK/$1.out file=$CC_WORK/$1.txt
  [ -f "$file" ] && contains "$out" 'Endpoint OS\r\n\t ' &&
    head -c "$(stat -c %s "$file")" "$out" | cmp -s - "$file" &&
    tail -c +$(($(stat -c %s "$file") + 1)) "$out" |
    cmp -s - <(printf 'Press any key to continue . . . \r\n')
}

# encoding NAME: the encoding section's body; rest NAME: the report from the
# decoding section on.
encoding() {
  awk -v heading="$HEADING" '
    $0 == heading { inside = 1; getline; next }
    inside && /^On-board GPU H.264 Decoding Capabilities:$/ { exit }
    inside { print }' "$CC_WORK/$1.report" | sed '$d'
}
rest() {
  sed -n '/^On-board GPU H.264 Decoding Capabilities:$/,$p' "$CC_WORK/$1.report"
}
same() {
  [ "$1" = "$2" ] || { printf 'expected:\n%s\nactual:\n%s\n' "$2" "$1"; return 1; }
}

timed_run plain
timed_run limited CAPABILITY_CHECKER_TIMEOUT=3
check "no stall: a limit changes nothing in the report" cmp -s "$CC_WORK/plain.out" "$CC_WORK/limited.out"
check "no stall: nothing on standard error" test ! -s "$CC_WORK/limited.err"

timed_run stuck CC_TEST_ENCODER_HANG=$STUCK CAPABILITY_CHECKER_TIMEOUT=3
check "stall: exit status 0" test "$(cat "$CC_WORK/stuck.rc")" = 0
check "stall: the report is whole, in the file too, and the pause ran after it" whole stuck
check "stall: one line in the encoding section, naming the step" same "$(encoding stuck)" \
  $'\t\t*** Error: in resolutions did not answer within 3 seconds!'
check "stall: the other sections as without it" same "$(rest stuck)" "$(rest plain)"
check "stall: no flag raised before it" contains "$CC_WORK/stuck.report" 'H.264 Encoding: \t Software\n'
read -r report_ms end_ms <"$CC_WORK/stuck.times"
echo "stuck: report after $report_ms ms, process ended after $end_ms ms"
secs=$(cat "$CC_WORK/stuck.secs")
check "stall: ends within a few seconds of the limit ($secs s)" test "$secs" -ge 3 -a "$secs" -le 12

# A driver whose DllMain never returns from DLL_PROCESS_ATTACH holds the loader
# lock while the encoding check activates it: no thread can start, and no
# library load can finish, from then on. The checks that remain run on the
# spare started before COM, and what still waits is cut at twice the limit.
timed_run attach CC_TEST_ENCODER_HANG=DLL_PROCESS_ATTACH CAPABILITY_CHECKER_TIMEOUT=3
check "attach: exit status 0" test "$(cat "$CC_WORK/attach.rc")" = 0
check "attach: the report is whole, in the file too, and the pause ran after it" whole attach
check "attach: one line in the encoding section, naming the step" same "$(encoding attach)" \
  $'\t\t*** Error: check_encoder_io_media_types: ActivateObject did not answer within 3 seconds!'
check "attach: the decoding and GPU sections as without it" same \
  "$(sed '/^Camera Built-in/,$d' <<<"$(rest attach)")" "$(sed '/^Camera Built-in/,$d' <<<"$(rest plain)")"
check "attach: the camera check, on the spare, cut at the deadline with one line" same \
  "$(sed -n '/^Camera Built-in/,/^Endpoint OS$/p' "$CC_WORK/attach.report")" \
  $'Camera Built-in H.264 Encoding Details:\n\n\t\t*** Error: check_uvc11_camera_capability was still running at the deadline of 6 seconds!\n\nEndpoint OS'
read -r report_ms end_ms <"$CC_WORK/attach.times"
echo "attach: report after $report_ms ms, process ended after $end_ms ms"
check "attach: report within twice the limit and a look ($report_ms ms)" test "$report_ms" -le 8000
check "attach: the process ends with it ($end_ms ms)" test "$end_ms" -le 9000

# A driver whose DllMain never returns from DLL_PROCESS_DETACH: whatever
# unloads it (COM's end, or the process's) must not keep the report or the
# end of the process from coming.
timed_run detach CC_TEST_ENCODER_HANG=DLL_PROCESS_DETACH CAPABILITY_CHECKER_TIMEOUT=3
check "detach: exit status 0" test "$(cat "$CC_WORK/detach.rc")" = 0
check "detach: the report is whole, in the file too, and the pause ran after it" whole detach
check "detach: every section as without it" same "$(sed -n '/^H.264 Encoding/,$p' "$CC_WORK/detach.report")" \
  "$(sed -n '/^H.264 Encoding/,$p' "$CC_WORK/plain.report")"
check "detach: COM's end that unloads it is named after the banner" same "$(sed -n 3p "$CC_WORK/detach.report")" \
  $'\t\t*** Error: CoUninitialize did not answer within 3 seconds!'
read -r report_ms end_ms <"$CC_WORK/detach.times"
echo "detach: report after $report_ms ms, process ended after $end_ms ms"
check "detach: report within twice the limit and a look ($report_ms ms)" test "$report_ms" -le 8000
check "detach: the process ends with it ($end_ms ms)" test "$end_ms" -le 9000

# A bad value is named on standard error and the default limit applies.
timed_run bad CC_TEST_ENCODER_HANG=$STUCK CAPABILITY_CHECKER_TIMEOUT=soon
check "bad value: one line on standard error naming the variable" same "$(tr -d '\r' <"$CC_WORK/bad.err")" \
  'CAPABILITY_CHECKER_TIMEOUT is ignored: "soon" is not a whole number of seconds; the limit stays 30 seconds'
check "bad value: the default limit is named" same "$(encoding bad)" \
  $'\t\t*** Error: in resolutions did not answer within 30 seconds!'
secs=$(cat "$CC_WORK/bad.secs")
check "bad value: the default limit is waited for ($secs s)" test "$secs" -ge 30 -a "$secs" -le 40
check "bad value: exit status 0" test "$(cat "$CC_WORK/bad.rc")" = 0

finish
