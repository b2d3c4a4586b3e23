// The recording IDirect3D9: adapter queries answered from recordingConfig().

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/RecordingInternal.h"

#include <algorithm>

using namespace rec;

namespace {

bool contains(const std::vector<D3DFORMAT>& list, D3DFORMAT f) {
  return std::find(list.begin(), list.end(), f) != list.end();
}

class RecordingAdapterFacts : public D3D9AdapterFacts {
public:
  bool desktopMode(D3DDISPLAYMODE* mode) const override {
    *mode = recordingConfig().adapterMode;
    return true;
  }
  std::vector<D3DDISPLAYMODE> displayModes(D3DFORMAT format) const override {
    auto it = recordingConfig().modes.find(format);
    return it == recordingConfig().modes.end() ? std::vector<D3DDISPLAYMODE>() : it->second;
  }
  bool fullscreenAllowed() const override { return recordingConfig().fullscreenAllowed; }
  bool backBufferFormat(D3DFORMAT format) const override {
    return contains(recordingConfig().backBufferFormats, format);
  }
  D3D9FormatSupport formatSupport(D3DFORMAT format) const override {
    const RecordingConfig& c = recordingConfig();
    D3D9FormatSupport s;
    s.texture = contains(c.textureFormats, format);
    s.renderTarget = contains(c.renderTargetFormats, format);
    s.depthStencil = contains(c.depthFormats, format);
    s.plainSurfaceOnly = contains(c.surfaceFormats, format);
    s.filter = s.srgbRead = s.texture;
    s.blend = s.autoGenMipmap = s.renderTarget;
    return s;
  }
  UINT maxSamples(D3DFORMAT format) const override {
    const RecordingConfig& c = recordingConfig();
    bool target = contains(c.renderTargetFormats, format) || contains(c.depthFormats, format);
    return target ? c.maxMultiSample : 0;
  }
  bool clientSize(HWND window, UINT* width, UINT* height) const override {
    RECT r;
    if (!GetClientRect(window, &r)) return false;
    *width = r.right > r.left ? (UINT)(r.right - r.left) : 0;
    *height = r.bottom > r.top ? (UINT)(r.bottom - r.top) : 0;
    return true;
  }
  const D3DCAPS9& caps() const override { return recordingConfig().caps; }
};

}  // namespace

const D3D9AdapterFacts& recordingAdapterFacts() {
  static const RecordingAdapterFacts facts;
  return facts;
}

IDirect3D9* recordingDirect3DCreate9(UINT sdkVersion) {
  HRESULT fail = recordingInjectedFailure(nullptr, "Direct3DCreate9");
  if (fail != S_OK) {
    recordingLog().append({"", "Direct3DCreate9", "Direct3DCreate9(" + u(sdkVersion) + ")", fail});
    return nullptr;
  }
  RecordingDirect3D9* d3d = new RecordingDirect3D9();
  recordingLog().append({d3d->name(), "Direct3DCreate9", "Direct3DCreate9(" + u(sdkVersion) + ")", S_OK});
  return d3d;
}

RecordingDirect3D9::RecordingDirect3D9() : RecordingObject("Direct3D9") {}

UINT RecordingDirect3D9::GetAdapterCount() {
  logCall("GetAdapterCount", "", S_OK);
  return 1;
}

UINT RecordingDirect3D9::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) {
  logCall("GetAdapterModeCount", args(u(Adapter), u(Format)), S_OK);
  if (Adapter != 0) return 0;
  auto it = recordingConfig().modes.find(Format);
  return it == recordingConfig().modes.end() ? 0 : (UINT)it->second.size();
}

HRESULT RecordingDirect3D9::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) {
  std::string a = args(u(Adapter), u(Format), u(Mode), p(pMode));
  if (HRESULT hr = injected("EnumAdapterModes")) return logCall("EnumAdapterModes", a, hr);
  auto it = recordingConfig().modes.find(Format);
  if (Adapter != 0 || !pMode || it == recordingConfig().modes.end() || Mode >= it->second.size())
    return logCall("EnumAdapterModes", a, D3DERR_INVALIDCALL);
  *pMode = it->second[Mode];
  return logCall("EnumAdapterModes", a, S_OK);
}

