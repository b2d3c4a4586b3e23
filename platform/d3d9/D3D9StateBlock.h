#pragma once
// State blocks, once for both devices: a block captures the states
// D3DSBT_ALL covers into a copy of its own (holding references to the
// objects bound, as Direct3D 9 does) and sets them again on Apply. Each
// device answers through D3D9StateOwner: a copy of its states out, the
// states in, set as its own Set* calls would set them.

#include <cstring>

#include "platform/d3d9/D3D9Rules.h"

// The device's value states, which the front end keeps (D3D9FrontEnd.h).
struct D3D9ValueStates {
  DWORD renderStates[D3D9_RENDER_STATES];
  DWORD samplerStates[D3D9_STAGES][D3D9_SAMPLER_STATES];
  DWORD stageStates[D3D9_TEXTURE_STAGES][D3D9_STAGE_STATES];
  D3DMATRIX transforms[D3D9_TRANSFORMS];
  float vsConstants[D3D9_VERTEX_SHADER_CONSTANT_REGISTERS][4];
  float psConstants[D3D9_PIXEL_SHADER_CONSTANT_REGISTERS][4];
  D3DVIEWPORT9 view;
  RECT scissorArea;
};

// Everything a D3DSBT_ALL block covers: the value states and the objects
// bound. Object pointers are not counted here; the block that keeps a copy
// counts them.
struct D3D9States : D3D9ValueStates {
  DWORD fvf;  // non-zero: the declaration was set through SetFVF
  IDirect3DBaseTexture9* textures[D3D9_STAGES];
  IDirect3DVertexShader9* vertexShader;
  IDirect3DPixelShader9* pixelShader;
  IDirect3DVertexDeclaration9* declaration;
  struct {
    IDirect3DVertexBuffer9* buffer;
    UINT offset;
    UINT stride;
  } streams[D3D9_STREAMS];
  IDirect3DIndexBuffer9* indices;
};

class D3D9StateOwner {
public:
  virtual IDirect3DDevice9* stateDevice() = 0;
  virtual void copyStates(D3D9States& out) = 0;
  virtual void setStates(const D3D9States& states) = 0;
  // A block keeps its device alive (without a public reference).
  virtual void stateBlockCreated() = 0;
  virtual void stateBlockDestroyed() = 0;

protected:
  ~D3D9StateOwner() = default;
};

// A new block that has captured nothing yet: Apply before Capture sets the
// states it was created with, so CreateStateBlock captures once.
HRESULT d3d9CreateStateBlock(D3D9StateOwner* owner, D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** out);
