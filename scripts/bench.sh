#!/usr/bin/env bash
# Measures the checker (not a test):
#  1. the whole checker against a large scripted machine (16 adapters, 8
#     encoders, 8 cameras) as Google Benchmark runs, with its peak heap;
#  2. the x64 executable under headless Wine with a warm wineserver, against
#     a trivial executable (process start) and bench_probes_only (the same
#     platform calls, no report): median wall time over RUNS runs (default 21).
#     The floor also runs without its two helper threads, which tells what
#     starting them costs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-21}
"$root/scripts/setup.sh"

echo "== 1. scripted machine (native, Release)"
cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/bench" --target bench_checker >/dev/null
"$root/build/bench/bench/bench_checker" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true

echo "== 2. under headless Wine (x64)"
"$root/scripts/build.sh" x64 --target CapabilityChecker bench_probes_only bench_trivial >/dev/null
CC_ARCH=x64 CC_SOURCE_DIR=$root
source "$root/tests/wine/lib.sh"
set +u
unset DISPLAY
wine_prefix_new
cp "$CC_EXE" "$root/build/x64/bench/bench_probes_only.exe" "$root/build/x64/bench/bench_trivial.exe" "$CC_WORK/"

# The programs take turns, so that load from elsewhere hits them alike.
programs=(bench_trivial.exe bench_probes_only.exe "bench_probes_only.exe --without-helpers"
  CapabilityChecker.exe)
declare -A samples
# Unquoted on purpose: a program may carry its argument.
for program in "${programs[@]}"; do wine_run warmup $CC_WORK/$program; done
for _ in $(seq "$runs"); do
  for program in "${programs[@]}"; do
    start=$(date +%s%N)
    wine_run timed $CC_WORK/$program
    end=$(date +%s%N)
    samples[$program]+="$(( (end - start) / 1000 )) "
  done
done
median_ms() {
  printf '%s\n' ${samples[$1]} | sort -n |
    awk '{a[NR]=$1} END {m = (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2; printf "%.1f\n", m / 1000}'
}
trivial=$(median_ms bench_trivial.exe)
probes=$(median_ms bench_probes_only.exe)
bare=$(median_ms "bench_probes_only.exe --without-helpers")
checker=$(median_ms CapabilityChecker.exe)
echo "median wall time over $runs runs (ms): trivial $trivial, probes-only $probes" \
  "(without the helper threads $bare), checker $checker"
awk -v t="$trivial" -v p="$probes" -v b="$bare" -v c="$checker" 'BEGIN {
  printf "checker / trivial = %.2f, checker / probes-only = %.2f\n", c / t, c / p
  printf "starting the two helper threads: %.1f ms (probes-only with / without = %.2f)\n",
    p - b, p / b }'
