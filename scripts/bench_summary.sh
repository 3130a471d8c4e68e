#!/usr/bin/env bash
# Measures CapabilitySummary at fleet scale (not a test): bench/generate_reports
# (the checker's own core on random scripted machines; every hundredth file is
# not a report, some endpoints have an older copy or appended runs) writes each
# fleet of COUNTS once into WORK and keeps it for later runs. For each fleet the
# optimised summary with all three outputs and `cat` of the same files (the
# floor: reading them) take turns RUNS times; the medians and their ratio are
# printed side by side with the core count, then the summary's peak memory
# (/usr/bin/time -v) for each fleet and what it grows by per endpoint.
#   COUNTS="100000 1000000" RUNS=3 WORK=/var/tmp/cc-summary-bench scripts/bench_summary.sh
# 1,000,000 reports take about 4 GB of disk and a quarter of an hour to write.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
counts=${COUNTS:-100000 1000000}
runs=${RUNS:-3}
work=${WORK:-/var/tmp/cc-summary-bench}
summary=$root/dist/linux/capability-summary
generate=${CC_BUILD_ROOT:-$root/build}/native/bench/generate_reports

# The shipped program (Release, the summary tree) and the generator.
"$root/scripts/build.sh" summary --target CapabilitySummary >/dev/null
"$root/scripts/build.sh" native --target generate_reports >/dev/null
mkdir -p "$work"
for count in $counts; do
  if [ "$(cat "$work/$count.done" 2>/dev/null)" != "$count" ]; then
    rm -rf "${work:?}/$count"
    "$generate" "$count" "$work/$count" --seed 11
    echo "$count" >"$work/$count.done"
  fi
done

floor() { find "$work/$1" -name '*.txt' -exec cat {} + >/dev/null; }
run_summary() {
  "$summary" --csv "$work/out.csv" --json "$work/out.json" --html "$work/out.html" \
    "$work/$1" >"$work/summary.txt" 2>"$work/summary.err" || [ $? -eq 1 ]
}
milliseconds() {
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

echo "cores: $(nproc), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %10s %8s %12s %14s %7s %14s\n' endpoints files size 'cat ms' 'summary ms' ratio 'peak KiB'
declare -A peak
for count in $counts; do
  floor "$count"  # warm the page cache
  cat_times=()
  summary_times=()
  for _ in $(seq "$runs"); do
    cat_times+=("$(milliseconds floor "$count")")
    summary_times+=("$(milliseconds run_summary "$count")")
  done
  c=$(printf '%s\n' "${cat_times[@]}" | median)
  s=$(printf '%s\n' "${summary_times[@]}" | median)
  /usr/bin/time -v "$summary" --csv "$work/out.csv" --json "$work/out.json" \
    --html "$work/out.html" "$work/$count" >/dev/null 2>"$work/time.txt" || true
  peak[$count]=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time.txt")
  printf '%-10s %10s %8s %12s %14s %7s %14s\n' "$count" \
    "$(find "$work/$count" -name '*.txt' | wc -l)" "$(du -sh "$work/$count" | cut -f1)" \
    "$c" "$s" "$(awk -v s="$s" -v c="$c" 'BEGIN {printf "%.2f", s / c}')" "${peak[$count]}"
done
set -- $counts
if [ $# -ge 2 ]; then
  awk -v a="$1" -v b="${!#}" -v pa="${peak[$1]}" -v pb="${peak[${!#}]}" \
    'BEGIN {printf "memory per endpoint above the smaller fleet: %.0f bytes\n", (pb - pa) * 1024 / (b - a)}'
fi
