#!/usr/bin/env bash
# The decoding section of the real executable under Wine: without an X display
# Direct3D 9Ex cannot be created; under Xvfb Wine offers one software adapter
# whose DXVA2 decoder service does not list profiles. Also runs the binding
# tests that need a display.
source "$(dirname "$0")/lib.sh"

[ -f "$CC_EXE" ] || { echo "missing $CC_EXE"; exit 1; }

# decoding_section OUT: the lines between the decoding heading's empty line and
# the section's closing empty line, without carriage returns.
decoding_section() {
  tr -d '\r' <"$1" |
    awk '/^On-board GPU H.264 Decoding Capabilities:$/ { on = 1; getline; next }
         on && /^$/ { exit }
         on { print }'
}

if [ "${1:-}" != --with-display ]; then
  wine_prefix_new
  unset DISPLAY
  wine_run nodisplay "$CC_EXE"
  out=$CC_WORK/nodisplay.out
  check "no display: exit status 0" test "$(cat "$CC_WORK/nodisplay.rc")" = 0
  check "no display: the Direct3D object line is the whole section" \
    test "$(decoding_section "$out")" \
    = "$(printf "\t\t*** Error: Couldn't create Direct3D object (error = 0x8876086A)!")"
  check "no display: decoding verdict is software" contains "$out" 'H.264 Decoding: \t Software\r'
  wine_prefix_end
  failures=$CC_FAILURES
  passes=$CC_PASSES
  # A fresh prefix under its own X server, so every Wine process sees it.
  xvfb-run -a bash "$0" --with-display >"/tmp/cc-decode-xvfb.$$.log" 2>&1
  status=$?
  cat "/tmp/cc-decode-xvfb.$$.log"
  counts=$(tail -n 1 "/tmp/cc-decode-xvfb.$$.log")
  rm -f "/tmp/cc-decode-xvfb.$$.log"
  if [[ "$counts" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    CC_PASSES=$((passes + BASH_REMATCH[1]))
    CC_FAILURES=$((failures + BASH_REMATCH[2]))
  else
    CC_PASSES=$passes
    CC_FAILURES=$((failures + 1))
    echo "not ok - display run ended without counts (status $status)"
  fi
  finish
  exit
fi

wine_prefix_new
wine_run display "$CC_EXE"
out=$CC_WORK/display.out
section=$(decoding_section "$out")
check "display: exit status 0" test "$(cat "$CC_WORK/display.rc")" = 0
# Wine's decoder service answers GetDecoderDeviceGuids with E_NOTIMPL, which
# is not E_FAIL and so is reported, and leaves the adapter without profiles.
check "display: the profile list failure is reported" \
  test "$(printf '%s\n' "$section" | head -n 1)" \
  = "$(printf "\t\t*** Error: Couldn't get decoder device GUIDs (error = 0x80004001)!")"
result=$(printf '%s\n' "$section" | sed -n '2,$p')
check "display: one result line, tab, name, verdict" \
  bash -c '[[ "$1" =~ ^$'"'"'\t'"'"'[^$'"'"'\t'"'"']+" - No video decoding hardware"$ ]]' _ "$result"
# Wine's description for the software GL renderer Xvfb gives it.
check "display: Wine's adapter description" \
  test "$result" = "$(printf '\tNVIDIA GeForce GTX 470 - No video decoding hardware')"
check "display: decoding verdict is software" contains "$out" 'H.264 Decoding: \t Software\r'
check "display: nothing on stderr" test ! -s "$CC_WORK/display.err"

tests_exe="$CC_BUILD_DIR/tests/cc_win_tests.exe"
if [ -f "$tests_exe" ]; then
  CC_EXPECT_DIRECT3D=1 wine_run binding "$tests_exe" --gtest_filter='WinDecoderPlatform*'
  cat "$CC_WORK/binding.out"
  check "display: decoder binding tests pass" test "$(cat "$CC_WORK/binding.rc")" = 0
  check "display: decoder binding tests ran" grep -q 'PASSED.* [1-9][0-9]* test' "$CC_WORK/binding.out"
fi
finish
