// The recording IDirect3D9: adapter queries answered from recordingConfig().

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/RecordingInternal.h"

#include <algorithm>

using namespace rec;

namespace {

bool contains(const std::vector<D3DFORMAT>& list, D3DFORMAT f) {
  return std::find(list.begin(), list.end(), f) != list.end();
}

bool isDisplayFormat(D3DFORMAT f) {
  auto it = recordingConfig().modes.find(f);
  return (it != recordingConfig().modes.end() && !it->second.empty()) || f == recordingConfig().adapterMode.Format;
}

}  // namespace

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
  if (Adapter != 0 || DevType != D3DDEVTYPE_HAL) return logCall("CheckDeviceType", a, D3DERR_INVALIDCALL);
  const RecordingConfig& c = recordingConfig();
  bool ok = contains(c.backBufferFormats, BackBufferFormat) &&
            d3d9BackBufferMatchesDisplay(AdapterFormat, BackBufferFormat);
  if (bWindowed)
    ok = ok && AdapterFormat == c.adapterMode.Format;
  else
    ok = ok && c.fullscreenAllowed && isDisplayFormat(AdapterFormat);
  return logCall("CheckDeviceType", a, ok ? S_OK : D3DERR_NOTAVAILABLE);
}

HRESULT RecordingDirect3D9::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                              DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
  std::string a = args(u(Adapter), u(DeviceType), u(AdapterFormat), x(Usage), u(RType), u(CheckFormat));
  if (HRESULT hr = injected("CheckDeviceFormat")) return logCall("CheckDeviceFormat", a, hr);
  if (Adapter != 0 || DeviceType != D3DDEVTYPE_HAL) return logCall("CheckDeviceFormat", a, D3DERR_INVALIDCALL);
  const RecordingConfig& c = recordingConfig();
  bool ok;
  if (Usage & D3DUSAGE_DEPTHSTENCIL)
    ok = (RType == D3DRTYPE_SURFACE || RType == D3DRTYPE_TEXTURE) && contains(c.depthFormats, CheckFormat);
  else if (Usage & D3DUSAGE_RENDERTARGET)
    ok = (RType == D3DRTYPE_SURFACE || RType == D3DRTYPE_TEXTURE || RType == D3DRTYPE_CUBETEXTURE) &&
         contains(c.renderTargetFormats, CheckFormat);
  else if (RType == D3DRTYPE_SURFACE)
    ok = contains(c.surfaceFormats, CheckFormat) || contains(c.textureFormats, CheckFormat);
  else if (RType == D3DRTYPE_TEXTURE || RType == D3DRTYPE_CUBETEXTURE)
    ok = contains(c.textureFormats, CheckFormat);
  else if (RType == D3DRTYPE_VERTEXBUFFER)
    ok = CheckFormat == D3DFMT_VERTEXDATA;
  else if (RType == D3DRTYPE_INDEXBUFFER)
    ok = CheckFormat == D3DFMT_INDEX16 || CheckFormat == D3DFMT_INDEX32;
  else
    ok = false;
  return logCall("CheckDeviceFormat", a, ok ? S_OK : D3DERR_NOTAVAILABLE);
}

HRESULT RecordingDirect3D9::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat,
                                                       BOOL Windowed, D3DMULTISAMPLE_TYPE MultiSampleType,
                                                       DWORD* pQualityLevels) {
  std::string a = args(u(Adapter), u(DeviceType), u(SurfaceFormat), u(Windowed), u(MultiSampleType), p(pQualityLevels));
  if (HRESULT hr = injected("CheckDeviceMultiSampleType")) return logCall("CheckDeviceMultiSampleType", a, hr);
  if (Adapter != 0 || DeviceType != D3DDEVTYPE_HAL) return logCall("CheckDeviceMultiSampleType", a, D3DERR_INVALIDCALL);
  bool ok = MultiSampleType <= recordingConfig().maxMultiSample;
  if (ok && pQualityLevels) *pQualityLevels = 1;
  return logCall("CheckDeviceMultiSampleType", a, ok ? S_OK : D3DERR_NOTAVAILABLE);
}

HRESULT RecordingDirect3D9::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                                   D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) {
  std::string a = args(u(Adapter), u(DeviceType), u(AdapterFormat), u(RenderTargetFormat), u(DepthStencilFormat));
  if (HRESULT hr = injected("CheckDepthStencilMatch")) return logCall("CheckDepthStencilMatch", a, hr);
  bool ok = Adapter == 0 && DeviceType == D3DDEVTYPE_HAL && contains(recordingConfig().depthFormats, DepthStencilFormat);
  return logCall("CheckDepthStencilMatch", a, ok ? S_OK : D3DERR_NOTAVAILABLE);
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
  const RecordingConfig& c = recordingConfig();
  if (Adapter != 0 || DeviceType != D3DDEVTYPE_HAL || !pp || !ppDevice || (!hFocusWindow && !pp->hDeviceWindow))
    return logCall("CreateDevice", a, D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS params = *pp;
  if (params.BackBufferCount == 0) params.BackBufferCount = 1;
  if (params.Windowed && params.BackBufferFormat == D3DFMT_UNKNOWN) params.BackBufferFormat = c.adapterMode.Format;
  bool vp = (BehaviorFlags & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                              D3DCREATE_MIXED_VERTEXPROCESSING)) != 0;
  bool ok = vp && params.BackBufferWidth > 0 && params.BackBufferHeight > 0 && params.BackBufferCount <= 3 &&
            contains(c.backBufferFormats, params.BackBufferFormat) && params.MultiSampleType <= c.maxMultiSample &&
            params.SwapEffect >= D3DSWAPEFFECT_DISCARD && params.SwapEffect <= D3DSWAPEFFECT_COPY &&
            (!params.EnableAutoDepthStencil || contains(c.depthFormats, params.AutoDepthStencilFormat));
  // Multisampling needs the discard swap effect.
  if (params.MultiSampleType != D3DMULTISAMPLE_NONE && params.SwapEffect != D3DSWAPEFFECT_DISCARD) ok = false;
  if (ok && !params.Windowed) {
    bool found = false;
    for (const auto& entry : c.modes)
      for (const D3DDISPLAYMODE& m : entry.second)
        if (m.Width == params.BackBufferWidth && m.Height == params.BackBufferHeight &&
            (params.FullScreen_RefreshRateInHz == 0 || params.FullScreen_RefreshRateInHz == m.RefreshRate) &&
            d3d9BackBufferMatchesDisplay(m.Format, params.BackBufferFormat))
          found = true;
    ok = found && c.fullscreenAllowed;
  } else if (ok && params.FullScreen_RefreshRateInHz != 0) {
    ok = false;  // windowed devices take no refresh rate
  }
  if (!ok) return logCall("CreateDevice", a, D3DERR_INVALIDCALL);
  RecordingDevice* device = new RecordingDevice(this, hFocusWindow, BehaviorFlags, params);
  *ppDevice = device;
  return logCall("CreateDevice", a, S_OK);
}
