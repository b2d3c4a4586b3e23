// Direct3D 9's adapter queries and device creation, over the facts an
// implementation answers.

#include "platform/d3d9/D3D9Adapter.h"

#include "platform/d3d9/D3D9Rules.h"

namespace {

bool knownAdapter(UINT adapter, D3DDEVTYPE type) { return adapter == 0 && type == D3DDEVTYPE_HAL; }

// Sample counts Direct3D 9 names (2..16); NONMASKABLE stands for whatever
// the adapter has.
UINT samplesOf(D3DMULTISAMPLE_TYPE type) {
  return type >= D3DMULTISAMPLE_2_SAMPLES && type <= D3DMULTISAMPLE_16_SAMPLES ? (UINT)type : 0;
}

// Quality levels of a multisample type for a format: 0 when unsupported.
DWORD qualityLevels(const D3D9AdapterFacts& facts, D3DFORMAT format, D3DMULTISAMPLE_TYPE type) {
  if (type == D3DMULTISAMPLE_NONE) return 1;
  D3D9FormatSupport s = facts.formatSupport(format);
  if (!s.renderTarget && !s.depthStencil) return 0;
  UINT most = facts.maxSamples(format);
  if (type == D3DMULTISAMPLE_NONMASKABLE) return most >= 2 ? 1 : 0;
  UINT samples = samplesOf(type);
  // Drivers offer the powers of two up to their most.
  return samples >= 2 && samples <= most && (samples & (samples - 1)) == 0 ? 1 : 0;
}

bool vertexProcessingValid(DWORD behavior, const D3DCAPS9& caps) {
  DWORD vp = behavior & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
  // Exactly one kind; a pure device processes vertices in hardware only.
  if (vp == 0 || (vp & (vp - 1)) != 0) return false;
  if ((behavior & D3DCREATE_PUREDEVICE) && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING) return false;
  if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && !(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
    return false;
  return true;
}

bool intervalValid(UINT interval, bool windowed, const D3DCAPS9& caps) {
  switch (interval) {
  case D3DPRESENT_INTERVAL_DEFAULT:
  case D3DPRESENT_INTERVAL_ONE:
  case D3DPRESENT_INTERVAL_IMMEDIATE: return true;
  case D3DPRESENT_INTERVAL_TWO:
  case D3DPRESENT_INTERVAL_THREE:
  case D3DPRESENT_INTERVAL_FOUR: return !windowed && (caps.PresentationIntervals & interval) != 0;
  default: return false;
  }
}

bool fullscreenModeExists(const D3D9AdapterFacts& facts, const D3DPRESENT_PARAMETERS& p) {
  for (D3DFORMAT display : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A2R10G10B10}) {
    if (!d3d9BackBufferMatchesDisplay(display, p.BackBufferFormat)) continue;
    for (const D3DDISPLAYMODE& m : facts.displayModes(display))
      if (m.Width == p.BackBufferWidth && m.Height == p.BackBufferHeight &&
          (p.FullScreen_RefreshRateInHz == 0 || p.FullScreen_RefreshRateInHz == m.RefreshRate))
        return true;
  }
  return false;
}

}  // namespace

bool D3D9AdapterFacts::displayFormat(D3DFORMAT format) const {
  D3DDISPLAYMODE desktop;
  if (desktopMode(&desktop) && desktop.Format == format) return true;
  return !displayModes(format).empty();
}

