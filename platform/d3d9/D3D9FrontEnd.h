#pragma once
// The front end both Direct3D 9 devices share. It keeps the device's value
// states once (render, sampler and texture stage states, transforms, shader
// constants, viewport, scissor rectangle), checks every call that sets or
// reads them against Direct3D 9's rules (a refusal names its rule through
// d3d9Refuse), answers the Get* calls and state blocks from them, and tells
// the back end what changed so that it can execute it. The back ends (the
// OpenGL device, the recording device) keep the objects bound to the device
// and execute: they draw, or log.

#include "platform/d3d9/D3D9Rules.h"
#include "platform/d3d9/D3D9StateBlock.h"

class D3D9FrontEnd : public IDirect3DDevice9, public D3D9StateOwner, protected D3D9ValueStates {
public:
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
  HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
  HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
  HRESULT SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
  HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
  HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
  HRESULT SetScissorRect(const RECT* pRect) override;
  HRESULT GetScissorRect(RECT* pRect) override;

protected:
  // Direct3D 9's defaults for a device made with these parameters.
  D3D9FrontEnd(DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& pp);
  ~D3D9FrontEnd() = default;

  // What changed, for the back end to execute; called once the state is
  // kept. The states, sampler states, stage states and transforms only when
  // their value differs; constants, viewport and scissor on every set.
  virtual void renderStateChanged(D3DRENDERSTATETYPE) {}
  virtual void samplerStateChanged(int /*samplerIndex*/) {}
  virtual void stageStateChanged() {}
  virtual void transformChanged() {}
  virtual void constantsChanged(bool /*pixel*/) {}
  virtual void viewportChanged() {}
  virtual void scissorChanged() {}
  // Render target 0, which bounds the viewport.
  virtual const D3DSURFACE_DESC& firstTargetDesc() const = 0;

  // A state block's value states, out and in (in: as the Set* calls would
  // set them, the back end told what changed).
  void readValueStates(D3D9States& out) const;
  void setValueStates(const D3D9States& in);
  // Setting render target 0 makes the viewport and scissor rectangle cover it.
  void coverTarget(UINT width, UINT height);

  const DWORD behavior;

private:
  HRESULT setConstants(const char* call, float (*file)[4], UINT size, bool pixel, UINT start, const float* data,
                       UINT count);
  HRESULT getConstants(const char* call, const float (*file)[4], UINT size, UINT start, float* data, UINT count);
};
