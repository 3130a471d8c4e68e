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

// Parts of a machine of the caller's choosing, for machines that differ from
// the shapes above (the report generator's random fleet).
struct AdapterSpec {
  std::string name;  // bytes in the machine's ANSI code page
  std::string vendor_id = "8086";
  std::string device_id = "1912";
  std::u16string driver = u"20.19.15.4531";
  bool decodes = true;  // offers the H.264 decoder profile
};

struct EncoderSpec {
  std::string name;
  std::string vendor = "VEN_8086";  // the vendor attribute as the MFT carries it
  unsigned max_width = 1920;        // wider frame sizes are refused; 0 refuses all
  bool temporal_layers = true;
};

enum class CameraKind { kUvc15, kUvc11, kC920, kPlain };

class ScriptedMachine;
void add_adapter(ScriptedMachine& machine, const AdapterSpec& adapter);
void add_encoder(ScriptedMachine& machine, const EncoderSpec& encoder);
// index: the camera's place, which its device path carries.
void add_camera(ScriptedMachine& machine, CameraKind kind, int index);

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