HRESULT d3d9CheckDeviceType(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed) {
  if (!knownAdapter(adapter, type)) return D3DERR_INVALIDCALL;
  if (!facts.backBufferFormat(backBufferFormat) || !d3d9BackBufferMatchesDisplay(adapterFormat, backBufferFormat))
    return D3DERR_NOTAVAILABLE;
  if (windowed) {
    // A window shows on the desktop as it is.
    D3DDISPLAYMODE desktop;
    return facts.desktopMode(&desktop) && desktop.Format == adapterFormat ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  return facts.fullscreenAllowed() && facts.displayFormat(adapterFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

bool d3d9FormatAllows(const D3D9AdapterFacts& facts, DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT format) {
  // D3DOK_NOAUTOGEN still creates the resource, with one level.
  return SUCCEEDED(d3d9CheckDeviceFormat(facts, 0, D3DDEVTYPE_HAL, D3DFMT_UNKNOWN, usage, resourceType, format));
}

HRESULT d3d9CheckDeviceFormat(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                              DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT format) {
  (void)adapterFormat;  // one adapter, whose formats do not depend on the display's
  if (!knownAdapter(adapter, type)) return D3DERR_INVALIDCALL;
  if (resourceType == D3DRTYPE_VERTEXBUFFER) return format == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
  if (resourceType == D3DRTYPE_INDEXBUFFER)
    return d3d9IndexSize(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
  bool surface = resourceType == D3DRTYPE_SURFACE;
  if (!surface && resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_CUBETEXTURE)
    return D3DERR_NOTAVAILABLE;
  D3D9FormatSupport s = facts.formatSupport(format);
  bool ok;
  if (usage & D3DUSAGE_DEPTHSTENCIL) {
    ok = surface ? s.depthStencil : resourceType == D3DRTYPE_TEXTURE && s.depthTexture;
  } else if (d3d9IsDepthFormat(format)) {
    ok = false;  // depth formats hold depth only
  } else {
    ok = s.texture || (surface && s.plainSurfaceOnly);
    if (usage & D3DUSAGE_RENDERTARGET) ok = s.renderTarget;
    if ((usage & D3DUSAGE_QUERY_SRGBREAD) && !s.srgbRead) ok = false;
    if ((usage & D3DUSAGE_QUERY_SRGBWRITE) && !(s.srgbRead && s.renderTarget)) ok = false;
    if ((usage & D3DUSAGE_QUERY_FILTER) && !s.filter) ok = false;
    if ((usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) && !s.blend) ok = false;
    if (usage & (D3DUSAGE_QUERY_LEGACYBUMPMAP | D3DUSAGE_DMAP)) ok = false;
  }
  if (!ok) return D3DERR_NOTAVAILABLE;
  // The format is fine; mipmaps would still have to be made by hand.
  if ((usage & D3DUSAGE_AUTOGENMIPMAP) && !s.autoGenMipmap) return D3DOK_NOAUTOGEN;
  return D3D_OK;
}

HRESULT d3d9CheckDeviceMultiSampleType(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type,
                                       D3DFORMAT format, BOOL windowed, D3DMULTISAMPLE_TYPE multiSample,
                                       DWORD* levels) {
  (void)windowed;  // windows multisample like the full screen does
  if (!knownAdapter(adapter, type) || (DWORD)multiSample > D3DMULTISAMPLE_16_SAMPLES) return D3DERR_INVALIDCALL;
  DWORD n = qualityLevels(facts, format, multiSample);
  if (n == 0) return D3DERR_NOTAVAILABLE;
  if (levels) *levels = n;
  return D3D_OK;
}

bool d3d9MultiSampleAllowed(const D3D9AdapterFacts& facts, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                            DWORD quality) {
  return (DWORD)multiSample <= D3DMULTISAMPLE_16_SAMPLES && quality < qualityLevels(facts, format, multiSample);
}

HRESULT d3d9CheckDepthStencilMatch(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type,
                                   D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) {
  (void)adapterFormat;
  if (!knownAdapter(adapter, type)) return D3DERR_INVALIDCALL;
  return facts.formatSupport(renderTargetFormat).renderTarget && facts.formatSupport(depthStencilFormat).depthStencil
             ? D3D_OK
             : D3DERR_NOTAVAILABLE;
}

HRESULT d3d9CheckCreateDevice(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                              DWORD behaviorFlags, const D3DPRESENT_PARAMETERS* in, const void* out,
                              D3DPRESENT_PARAMETERS* params) {
  if (!knownAdapter(adapter, type) || !in || !out) return D3DERR_INVALIDCALL;
  D3DPRESENT_PARAMETERS p = *in;
  // Windowed, the focus window may be left out for the device window; the
  // full screen needs a focus window.
  if (!p.hDeviceWindow) p.hDeviceWindow = focusWindow;
  if (!p.hDeviceWindow || (!p.Windowed && !focusWindow)) return D3DERR_INVALIDCALL;
  if (!vertexProcessingValid(behaviorFlags, facts.caps())) return D3DERR_INVALIDCALL;
  if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  if (p.BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX) return D3DERR_INVALIDCALL;
  // A copy swap keeps one back buffer to copy from.
  if (p.SwapEffect == D3DSWAPEFFECT_COPY && p.BackBufferCount > 1) return D3DERR_INVALIDCALL;
  if (!intervalValid(p.PresentationInterval, p.Windowed != FALSE, facts.caps())) return D3DERR_INVALIDCALL;

  if (p.Windowed) {
    D3DDISPLAYMODE desktop;
    if (!facts.desktopMode(&desktop)) return D3DERR_NOTAVAILABLE;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = desktop.Format;
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
      UINT w = 0, h = 0;
      if (!facts.clientSize(p.hDeviceWindow, &w, &h)) w = h = 1;
      if (p.BackBufferWidth == 0) p.BackBufferWidth = w ? w : 1;
      if (p.BackBufferHeight == 0) p.BackBufferHeight = h ? h : 1;
    }
    if (p.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;  // windows take the desktop's rate
    if (d3d9CheckDeviceType(facts, adapter, type, desktop.Format, p.BackBufferFormat, TRUE) != D3D_OK)
      return D3DERR_INVALIDCALL;
  } else {
    if (!facts.fullscreenAllowed() || !facts.backBufferFormat(p.BackBufferFormat) || !fullscreenModeExists(facts, p))
      return D3DERR_INVALIDCALL;
  }
  const D3DCAPS9& caps = facts.caps();
  if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || p.BackBufferWidth > caps.MaxTextureWidth ||
      p.BackBufferHeight > caps.MaxTextureHeight)
    return D3DERR_INVALIDCALL;

  // Multisampling resolves on Present, so it needs the discard swap effect
  // and a back buffer nobody locks.
  if (p.MultiSampleType != D3DMULTISAMPLE_NONE &&
      (p.SwapEffect != D3DSWAPEFFECT_DISCARD || (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)))
    return D3DERR_INVALIDCALL;
  if (!d3d9MultiSampleAllowed(facts, p.BackBufferFormat, p.MultiSampleType, p.MultiSampleQuality))
    return D3DERR_INVALIDCALL;
  if (p.EnableAutoDepthStencil &&
      (!facts.formatSupport(p.AutoDepthStencilFormat).depthStencil ||
       !d3d9MultiSampleAllowed(facts, p.AutoDepthStencilFormat, p.MultiSampleType, p.MultiSampleQuality)))
    return D3DERR_INVALIDCALL;
  *params = p;
  return D3D_OK;
}
