// Reading and parsing a fleet's files is most of a summary's work and each
// file stands alone: worker threads prepare the files a chunk at a time
// while the calling thread takes the results in the files' order, so the
// outputs are the same as from one thread. Few chunks are in flight at
// once, so memory does not grow with the fleet.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace cc::summary {

inline constexpr std::size_t kChunkItems = 64;

// prepare(index, result, worker_state) on worker threads; consume(index,
// result) on this thread, in index order. Worker is each thread's own state
// (a read buffer). With threads == 0, everything runs on this thread.
template <typename Result, typename Worker, typename Prepare, typename Consume>
void ordered_work(std::size_t count, unsigned threads, Prepare prepare, Consume consume) {
  if (threads == 0 || count <= kChunkItems) {
    Worker worker;
    Result result;
    for (std::size_t i = 0; i < count; ++i) {
      result = Result();
      prepare(i, result, worker);
      consume(i, result);
    }
    return;
  }
  const std::size_t chunks = (count + kChunkItems - 1) / kChunkItems;
  // Worker t prepares chunks t, t + threads, ...; a chunk's slot is
  // chunk % slots, so each slot only ever holds one worker's results. The
  // worker refills its slot in place: what it allocated for a chunk is
  // freed by the same thread, and the threads do not queue on each other's
  // heaps.
  const std::size_t slots = 2 * static_cast<std::size_t>(threads);
  struct Slot {
    std::vector<Result> results;
    std::size_t ready = static_cast<std::size_t>(-1);  // the chunk it holds, once prepared
  };
  std::vector<Slot> ring(slots);
  std::mutex mutex;
  std::condition_variable prepared, consumed;
  std::size_t taken_up = 0;  // chunks consumed so far
  auto work = [&](std::size_t first) {
    Worker worker;
    for (std::size_t chunk = first; chunk < chunks; chunk += threads) {
      Slot& slot = ring[chunk % slots];
      {
        // Its slot is free once the chunk `slots` before it was consumed.
        std::unique_lock<std::mutex> lock(mutex);
        consumed.wait(lock, [&] { return chunk < taken_up + slots; });
      }
      const std::size_t begin = chunk * kChunkItems, end = std::min(count, begin + kChunkItems);
      slot.results.resize(end - begin);
      for (std::size_t i = begin; i < end; ++i) {
        Result& result = slot.results[i - begin];
        result = Result();
        prepare(i, result, worker);
      }
      std::lock_guard<std::mutex> lock(mutex);
      slot.ready = chunk;
      prepared.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t)
    workers.emplace_back(work, static_cast<std::size_t>(t));
  for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
    Slot& slot = ring[chunk % slots];
    {
      std::unique_lock<std::mutex> lock(mutex);
      prepared.wait(lock, [&] { return slot.ready == chunk; });
    }
    // The slot is this thread's until taken_up moves past it.
    for (std::size_t i = 0; i < slot.results.size(); ++i)
      consume(chunk * kChunkItems + i, slot.results[i]);
    std::lock_guard<std::mutex> lock(mutex);
    ++taken_up;
    consumed.notify_all();
  }
  for (std::thread& thread : workers)
    thread.join();
}

}  // namespace cc::summary
