#!/usr/bin/env bash
# CapabilitySummary.exe under Wine on the checker's own reports: the checker
# writes a report file and a console capture (with the pause prompt), the
# summary reads both, and a file that is no report, into its three outputs;
# then two runs appended to one file.
source "$(dirname "$0")/lib.sh"

SUMMARY_EXE="$CC_DIST_DIR/$CC_ARCH/CapabilitySummary.exe"
[ -f "$CC_EXE" ] || { echo "missing $CC_EXE"; exit 1; }
[ -f "$SUMMARY_EXE" ] || { echo "missing $SUMMARY_EXE"; exit 1; }
wine_prefix_new

mkdir -p "$CC_WORK/reports/console"
wine_run checker "$CC_EXE" "$(winepath_w "$CC_WORK/reports/WS-0001.txt")"
check "checker wrote its report" test -s "$CC_WORK/reports/WS-0001.txt"
cp "$CC_WORK/checker.out" "$CC_WORK/reports/console/WS-0002.txt"
printf 'not a report\r\n' >"$CC_WORK/reports/notes.txt"
# A folder and file name outside any ANSI code page, named on the command line.
mkdir -p "$CC_WORK/Zürich"
cp "$CC_WORK/reports/WS-0001.txt" "$CC_WORK/Zürich/WS-Ω03.txt"

w() { winepath_w "$CC_WORK/$1"; }
wine_run summary "$SUMMARY_EXE" --csv "$(w fleet.csv)" --json "$(w fleet.json)" \
  --html "$(w fleet.html)" "$(w reports)" "$(w Zürich)"
out=$CC_WORK/summary.out
check "exit status 1: one file is not a report" test "$(cat "$CC_WORK/summary.rc")" = 1
check "all three reports read" contains "$out" 'Endpoints read: 3\r'
check "encoding verdicts counted" contains "$out" '       3  Software\r'
check "unreadable file named with its reason" contains "$CC_WORK/summary.err" 'notes.txt: no banner'
check "CSV header after a UTF-8 mark" contains "$CC_WORK/fleet.csv" \
  '\xEF\xBB\xBFendpoint,os,encoding,decoding,adapters,drivers,encoders,cameras,errors,status,action,report_time,notes,checker_version\r'
check "CSV rows for both endpoints" test "$(grep -cE '^WS-000[12],' "$CC_WORK/fleet.csv")" = 2
check "JSON holds every endpoint, names in UTF-8" python3 -c '
import json, sys
fleet = json.load(open(sys.argv[1], encoding="utf-8"))
names = sorted(e["endpoint"] for e in fleet["endpoints"])
assert fleet["schema"] == 1 and names == ["WS-0001", "WS-0002", "WS-\u03a903"], names
assert all(e["os"] == "Microsoft Windows 7" for e in fleet["endpoints"])
assert [u["reason"] for u in fleet["unreadable"]] == ["no banner"]
' "$CC_WORK/fleet.json"
check "HTML page written" contains "$CC_WORK/fleet.html" '<svg class="chart" id="chart-encoding"'

# Two runs appended to one file (">>"), as a daily task does, with standard
# input from a pipe and from /dev/null: nobody can answer, so each prompt's
# line ends and each banner starts a line; the summary reads the newer run.
mkdir -p "$CC_WORK/appended"
daily=$CC_WORK/appended/WS-0004.txt
(cd "$CC_WORK" && printf 'y\r\n' | "$WINE" "$CC_EXE" >>"$daily" 2>/dev/null)
wine_reg_import '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]
"ProductName"="Microsoft Windows 10 Pro"'
(cd "$CC_WORK" && "$WINE" "$CC_EXE" </dev/null >>"$daily" 2>/dev/null)
check "appended: each banner starts a line" \
  test "$(grep -c $'^Capability Checker v2.4.0.1233\r$' "$daily")" = 2
check "appended: each prompt's line ends" \
  test "$(grep -c $'^Press any key to continue . . . \r$' "$daily")" = 2
wine_run appended "$SUMMARY_EXE" --json "$(w appended.json)" "$(w appended)"
check "appended: the summary reads the newer run" python3 -c '
import json, sys
fleet = json.load(open(sys.argv[1], encoding="utf-8"))
assert [(e["endpoint"], e["os"]) for e in fleet["endpoints"]] == [
    ("WS-0004", "Microsoft Windows 10 Pro")], fleet["endpoints"]
assert fleet["older_reports"] == 1, fleet["older_reports"]
' "$CC_WORK/appended.json"

# Usage error: no PATH.
wine_run usage "$SUMMARY_EXE"
check "usage error exits 2" test "$(cat "$CC_WORK/usage.rc")" = 2
check "usage on standard error" contains "$CC_WORK/usage.err" 'Usage:'

finish
