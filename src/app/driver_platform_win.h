// Windows binding of DriverPlatform: COM, standard streams, the report file,
// a "pause" as the command processor's, the environment, threads and the
// process's end.
#pragma once

#include "app/check_driver.h"

namespace cc {

class WinDriverPlatform : public DriverPlatform {
 public:
  HRESULT co_initialize() override;
  void co_uninitialize() override;
  void write_stdout(const std::string& text) override;
  void write_stderr(const std::string& text) override;
  bool write_report_file(const std::string& path, const std::string& text) override;
  void pause() override;
  std::optional<std::string> environment_variable(const std::string& name) override;
  bool start_thread(std::function<void()> body) override;
  void end_process(int status) override;
};

}  // namespace cc
