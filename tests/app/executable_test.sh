#!/usr/bin/env bash
# Checks the shipped executable itself: its machine, a console program, ASLR
# and DEP flags, no runtime DLLs beside system ones, only imports that Windows
# 7 offers (allow-list with the source of each entry; for ARM64 also what
# Windows 10 on ARM offers), the version resource and the manifest.
set -u
: "${CC_ARCH:=x64}"
: "${CC_SOURCE_DIR:=$(cd "$(dirname "$0")/../.." && pwd)}"
: "${CC_DIST_DIR:=$CC_SOURCE_DIR/dist}"
# CC_EXE_NAME picks the program (CapabilityChecker or CapabilitySummary).
exe=$CC_DIST_DIR/$CC_ARCH/${CC_EXE_NAME:-CapabilityChecker}.exe
allow=$CC_SOURCE_DIR/tests/app/windows7_imports.txt
# The ARM64 build runs on Windows 10 on ARM (1709 and later) only, and links
# LLVM's C++ runtime over the Universal CRT: it may use what that offers too.
allow_lists=("$allow")
[ "$CC_ARCH" = arm64 ] && allow_lists+=("$CC_SOURCE_DIR/tests/app/windows10_arm64_imports.txt")
case "$CC_ARCH" in
  x64) machine=0x8664 ;;
  x86) machine=0x14c ;;
  arm64) machine=0xaa64 ;;
esac

passes=0
failures=0
check() {
  local description=$1
  shift
  if "$@"; then passes=$((passes + 1)); echo "ok - $description"
  else failures=$((failures + 1)); echo "not ok - $description"; fi
}

[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
headers=$(python3 "$CC_SOURCE_DIR/tests/app/pe_info.py" "$exe") || { echo "unreadable $exe"; exit 1; }
field() { printf '%s\n' "$headers" | awk -v key="$1" '$1 == key {print $2}'; }
check "machine $machine ($CC_ARCH)" test "$(field machine)" = "$machine"
check "console program" test "$(field subsystem)" = 3
characteristics=$(field dll_characteristics)
has_flag() { (( (characteristics & $1) != 0 )); }
check "ASLR: dynamic base" has_flag 0x40
check "DEP: NX compatible" has_flag 0x100
if [ "$CC_ARCH" != x86 ]; then check "ASLR: high-entropy VA" has_flag 0x20; fi
check "relocations kept for ASLR" test "$(field relocations_stripped)" = 0

# "dll function" pairs the executable imports, DLL names in lower case.
imports=$(printf '%s\n' "$headers" | awk '$1 == "import" {print $2, $3}')
dlls=$(printf '%s\n' "$imports" | awk '{print $1}' | sort -u)
check "imports were read" test -n "$imports"
for dll in $dlls; do
  case "$dll" in
    libstdc++*|libgcc*|libwinpthread*|libc++*|libunwind*) check "no runtime DLL: $dll" false ;;
  esac
done
allowed=$(cat "${allow_lists[@]}" | grep -vE '^\s*(#|$)' | awk '{print tolower($1), $2}' | sort -u)
missing=$(comm -23 <(printf '%s\n' "$imports" | sort -u) <(printf '%s\n' "$allowed"))
if [ -n "$missing" ]; then
  echo "imports not on the allow-list:"
  printf '  %s\n' $missing | paste - -
fi
check "every import is on the allow-list ($(basename -a "${allow_lists[@]}" | tr '\n' ' '| sed 's/ $//'))" \
  test -z "$missing"

strings_w=$(strings -el "$exe")
check "version resource 2.4.0.1233" grep -q '^2\.4\.0\.1233$' <<<"$strings_w"
manifest=$(strings "$exe" | tr -d '\n' | grep -o '<assembly.*</assembly>' || true)
check "manifest embedded" test -n "$manifest"
check "manifest asks asInvoker" grep -q 'level="asInvoker"' <<<"$manifest"
check "manifest declares no OS compatibility" test "$(grep -c 'supportedOS' <<<"$manifest")" = 0

# Windows ARM64 keeps the thread's TEB in x18: no instruction of ours may
# write it (LLVM reserves it for Windows; hand-written code must too).
if [ "$CC_ARCH" = arm64 ]; then
  objdump_tool=$(command -v llvm-objdump || command -v llvm-objdump-14)
  if [ -z "$objdump_tool" ]; then
    failures=$((failures + 1)); echo "not ok - llvm-objdump is missing for the x18 check"
  else
    "$objdump_tool" -d --no-show-raw-insn "$exe" >"${TMPDIR:-/tmp}/cc-x18-$$.txt" 2>/dev/null
    check "disassembled" test -s "${TMPDIR:-/tmp}/cc-x18-$$.txt"
    check "no instruction writes x18" python3 "$CC_SOURCE_DIR/tests/app/x18_writers.py" \
      <"${TMPDIR:-/tmp}/cc-x18-$$.txt"
    rm -f "${TMPDIR:-/tmp}/cc-x18-$$.txt"
  fi
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
