#!/usr/bin/env bash
# The real executable end to end: report frame on standard output with CRLF
# line ends, the report file, the bad-path message and the exit status; the
# collection script that administrators deploy.
source "$(dirname "$0")/lib.sh"

[ -f "$CC_EXE" ] || { echo "missing $CC_EXE"; exit 1; }
wine_prefix_new

# Plain run: no argument, standard input not a console, so pause returns at once.
wine_run plain "$CC_EXE"
out=$CC_WORK/plain.out
check "exit status 0" test "$(cat "$CC_WORK/plain.rc")" = 0
check "banner first" contains "$out" 'Capability Checker v2.4.0.1233\r'
check "banner is the first line" test "$(head -c 32 "$out" | od -An -c | tr -s ' ')" \
  = "$(printf 'Capability Checker v2.4.0.1233\r\n' | od -An -c | tr -s ' ')"
body=$CC_WORK/plain.body
sed '/^Press any key/,$d' "$out" >"$body"
check "every report line ends in CRLF" test "$(grep -c $'\r$' "$body")" = "$(grep -c '' "$body")"
check "report ends with the OS line" test "$(tail -n 2 "$body" | head -n 1)" = $'Endpoint OS\r'
report=$(tr -d '\r' <"$out" | sed '/^Press any key/,$d')
headings=$(printf '%s\n' "$report" | grep -nE '^(H.264|On-board|GPU details|Camera Built-in|Endpoint OS)' | cut -d: -f2-)
expected=$'H.264 Encoding: \t Software\nH.264 Decoding: \t Software\nOn-board GPU H.264 Encoding Capabilities:\nOn-board GPU H.264 Decoding Capabilities:\nGPU details:\nCamera Built-in H.264 Encoding Details:\nEndpoint OS'
check "verdicts and headings in report order" test "$headings" = "$expected"
check "product name from the registry" contains "$out" '\t Microsoft Windows 7\r'
check "nothing on stderr" test ! -s "$CC_WORK/plain.err"

# Product name as the registry holds it, non-ASCII included (UTF-8 out).
wine_reg_import '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]
"ProductName"=hex(1):54,00,65,00,73,00,74,00,20,00,e9,00,4f,00,53,00,00,00'
wine_run named "$CC_EXE"
check "product name read afresh, as UTF-8" contains "$CC_WORK/named.out" 'Endpoint OS\r'
check "product name bytes" contains "$CC_WORK/named.out" '\t Test \xc3\xa9OS\r'

# Report file: byte-equal to standard output.
wine_run file "$CC_EXE" "$(winepath_w "$CC_WORK/report.txt")" second-argument-ignored
check "report file written" test -f "$CC_WORK/report.txt"
check "file equals stdout up to the pause prompt" \
  cmp -s "$CC_WORK/report.txt" <(head -c "$(stat -c %s "$CC_WORK/report.txt")" "$CC_WORK/file.out")
check "second argument does not become a file" test ! -e "$CC_WORK/second-argument-ignored"
check "file run exit status 0" test "$(cat "$CC_WORK/file.rc")" = 0

# The collection script under Wine's cmd, from a release folder of its own
# that holds the checker only in the folder of the machine's architecture,
# with a folder standing in for the share: the report lands whole under the
# computer's name, nothing else is left there, and the status is 0. With the
# share missing: status 1 and one line on standard error.
(cd "$CC_WORK" && "$WINE" cmd /c 'echo %COMPUTERNAME% %PROCESSOR_ARCHITECTURE% %PROCESSOR_ARCHITEW6432%' \
  </dev/null >"$CC_WORK/machine.out" 2>&1)
read -r computer machine wow <<<"$(tr -d '\r' <"$CC_WORK/machine.out")"
[[ $wow == %* ]] || machine=$wow  # unset variables stay as typed
case "$machine" in AMD64) build=x64 ;; ARM64) build=arm64 ;; *) build=x86 ;; esac
mkdir -p "$CC_WORK/release/$build" "$CC_WORK/share"
cp "$CC_DIST_DIR/collect-capability.cmd" "$CC_WORK/release/"
cp "$CC_EXE" "$CC_WORK/release/$build/"
collect() { wine_run "$1" cmd /c "$(winepath_w "$CC_WORK/release/collect-capability.cmd")" "$2"; }
collect collect "$(winepath_w "$CC_WORK/share")\\"
check "collect: status 0, nothing on its streams" test "$(cat "$CC_WORK/collect.rc")" = 0 -a \
  ! -s "$CC_WORK/collect.out" -a ! -s "$CC_WORK/collect.err"
check "collect: only $computer.txt on the share" test "$(ls "$CC_WORK/share")" = "$computer.txt"
check "collect: the report whole" cmp -s "$CC_WORK/share/$computer.txt" "$CC_WORK/report.txt"
collect missing 'Z:\no\such\share'
check "collect, share missing: status 1" test "$(cat "$CC_WORK/missing.rc")" = 1
check "collect, share missing: one line on standard error" test "$(grep -c '' "$CC_WORK/missing.err")" = 1

# A path in a missing folder: full report, then the message without line end.
bad='Z:\no\such\folder\report.txt'
wine_run bad "$CC_EXE" "$bad"
check "bad path exit status 0" test "$(cat "$CC_WORK/bad.rc")" = 0
check "bad path message on stderr" test "$(cat "$CC_WORK/bad.err")" = "Can't open $bad"
check "no line end after the path" test "$(tail -c 1 "$CC_WORK/bad.err" | od -An -c | tr -d ' ')" = t
check "report still complete" contains "$CC_WORK/bad.out" 'Endpoint OS\r'

finish
