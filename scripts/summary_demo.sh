#!/usr/bin/env bash
# Shows CapabilitySummary on a generated fleet: bench/generate_reports writes
# COUNT endpoints' reports (default 400; the checker's own core on random
# scripted machines) as they were before a driver rollout and after it (half
# the adapters on their model's newest driver, a few endpoints more), and the
# summary writes its text, CSV, JSON and page of the second, compared with the
# first (--compare).
#   COUNT=400 WORK=/tmp/cc-summary-demo scripts/summary_demo.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${COUNT:-400}
work=${WORK:-/tmp/cc-summary-demo}
summary=$root/dist/linux/capability-summary
generate=${CC_BUILD_ROOT:-$root/build}/native/bench/generate_reports

"$root/scripts/build.sh" native --target CapabilitySummary --target generate_reports >/dev/null
rm -rf "$work"
mkdir -p "$work"
"$generate" "$count" "$work/before" --seed 3
"$generate" "$((count + count / 20))" "$work/reports" --seed 3 --updated 50
"$summary" --json "$work/before.json" "$work/before" >/dev/null 2>&1 || true
"$summary" --csv "$work/fleet.csv" --json "$work/fleet.json" --html "$work/fleet.html" \
  --compare "$work/before.json" "$work/reports" 2>"$work/not-read.txt" || true
echo "outputs: $work/fleet.csv $work/fleet.json $work/fleet.html (files not read: $work/not-read.txt)"
