#!/usr/bin/env bash
# The GPU details section of the real executable under Wine: Wine's own
# adapter, then display devices added to the registry while the persistent
# wineserver keeps them (names with per cent signs, an empty description,
# driver versions set as device properties or left out, full buffers).
source "$(dirname "$0")/lib.sh"

[ -f "$CC_EXE" ] || { echo "missing $CC_EXE"; exit 1; }

if [ "$CC_ARCH" = x64 ]; then objdump=x86_64-w64-mingw32-objdump; else objdump=i686-w64-mingw32-objdump; fi
check "SetupAPI is not imported (loaded at run time)" \
  bash -c "! $objdump -p '$CC_EXE' | grep -qi 'DLL Name: *setupapi'"

# The GPU details section of a run, tabs and line ends as written, without CRs.
gpu_section() {
  tr -d '\r' <"$CC_WORK/$1.out" | sed -n '/^GPU details:$/,/^Camera Built-in/p' | sed '1,2d;$d'
}

# UTF-16LE hex bytes of a text, without a terminator.
utf16_hex() {
  printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' |
    sed 's/^,//;s/,$//'
}

PCI='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\PCI'
DISPLAY_CLASS='{4D36E968-E325-11CE-BFC1-08002BE10318}'
DRIVER_VERSION_KEY='Properties\{A8B865DD-2E3D-4094-AD97-E593A70C75D6}\0003'

# add_adapter DEVICE INSTANCE DESCRIPTION_HEX HARDWARE_ID [VERSION_HEX [CLASS]]
# DESCRIPTION_HEX is REG_SZ data (hex(1)); VERSION_HEX is DEVPROP_TYPE_STRING
# data, which Wine keeps as the key's default value of type 0xffff0012.
add_adapter() {
  local key="$PCI\\$1\\$2" class=${6:-$DISPLAY_CLASS}
  local text="[$key]
\"ClassGUID\"=\"$class\"
\"Class\"=\"Display\"
\"DeviceDesc\"=hex(1):$3
\"HardwareID\"=hex(7):$(utf16_hex "$4"),00,00,00,00"
  if [ -n "${5:-}" ]; then
    text="$text

[$key\\$DRIVER_VERSION_KEY]
@=hex(ffff0012):$5"
  fi
  wine_reg_import "$text"
}

wine_prefix_new

# The first run builds Wine's display devices; edits made after it hold while
# this wineserver lives.
wine_run wine_only "$CC_EXE"
gpu_section wine_only >"$CC_WORK/wine_only.gpu"
check "Wine's adapter: one block of name, driver and empty line" \
  awk 'NR == 1 && /^\tName=./ {n++} NR == 2 && /^\tDriver=/ {n++} NR == 3 && /^$/ {n++}
       END {exit !(n == 3 && NR == 3)}' "$CC_WORK/wine_only.gpu"

nul='00,00'
add_adapter 'VEN_1002&DEV_67DF&SUBSYS_0B311002&REV_C7' '4&1a2b3c&0&0008' \
  "$(utf16_hex 'Radeon RX 480 100% %s %n'),$nul" 'PCI\VEN_1002&DEV_67DF&SUBSYS_0B311002&REV_C7' \
  "$(utf16_hex '22.19.162.4'),$nul"
add_adapter 'VEN_10DE&DEV_1C03&SUBSYS_00000000&REV_A1' '4&2b3c4d&0&0010' \
  "$nul" 'PCI\VEN_10DE&DEV_1C03&SUBSYS_00000000&REV_A1' "$(utf16_hex '23.21.13.8813'),$nul"
for instance in '3&11583659&0&10' '3&11583659&0&11'; do
  add_adapter 'VEN_8086&DEV_1912&SUBSYS_00000000&REV_06' "$instance" \
    "$(utf16_hex 'Intel(R) HD Graphics 530'),$nul" 'PCI\VEN_8086&DEV_1912&SUBSYS_00000000&REV_06'
