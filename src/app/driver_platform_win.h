// Windows binding of DriverPlatform: COM, standard streams, the report file
// and the command processor's "pause".
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
};

}  // namespace cc
