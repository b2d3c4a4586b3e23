#pragma once
// The adapter side of Direct3D 9's rules, once for every implementation:
// CheckDeviceType, CheckDeviceFormat, CheckDeviceMultiSampleType,
// CheckDepthStencilMatch and the checks of CreateDevice. An implementation
// answers plain facts about what its adapter offers (D3D9AdapterFacts); the
// functions below turn them into Direct3D 9's answers, so that a device
// refused by one implementation is refused by every other.

#include "platform/d3d9/d3d9.h"

#include <vector>

// What one resource format can be made as on an adapter.
struct D3D9FormatSupport {
  bool texture = false;       // 2-D and cube textures, plain surfaces
  bool renderTarget = false;  // colour target (surface or texture)
  bool depthStencil = false;  // depth-stencil surface
  bool depthTexture = false;  // depth-stencil texture (a vendor extension; none here)
  bool filter = false;        // linear filtering
  bool srgbRead = false;
  bool blend = false;         // post-pixel-shader blending
  bool autoGenMipmap = false;
  bool plainSurfaceOnly = false;  // a surface-only format (fourCC switches such as 'INST')
};

class D3D9AdapterFacts {
public:
  virtual ~D3D9AdapterFacts() = default;
  virtual bool desktopMode(D3DDISPLAYMODE* mode) const = 0;
  // Fullscreen display modes of one format.
  virtual std::vector<D3DDISPLAYMODE> displayModes(D3DFORMAT format) const = 0;
  virtual bool fullscreenAllowed() const { return true; }
  // Whether the adapter can scan out a back buffer of the format.
  virtual bool backBufferFormat(D3DFORMAT format) const = 0;
  virtual D3D9FormatSupport formatSupport(D3DFORMAT format) const = 0;
  // The most samples a target of the format can have (0 or 1: none).
  virtual UINT maxSamples(D3DFORMAT format) const = 0;
  // The client area of a window; false when the window has none.
  virtual bool clientSize(HWND window, UINT* width, UINT* height) const = 0;
  virtual const D3DCAPS9& caps() const = 0;

  // A format the adapter can display (the desktop's, or one with modes).
  bool displayFormat(D3DFORMAT format) const;
};

HRESULT d3d9CheckDeviceType(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed);
HRESULT d3d9CheckDeviceFormat(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                              DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT format);
HRESULT d3d9CheckDeviceMultiSampleType(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type,
                                       D3DFORMAT format, BOOL windowed, D3DMULTISAMPLE_TYPE multiSample,
                                       DWORD* qualityLevels);
HRESULT d3d9CheckDepthStencilMatch(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type,
                                   D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat);
// Whether a resource of `format` with `usage` can be created on a device
// (the device-level form of CheckDeviceFormat, for texture and target
// creation).
bool d3d9FormatAllows(const D3D9AdapterFacts& facts, DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT format);
bool d3d9MultiSampleAllowed(const D3D9AdapterFacts& facts, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                            DWORD quality);

// CreateDevice's checks. On success `*params` holds the presentation
// parameters as Direct3D 9 completes them (one back buffer for 0, the
// desktop's format for a windowed D3DFMT_UNKNOWN, the window's client size
// for a windowed size of 0) and the device window in hDeviceWindow.
HRESULT d3d9CheckCreateDevice(const D3D9AdapterFacts& facts, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                              DWORD behaviorFlags, const D3DPRESENT_PARAMETERS* in, const void* out,
                              D3DPRESENT_PARAMETERS* params);

// The surfaces a device made with `pp` owns: its swap chain's back buffer and
// the automatic depth-stencil surface (when pp asks for one).
D3DSURFACE_DESC d3d9BackBufferDesc(const D3DPRESENT_PARAMETERS& pp);
D3DSURFACE_DESC d3d9AutoDepthStencilDesc(const D3DPRESENT_PARAMETERS& pp);