HRESULT RecordingDirect3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
  std::string a = args(u(Adapter), p(pMode));
  if (HRESULT hr = injected("GetAdapterDisplayMode")) return logCall("GetAdapterDisplayMode", a, hr);
  if (Adapter != 0 || !pMode) return logCall("GetAdapterDisplayMode", a, D3DERR_INVALIDCALL);
  *pMode = recordingConfig().adapterMode;
  return logCall("GetAdapterDisplayMode", a, S_OK);
}

HRESULT RecordingDirect3D9::CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                            D3DFORMAT BackBufferFormat, BOOL bWindowed) {
  std::string a = args(u(Adapter), u(DevType), u(AdapterFormat), u(BackBufferFormat), u(bWindowed));
  if (HRESULT hr = injected("CheckDeviceType")) return logCall("CheckDeviceType", a, hr);
  return logCall("CheckDeviceType", a,
                 d3d9CheckDeviceType(recordingAdapterFacts(), Adapter, DevType, AdapterFormat, BackBufferFormat,
                                     bWindowed));
}

HRESULT RecordingDirect3D9::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                              DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
  std::string a = args(u(Adapter), u(DeviceType), u(AdapterFormat), x(Usage), u(RType), u(CheckFormat));
  if (HRESULT hr = injected("CheckDeviceFormat")) return logCall("CheckDeviceFormat", a, hr);
  return logCall("CheckDeviceFormat", a,
                 d3d9CheckDeviceFormat(recordingAdapterFacts(), Adapter, DeviceType, AdapterFormat, Usage, RType,
                                       CheckFormat));
}

HRESULT RecordingDirect3D9::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat,
                                                       BOOL Windowed, D3DMULTISAMPLE_TYPE MultiSampleType,
                                                       DWORD* pQualityLevels) {
  std::string a = args(u(Adapter), u(DeviceType), u(SurfaceFormat), u(Windowed), u(MultiSampleType), p(pQualityLevels));
  if (HRESULT hr = injected("CheckDeviceMultiSampleType")) return logCall("CheckDeviceMultiSampleType", a, hr);
  return logCall("CheckDeviceMultiSampleType", a,
                 d3d9CheckDeviceMultiSampleType(recordingAdapterFacts(), Adapter, DeviceType, SurfaceFormat, Windowed,
                                                MultiSampleType, pQualityLevels));
}

HRESULT RecordingDirect3D9::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                                   D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) {
  std::string a = args(u(Adapter), u(DeviceType), u(AdapterFormat), u(RenderTargetFormat), u(DepthStencilFormat));
  if (HRESULT hr = injected("CheckDepthStencilMatch")) return logCall("CheckDepthStencilMatch", a, hr);
  return logCall("CheckDepthStencilMatch", a,
                 d3d9CheckDepthStencilMatch(recordingAdapterFacts(), Adapter, DeviceType, AdapterFormat,
                                            RenderTargetFormat, DepthStencilFormat));
}

HRESULT RecordingDirect3D9::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
  std::string a = args(u(Adapter), u(DeviceType), p(pCaps));
  if (HRESULT hr = injected("GetDeviceCaps")) return logCall("GetDeviceCaps", a, hr);
  if (Adapter != 0 || DeviceType != D3DDEVTYPE_HAL || !pCaps) return logCall("GetDeviceCaps", a, D3DERR_INVALIDCALL);
  *pCaps = recordingConfig().caps;
  return logCall("GetDeviceCaps", a, S_OK);
}

HRESULT RecordingDirect3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                         D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** ppDevice) {
  std::string a = args(u(Adapter), u(DeviceType), p(hFocusWindow), x(BehaviorFlags), p(pp), p(ppDevice));
  if (ppDevice) *ppDevice = nullptr;
  if (HRESULT hr = injected("CreateDevice")) return logCall("CreateDevice", a, hr);
  D3DPRESENT_PARAMETERS params;
  if (HRESULT hr = d3d9CheckCreateDevice(recordingAdapterFacts(), Adapter, DeviceType, hFocusWindow, BehaviorFlags, pp,
                                         ppDevice, &params))
    return logCall("CreateDevice", a, hr);
  RecordingDevice* device = new RecordingDevice(this, hFocusWindow, BehaviorFlags, params);
  *pp = params;  // Direct3D 9 writes back the sizes and format it chose
  *ppDevice = device;
  return logCall("CreateDevice", a, S_OK);
}
