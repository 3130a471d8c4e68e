// Windows binding of the DirectShow and kernel-streaming seam: each method is
// one platform call, results and out-values handed through unchanged.
#pragma once

#include "camera/directshow.h"

namespace cc {

class WinDirectShow : public DirectShow {
 public:
  HRESULT create_system_device_enum(std::unique_ptr<DeviceEnumerator>* enumerator) override;
};

}  // namespace cc
