#!/usr/bin/env bash
# The summary's HTML page in a real browser: headless Chromium renders a
# generated fleet of 400 endpoints (the checker's own reports; one endpoint
# with markup in its GPU name) to a screenshot and to its DOM;
# check_html_page.py checks headline, charts and the endpoints under each
# blocker against a recount of the JSON, and loads and escaping.
#   html_browser_test.sh SUMMARY_EXECUTABLE GENERATOR WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
summary=$1
generate=$2
work=$3
command -v chromium >/dev/null || { echo "chromium is missing (scripts/setup.sh installs it)"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
"$generate" 400 "$work/reports" --hostile --seed 7
status=0
"$summary" --json "$work/fleet.json" --html "$work/fleet.html" "$work/reports" \
  > "$work/summary.txt" 2> "$work/stderr.txt" || status=$?
# Every hundredth generated file is not a report.
[ "$status" -eq 1 ] || { echo "exit status $status, expected 1"; exit 1; }

browser=(chromium --headless --no-sandbox --disable-gpu --no-first-run
         --disable-background-networking --disable-component-update --disable-sync
         --disable-extensions --user-data-dir="$work/profile" --window-size=1280,1800)
page="file://$work/fleet.html"
"${browser[@]}" --screenshot="$work/screenshot.png" --log-net-log="$work/net.json" "$page" \
  > "$work/chromium.log" 2>&1
"${browser[@]}" --dump-dom "$page" > "$work/dom.html" 2>> "$work/chromium.log"
# The same endpoints a rollout later (other machines under the same names):
# the page of a run with --compare unfolds each move by name.
"$generate" 400 "$work/reports2" --seed 8
"$summary" --json "$work/compare.json" --html "$work/compare.html" --compare "$work/fleet.json" \
  "$work/reports2" > "$work/compare.txt" 2>> "$work/stderr.txt" || [ $? -eq 1 ]
"${browser[@]}" --dump-dom "file://$work/compare.html" > "$work/compare-dom.html" \
  2>> "$work/chromium.log"
python3 "$here/check_html_page.py" "$work"
echo "screenshot: $work/screenshot.png"
