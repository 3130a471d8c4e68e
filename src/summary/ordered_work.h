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
  const std::size_t slots = 2 * static_cast<std::size_t>(threads);
  struct Slot {
    std::vector<Result> results;
    std::size_t ready = static_cast<std::size_t>(-1);  // the chunk it holds, once prepared
  };
  std::vector<Slot> ring(slots);
  std::mutex mutex;
  std::condition_variable prepared, consumed;
  std::size_t next = 0;      // the next chunk a worker takes
  std::size_t taken_up = 0;  // chunks consumed so far
  auto work = [&] {
    Worker worker;
    std::vector<Result> results;
    while (true) {
      std::size_t chunk;
      {
        std::unique_lock<std::mutex> lock(mutex);
        if (next >= chunks)
          return;
        chunk = next++;
        // Its slot is free once the chunk `slots` before it was consumed.
        consumed.wait(lock, [&] { return chunk < taken_up + slots; });
      }
      const std::size_t begin = chunk * kChunkItems, end = std::min(count, begin + kChunkItems);
      results.assign(end - begin, Result());
      for (std::size_t i = begin; i < end; ++i)
        prepare(i, results[i - begin], worker);
      std::lock_guard<std::mutex> lock(mutex);
      ring[chunk % slots].results.swap(results);
      ring[chunk % slots].ready = chunk;
      prepared.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t)
    workers.emplace_back(work);
  std::vector<Result> results;
  for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      prepared.wait(lock, [&] { return ring[chunk % slots].ready == chunk; });
      results.swap(ring[chunk % slots].results);
    }
    for (std::size_t i = 0; i < results.size(); ++i)
      consume(chunk * kChunkItems + i, results[i]);
    std::lock_guard<std::mutex> lock(mutex);
    ++taken_up;
    consumed.notify_all();
  }
  for (std::thread& thread : workers)
    thread.join();
}

}  // namespace cc::summary
