#!/usr/bin/env bash
# Cameras under Wine: the real executable's camera section, and the DirectShow
# binding driven against a test capture filter registered as video input
# devices (one COM server, several behaviours picked by a registry value).
source "$(dirname "$0")/lib.sh"

tests_exe="$CC_BUILD_DIR/tests/cc_win_tests.exe"
filter_dll="$CC_BUILD_DIR/tests/camera/win/cc_test_capture_filter.dll"
for file in "$CC_EXE" "$tests_exe" "$filter_dll"; do
  [ -f "$file" ] || { echo "missing $file"; exit 1; }
done

wine_prefix_new

# Wine offers no Media Foundation capture device: the section says so, and the
# camera verdict stays out of the summary.
wine_run e2e "$CC_EXE"
report=$(tr -d '\r' <"$CC_WORK/e2e.out")
camera_section=$(printf '%s\n' "$report" | sed -n '/^Camera Built-in H.264 Encoding Details:$/,/^Endpoint OS$/p')
check "exit status 0" test "$(cat "$CC_WORK/e2e.rc")" = 0
check "camera section reports no capture devices" test "$camera_section" \
  = $'Camera Built-in H.264 Encoding Details:\n\n\tThere are no video capture devices\n\nEndpoint OS'
check "no camera verdict" test -z "$(printf '%s\n' "$report" | grep -F 'Camera ( UVC')"

# Before registration the binding tests skip themselves.
wine_run unregistered "$tests_exe" --gtest_filter='DirectShowBindingTest.*'
check "binding tests skip without the test filter" contains "$CC_WORK/unregistered.out" '[  SKIPPED ] 7 tests'

clsid='{5C0B3F2E-8A41-4D6B-9E27-3C1F0A9B7D61}'
dll=$(winepath_w "$filter_dll" | sed 's/\\/\\\\/g')
devices="[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\InprocServer32]
@=\"$dll\"
\"ThreadingModel\"=\"Both\"
"
add_device() {  # key, device path (reg-escaped), behaviour[, class]
  devices+="
[HKEY_CLASSES_ROOT\\CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance\\$1]
\"CLSID\"=\"${4:-$clsid}\"
\"FriendlyName\"=\"$1\"
\"DevicePath\"=\"$2\"
\"Behaviour\"=\"$3\"
"
}
add_device CcTestMatch '\\\\?\\cc-test#match' match
add_device CcTestUtf8 '\\\\?\\cc-test#café' match
add_device CcTestNoUnit '\\\\?\\cc-test#nounit' nounit
add_device CcTestFailing '\\\\?\\cc-test#failing' failing
add_device CcTestNoTopology '\\\\?\\cc-test#notopology' notopology
# Two devices with one path, the first naming a class nobody registered.
add_device CcTestAUnbindable '\\\\?\\cc-test#twice' match '{5C0B3F2E-8A41-4D6B-9E27-3C1F0A9B7D62}'
add_device CcTestBTwice '\\\\?\\cc-test#twice' match
wine_reg_import "$devices"

wine_run binding "$tests_exe" --gtest_filter='DirectShowBindingTest.*'
cat "$CC_WORK/binding.out"
check "binding tests pass" test "$(cat "$CC_WORK/binding.rc")" = 0
check "all seven ran, none skipped" contains "$CC_WORK/binding.out" '[  PASSED  ] 7 tests'
check "none skipped" test -z "$(grep -F 'SKIPPED' "$CC_WORK/binding.out")"

finish
