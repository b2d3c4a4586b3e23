#pragma once
// Reads finished frames back from the render device's back buffer, the way a
// Direct3D 9 program does: a multisampled back buffer is resolved into a
// plain render target first (StretchRect), then copied into system memory
// (GetRenderTargetData) and locked.
//
// The frame is read after the demo's Present: a windowed device keeps its
// back buffer through Present (copy swap effect), and the offscreen device
// behind the capture tool has nowhere else to put it in any case.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"

class FrameGrabber {
 public:
  FrameGrabber() = default;
  ~FrameGrabber();
  FrameGrabber(const FrameGrabber&) = delete;
  FrameGrabber& operator=(const FrameGrabber&) = delete;

  // False with the reason in `error` when the surfaces cannot be made.
  bool open(IDirect3DDevice9* device, std::string& error);
  // The frame as tightly packed RGB rows, top row first.
  bool readRgb(std::vector<uint8_t>& rgb, std::string& error);
  // Waits until the frame is drawn by reading one of its pixels back: frame
  // times then measure rendering, not only the submission of commands.
  bool waitForFrame(std::string& error);
  void close();

  int width() const { return frameWidth; }
  int height() const { return frameHeight; }

 private:
  bool copyToMemory(IDirect3DSurface9* source, IDirect3DSurface9* target, const RECT* area,
                    IDirect3DSurface9* memory, std::string& error);

  IDirect3DDevice9* device = nullptr;
  IDirect3DSurface9* back = nullptr;
  IDirect3DSurface9* resolved = nullptr;  // only for a multisampled back buffer
  IDirect3DSurface9* memory = nullptr;
  IDirect3DSurface9* pixelTarget = nullptr;  // 1 x 1, for waitForFrame
  IDirect3DSurface9* pixelMemory = nullptr;
  int frameWidth = 0;
  int frameHeight = 0;
};
