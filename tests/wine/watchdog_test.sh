#!/usr/bin/env bash
# A driver that never answers: the test encoder stops for good in
# SetOutputType for one frame size. The executable must still print the whole
# report, with one line for the stall in the encoding section and every other
# section as in a run without it, and end with status 0 soon after the limit.
source "$(dirname "$0")/lib.sh"

DLL=$CC_BUILD_DIR/tests/encode/win/test_encoder.dll
[ -f "$CC_EXE" ] || { echo "missing $CC_EXE"; exit 1; }
[ -f "$DLL" ] || { echo "missing $DLL"; exit 1; }
wine_prefix_new
register_test_encoder "$DLL"

HEADING='On-board GPU H.264 Encoding Capabilities:'
STUCK=SetOutputType:640x360

# timed_run NAME [VAR=VALUE...]: runs the executable with the settings; NAME.report
# holds the report without CRs and the pause prompt, NAME.secs the wall time.
timed_run() {
  local name=$1
  shift
  local start end
  start=$(date +%s%N)
  (
    for setting in "$@"; do export "${setting?}"; done
    wine_run "$name" "$CC_EXE"
  )
  end=$(date +%s%N)
  echo $(((end - start) / 1000000000)) >"$CC_WORK/$name.secs"
  tr -d '\r' <"$CC_WORK/$name.out" | sed '/^Press any key/,$d' >"$CC_WORK/$name.report"
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
check "stall: the report is whole" contains "$CC_WORK/stuck.out" 'Endpoint OS\r\n\t '
check "stall: the pause ran after it" contains "$CC_WORK/stuck.out" 'Press any key'
check "stall: one line in the encoding section, naming the step" same "$(encoding stuck)" \
  $'\t\t*** Error: in resolutions did not answer within 3 seconds!'
check "stall: the other sections as without it" same "$(rest stuck)" "$(rest plain)"
check "stall: no flag raised before it" contains "$CC_WORK/stuck.report" 'H.264 Encoding: \t Software\n'
secs=$(cat "$CC_WORK/stuck.secs")
check "stall: ends within a few seconds of the limit ($secs s)" test "$secs" -ge 3 -a "$secs" -le 12

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
