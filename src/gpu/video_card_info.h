// One display adapter as the device manager describes it, and the shapes of
// the adapter walk and the support policy as other checks receive them.
#pragma once

#include <functional>
#include <string>
#include <utility>

namespace cc {

struct VideoCardInfo {
  std::string name;           // SPDRP_DEVICEDESC
  std::string vendorId;       // up to four characters after the first "VEN_"
  std::string deviceId;       // up to four characters after the first "DEV_"
  std::string driverVersion;  // DEVPKEY_Device_DriverVersion, thread ANSI code page
  std::string locationInfo;   // SPDRP_LOCATION_INFORMATION
};

// (flag, message): (walk succeeded, failure text) or (supported, reason).
using CheckResult = std::pair<bool, std::string>;

using VideoCardCallback = std::function<void(const VideoCardInfo&)>;
// A fresh walk over the present display adapters.
using VideoCardEnumerator = std::function<CheckResult(const VideoCardCallback&)>;
// The support policy's verdict on one adapter.
using VideoCardPolicy = std::function<CheckResult(const VideoCardInfo&)>;

}  // namespace cc
