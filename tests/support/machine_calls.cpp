#include "support/machine_calls.h"

#include <map>
#include <regex>

#include "support/scripted_machine.h"

namespace cc::testing {

std::vector<MachineCall> machine_calls() {
  ScriptedMachine machine;
  machine.run();
  const FakeScript& script = machine.script;
  std::vector<MachineCall> calls;
  std::map<std::string, int> seen;
  std::string check = "check_hardware_decoder_capability";
  for (int index : script.injection_points) {
    const std::string& name = script.calls[index];
    if (name == "LoadLibraryW" && check == "check_hardware_decoder_capability")
      check = "check_supported_video_card";
    else if (name == "MFTEnumEx")
      check = "check_hardware_encoder_capability";
    else if (name == "MFCreateAttributes")
      check = "check_uvc11_camera_capability";
    calls.push_back(
        {index, name, std::regex_replace(name, std::regex("[0-9]+"), "N"), seen[name]++, check});
  }
  return calls;
}

std::string innermost_guard(const MachineCall& call) {
  if (call.check != "check_hardware_encoder_capability")
    return call.check;
  const std::string io = "check_encoder_io_media_types";
  const std::map<std::string, std::string> steps = {
      {"encoderN.ActivateObject(IMFTransform)", io + ": ActivateObject"},
      {"encoderN.transform.GetAttributes", io + ": GetAttributes"},
      {"encoderN.transform.attributes.SetUINTN", io + ": SetUINT32"},
      {"encoderN.transform.GetStreamCount", io + ": GetStreamCount"},
      {"MFCreateMediaType", io},
      {"mediatype.SetUINTN", "in resolutions"},
      {"encoderN.transform.SetOutputType", "in resolutions"},
      {"encoderN.ActivateObject(ICodecAPI)", "check_codec_capabilities"},
      {"encoderN.codec.IsSupported", "check_codec_capabilities"},
      {"encoderN.codec.SetValue", "check_codec_capabilities"},
      {"VariantClear", "check_codec_capabilities"}};
  if (call.shape == "mediatype.SetGUID")
    return io + (call.occurrence % 2 == 0 ? ": SetGUID with MFMediaType_Video"
                                          : ": SetGUID with MFVideoFormat_H264");
  if (call.shape == "encoderN.DetachObject")
    return call.occurrence % 2 == 0 ? io : "check_codec_capabilities";
  auto it = steps.find(call.shape);
  return it == steps.end() ? call.check : it->second;
}

}  // namespace cc::testing
