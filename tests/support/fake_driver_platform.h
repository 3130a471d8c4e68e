// A scripted process for the check driver: records what it writes and the
// order of the platform calls, and keeps the threads the driver starts so
// that a test can join them once it has let them go on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/check_driver.h"
#include "platform/os_identity.h"

namespace cc::testing {

class FakeDriverPlatform : public DriverPlatform {
 public:
  // The released threads must be able to finish by now.
  ~FakeDriverPlatform() override { join_released_threads(); }

  // COM calls come from the worker threads, the others from the driver's;
  // a worker left behind may record its last call late.
  HRESULT co_initialize() override {
    record("CoInitialize");
    if (on_co_initialize)
      on_co_initialize();
    std::lock_guard<std::mutex> lock(mutex_);
    return co_initialize_results.empty() ? co_initialize_result : next_co_initialize_result();
  }
  void co_uninitialize() override {
    record("CoUninitialize");
    if (on_co_uninitialize)
      on_co_uninitialize();
  }
  void write_stdout(const std::string& text) override {
    record("stdout");
    out += text;
    stdout_at = std::chrono::steady_clock::now();
  }
  void write_stderr(const std::string& text) override {
    record("stderr");
    err += text;
  }
  bool write_report_file(const std::string& path, const std::string& text) override {
    record("file");
    if (unwritable.count(path))
      return false;
    files[path] = text;
    return true;
  }
  // Asked once per run, before any driver; not recorded in calls (where in
  // them it was asked is kept instead).
  bool get_stdin_console_mode(std::uint32_t* mode) override {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_asked_at.push_back(calls.size());
    *mode = 0x1F7;
    return console_input;
  }
  bool get_window_station_flags(std::uint32_t* flags) override {
    if (!station_flags)
      return false;
    *flags = *station_flags;
    return true;
  }
  // Both pauses are "pause" in calls; pauses tells them apart.
  void pause() override {
    record("pause");
    std::lock_guard<std::mutex> lock(mutex_);
    pauses.push_back("platform");
  }
  void console_pause(const std::string& prompt) override {
    record("pause");
    std::lock_guard<std::mutex> lock(mutex_);
    pauses.push_back("console: " + prompt);
  }
  std::optional<std::string> environment_variable(const std::string& name) override {
    auto it = environment.find(name);
    return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  // Not recorded in calls (every run starts its helpers): how many calls
  // came before each start is kept instead.
  bool start_thread(std::function<void()> body) override {
    if (on_thread_start)
      on_thread_start();
    std::lock_guard<std::mutex> lock(mutex_);
    thread_starts.push_back(calls.size());
    if (thread_starts.size() == failing_thread_start + 1)
      return false;
    if (thread_starts.size() == held_thread_start + 1)
      body = [this, body = std::move(body)] {
        std::unique_lock<std::mutex> held(held_mutex_);
        ended_changed_.wait(held, [this] { return ended_; });
        held.unlock();
        body();
      };
    if (trace_threads)
      body = [this, body = std::move(body)] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // slow to get going
        record("thread runs");
        body();
        record("thread ends");
      };
    released_.emplace_back(std::move(body));
    return true;
  }
  void end_process(int status) override {
    record("end process " + std::to_string(status));
    {
      std::lock_guard<std::mutex> held(held_mutex_);
      ended_ = true;
    }
    ended_changed_.notify_all();
    if (on_end_process)
      on_end_process();
  }

  void join_released_threads() {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      threads.swap(released_);
    }
    for (std::thread& thread : threads)
      thread.join();
  }
  // The recorded calls, safe to read while released threads may still run.
  std::vector<std::string> calls_so_far() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls;
  }

  HRESULT co_initialize_result = S_OK;
  // When not empty: the results of the successive CoInitialize calls.
  std::vector<HRESULT> co_initialize_results;
  std::vector<std::string> calls;
  std::string out;
  std::string err;
  std::map<std::string, std::string> files;
  std::map<std::string, bool> unwritable;
  std::map<std::string, std::string> environment;
  // Someone at a console on a visible window station, unless a test says not.
  bool console_input = true;
  std::optional<std::uint32_t> station_flags = kWindowStationVisible;
  std::vector<std::size_t> answer_asked_at;  // calls made before each console query
  std::vector<std::string> pauses;
  // Run when the process would end; a test lets blocked calls go here.
  std::function<void()> on_end_process;
  // Run inside the calls, on the calling thread: a test blocks them here.
  std::function<void()> on_co_initialize;
  std::function<void()> on_co_uninitialize;
  std::function<void()> on_thread_start;
  // The start that fails (0-based; none by default).
  std::size_t failing_thread_start = -1;
  // The start whose thread gets no time to run until the process ends.
  std::size_t held_thread_start = -1;
  // Each started thread gets going late and records "thread runs" and
  // "thread ends" among the calls.
  bool trace_threads = false;
  std::vector<std::size_t> thread_starts;  // calls made before each start
  std::chrono::steady_clock::time_point stdout_at;

 private:
  std::vector<std::thread> released_;
  void record(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back(call);
  }
  HRESULT next_co_initialize_result() {
    const HRESULT hr = co_initialize_results.front();
    co_initialize_results.erase(co_initialize_results.begin());
    return hr;
  }

  std::mutex mutex_;
  std::mutex held_mutex_;
  std::condition_variable ended_changed_;
  bool ended_ = false;
};

class FakeOs : public OsPlatform {
 public:
  std::string read_registry_string(const std::string& key_path,
                                   const std::string& value_name,
                                   const std::string& default_value) override {
    if (throws)
      throw std::runtime_error("no registry");
    last_key = key_path;
    last_value = value_name;
    return product_name ? *product_name : default_value;
  }
  bool is_windows_version_or_greater(unsigned major, unsigned minor, unsigned) override {
    ++version_queries;
    return major < version_major || (major == version_major && minor <= version_minor);
  }
  bool has_is_wow64_process2() override {
    ++wow64_lookups;
    return wow64_process2_present;
  }
  int is_wow64_process2(std::uint16_t* process_machine, std::uint16_t* native_machine) override {
    ++wow64_calls;
    *process_machine = wow64_process_machine;
    *native_machine = wow64_native_machine;
    return wow64_result;
  }

  std::optional<std::string> product_name = std::string("Windows 10 Pro");
  unsigned version_major = 6;
  unsigned version_minor = 2;
  int version_queries = 0;
  // IsWow64Process2: missing by default, as before Windows 10 1709.
  bool wow64_process2_present = false;
  int wow64_result = 1;
  std::uint16_t wow64_process_machine = 0;
  std::uint16_t wow64_native_machine = 0;
  int wow64_lookups = 0;
  int wow64_calls = 0;
  bool throws = false;  // the product name lookup throws
  std::string last_key;
  std::string last_value;
};

}  // namespace cc::testing
