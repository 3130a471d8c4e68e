// The floor for the benchmark: the same platform calls the checker makes, in
// the same order, through the same bindings, with no decisions kept and no
// report built or written. Like the checker, it asks whether anyone can answer
// the pause and starts its two helper threads (the spare and the watchdog,
// parked until the end) before COM, pauses as the checker does after a run
// without a stall, and ends the process without unloading the drivers. With --without-helpers it starts no
// thread, so that scripts/bench.sh can tell what the two starts cost.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "app/driver_platform_win.h"
#include "camera/directshow_win.h"
#include "decode/decoder_platform_win.h"
#include "platform/media_foundation_win.h"
#include "gpu/adapter_source_win.h"
#include "platform/os_identity_win.h"

namespace {

const GUID kH264E = {0x1B81BE68, 0xA0C7, 0x11D3, {0xB9, 0x84, 0x00, 0xC0, 0x4F, 0x2E, 0x73, 0xC5}};
const GUID kName = {0x314FFBAE, 0x5B41, 0x4C95, {0x9C, 0x19, 0x4E, 0x7D, 0x58, 0x6F, 0xAC, 0xE3}};
const GUID kVendor = {0x3AECB0CC, 0x035B, 0x4BCC, {0x81, 0x85, 0x2B, 0x8D, 0x55, 0x1E, 0xF3, 0xAF}};
const GUID kCameraName = {0x60D0E559, 0x52F8, 0x4FA2, {0xBB, 0xCE, 0xAC, 0xDB, 0x34, 0xA8, 0xEC, 0x01}};
const GUID kLink = {0x58F0AAD8, 0x22BF, 0x4F8A, {0xBB, 0x3D, 0xD2, 0xC4, 0x97, 0x8C, 0x6E, 0x2F}};
const GUID kSourceType = {0xC60AC5FE, 0x252A, 0x478F, {0xA0, 0xEF, 0xBC, 0x8F, 0xA5, 0xF7, 0xCA, 0xD3}};
const GUID kVidcap = {0x8AC3587A, 0x4AE7, 0x42D8, {0x99, 0xE0, 0x0A, 0x60, 0x13, 0xEE, 0xF9, 0x0F}};
const GUID kCategory = {0x77F0AE69, 0xC3BD, 0x4509, {0x94, 0x1D, 0x46, 0x7E, 0x4D, 0x24, 0x89, 0x9E}};
const GUID kVideoInput = {0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
const GUID kUnlock = {0xE5666D6B, 0x3422, 0x4EB6, {0xA4, 0x21, 0xDA, 0x7D, 0xB1, 0xF8, 0xE2, 0x07}};
const GUID kMajor = {0x48EBA18E, 0xF8C9, 0x4687, {0xBF, 0x11, 0x0A, 0x74, 0xC9, 0xF9, 0x6A, 0x8F}};
const GUID kSubtype = {0xF7E34C9A, 0x42E8, 0x4714, {0xB7, 0x4B, 0xCB, 0x29, 0xD7, 0x2C, 0x35, 0xE5}};
const GUID kFrameSize = {0x1652C33D, 0xD6B2, 0x4012, {0xB8, 0x34, 0x72, 0x03, 0x08, 0x49, 0xA3, 0x7D}};
const GUID kVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kH264 = {0x34363248, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kCodecProperties[] = {
    {0x9C27891A, 0xED7A, 0x40E1, {0x88, 0xE8, 0xB2, 0x27, 0x27, 0xA0, 0x24, 0xEE}},
    {0x964829ED, 0x94F9, 0x43B4, {0xB7, 0x4D, 0xEF, 0x40, 0x94, 0x4B, 0x69, 0xA0}},
    {0x19CAEBFF, 0xB74D, 0x4CFD, {0x8C, 0x27, 0xC2, 0xF9, 0xD9, 0x7D, 0x5F, 0x52}}};
const std::uint32_t kSizes[][2] = {{320, 180},  {424, 240},  {480, 270},  {640, 360},
                                   {800, 448},  {848, 480},  {960, 540},  {1024, 576},
                                   {1280, 720}, {1600, 896}, {1920, 1080}};

void walk_adapters(cc::AdapterSource& source) {
  cc::ModuleHandle module = source.load_library();
  if (!module)
    return;
  cc::ProcAddress reader = source.get_proc_address(module, "SetupDiGetDevicePropertyW");
  if (std::unique_ptr<cc::DeviceInfoSet> set = reader ? source.get_class_devs(module) : nullptr) {
    cc::DeviceInfoData device;
    for (std::uint32_t i = 0; device = {}, device.size = sizeof(device),
                       source.enum_device_info(*set, i, &device);
         ++i) {
      std::uint8_t buffer[1024] = {};
      source.get_device_registry_property(*set, device, 1, buffer, sizeof(buffer));
      std::uint8_t version[128] = {};
      source.get_driver_version_property(reader, *set, device, version, sizeof(version));
      source.get_device_registry_property(*set, device, 0, buffer, sizeof(buffer));
      char narrow[256];
      source.wide_char_to_multi_byte(reinterpret_cast<const char16_t*>(version), narrow,
                                     sizeof(narrow));
      source.get_device_registry_property(*set, device, 13, buffer, sizeof(buffer));
    }
  }
  source.free_library(module);
}

void decode(cc::DecoderPlatform& platform) {
  std::unique_ptr<cc::Direct3D> d3d;
  if (FAILED(platform.create_direct3d(32, &d3d)) || !d3d)
    return;
  for (std::uint32_t adapter = 0; adapter < d3d->get_adapter_count(); ++adapter) {
    std::string name;
    d3d->get_adapter_identifier(adapter, 0, &name);
    cc::DeviceParameters parameters;
    parameters.adapter = adapter;
    parameters.device_type = 1;
    parameters.behavior_flags = 0x26;
    parameters.present = {1, 1, 0x10};
    std::unique_ptr<cc::Direct3DDevice> device;
    std::unique_ptr<cc::DecoderService> service;
    if (FAILED(d3d->create_device(parameters, &device)) || !device ||
        FAILED(platform.create_video_decoder_service(*device, &service)) || !service)
      continue;
    std::vector<GUID> profiles;
    std::vector<std::uint32_t> targets;
    std::vector<cc::DecoderConfiguration> configurations;
    service->get_decoder_device_guids(&profiles);
    for (const GUID& profile : profiles) {
      if (!cc::same_guid(profile, kH264E))
        continue;
      service->get_decoder_render_targets(profile, &targets);
      for (std::uint32_t format : targets)
        if (format == 0x3231564E)
          service->get_decoder_configurations(profile, cc::VideoDescription{format}, &configurations);
      break;
    }
  }
}

std::string read_string(cc::MediaFoundation& mf, cc::Activate& activate, const GUID& key) {
  std::optional<std::u16string> wide;
  std::u16string copy;
  std::string ansi;
  if (SUCCEEDED(activate.get_allocated_string(key, &wide)) && wide &&
      mf.sys_alloc_string(*wide, &copy))
    mf.wide_to_ansi(copy, &ansi);
  return ansi;
}

void probe_media_types(cc::MediaFoundation& mf, cc::Activate& encoder) {
  std::unique_ptr<cc::Transform> transform;
  std::unique_ptr<cc::Attributes> attributes;
  std::unique_ptr<cc::MediaType> type;
  std::uint32_t inputs = 0, outputs = 0;
  if (SUCCEEDED(encoder.activate_transform(&transform)) && transform &&
      SUCCEEDED(transform->get_attributes(&attributes)) && attributes &&
      SUCCEEDED(attributes->set_uint32(kUnlock, 1)) &&
      SUCCEEDED(transform->get_stream_count(&inputs, &outputs)) &&
      SUCCEEDED(mf.create_media_type(&type)) && type) {
    type->set_guid(kMajor, kVideo);
    type->set_guid(kSubtype, kH264);
    for (const auto& size : kSizes)
      if (SUCCEEDED(type->set_uint64(kFrameSize, (std::uint64_t{size[0]} << 32) | size[1])))
        transform->set_output_type(0, *type, 0);
  }
  encoder.detach_object();
}

void probe_codec(cc::MediaFoundation& mf, cc::Activate& encoder) {
  std::unique_ptr<cc::CodecApi> codec;
  if (SUCCEEDED(encoder.activate_codec_api(&codec)) && codec) {
    for (const GUID& property : kCodecProperties)
      codec->is_supported(property);
    cc::Variant value;
    value.vt = cc::Variant::kUi4;
    value.ulVal = 2;
    codec->set_value(kCodecProperties[2], &value);
    mf.variant_clear(&value);
  }
  encoder.detach_object();
}

void encode(cc::MediaFoundation& mf, cc::AdapterSource& adapters) {
  cc::ActivateList encoders;
  if (FAILED(mf.enum_hardware_h264_encoders(&encoders)))
    return;
  for (std::unique_ptr<cc::Activate>& encoder : encoders) {
    read_string(mf, *encoder, kName);
    read_string(mf, *encoder, kVendor);
    walk_adapters(adapters);
    probe_media_types(mf, *encoder);
    probe_codec(mf, *encoder);
    encoder->shutdown_object();
  }
}

void cameras(cc::MediaFoundation& mf, cc::DirectShow& directshow) {
  std::unique_ptr<cc::Attributes> attributes;
  cc::ActivateList devices;
  if (FAILED(mf.create_attributes(1, &attributes)) || !attributes ||
      FAILED(attributes->set_guid(kSourceType, kVidcap)) ||
      FAILED(attributes->set_guid(kCategory, kVideoInput)) ||
      FAILED(mf.enum_device_sources(*attributes, &devices)))
    return;
  for (std::unique_ptr<cc::Activate>& camera : devices) {
    read_string(mf, *camera, kCameraName);
    read_string(mf, *camera, kLink);
    std::unique_ptr<cc::CodecApi> codec;
    camera->activate_codec_api(&codec);
    camera.reset();
    std::unique_ptr<cc::DeviceEnumerator> enumerator;
    std::unique_ptr<cc::MonikerEnumerator> monikers;
    if (SUCCEEDED(directshow.create_system_device_enum(&enumerator)) && enumerator &&
        enumerator->create_video_input_enumerator(&monikers) == S_OK && monikers) {
      std::unique_ptr<cc::Moniker> moniker;
      while (monikers->next(&moniker) == S_OK && moniker) {
        std::optional<std::string> path;
        moniker->read_device_path(&path);
        moniker.reset();
      }
    }
  }
}

// Parks the two helper threads as the checker's spare (waiting for work) and
// watchdog (looking at the run every tick) park; neither is needed here. Like
// the checker, the floor waits until both run before its first driver call.
class Helpers {
 public:
  void start(cc::DriverPlatform& driver) {
    driver.start_thread([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      running();
      changed_.wait(lock, [this] { return ended_; });
    });
    driver.start_thread([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      running();
      while (!changed_.wait_for(lock, std::chrono::seconds(1), [this] { return ended_; })) {
      }
    });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(2), [this] { return running_ == 2; });
  }
  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false;
  int running_ = 0;

  void running() {  // mutex held
    ++running_;
    changed_.notify_all();
  }
};

}  // namespace

int main(int argc, char** argv) {
  const bool helpers = !(argc > 1 && std::strcmp(argv[1], "--without-helpers") == 0);
  cc::WinDriverPlatform driver;
  cc::WinOsPlatform os;
  cc::WinDecoderPlatform decoder;
  cc::WinAdapterSource adapters;
  cc::WinMediaFoundation mf;
  cc::WinDirectShow directshow;
  static Helpers parked;  // outlives main: the threads are never joined
  const bool anyone = cc::anyone_to_answer(driver);  // asked before any driver, as the checker asks
  if (helpers)
    parked.start(driver);
  if (SUCCEEDED(driver.co_initialize())) {
    decode(decoder);
    walk_adapters(adapters);
    encode(mf, adapters);
    cameras(mf, directshow);
    driver.co_uninitialize();
  }
  get_os_product_name(os);
  parked.release();
  cc::pause_after_report(driver, anyone, false);
  driver.end_process(0);  // the checker's last platform call
  return 0;
}
