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
  if (!knownAdapter(adapter, type)) return d3d9Refuse("CheckDeviceType", "only the HAL of adapter 0");
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
  if (!knownAdapter(adapter, type)) return d3d9Refuse("CheckDeviceFormat", "only the HAL of adapter 0");
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
  if (!knownAdapter(adapter, type)) return d3d9Refuse("CheckDeviceMultiSampleType", "only the HAL of adapter 0");
  if ((DWORD)multiSample > D3DMULTISAMPLE_16_SAMPLES)
    return d3d9Refuse("CheckDeviceMultiSampleType", "%u is not a multisample type", (UINT)multiSample);
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
  if (!knownAdapter(adapter, type)) return d3d9Refuse("CheckDepthStencilMatch", "only the HAL of adapter 0");
  return facts.formatSupport(renderTargetFormat).renderTarget && facts.formatSupport(depthStencilFormat).depthStencil
             ? D3D_OK
             : D3DERR_NOTAVAILABLE;
}

HRESULT d3d9CheckCreateDevice(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                              DWORD behaviorFlags, const D3DPRESENT_PARAMETERS* in, const void* out,
                              D3DPRESENT_PARAMETERS* params) {
  const char* call = "CreateDevice";
  if (!knownAdapter(adapter, type)) return d3d9Refuse(call, "adapter %u, device type %u: only the HAL of adapter 0", adapter, (UINT)type);
  if (!in) return d3d9Refuse(call, "no presentation parameters");
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  D3DPRESENT_PARAMETERS p = *in;
  // Windowed, the focus window may be left out for the device window; the
  // full screen needs a focus window.
  if (!p.hDeviceWindow) p.hDeviceWindow = focusWindow;
  if (!p.hDeviceWindow) return d3d9Refuse(call, "neither a device window nor a focus window");
  if (!p.Windowed && !focusWindow) return d3d9Refuse(call, "the full screen needs a focus window");
  if (!vertexProcessingValid(behaviorFlags, facts.caps()))
    return d3d9Refuse(call, "behaviour 0x%lx: exactly one kind of vertex processing, a pure device in hardware",
                      (unsigned long)behaviorFlags);
  if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY)
    return d3d9Refuse(call, "%u is not a swap effect", (UINT)p.SwapEffect);
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  if (p.BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX)
    return d3d9Refuse(call, "%u back buffers of at most 3", p.BackBufferCount);
  // A copy swap keeps one back buffer to copy from.
  if (p.SwapEffect == D3DSWAPEFFECT_COPY && p.BackBufferCount > 1)
    return d3d9Refuse(call, "the copy swap effect with %u back buffers", p.BackBufferCount);
  if (!intervalValid(p.PresentationInterval, p.Windowed != FALSE, facts.caps()))
    return d3d9Refuse(call, "presentation interval 0x%x is not offered %s", p.PresentationInterval,
                      p.Windowed ? "to a window" : "in the full screen");

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
    if (p.FullScreen_RefreshRateInHz != 0)  // windows take the desktop's rate
      return d3d9Refuse(call, "a window with a refresh rate of %u Hz", p.FullScreen_RefreshRateInHz);
    if (d3d9CheckDeviceType(facts, adapter, type, desktop.Format, p.BackBufferFormat, TRUE) != D3D_OK)
      return d3d9Refuse(call, "back buffer format %u cannot show on the desktop's %u", (UINT)p.BackBufferFormat,
                        (UINT)desktop.Format);
  } else {
    if (!facts.fullscreenAllowed() || !facts.backBufferFormat(p.BackBufferFormat) || !fullscreenModeExists(facts, p))
      return d3d9Refuse(call, "no display mode of %ux%u at %u Hz for back buffer format %u", p.BackBufferWidth,
                        p.BackBufferHeight, p.FullScreen_RefreshRateInHz, (UINT)p.BackBufferFormat);
  }
  const D3DCAPS9& caps = facts.caps();
  if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || p.BackBufferWidth > caps.MaxTextureWidth ||
      p.BackBufferHeight > caps.MaxTextureHeight)
    return d3d9Refuse(call, "a %ux%u back buffer", p.BackBufferWidth, p.BackBufferHeight);

  // Multisampling resolves on Present, so it needs the discard swap effect
  // and a back buffer nobody locks.
  if (p.MultiSampleType != D3DMULTISAMPLE_NONE && p.SwapEffect != D3DSWAPEFFECT_DISCARD)
    return d3d9Refuse(call, "multisampling needs the discard swap effect");
  if (p.MultiSampleType != D3DMULTISAMPLE_NONE && (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER))
    return d3d9Refuse(call, "a multisampled back buffer is not lockable");
  if (!d3d9MultiSampleAllowed(facts, p.BackBufferFormat, p.MultiSampleType, p.MultiSampleQuality))
    return d3d9Refuse(call, "multisample type %u, quality %lu is not offered for format %u", (UINT)p.MultiSampleType,
                      (unsigned long)p.MultiSampleQuality, (UINT)p.BackBufferFormat);
  if (p.EnableAutoDepthStencil && !facts.formatSupport(p.AutoDepthStencilFormat).depthStencil)
    return d3d9Refuse(call, "%u is not a depth-stencil format", (UINT)p.AutoDepthStencilFormat);
  if (p.EnableAutoDepthStencil &&
      !d3d9MultiSampleAllowed(facts, p.AutoDepthStencilFormat, p.MultiSampleType, p.MultiSampleQuality))
    return d3d9Refuse(call, "multisample type %u is not offered for depth format %u", (UINT)p.MultiSampleType,
                      (UINT)p.AutoDepthStencilFormat);
  *params = p;
  return D3D_OK;
}

D3DSURFACE_DESC d3d9BackBufferDesc(const D3DPRESENT_PARAMETERS& pp) {
  return {pp.BackBufferFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
          pp.MultiSampleType, pp.MultiSampleQuality, pp.BackBufferWidth, pp.BackBufferHeight};
}

D3DSURFACE_DESC d3d9AutoDepthStencilDesc(const D3DPRESENT_PARAMETERS& pp) {
  return {pp.AutoDepthStencilFormat, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
          pp.MultiSampleType, pp.MultiSampleQuality, pp.BackBufferWidth, pp.BackBufferHeight};
}
