#include "demo/FrameGrabber.h"

#include <cstdio>

#include "platform/d3d9/ReleaseCom.h"

namespace {

std::string failure(const char* call, HRESULT result) {
  char line[128];
  std::snprintf(line, sizeof line, "%s failed (0x%08x)", call, unsigned(result));
  return line;
}

}  // namespace

FrameGrabber::~FrameGrabber() { close(); }

void FrameGrabber::close() {
  releaseCom(pixelMemory);
  releaseCom(pixelTarget);
  releaseCom(memory);
  releaseCom(resolved);
  releaseCom(back);
  device = nullptr;
}

bool FrameGrabber::open(IDirect3DDevice9* renderDevice, std::string& error) {
  close();
  device = renderDevice;
  if (!device) {
    error = "no render device";
    return false;
  }
  HRESULT result = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  if (FAILED(result)) {
    error = failure("GetBackBuffer", result);
    return false;
  }
  D3DSURFACE_DESC desc;
  back->GetDesc(&desc);
  if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) {
    error = "the back buffer is not 32-bit RGB";
    return false;
  }
  frameWidth = int(desc.Width);
  frameHeight = int(desc.Height);
  if (desc.MultiSampleType != D3DMULTISAMPLE_NONE) {
    result = device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE, &resolved,
                                        nullptr);
    if (FAILED(result)) {
      error = failure("CreateRenderTarget (resolve)", result);
      return false;
    }
  }
  result = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &memory,
                                               nullptr);
  if (SUCCEEDED(result))
    result = device->CreateRenderTarget(1, 1, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE, &pixelTarget, nullptr);
  if (SUCCEEDED(result))
    result = device->CreateOffscreenPlainSurface(1, 1, desc.Format, D3DPOOL_SYSTEMMEM, &pixelMemory, nullptr);
  if (FAILED(result)) {
    error = failure("creating the read-back surfaces", result);
    return false;
  }
  return true;
}

bool FrameGrabber::copyToMemory(IDirect3DSurface9* source, IDirect3DSurface9* target, const RECT* area,
                                IDirect3DSurface9* destination, std::string& error) {
  if (target) {
    HRESULT result = device->StretchRect(source, area, target, nullptr, D3DTEXF_POINT);
    if (FAILED(result)) {
      error = failure("StretchRect", result);
      return false;
    }
    source = target;
  }
  HRESULT result = device->GetRenderTargetData(source, destination);
  if (FAILED(result)) {
    error = failure("GetRenderTargetData", result);
    return false;
  }
  return true;
}

bool FrameGrabber::readRgb(std::vector<uint8_t>& rgb, std::string& error) {
  if (!memory) {
    error = "the read-back surfaces are not open";
    return false;
  }
  if (!copyToMemory(back, resolved, nullptr, memory, error)) return false;
  D3DLOCKED_RECT locked;
  HRESULT result = memory->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(result)) {
    error = failure("LockRect", result);
    return false;
  }
  rgb.resize(size_t(frameWidth) * size_t(frameHeight) * 3);
  // A8R8G8B8 lies in memory as B, G, R, A; alpha carries the depth blur's
  // weights, not coverage, so it is left out of the picture.
  for (int y = 0; y < frameHeight; ++y) {
    const uint8_t* in = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch);
    uint8_t* out = rgb.data() + size_t(y) * size_t(frameWidth) * 3;
    for (int x = 0; x < frameWidth; ++x, in += 4, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  memory->UnlockRect();
  return true;
}

bool FrameGrabber::waitForFrame(std::string& error) {
  if (!pixelMemory) {
    error = "the read-back surfaces are not open";
    return false;
  }
  const RECT corner = {0, 0, 1, 1};
  if (!copyToMemory(back, pixelTarget, &corner, pixelMemory, error)) return false;
  D3DLOCKED_RECT locked;
  HRESULT result = pixelMemory->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(result)) {
    error = failure("LockRect", result);
    return false;
  }
  pixelMemory->UnlockRect();
  return true;
}
