// The recording device's fixed-function states (vertex formats, transforms,
// texture stages), scissor rectangle and state blocks.

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/RecordingInternal.h"

#include <cstring>

using namespace rec;

HRESULT RecordingDevice::SetFVF(DWORD FVF) {
  std::string a = x(FVF);
  if (HRESULT hr = injected("SetFVF")) return logCall("SetFVF", a, hr);
  if (HRESULT hr = d3d9CheckSetFVF(__func__, FVF)) return logCall("SetFVF", a, hr);
  if (FVF == 0) return logCall("SetFVF", a, S_OK);  // keeps the declaration, as Direct3D 9 does
  RecordingVertexDeclaration* d = nullptr;
  for (auto& entry : fvfDeclarations)
    if (entry.first == FVF) d = entry.second;
  if (!d) {
    std::vector<D3DVERTEXELEMENT9> elements;
    d3d9FvfElements(FVF, elements);
    d = new RecordingVertexDeclaration(this, elements.data(), (UINT)elements.size());
    fvfDeclarations.push_back({FVF, d});
  }
  hold(declaration, d);
  fvf = FVF;
  return logCall("SetFVF", a, S_OK);
}

HRESULT RecordingDevice::GetFVF(DWORD* pFVF) {
  std::string a = p(pFVF);
  if (HRESULT hr = injected("GetFVF")) return logCall("GetFVF", a, hr);
  if (HRESULT hr = d3d9CheckGetFVF(__func__, pFVF, behavior)) return logCall("GetFVF", a, hr);
  *pFVF = fvf;
  return logCall("GetFVF", a, S_OK);
}

void RecordingDevice::releaseFixedFunction() {
  for (auto& entry : fvfDeclarations) entry.second->Release();
  fvfDeclarations.clear();
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  std::string a = args(u(State), pMatrix ? floats4(pMatrix->m[0], 4) : "null");
  if (HRESULT hr = injected("SetTransform")) return logCall("SetTransform", a, hr);
  if (HRESULT hr = d3d9CheckSetTransform(__func__, State, pMatrix)) return logCall("SetTransform", a, hr);
  transforms[d3d9TransformIndex(State)] = *pMatrix;
  return logCall("SetTransform", a, S_OK);
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  std::string a = args(u(State), p(pMatrix));
  if (HRESULT hr = injected("GetTransform")) return logCall("GetTransform", a, hr);
  if (HRESULT hr = d3d9CheckGetTransform(__func__, State, pMatrix, behavior)) return logCall("GetTransform", a, hr);
  *pMatrix = transforms[d3d9TransformIndex(State)];
  return logCall("GetTransform", a, S_OK);
}

HRESULT RecordingDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  std::string a = args(u(Stage), u(Type), u(Value));
  if (HRESULT hr = injected("SetTextureStageState")) return logCall("SetTextureStageState", a, hr);
  if (HRESULT hr = d3d9CheckSetTextureStageState(__func__, Stage, Type)) return logCall("SetTextureStageState", a, hr);
  stageStates[Stage][Type] = Value;
  return logCall("SetTextureStageState", a, S_OK);
}

HRESULT RecordingDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  std::string a = args(u(Stage), u(Type), p(pValue));
  if (HRESULT hr = injected("GetTextureStageState")) return logCall("GetTextureStageState", a, hr);
  if (HRESULT hr = d3d9CheckGetTextureStageState(__func__, Stage, Type, pValue, behavior))
    return logCall("GetTextureStageState", a, hr);
  *pValue = stageStates[Stage][Type];
  return logCall("GetTextureStageState", a, S_OK);
}

HRESULT RecordingDevice::SetScissorRect(const RECT* pRect) {
  std::string a = rect(pRect);
  if (HRESULT hr = injected("SetScissorRect")) return logCall("SetScissorRect", a, hr);
  if (HRESULT hr = d3d9CheckSetScissorRect(__func__, pRect)) return logCall("SetScissorRect", a, hr);
  scissor = *pRect;
  return logCall("SetScissorRect", a, S_OK);
}

HRESULT RecordingDevice::GetScissorRect(RECT* pRect) {
  std::string a = p(pRect);
  if (HRESULT hr = injected("GetScissorRect")) return logCall("GetScissorRect", a, hr);
  if (HRESULT hr = d3d9CheckGetScissorRect(__func__, pRect)) return logCall("GetScissorRect", a, hr);
  *pRect = scissor;
  return logCall("GetScissorRect", a, S_OK);
}

HRESULT RecordingDevice::CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) {
  std::string a = args(u(Type), p(ppSB));
  if (ppSB) *ppSB = nullptr;
  if (HRESULT hr = injected("CreateStateBlock")) return logCall("CreateStateBlock", a, hr);
  return logCall("CreateStateBlock", a, d3d9CreateStateBlock(this, Type, ppSB));
}

// A block's Capture and Apply show in the log as one line each.
void RecordingDevice::copyStates(D3D9States& out) {
  d3d9ReadStates(*this, scissor, out);
  logCall("StateBlock.Capture", "", S_OK);
}

void RecordingDevice::setStates(const D3D9States& in) {
  std::memcpy(renderStates, in.renderStates, sizeof renderStates);
  std::memcpy(samplerStates, in.samplerStates, sizeof samplerStates);
  std::memcpy(stageStates, in.stageStates, sizeof stageStates);
  std::memcpy(transforms, in.transforms, sizeof transforms);
  std::memcpy(vsConstants, in.vsConstants, sizeof vsConstants);
  std::memcpy(psConstants, in.psConstants, sizeof psConstants);
  view = in.viewport;
  scissor = in.scissor;
  fvf = in.fvf;
  for (int i = 0; i < D3D9_STAGES; ++i) hold(textures[i], in.textures[i]);
  hold(vs, static_cast<RecordingVertexShader*>(in.vertexShader));
  hold(ps, static_cast<RecordingPixelShader*>(in.pixelShader));
  hold(declaration, static_cast<RecordingVertexDeclaration*>(in.declaration));
  for (int i = 0; i < D3D9_STREAMS; ++i) {
    hold(streams[i].buffer, static_cast<RecordingVertexBuffer*>(in.streams[i].buffer));
    streams[i].offset = in.streams[i].offset;
    streams[i].stride = in.streams[i].stride;
  }
  hold(indexBuffer, static_cast<RecordingIndexBuffer*>(in.indices));
  logCall("StateBlock.Apply", "", S_OK);
}

bool recordingDeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out) {
  RecordingDevice* d = dynamic_cast<RecordingDevice*>(device);
  if (!d) return false;
  *out = {};
  out->draws = (unsigned long long)d->drawCount();
  return true;
}
