#!/usr/bin/env bash
# The encoder check end to end: a test encoder of our own, registered as a
# hardware H.264 encoder, driven through the real executable. Wine's
# activation objects carry no friendly name or vendor, so the encoder shows
# as "<Unknown device name>" with an empty vendor and no card can back it.
source "$(dirname "$0")/lib.sh"

DLL=$CC_BUILD_DIR/tests/encode/win/test_encoder.dll
[ -f "$CC_EXE" ] || { echo "missing $CC_EXE"; exit 1; }
[ -f "$DLL" ] || { echo "missing $DLL"; exit 1; }
wine_prefix_new

HEADING='On-board GPU H.264 Encoding Capabilities:'
SIZES='320x180, 424x240, 480x270, 640x360, 800x448, 848x480, 960x540, 1024x576, 1280x720, 1600x896, 1920x1080'
NO_CARD=$'\t\t*** Info: Can\'t find video card ( [] vendor )'
LOW_LATENCY=$'\t\t*** Info: Low latency mode is not supported (supported only from Windows 8 with a proper driver version)'
REF_FRAMES=$'\t\t*** Info: Reference frame number configuration is not supported (supported only from Windows 8.1 with a proper driver version)'
TEMPORAL=$'\t\t*** Info: Temporal scalability is not supported'
NOT_CONFIGURABLE=$'\t\t*** Info: Temporal layers count is not configurable'
SOFTWARE=$'H.264 Encoding: \t Software'
FOOTNOTE=$'H.264 Encoding: \t Software*\n\t *Onboard encoding is supported by the GPU but a supported GPU driver version is not installed'

# run_checker NAME [VAR=VALUE...]: runs the executable with the encoder's
# settings; NAME.enc holds the encoding section's body, NAME.log the calls
# the encoder saw, NAME.report the whole report without CRs.
run_checker() {
  local name=$1
  shift
  : >"$CC_WORK/$name.log"
  (
    export CC_TEST_ENCODER_LOG
    CC_TEST_ENCODER_LOG=$(winepath_w "$CC_WORK/$name.log")
    for setting in "$@"; do export "${setting?}"; done
    wine_run "$name" "$CC_EXE"
  )
  tr -d '\r' <"$CC_WORK/$name.out" | sed '/^Press any key/,$d' >"$CC_WORK/$name.report"
  awk -v heading="$HEADING" '
    $0 == heading { inside = 1; getline; next }
    inside && /^On-board GPU H.264 Decoding Capabilities:$/ { exit }
    inside { print }' "$CC_WORK/$name.report" | sed '$d' >"$CC_WORK/$name.enc"
}

# section_is NAME EXPECTED: the encoding section's body is exactly EXPECTED.
section_is() {
  local actual
  actual=$(cat "$CC_WORK/$1.enc")
  [ "$actual" = "$2" ] || { printf 'expected:\n%s\nactual:\n%s\n' "$2" "$actual"; return 1; }
}

# verdict_is NAME EXPECTED: the summary's encoding verdict, footnote included.
verdict_is() {
  local actual
  actual=$(sed -n '/^H.264 Encoding: /,/^H.264 Decoding: /p' "$CC_WORK/$1.report" | sed '$d')
  [ "$actual" = "$2" ] || { printf 'expected:\n%s\nactual:\n%s\n' "$2" "$actual"; return 1; }
}

log_has() {
  grep -qxF -- "$2" "$CC_WORK/$1.log"
}

log_count() {
  grep -c -- "$2" "$CC_WORK/$1.log"
}

# --- no encoder registered ---------------------------------------------------
run_checker bare
check "no encoder: plain line" section_is bare $'\tThere are no hardware H.264 encoders'
check "no encoder: software verdict" verdict_is bare "$SOFTWARE"
check "no encoder: exit status 0" test "$(cat "$CC_WORK/bare.rc")" = 0

register_test_encoder "$DLL"

# --- a fully capable encoder ------------------------------------------------
run_checker capable
check "capable: sizes, unknown name, no card" section_is capable \
  $'\t\tSupports output resolutions: '"$SIZES"$'\n\t<Unknown device name> - Not supported\n'"$NO_CARD"
check "capable: usable without a backing card is Software*" \
  verdict_is capable "$FOOTNOTE"
check "capable: unlocked with 1" log_has capable "unlock 1"
check "capable: every size offered on stream 0 as a real set" \
  test "$(grep -c '^SetOutputType 0 [0-9]*x[0-9]* flags 0$' "$CC_WORK/capable.log")" = 11
check "capable: width in the upper half of the frame size" log_has capable "SetOutputType 0 1920x1080 flags 0"
check "capable: all three properties asked" \
  test "$(grep '^IsSupported' "$CC_WORK/capable.log" | tr '\n' ' ')" = \
  "IsSupported lowlatency IsSupported maxref IsSupported temporal "
check "capable: layer count set as VT_UI4 2" log_has capable "SetValue temporal vt 19 value 2"
check "capable: exit status 0" test "$(cat "$CC_WORK/capable.rc")" = 0

# --- some, and no, frame sizes -----------------------------------------------
run_checker some CC_TEST_ENCODER_SIZES=640x360,1280x720,1920x1080
check "some sizes: only the accepted ones, in order" section_is some \
  $'\t\tSupports output resolutions: 640x360, 1280x720, 1920x1080\n\t<Unknown device name> - Not supported\n'"$NO_CARD"

run_checker none CC_TEST_ENCODER_SIZES=none
check "no size: empty list, encoder still present" section_is none \
  $'\t\tSupports output resolutions: \n\t<Unknown device name> - Not supported\n'"$NO_CARD"
check "no size: still Software*" verdict_is none "$FOOTNOTE"

# --- unlock refused --------------------------------------------------------------
run_checker locked CC_TEST_ENCODER_UNLOCK=fail
check "unlock refused: error line then not supported, no reason" \
  test "$(wc -l <"$CC_WORK/locked.enc")" = 2
check "unlock refused: the error names the refusal" grep -qxE \
  $'\t\t\\*\\*\\* Error: Failed to check encoder input media type \\(error = Access (is )?denied\\.\\)!' \
  "$CC_WORK/locked.enc"
check "unlock refused: name line without reason" \
  test "$(tail -n 1 "$CC_WORK/locked.enc")" = $'\t<Unknown device name> - Not supported'
check "unlock refused: no size tried" test "$(log_count locked '^SetOutputType')" = 0
check "unlock refused: Software verdict" verdict_is locked "$SOFTWARE"

# --- missing features ----------------------------------------------------------------
run_checker bare_codec CC_TEST_ENCODER_PROPERTIES=none
check "no properties: three Info lines in order, no layer set" section_is bare_codec \
  $'\t\tSupports output resolutions: '"$SIZES"$'\n\t<Unknown device name> - Not supported\n'"$NO_CARD"$'\n'"$LOW_LATENCY"$'\n'"$REF_FRAMES"$'\n'"$TEMPORAL"
check "no properties: SetValue never called" test "$(log_count bare_codec '^SetValue')" = 0

run_checker fixed_layers CC_TEST_ENCODER_PROPERTIES=temporal CC_TEST_ENCODER_SET_LAYERS=fail
check "layer count refused: not configurable instead of not supported" section_is fixed_layers \
  $'\t\tSupports output resolutions: '"$SIZES"$'\n\t<Unknown device name> - Not supported\n'"$NO_CARD"$'\n'"$LOW_LATENCY"$'\n'"$REF_FRAMES"$'\n'"$NOT_CONFIGURABLE"

finish
