#!/usr/bin/env bash
# Runs the cross-built binding tests under Wine, once per Windows version the
# version predicates must tell apart.
source "$(dirname "$0")/lib.sh"

tests_exe="$CC_BUILD_DIR/tests/cc_win_tests.exe"
[ -f "$tests_exe" ] || { echo "missing $tests_exe"; exit 1; }

wine_prefix_new
for version in vista win7 win10; do
  wine_set_version "$version"
  CC_EXPECT_WINVER=$version wine_run "unit-$version" "$tests_exe"
  cat "$CC_WORK/unit-$version.out"
  check "binding tests pass on $version" test "$(cat "$CC_WORK/unit-$version.rc")" = 0
done
finish
