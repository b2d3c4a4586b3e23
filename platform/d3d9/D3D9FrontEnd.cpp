#include "platform/d3d9/D3D9FrontEnd.h"

#include <cstring>

D3D9FrontEnd::D3D9FrontEnd(DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& pp) : behavior(behaviorFlags) {
  d3d9DefaultRenderStates(renderStates, pp.EnableAutoDepthStencil);
  d3d9DefaultSamplerStates(samplerStates);
  d3d9DefaultStageStates(stageStates);
  d3d9DefaultTransforms(transforms);
  std::memset(vsConstants, 0, sizeof vsConstants);
  std::memset(psConstants, 0, sizeof psConstants);
  view = {0, 0, pp.BackBufferWidth, pp.BackBufferHeight, 0.0f, 1.0f};
  scissorArea = {0, 0, (LONG)pp.BackBufferWidth, (LONG)pp.BackBufferHeight};
}

HRESULT D3D9FrontEnd::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  if (HRESULT hr = d3d9CheckSetRenderState(__func__, State)) return hr;
  if (renderStates[State] != Value) {
    renderStates[State] = Value;
    renderStateChanged(State);
  }
  return D3D_OK;
}

HRESULT D3D9FrontEnd::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  if (HRESULT hr = d3d9CheckGetRenderState(__func__, State, pValue, behavior)) return hr;
  *pValue = renderStates[State];
  return D3D_OK;
}

HRESULT D3D9FrontEnd::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  if (HRESULT hr = d3d9CheckSetSamplerState(__func__, Sampler, Type)) return hr;
  int i = d3d9StageIndex(Sampler);
  if (samplerStates[i][Type] != Value) {
    samplerStates[i][Type] = Value;
    samplerStateChanged(i);
  }
  return D3D_OK;
}

HRESULT D3D9FrontEnd::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  if (HRESULT hr = d3d9CheckGetSamplerState(__func__, Sampler, Type, pValue, behavior)) return hr;
  *pValue = samplerStates[d3d9StageIndex(Sampler)][Type];
  return D3D_OK;
}

HRESULT D3D9FrontEnd::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  if (HRESULT hr = d3d9CheckSetTextureStageState(__func__, Stage, Type)) return hr;
  if (stageStates[Stage][Type] != Value) {
    stageStates[Stage][Type] = Value;
    stageStateChanged();
  }
  return D3D_OK;
}

HRESULT D3D9FrontEnd::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  if (HRESULT hr = d3d9CheckGetTextureStageState(__func__, Stage, Type, pValue, behavior)) return hr;
  *pValue = stageStates[Stage][Type];
  return D3D_OK;
}

HRESULT D3D9FrontEnd::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  if (HRESULT hr = d3d9CheckSetTransform(__func__, State, pMatrix)) return hr;
  D3DMATRIX& m = transforms[d3d9TransformIndex(State)];
  if (std::memcmp(&m, pMatrix, sizeof m) != 0) {
    m = *pMatrix;
    transformChanged();
  }
  return D3D_OK;
}

HRESULT D3D9FrontEnd::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  if (HRESULT hr = d3d9CheckGetTransform(__func__, State, pMatrix, behavior)) return hr;
  *pMatrix = transforms[d3d9TransformIndex(State)];
  return D3D_OK;
}

HRESULT D3D9FrontEnd::setConstants(const char* call, float (*file)[4], UINT size, bool pixel, UINT start,
                                   const float* data, UINT count) {
  if (HRESULT hr = d3d9CheckSetConstants(call, start, data, count, size)) return hr;
  std::memcpy(file[start], data, (size_t)count * 16);
  constantsChanged(pixel);
  return D3D_OK;
}

HRESULT D3D9FrontEnd::getConstants(const char* call, const float (*file)[4], UINT size, UINT start, float* data,
                                   UINT count) {
  if (HRESULT hr = d3d9CheckGetConstants(call, start, data, count, size, behavior)) return hr;
  std::memcpy(data, file[start], (size_t)count * 16);
  return D3D_OK;
}

