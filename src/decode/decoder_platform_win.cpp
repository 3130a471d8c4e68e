#include "decode/decoder_platform_win.h"

#include <d3d9.h>
#include <dxva2api.h>
#include <objbase.h>
#include <wrl/client.h>

#include <cstring>

#include "platform/co_task_memory_win.h"

namespace cc {
namespace {

using Microsoft::WRL::ComPtr;

// Resolved at run time (see SystemLibrary).
using Direct3DCreate9ExFn = HRESULT(WINAPI*)(UINT, IDirect3D9Ex**);
using DXVA2CreateVideoServiceFn = HRESULT(WINAPI*)(IDirect3DDevice9*, REFIID, void**);

class WinDirect3DDevice : public Direct3DDevice {
 public:
  explicit WinDirect3DDevice(ComPtr<IDirect3DDevice9> device) : device(std::move(device)) {}
  ComPtr<IDirect3DDevice9> device;
};

class WinDecoderService : public DecoderService {
 public:
  explicit WinDecoderService(ComPtr<IDirectXVideoDecoderService> service)
      : service_(std::move(service)) {}

  HRESULT get_decoder_device_guids(std::vector<GUID>* guids) override {
    UINT count = 0;
    GUID* raw = nullptr;
    const HRESULT hr = service_->GetDecoderDeviceGuids(&count, &raw);
    CoTaskMemory<GUID> owned(raw);
    if (SUCCEEDED(hr) && raw)
      guids->assign(raw, raw + count);
    return hr;
  }

  HRESULT get_decoder_render_targets(const GUID& profile,
                                     std::vector<std::uint32_t>* formats) override {
    UINT count = 0;
    D3DFORMAT* raw = nullptr;
    const HRESULT hr = service_->GetDecoderRenderTargets(profile, &count, &raw);
    CoTaskMemory<D3DFORMAT> owned(raw);
    if (SUCCEEDED(hr) && raw) {
      formats->clear();
      for (UINT i = 0; i < count; ++i)
        formats->push_back(static_cast<std::uint32_t>(raw[i]));
    }
    return hr;
  }

  HRESULT get_decoder_configurations(const GUID& profile,
                                     const VideoDescription& description,
                                     std::vector<DecoderConfiguration>* configurations) override {
    DXVA2_VideoDesc video = {};
    video.Format = static_cast<D3DFORMAT>(description.format);
    UINT count = 0;
    DXVA2_ConfigPictureDecode* raw = nullptr;
    const HRESULT hr = service_->GetDecoderConfigurations(profile, &video, nullptr, &count, &raw);
    CoTaskMemory<DXVA2_ConfigPictureDecode> owned(raw);
    if (SUCCEEDED(hr) && raw) {
      configurations->clear();
      for (UINT i = 0; i < count; ++i)
        configurations->push_back(DecoderConfiguration{raw[i].ConfigBitstreamRaw});
    }
    return hr;
  }

 private:
  ComPtr<IDirectXVideoDecoderService> service_;
};

class WinDirect3D : public Direct3D {
 public:
  explicit WinDirect3D(ComPtr<IDirect3D9Ex> d3d) : d3d_(std::move(d3d)) {}

  std::uint32_t get_adapter_count() override { return d3d_->GetAdapterCount(); }

  HRESULT get_adapter_identifier(std::uint32_t adapter,
                                 std::uint32_t flags,
                                 std::string* description) override {
    D3DADAPTER_IDENTIFIER9 identifier;
    std::memset(&identifier, 0, sizeof(identifier));
    const HRESULT hr = d3d_->GetAdapterIdentifier(adapter, flags, &identifier);
    if (SUCCEEDED(hr)) {
      // Bounded by the field: a driver that fills all of it leaves no terminator.
      const char* text = identifier.Description;
      description->assign(text, strnlen(text, sizeof(identifier.Description)));
    }
    return hr;
  }

  HRESULT create_device(const DeviceParameters& parameters,
                        std::unique_ptr<Direct3DDevice>* device) override {
    D3DPRESENT_PARAMETERS present;
    std::memset(&present, 0, sizeof(present));
    present.SwapEffect = static_cast<D3DSWAPEFFECT>(parameters.present.swap_effect);
    present.Windowed = static_cast<BOOL>(parameters.present.windowed);
    present.Flags = parameters.present.flags;
    ComPtr<IDirect3DDevice9> created;
    const HRESULT hr = d3d_->CreateDevice(
        parameters.adapter, static_cast<D3DDEVTYPE>(parameters.device_type), GetDesktopWindow(),
        parameters.behavior_flags, &present, created.GetAddressOf());
    if (SUCCEEDED(hr) && created)
      *device = std::make_unique<WinDirect3DDevice>(std::move(created));
    return hr;
  }

 private:
  ComPtr<IDirect3D9Ex> d3d_;
};

}  // namespace

HRESULT WinDecoderPlatform::create_direct3d(std::uint32_t sdk_version,
                                            std::unique_ptr<Direct3D>* d3d) {
  Direct3DCreate9ExFn create = nullptr;
  HRESULT hr = d3d9_.resolve("Direct3DCreate9Ex", &create);
  if (FAILED(hr))
    return hr;
  ComPtr<IDirect3D9Ex> created;
  hr = create(sdk_version, created.GetAddressOf());
  if (SUCCEEDED(hr) && created)
    *d3d = std::make_unique<WinDirect3D>(std::move(created));
  return hr;
}

HRESULT WinDecoderPlatform::create_video_decoder_service(Direct3DDevice& device,
                                                         std::unique_ptr<DecoderService>* service) {
  auto* win_device = dynamic_cast<WinDirect3DDevice*>(&device);
  if (!win_device)
    return E_INVALIDARG;
  DXVA2CreateVideoServiceFn create = nullptr;
  HRESULT hr = dxva2_.resolve("DXVA2CreateVideoService", &create);
  if (FAILED(hr))
    return hr;
  ComPtr<IDirectXVideoDecoderService> created;
  hr = create(win_device->device.Get(), __uuidof(IDirectXVideoDecoderService),
              reinterpret_cast<void**>(created.GetAddressOf()));
  if (SUCCEEDED(hr) && created)
    *service = std::make_unique<WinDecoderService>(std::move(created));
  return hr;
}

}  // namespace cc
