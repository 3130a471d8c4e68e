// A whole scripted endpoint: display adapters, Direct3D adapters, hardware
// encoders and cameras behind one FakeScript, with the four checks bound to
// them as the Windows composition root binds them to the real platform.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/check_driver.h"
#include "camera/fake_directshow.h"
#include "decode/fake_decoder_platform.h"
#include "gpu/fake_adapter_source.h"
#include "support/fake_driver_platform.h"
#include "support/fake_media_foundation.h"
#include "support/fake_script.h"

namespace cc::testing {

struct MachineShape {
  int adapters = 2;  // alternately Intel (decodes, supported) and NVIDIA
  int encoders = 2;  // alternately Intel and NVIDIA
  int cameras = 2;   // alternately UVC 1.5 and UVC 1.1
};

class ScriptedMachine {
 public:
  explicit ScriptedMachine(MachineShape shape = {});
  // A call left blocked is let go, and the threads the driver let go are
  // joined, before the fakes they use go.
  ~ScriptedMachine();
  ScriptedMachine(const ScriptedMachine&) = delete;
  ScriptedMachine& operator=(const ScriptedMachine&) = delete;

  // The bound checks; valid while the machine lives.
  CheckSet checks();
  // One whole run of the checker; returns its exit status.
  int run(std::vector<const char*> arguments = {});
  // The same with a stall limit of the test's choosing.
  int run(std::chrono::milliseconds stall_limit, std::vector<const char*> arguments = {});

  FakeScript script;
  FakeDriverPlatform driver;
  FakeOs os;
  // The machine the bound encoder check takes as the build's own.
  std::uint16_t own_machine = kMachineAmd64;
  FakeAdapterSource adapters{script};
  FakeDecoderPlatform decoder{script};
  FakeMediaFoundation media_foundation{script};
  FakeDirectShow directshow{script};
};

}  // namespace cc::testing
