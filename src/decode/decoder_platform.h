// The Direct3D 9Ex and DXVA2 seam of the decoding probe: one method per
// platform call, HRESULTs and out-values as the platform gives them. Objects
// handed out are owned by the caller; destroying one releases the platform
// object behind it. Arrays the platform allocates are copied out and freed by
// the binding, so the core only ever sees vectors.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/com_types.h"

namespace cc {

// The D3DPRESENT_PARAMETERS fields the probe sets; the binding zeroes the rest
// and leaves hDeviceWindow null.
struct PresentParameters {
  std::uint32_t swap_effect = 0;  // D3DSWAPEFFECT
  std::uint32_t windowed = 0;     // BOOL
  std::uint32_t flags = 0;        // D3DPRESENTFLAG_*
};

// IDirect3D9::CreateDevice arguments; the focus window is always the desktop.
struct DeviceParameters {
  std::uint32_t adapter = 0;
  std::uint32_t device_type = 0;     // D3DDEVTYPE
  std::uint32_t behavior_flags = 0;  // D3DCREATE_*
  PresentParameters present;
};

// DXVA2_VideoDesc with every field zero except Format.
struct VideoDescription {
  std::uint32_t format = 0;  // D3DFORMAT
};

// The one field of DXVA2_ConfigPictureDecode the probe reads.
struct DecoderConfiguration {
  std::uint32_t config_bitstream_raw = 0;
};

// IDirect3DDevice9: only held, so that the decoder service has a device.
class Direct3DDevice {
 public:
  virtual ~Direct3DDevice() = default;
};

// IDirectXVideoDecoderService.
class DecoderService {
 public:
  virtual ~DecoderService() = default;
  virtual HRESULT get_decoder_device_guids(std::vector<GUID>* guids) = 0;
  virtual HRESULT get_decoder_render_targets(const GUID& profile,
                                             std::vector<std::uint32_t>* formats) = 0;
  // The reserved argument is always null.
  virtual HRESULT get_decoder_configurations(const GUID& profile,
                                             const VideoDescription& description,
                                             std::vector<DecoderConfiguration>* configurations) = 0;
};

// IDirect3D9Ex (the IDirect3D9 methods the probe calls on it).
class Direct3D {
 public:
  virtual ~Direct3D() = default;
  virtual std::uint32_t get_adapter_count() = 0;
  // Clears the identifier record, then GetAdapterIdentifier; description is
  // the Description field up to its terminator.
  virtual HRESULT get_adapter_identifier(std::uint32_t adapter,
                                         std::uint32_t flags,
                                         std::string* description) = 0;
  // CreateDevice with GetDesktopWindow as the focus window.
  virtual HRESULT create_device(const DeviceParameters& parameters,
                                std::unique_ptr<Direct3DDevice>* device) = 0;
};

class DecoderPlatform {
 public:
  virtual ~DecoderPlatform() = default;
  // Direct3DCreate9Ex.
  virtual HRESULT create_direct3d(std::uint32_t sdk_version, std::unique_ptr<Direct3D>* d3d) = 0;
  // DXVA2CreateVideoService(device, IID_IDirectXVideoDecoderService, ...).
  virtual HRESULT create_video_decoder_service(Direct3DDevice& device,
                                               std::unique_ptr<DecoderService>* service) = 0;
};

}  // namespace cc
