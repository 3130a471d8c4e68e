// The Windows binding of DecoderPlatform: Direct3D 9Ex and DXVA2, resolved at
// run time from the system folder.
#pragma once

#include "decode/decoder_platform.h"
#include "platform/system_library_win.h"

namespace cc {

class WinDecoderPlatform : public DecoderPlatform {
 public:
  WinDecoderPlatform() = default;
  WinDecoderPlatform(const WinDecoderPlatform&) = delete;
  WinDecoderPlatform& operator=(const WinDecoderPlatform&) = delete;
  // Unloads the libraries; every object handed out must be gone by then.
  ~WinDecoderPlatform() override = default;

  HRESULT create_direct3d(std::uint32_t sdk_version, std::unique_ptr<Direct3D>* d3d) override;
  HRESULT create_video_decoder_service(Direct3DDevice& device,
                                       std::unique_ptr<DecoderService>* service) override;

 private:
  SystemLibrary d3d9_{L"d3d9.dll"};
  SystemLibrary dxva2_{L"dxva2.dll"};
};

}  // namespace cc
