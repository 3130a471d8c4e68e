// The whole checker against a large scripted machine: what the checker itself
// costs beyond the platform's calls (here, fakes that answer at once).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/scripted_machine.h"

namespace {

std::atomic<std::size_t> g_heap_now{0};
std::atomic<std::size_t> g_heap_peak{0};

void note_allocation(void* block) {
  if (!block)
    return;
  const std::size_t now = g_heap_now += malloc_usable_size(block);
  std::size_t peak = g_heap_peak.load();
  while (now > peak && !g_heap_peak.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block)
    throw std::bad_alloc();
  note_allocation(block);
  return block;
}

void operator delete(void* block) noexcept {
  if (block)
    g_heap_now -= malloc_usable_size(block);
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  operator delete(block);
}

namespace {

const cc::testing::MachineShape kLarge{16, 8, 8};

void BM_WholeCheckerLargeMachine(benchmark::State& state) {
  std::size_t calls = 0;
  std::size_t report_bytes = 0;
  std::size_t peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto machine = std::make_unique<cc::testing::ScriptedMachine>(kLarge);
    const std::size_t before = g_heap_now;
    g_heap_peak = before;
    state.ResumeTiming();
    machine->run();
    state.PauseTiming();
    peak = std::max(peak, g_heap_peak - before);
    calls = machine->script.injection_points.size();
    report_bytes = machine->driver.out.size();
    machine.reset();
    state.ResumeTiming();
  }
  state.counters["platform_calls"] = static_cast<double>(calls);
  state.counters["report_bytes"] = static_cast<double>(report_bytes);
  state.counters["peak_heap_bytes"] = static_cast<double>(peak);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["process_max_rss_kib"] = static_cast<double>(usage.ru_maxrss);
}
BENCHMARK(BM_WholeCheckerLargeMachine)->Unit(benchmark::kMicrosecond);

void BM_ScriptedMachineSetupOnly(benchmark::State& state) {
  for (auto _ : state) {
    cc::testing::ScriptedMachine machine(kLarge);
    benchmark::DoNotOptimize(machine.media_foundation.encoders.size());
  }
}
BENCHMARK(BM_ScriptedMachineSetupOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
