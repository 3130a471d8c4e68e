#!/usr/bin/env bash
# Measures CapabilitySummary at fleet scale (not a test): bench/generate_reports
# (built here; the checker's own core on random scripted machines) writes
# COUNT reports (default 100,000; every hundredth file is not a report, some
# endpoints have an older copy), then the native summary with all three outputs and `cat` of the
# same files (the floor: reading them) take turns RUNS times (default 7); the
# medians and their ratio are printed, then the summary's peak memory
# (/usr/bin/time -v) for a tenth of the fleet and for all of it.
#   COUNT=100000 RUNS=7 WORK=/tmp/cc-summary-bench scripts/bench_summary.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${COUNT:-100000}
runs=${RUNS:-7}
work=${WORK:-/tmp/cc-summary-bench}
summary=$root/dist/linux/capability-summary
generate=${CC_BUILD_ROOT:-$root/build}/native/bench/generate_reports

"$root/scripts/build.sh" native --target CapabilitySummary --target generate_reports >/dev/null
if [ "$(cat "$work/count" 2>/dev/null)" != "$count" ]; then
  rm -rf "$work"
  mkdir -p "$work"
  "$generate" "$count" "$work/fleet" --seed 11
  "$generate" "$((count / 10))" "$work/tenth" --seed 11
  echo "$count" >"$work/count"
fi

floor() { find "$work/fleet" -name '*.txt' -exec cat {} + >/dev/null; }
run_summary() {
  "$summary" --csv "$work/fleet.csv" --json "$work/fleet.json" --html "$work/fleet.html" \
    "$work/fleet" >"$work/summary.txt" 2>"$work/summary.err" || [ $? -eq 1 ]
}
milliseconds() {
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

floor  # warm the page cache
cat_times=()
summary_times=()
for _ in $(seq "$runs"); do
  cat_times+=("$(milliseconds floor)")
  summary_times+=("$(milliseconds run_summary)")
done
cat_median=$(printf '%s\n' "${cat_times[@]}" | median)
summary_median=$(printf '%s\n' "${summary_times[@]}" | median)
printf 'reports: %d endpoints, %d files, %s\n' "$count" \
  "$(find "$work/fleet" -name '*.txt' | wc -l)" "$(du -sh "$work/fleet" | cut -f1)"
printf 'cat of the files (floor), median of %d: %d ms\n' "$runs" "$cat_median"
printf 'summary, CSV + JSON + HTML, median of %d: %d ms\n' "$runs" "$summary_median"
awk -v s="$summary_median" -v c="$cat_median" 'BEGIN {printf "summary / floor: %.2f\n", s / c}'
for fleet in tenth fleet; do
  /usr/bin/time -v "$summary" --csv "$work/m.csv" --json "$work/m.json" --html "$work/m.html" \
    "$work/$fleet" >/dev/null 2>"$work/time-$fleet.txt" || true
  printf 'peak memory, %s (%s files): %s KiB\n' "$fleet" \
    "$(find "$work/$fleet" -name '*.txt' | wc -l)" \
    "$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time-$fleet.txt")"
done
