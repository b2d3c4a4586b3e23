// The OpenGL IDirect3D9: adapter modes from SDL's display, format checks for
// what the device can create, caps (d3d9Caps), device creation, and the
// registration of the implementation.

#include "platform/d3d9/gl/GlDevice.h"

#include "platform/win32/Win32Sdl.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

// The registrar lives in the same object file as d3d9GlLink, which the
// library's link options force into every program that links it.
static D3D9ImplementationRegistrar glRegistrar("gl", glDirect3DCreate9, 100);

extern "C" void d3d9GlLink() {}

uint64_t glNextSerial() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

IDirect3D9* glDirect3DCreate9(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION) return nullptr;
  return new GlDirect3D9();
}

GlDirect3D9::GlDirect3D9() {}

ULONG GlDirect3D9::Release() {
  if (refs == 0) return 0;
  ULONG left = --refs;
  if (left == 0) delete this;
  return left;
}

UINT GlDirect3D9::GetAdapterCount() { return 1; }

// --- display modes --------------------------------------------------------------------
bool GlDirect3D9::desktopMode(D3DDISPLAYMODE* mode) const {
  SDL_DisplayMode desktop;
  if (!initSdlVideo() || SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
  D3DFORMAT format = glDisplayFormatForBits(SDL_BITSPERPIXEL(desktop.format));
  if (format == D3DFMT_UNKNOWN) format = D3DFMT_X8R8G8B8;
  // Virtual displays report no rate; they refresh at 60 Hz.
  *mode = {(UINT)desktop.w, (UINT)desktop.h, desktop.refresh_rate > 0 ? (UINT)desktop.refresh_rate : 60u, format};
  return true;
}

std::vector<D3DDISPLAYMODE> GlDirect3D9::displayModes(D3DFORMAT format) const {
  std::vector<D3DDISPLAYMODE> list;
  D3DDISPLAYMODE desktop;
  if (!desktopMode(&desktop)) return list;
  int n = SDL_GetNumDisplayModes(0);
  bool real = n > 1;
  std::vector<D3DDISPLAYMODE> all;
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
    if (m.refresh_rate <= 0) real = false;
    D3DFORMAT f = glDisplayFormatForBits(SDL_BITSPERPIXEL(m.format));
    if (f == D3DFMT_UNKNOWN) continue;
    all.push_back({(UINT)m.w, (UINT)m.h, m.refresh_rate > 0 ? (UINT)m.refresh_rate : 60u, f});
  }
  if (!real) {
    // A virtual display (Xvfb, SDL's offscreen driver) lists one mode at
    // most: offer the usual sizes that fit it, at its format and rate.
    static const UINT sizes[][2] = {{640, 480},   {800, 600},   {1024, 768},  {1152, 864},  {1280, 720},
                                    {1280, 800},  {1280, 960},  {1280, 1024}, {1366, 768},  {1440, 900},
                                    {1600, 900},  {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200},
                                    {2560, 1440}, {2560, 1600}, {3840, 2160}};
    all.clear();
    for (const auto& s : sizes)
      if (s[0] <= desktop.Width && s[1] <= desktop.Height)
        all.push_back({s[0], s[1], desktop.RefreshRate, desktop.Format});
    all.push_back(desktop);
  }
  for (const D3DDISPLAYMODE& m : all)
    if (m.Format == format) list.push_back(m);
  std::sort(list.begin(), list.end(), [](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
    if (a.Width != b.Width) return a.Width < b.Width;
    if (a.Height != b.Height) return a.Height < b.Height;
    return a.RefreshRate < b.RefreshRate;
  });
  list.erase(std::unique(list.begin(), list.end(),
                         [](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
                           return a.Width == b.Width && a.Height == b.Height && a.RefreshRate == b.RefreshRate;
                         }),
             list.end());
  return list;
}

UINT GlDirect3D9::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) {
  if (Adapter != 0) return 0;
  return (UINT)displayModes(Format).size();
}

HRESULT GlDirect3D9::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) {
  if (Adapter != 0 || !pMode) return D3DERR_INVALIDCALL;
  std::vector<D3DDISPLAYMODE> list = displayModes(Format);
  if (Mode >= list.size()) return D3DERR_INVALIDCALL;
  *pMode = list[Mode];
  return D3D_OK;
}

HRESULT GlDirect3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
  if (Adapter != 0 || !pMode) return D3DERR_INVALIDCALL;
  return desktopMode(pMode) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

// --- what the adapter offers ------------------------------------------------------------
bool GlDirect3D9::backBufferFormat(D3DFORMAT f) const {
  return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5 ||
         f == D3DFMT_A1R5G5B5 || f == D3DFMT_A2R10G10B10;
}

