// The recording device's fixed-function states (vertex formats, transforms,
// texture stages), scissor rectangle and state blocks.

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/RecordingInternal.h"

#include <cstring>

using namespace rec;

HRESULT RecordingDevice::SetFVF(DWORD FVF) {
  return traced("SetFVF", x(FVF), [&] { return Bindings::SetFVF(FVF); });
}

HRESULT RecordingDevice::GetFVF(DWORD* pFVF) {
  return traced("GetFVF", p(pFVF), [&] { return Bindings::GetFVF(pFVF); });
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  return traced("SetTransform", args(u(State), pMatrix ? floats4(pMatrix->m[0], 4) : "null"),
                [&] { return D3D9FrontEnd::SetTransform(State, pMatrix); });
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  return traced("GetTransform", args(u(State), p(pMatrix)), [&] { return D3D9FrontEnd::GetTransform(State, pMatrix); });
}

HRESULT RecordingDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  return traced("SetTextureStageState", args(u(Stage), u(Type), u(Value)),
                [&] { return D3D9FrontEnd::SetTextureStageState(Stage, Type, Value); });
}

HRESULT RecordingDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  return traced("GetTextureStageState", args(u(Stage), u(Type), p(pValue)),
                [&] { return D3D9FrontEnd::GetTextureStageState(Stage, Type, pValue); });
}

HRESULT RecordingDevice::SetScissorRect(const RECT* pRect) {
  return traced("SetScissorRect", rect(pRect), [&] { return D3D9FrontEnd::SetScissorRect(pRect); });
}

HRESULT RecordingDevice::GetScissorRect(RECT* pRect) {
  return traced("GetScissorRect", p(pRect), [&] { return D3D9FrontEnd::GetScissorRect(pRect); });
}

HRESULT RecordingDevice::CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) {
  std::string a = args(u(Type), p(ppSB));
  if (ppSB) *ppSB = nullptr;
  if (HRESULT hr = injected("CreateStateBlock")) return logCall("CreateStateBlock", a, hr);
  return logCall("CreateStateBlock", a, d3d9CreateStateBlock(this, Type, ppSB));
}

// A block's Capture and Apply show in the log as one line each.
void RecordingDevice::copyStates(D3D9States& out) {
  Bindings::copyStates(out);
  logCall("StateBlock.Capture", "", S_OK);
}

void RecordingDevice::setStates(const D3D9States& in) {
  Bindings::setStates(in);
  logCall("StateBlock.Apply", "", S_OK);
}

bool recordingDeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out) {
  RecordingDevice* d = dynamic_cast<RecordingDevice*>(device);
  if (!d) return false;
  *out = {};
  out->draws = (unsigned long long)d->drawCount();
  return true;
}
