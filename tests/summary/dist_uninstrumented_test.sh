#!/usr/bin/env bash
# The shipped native summary carries no sanitizer runtime: ./test builds the
# instrumented trees after the plain one, and only the plain one may write it.
#   dist_uninstrumented_test.sh PROGRAM
set -euo pipefail
program=$1
[ -x "$program" ] || { echo "$program is missing"; exit 1; }
if grep -aqE '__(tsan|asan|ubsan|msan)_[a-z]' "$program"; then
  echo "$program is instrumented: $(grep -aoE '__(tsan|asan|ubsan|msan)_[a-z_]+' "$program" | head -1)"
  exit 1
fi
echo "$program: no sanitizer"