D3D9FormatSupport GlDirect3D9::formatSupport(D3DFORMAT format) const {
  D3D9FormatSupport s;
  const GlFormat* f = glFormatInfo(format);
  if (!f) return s;
  // Depth formats are depth-stencil surfaces only: no depth textures.
  s.depthStencil = f->depth;
  s.texture = f->texture && !f->depth;
  s.renderTarget = f->renderTarget;
  s.filter = f->filterable;
  s.srgbRead = f->srgbInternal != 0;
  s.blend = f->renderTarget;
  // Mipmaps are generated by rendering, so only renderable formats get them.
  s.autoGenMipmap = f->renderTarget;
  return s;
}

// Mesa's llvmpipe, like most GL 3.3 drivers, offers 4 samples; 2 is
// rounded up to it.
UINT GlDirect3D9::maxSamples(D3DFORMAT format) const {
  const GlFormat* f = glFormatInfo(format);
  return f && (f->renderTarget || f->depth) ? 4 : 0;
}

bool GlDirect3D9::clientSize(HWND window, UINT* width, UINT* height) const {
  int w = 0, h = 0;
  SDL_Window* sdl = sdlWindowFromHandle(window);
  if (!sdl) return false;
  SDL_GetWindowSize(sdl, &w, &h);
  *width = w > 0 ? (UINT)w : 0;
  *height = h > 0 ? (UINT)h : 0;
  return true;
}

// --- format checks ---------------------------------------------------------------------
HRESULT GlDirect3D9::CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                     D3DFORMAT BackBufferFormat, BOOL bWindowed) {
  return d3d9CheckDeviceType(*this, Adapter, DevType, AdapterFormat, BackBufferFormat, bWindowed);
}

HRESULT GlDirect3D9::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                       D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
  return d3d9CheckDeviceFormat(*this, Adapter, DeviceType, AdapterFormat, Usage, RType, CheckFormat);
}

HRESULT GlDirect3D9::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat,
                                                BOOL Windowed, D3DMULTISAMPLE_TYPE MultiSampleType,
                                                DWORD* pQualityLevels) {
  return d3d9CheckDeviceMultiSampleType(*this, Adapter, DeviceType, SurfaceFormat, Windowed, MultiSampleType,
                                        pQualityLevels);
}

HRESULT GlDirect3D9::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                            D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) {
  return d3d9CheckDepthStencilMatch(*this, Adapter, DeviceType, AdapterFormat, RenderTargetFormat,
                                    DepthStencilFormat);
}

HRESULT GlDirect3D9::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
  if (Adapter != 0 || DeviceType != D3DDEVTYPE_HAL || !pCaps) return D3DERR_INVALIDCALL;
  *pCaps = d3d9Caps();
  return D3D_OK;
}

// --- device creation ----------------------------------------------------------------------
HRESULT GlDirect3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                  D3DPRESENT_PARAMETERS* pPresentationParameters, IDirect3DDevice9** ppDevice) {
  if (ppDevice) *ppDevice = nullptr;
  D3DPRESENT_PARAMETERS p;
  if (HRESULT hr = d3d9CheckCreateDevice(*this, Adapter, DeviceType, hFocusWindow, BehaviorFlags,
                                         pPresentationParameters, ppDevice, &p))
    return hr;
  HWND window = p.hDeviceWindow;
  std::string error;
  GlContext* context = GlContext::create(window, true, error);
  if (!context) {
    std::fprintf(stderr, "Direct3D 9 (OpenGL): no OpenGL 3.3 context: %s\n", error.c_str());
    return D3DERR_NOTAVAILABLE;
  }
  GlDevice* device = new GlDevice(this, hFocusWindow ? hFocusWindow : window, BehaviorFlags, p, context);
  if (!device->init()) {
    device->Release();
    return D3DERR_NOTAVAILABLE;
  }
  *pPresentationParameters = p;  // Direct3D 9 writes back the sizes and format it chose
  *ppDevice = device;
  return D3D_OK;
}

bool glDeviceStats(IDirect3DDevice9* device, GlDeviceStats* stats) {
  GlDevice* d = dynamic_cast<GlDevice*>(device);
  if (!d || !stats) return false;
  *stats = d->stats;
  return true;
}

// The device statistics every implementation answers (d3d9DeviceStatistics).
static bool glDeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out) {
  GlDevice* d = dynamic_cast<GlDevice*>(device);
  if (!d) return false;
  out->draws = d->stats.draws;
  out->backendCallsSent = d->stats.stateCalls;
  out->backendCallsSkipped = d->stats.stateCallsSkipped;
  out->programsLinked = d->stats.programsLinked;
  out->bufferBytesUploaded = d->stats.bufferBytesUploaded;
  return true;
}
static const bool glStatisticsRegistered = (d3d9RegisterStatistics(glDeviceStatistics), true);

bool glDeviceIsSurfaceless(IDirect3DDevice9* device) {
  GlDevice* d = dynamic_cast<GlDevice*>(device);
  return d && d->glContext()->surfaceless();
}