done
# A monitor-class device in the same tree is no display adapter.
add_adapter 'VEN_ABCD&DEV_0001&SUBSYS_00000000&REV_00' '1&0&0' \
  "$(utf16_hex 'Not a display adapter'),$nul" 'PCI\VEN_ABCD&DEV_0001' '' \
  '{4D36E96E-E325-11CE-BFC1-08002BE10318}'

wine_run added "$CC_EXE"
check "added run exit status 0" test "$(cat "$CC_WORK/added.rc")" = 0
{ cat "$CC_WORK/wine_only.gpu"
  printf '\tName=Radeon RX 480 100%% %%s %%n\n\tDriver=22.19.162.4\n\n'
  printf '\tName=\n\tDriver=23.21.13.8813\n\n'
  printf '\tName=Intel(R) HD Graphics 530\n\tDriver=\n\n'
  printf '\tName=Intel(R) HD Graphics 530\n\tDriver=\n\n'; } >"$CC_WORK/expected.gpu"
gpu_section added >"$CC_WORK/added.gpu"
check "every display adapter in device order, values as stored" \
  cmp -s "$CC_WORK/added.gpu" "$CC_WORK/expected.gpu"
check "no Error line in the section" bash -c "! grep -q 'Error' '$CC_WORK/added.gpu'"
check "other device classes are not listed" bash -c "! grep -q 'Not a display' '$CC_WORK/added.gpu'"

# Full buffers: the walk reads 1024 bytes per registry property and 128 bytes
# of driver version. Keys sort after every adapter above, so these blocks end
# the section.
repeat() { printf "%${2}s" '' | tr ' ' "$1"; }
add_adapter 'VEN_FFFF&DEV_0001' 'edge' "$(utf16_hex "$(repeat A 1023)"),$nul" \
  'PCI\VEN_FFFF&DEV_0001' "$(utf16_hex "$(repeat 1 63)"),$nul"
# 64 UTF-16 units and no terminator fill the 128 bytes exactly.
add_adapter 'VEN_FFFF&DEV_0002' 'edge' "$(utf16_hex 'Unterminated driver version'),$nul" \
  'PCI\VEN_FFFF&DEV_0002' "$(utf16_hex "$(repeat 2 64)")"
# One byte or unit too many for its buffer: the platform refuses the read.
add_adapter 'VEN_FFFF&DEV_0003' 'edge' "$(utf16_hex "$(repeat C 1024)"),$nul" \
  'PCI\VEN_FFFF&DEV_0003' "$(utf16_hex "$(repeat 3 64)"),$nul"
# A description stored as 1024 raw bytes reaches the walk without terminator.
add_adapter 'VEN_FFFF&DEV_0004' 'edge' "$nul" 'PCI\VEN_FFFF&DEV_0004'
raw=$(repeat D 1024 | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//;s/,$//')
wine_reg_import "[$PCI\\VEN_FFFF&DEV_0004\\edge]
\"DeviceDesc\"=hex:$raw"

wine_run edges "$CC_EXE"
{ printf '\tName=%s\n\tDriver=%s\n\n' "$(repeat A 1023)" "$(repeat 1 63)"
  printf '\tName=Unterminated driver version\n\tDriver=%s\n\n' "$(repeat 2 64)"
  printf '\tName=\n\tDriver=\n\n'
  printf '\tName=%s\n\tDriver=\n\n' "$(repeat D 1024)"; } >"$CC_WORK/edges.expected"
gpu_section edges | tail -n 12 >"$CC_WORK/edges.gpu"
check "full buffers end at their size, oversized values are empty" \
  cmp -s "$CC_WORK/edges.gpu" "$CC_WORK/edges.expected"
check "edges run exit status 0" test "$(cat "$CC_WORK/edges.rc")" = 0
check "earlier adapters still listed first" \
  cmp -s <(gpu_section edges | head -n "$(wc -l <"$CC_WORK/expected.gpu")") "$CC_WORK/expected.gpu"

finish
