#!/usr/bin/env bash
# Checks the shipped executable itself: ASLR and DEP flags, no runtime DLLs
# beside system ones, only imports that Windows 7 offers (allow-list with the
# source of each entry), the version resource and the manifest.
set -u
: "${CC_ARCH:=x64}"
: "${CC_SOURCE_DIR:=$(cd "$(dirname "$0")/../.." && pwd)}"
: "${CC_DIST_DIR:=$CC_SOURCE_DIR/dist}"
# CC_EXE_NAME picks the program (CapabilityChecker or CapabilitySummary).
exe=$CC_DIST_DIR/$CC_ARCH/${CC_EXE_NAME:-CapabilityChecker}.exe
allow=$CC_SOURCE_DIR/tests/app/windows7_imports.txt
if [ "$CC_ARCH" = x64 ]; then objdump=x86_64-w64-mingw32-objdump; else objdump=i686-w64-mingw32-objdump; fi

passes=0
failures=0
check() {
  local description=$1
  shift
  if "$@"; then passes=$((passes + 1)); echo "ok - $description"
  else failures=$((failures + 1)); echo "not ok - $description"; fi
}

[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
headers=$("$objdump" -p "$exe")
characteristics=$(printf '%s\n' "$headers" | awk '/^DllCharacteristics/ {print $2}')
has_flag() { (( (16#$characteristics & $1) != 0 )); }
check "ASLR: dynamic base" has_flag 0x40
check "DEP: NX compatible" has_flag 0x100
if [ "$CC_ARCH" = x64 ]; then check "ASLR: high-entropy VA" has_flag 0x20; fi
check "relocations kept for ASLR" test "$(printf '%s\n' "$headers" | grep -c 'relocations stripped')" = 0

# "dll function" pairs the executable imports, DLL names in lower case.
imports=$(printf '%s\n' "$headers" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }
  /^$/ { if (seen_table) dll = "" }
  /Import Address Table/ { seen_table = 1 }')
dlls=$(printf '%s\n' "$imports" | awk '{print $1}' | sort -u)
check "imports were read" test -n "$imports"
for dll in $dlls; do
  case "$dll" in
    libstdc++*|libgcc*|libwinpthread*) check "no runtime DLL: $dll" false ;;
  esac
done
allowed=$(grep -vE '^\s*(#|$)' "$allow" | awk '{print tolower($1), $2}' | sort -u)
missing=$(comm -23 <(printf '%s\n' "$imports" | sort -u) <(printf '%s\n' "$allowed"))
if [ -n "$missing" ]; then
  echo "imports not on the Windows 7 allow-list:"
  printf '  %s\n' $missing | paste - -
fi
check "every import is on the Windows 7 allow-list" test -z "$missing"

strings_w=$(strings -el "$exe")
check "version resource 2.4.0.1233" grep -q '^2\.4\.0\.1233$' <<<"$strings_w"
manifest=$(strings "$exe" | tr -d '\n' | grep -o '<assembly.*</assembly>' || true)
check "manifest embedded" test -n "$manifest"
check "manifest asks asInvoker" grep -q 'level="asInvoker"' <<<"$manifest"
check "manifest declares no OS compatibility" test "$(grep -c 'supportedOS' <<<"$manifest")" = 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
