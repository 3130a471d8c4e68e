// The Windows binding of DecoderPlatform: Direct3D 9Ex and DXVA2, resolved at
// run time from the system folder.
#pragma once

#include "decode/decoder_platform.h"

namespace cc {

class WinDecoderPlatform : public DecoderPlatform {
 public:
  WinDecoderPlatform() = default;
  WinDecoderPlatform(const WinDecoderPlatform&) = delete;
  WinDecoderPlatform& operator=(const WinDecoderPlatform&) = delete;
  // Unloads the libraries; every object handed out must be gone by then.
  ~WinDecoderPlatform() override;

  HRESULT create_direct3d(std::uint32_t sdk_version, std::unique_ptr<Direct3D>* d3d) override;
  HRESULT create_video_decoder_service(Direct3DDevice& device,
                                       std::unique_ptr<DecoderService>* service) override;

 private:
  HMODULE d3d9_ = nullptr;
  HMODULE dxva2_ = nullptr;
};

}  // namespace cc
