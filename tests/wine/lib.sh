# Shared helpers for the tests that run Windows builds under Wine.
# Source it; it sets up nothing until wine_prefix_new is called.
#
# Known behaviour this relies on: a throwaway WINEPREFIX per run; Wine's output
# goes to files, never pipes (its background processes keep pipes open);
# display-device registry edits hold only while the wineserver started with
# `wineserver -p` lives.

set -u

: "${CC_ARCH:=x64}"
: "${CC_SOURCE_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${CC_BUILD_DIR:=$CC_SOURCE_DIR/build/$CC_ARCH}"
: "${CC_DIST_DIR:=$CC_SOURCE_DIR/dist}"

WINESERVER=/usr/lib/wine/wineserver
case "$CC_ARCH" in
  x64) WINE=/usr/lib/wine/wine64 ;;
  x86) WINE=/usr/lib/wine/wine ;;
  # arm64 Wine inside the arm64 root (tests/wine/arm64_run.sh).
  arm64)
    WINE=$CC_SOURCE_DIR/tests/wine/arm64/wine64
    WINESERVER=$CC_SOURCE_DIR/tests/wine/arm64/wineserver ;;
esac

# Where the host probe (wine32_probe.sh) found that this host cannot run
# Wine's 32-bit side, an x86 test reports itself skipped; CTest reads 77 so.
# The same for arm64 (tests/wine/arm64_probe.sh, arm64.status).
case "$CC_ARCH" in
  x86) CC_HOST_STATUS=$CC_BUILD_DIR/wine32.status ;;
  arm64) CC_HOST_STATUS=$CC_BUILD_DIR/arm64.status ;;
  *) CC_HOST_STATUS= ;;
esac
if [ -n "$CC_HOST_STATUS" ] && [ -z "${CC_NO_SKIP:-}" ] &&
  grep -q '^no:' "$CC_HOST_STATUS" 2>/dev/null; then
  echo "skipped: $(cut -c5- "$CC_HOST_STATUS")"
  exit 77
fi
CC_EXE="$CC_DIST_DIR/$CC_ARCH/CapabilityChecker.exe"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Debian's arm64 Wine builds its DLLs as Linux libraries: its Direct3D calls
# into the host's GL and X11 libraries, which use x18, the register that holds
# the thread's TEB for Windows ARM64 code, and the checker's next access to
# thread-local data faults. Real Windows keeps x18; under arm64 Wine Direct3D
# is out of reach, so the checker finds d3d9 and dxva2 missing there.
[ "$CC_ARCH" = arm64 ] && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;d3d9,dxva2="

CC_FAILURES=0
CC_PASSES=0
CC_WORK=""

# Creates a fresh prefix (and a scratch folder $CC_WORK), boots it and keeps a
# persistent wineserver running until wine_prefix_end.
wine_prefix_new() {
  CC_WORK=$(mktemp -d /tmp/cc-wine.XXXXXX)
  export WINEPREFIX="$CC_WORK/prefix"
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >"$CC_WORK/wineboot.log" 2>&1
  "$WINESERVER" -w 2>/dev/null || true
  "$WINESERVER" -p
  trap wine_prefix_end EXIT
}

wine_prefix_end() {
  [ -n "$CC_WORK" ] || return 0
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${CC_KEEP_WORK:-}" ] || rm -rf "$CC_WORK"
  CC_WORK=""
}

# Runs a Windows program; stdout/stderr/status land in $CC_WORK/NAME.{out,err,rc}.
# Usage: wine_run NAME [--stdin FILE] PROGRAM ARGS...
wine_run() {
  local name=$1
  shift
  local input=/dev/null
  if [ "${1:-}" = --stdin ]; then
    input=$2
    shift 2
  fi
  (cd "$CC_WORK" && "$WINE" "$@" <"$input" >"$CC_WORK/$name.out" 2>"$CC_WORK/$name.err")
  echo $? >"$CC_WORK/$name.rc"
}

# Imports a .reg text given in UTF-8 into the prefix registry. The file goes
# to regedit as UTF-16 with a BOM: from a narrow file Wine's regedit reads
# hex(1) data as ANSI bytes.
wine_reg_import() {
  local file=$CC_WORK/import-$RANDOM.reg
  { printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n' "$1" | sed 's/\r*$/\r/' |
      iconv -f UTF-8 -t UTF-16LE; } >"$file"
  (cd "$CC_WORK" && "$WINE" regedit /S "$(winepath_w "$file")" >/dev/null 2>&1)
}

# Registers tests/encode/win's test encoder DLL as a hardware H.264 encoder
# (MFT_ENUM_FLAG_HARDWARE, output Video/H264) in the prefix.
TEST_ENCODER_CLSID=5c1b2d4e-8a7f-4e3b-9c6d-1a2b3c4d5e6f
register_test_encoder() {
  local dll
  dll=$(winepath_w "$1" | sed 's#\\#\\\\#g')
  wine_reg_import "[HKEY_CLASSES_ROOT\\CLSID\\{$TEST_ENCODER_CLSID}\\InprocServer32]
@=\"$dll\"
\"ThreadingModel\"=\"Both\"

[HKEY_CLASSES_ROOT\\MediaFoundation\\Transforms\\$TEST_ENCODER_CLSID]
@=\"CC test H.264 encoder\"
\"MFTFlags\"=dword:00000004
\"OutputTypes\"=hex:76,69,64,73,00,00,10,00,80,00,00,aa,00,38,9b,71,48,32,36,34,00,00,10,00,80,00,00,aa,00,38,9b,71

[HKEY_CLASSES_ROOT\\MediaFoundation\\Transforms\\Categories\\f79eac7d-e545-4387-bdee-d647d7bde42a\\$TEST_ENCODER_CLSID]"
}

# Sets the Windows version the prefix reports (vista, win7, win8, win10).
wine_set_version() {
  (cd "$CC_WORK" && "$WINE" winecfg -v "$1" >/dev/null 2>&1)
}

winepath_w() {
  printf 'Z:%s' "$(printf '%s' "$1" | sed 's#/#\\#g')"
}

pass() {
  CC_PASSES=$((CC_PASSES + 1))
  echo "ok - $1"
}

fail() {
  CC_FAILURES=$((CC_FAILURES + 1))
  echo "not ok - $1"
}

# check DESCRIPTION COMMAND...: passes when the command succeeds.
check() {
  local description=$1
  shift
  if "$@"; then pass "$description"; else fail "$description"; fi
}

# contains FILE TEXT: the file holds TEXT (printf-style escapes such as \t, \r).
contains() {
  grep -qF -- "$(printf "$2")" "$1"
}

finish() {
  echo "$CC_PASSES passed, $CC_FAILURES failed"
  [ "$CC_FAILURES" -eq 0 ]
}
