// DriverPlatform off Windows: no COM, standard streams, a terminal on
// standard input standing in for the console, and no window stations.
#pragma once

#include "app/check_driver.h"

namespace cc {

class PosixDriverPlatform : public DriverPlatform {
 public:
  HRESULT co_initialize() override { return S_OK; }
  void co_uninitialize() override {}
  void write_stdout(const std::string& text) override;
  void write_stderr(const std::string& text) override;
  bool write_report_file(const std::string& path, const std::string& text) override;
  bool get_stdin_console_mode(std::uint32_t* mode) override;
  bool get_window_station_flags(std::uint32_t* flags) override;
  void pause() override;
  void console_pause(const std::string& prompt) override;
  std::optional<std::string> environment_variable(const std::string& name) override;
  bool start_thread(std::function<void()> body) override;
  void end_process(int status) override;
};

}  // namespace cc