HRESULT D3D9FrontEnd::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  return setConstants(__func__, vsConstants, D3D9_VERTEX_SHADER_CONSTANT_REGISTERS, false, StartRegister,
                      pConstantData, Vector4fCount);
}

HRESULT D3D9FrontEnd::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  return getConstants(__func__, vsConstants, D3D9_VERTEX_SHADER_CONSTANT_REGISTERS, StartRegister, pConstantData,
                      Vector4fCount);
}

HRESULT D3D9FrontEnd::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  return setConstants(__func__, psConstants, D3D9_PIXEL_SHADER_CONSTANT_REGISTERS, true, StartRegister,
                      pConstantData, Vector4fCount);
}

HRESULT D3D9FrontEnd::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  return getConstants(__func__, psConstants, D3D9_PIXEL_SHADER_CONSTANT_REGISTERS, StartRegister, pConstantData,
                      Vector4fCount);
}

HRESULT D3D9FrontEnd::SetViewport(const D3DVIEWPORT9* pViewport) {
  if (HRESULT hr = d3d9CheckSetViewport(__func__, pViewport, firstTargetDesc())) return hr;
  view = *pViewport;
  viewportChanged();
  return D3D_OK;
}

HRESULT D3D9FrontEnd::GetViewport(D3DVIEWPORT9* pViewport) {
  if (HRESULT hr = d3d9CheckOut(__func__, pViewport)) return hr;
  *pViewport = view;
  return D3D_OK;
}

HRESULT D3D9FrontEnd::SetScissorRect(const RECT* pRect) {
  if (HRESULT hr = d3d9CheckSetScissorRect(__func__, pRect)) return hr;
  scissorArea = *pRect;
  scissorChanged();
  return D3D_OK;
}

HRESULT D3D9FrontEnd::GetScissorRect(RECT* pRect) {
  if (HRESULT hr = d3d9CheckGetScissorRect(__func__, pRect)) return hr;
  *pRect = scissorArea;
  return D3D_OK;
}

void D3D9FrontEnd::readValueStates(D3D9States& out) const { static_cast<D3D9ValueStates&>(out) = *this; }

void D3D9FrontEnd::setValueStates(const D3D9States& in) {
  for (DWORD i = 0; i < D3D9_RENDER_STATES; ++i)
    if (renderStates[i] != in.renderStates[i]) {
      renderStates[i] = in.renderStates[i];
      renderStateChanged((D3DRENDERSTATETYPE)i);
    }
  for (int i = 0; i < D3D9_STAGES; ++i)
    if (std::memcmp(samplerStates[i], in.samplerStates[i], sizeof samplerStates[i]) != 0) {
      std::memcpy(samplerStates[i], in.samplerStates[i], sizeof samplerStates[i]);
      samplerStateChanged(i);
    }
  if (std::memcmp(stageStates, in.stageStates, sizeof stageStates) != 0) {
    std::memcpy(stageStates, in.stageStates, sizeof stageStates);
    stageStateChanged();
  }
  if (std::memcmp(transforms, in.transforms, sizeof transforms) != 0) {
    std::memcpy(transforms, in.transforms, sizeof transforms);
    transformChanged();
  }
  if (std::memcmp(vsConstants, in.vsConstants, sizeof vsConstants) != 0) {
    std::memcpy(vsConstants, in.vsConstants, sizeof vsConstants);
    constantsChanged(false);
  }
  if (std::memcmp(psConstants, in.psConstants, sizeof psConstants) != 0) {
    std::memcpy(psConstants, in.psConstants, sizeof psConstants);
    constantsChanged(true);
  }
  if (std::memcmp(&view, &in.view, sizeof view) != 0) {
    view = in.view;
    viewportChanged();
  }
  scissorArea = in.scissorArea;
  scissorChanged();
}

void D3D9FrontEnd::coverTarget(UINT width, UINT height) {
  view = {0, 0, width, height, 0.0f, 1.0f};
  scissorArea = {0, 0, (LONG)width, (LONG)height};
  viewportChanged();
  scissorChanged();
}
