// RenderDeviceDX9: materials, sampler flags and the state cache that keeps
// repeated values from reaching the device.

#include "engine/render/RenderDeviceDX9.h"

namespace {

struct PairWriter {
  Material* material;
  void add(D3DRENDERSTATETYPE state, DWORD value) {
    material->statePairs[material->statePairBytes++] = uint8_t(state);
    material->statePairs[material->statePairBytes++] = uint8_t(value);
  }
};

void addBlend(PairWriter& out, D3DBLENDOP op, D3DBLEND source, D3DBLEND destination) {
  out.add(D3DRS_ALPHABLENDENABLE, TRUE);
  out.add(D3DRS_BLENDOP, op);
  out.add(D3DRS_SRCBLEND, source);
  out.add(D3DRS_DESTBLEND, destination);
}

}  // namespace

void RenderDeviceDX9::compileRenderStates(Material* material) {
  if (!material) return;
  material->statePairBytes = 0;
  PairWriter out{material};
  int flags = material->renderFlags;

  switch (flags & RF_DEPTH_MASK) {
  case RF_DEPTH_OFF: out.add(D3DRS_ZENABLE, D3DZB_FALSE); break;
  case RF_DEPTH_TEST:
    out.add(D3DRS_ZENABLE, D3DZB_TRUE);
    out.add(D3DRS_ZWRITEENABLE, FALSE);
    out.add(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    break;
  case RF_DEPTH_WRITE:
    out.add(D3DRS_ZENABLE, D3DZB_TRUE);
    out.add(D3DRS_ZWRITEENABLE, TRUE);
    out.add(D3DRS_ZFUNC, D3DCMP_LESS);
    break;
  }

  switch (flags & RF_CULL_MASK) {
  case RF_CULL_NONE: out.add(D3DRS_CULLMODE, D3DCULL_NONE); break;
  case RF_CULL_CW: out.add(D3DRS_CULLMODE, D3DCULL_CW); break;
  case RF_CULL_CCW: out.add(D3DRS_CULLMODE, D3DCULL_CCW); break;
  }

  switch (flags & RF_FILL_MASK) {
  case RF_FILL_WIREFRAME: out.add(D3DRS_FILLMODE, D3DFILL_WIREFRAME); break;
  case RF_FILL_SOLID: out.add(D3DRS_FILLMODE, D3DFILL_SOLID); break;
  }

  switch (flags & RF_BLEND_MASK) {
  case RF_BLEND_OFF: out.add(D3DRS_ALPHABLENDENABLE, FALSE); break;
  case RF_BLEND_ALPHA: addBlend(out, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA); break;
  case RF_BLEND_ALPHA_ADD: addBlend(out, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_ONE); break;
  case RF_BLEND_ADD: addBlend(out, D3DBLENDOP_ADD, D3DBLEND_ONE, D3DBLEND_ONE); break;
  case RF_BLEND_MULTIPLY: addBlend(out, D3DBLENDOP_ADD, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO); break;
  case RF_BLEND_MULTIPLY_SRC: addBlend(out, D3DBLENDOP_ADD, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR); break;
  case RF_BLEND_REVSUBTRACT: addBlend(out, D3DBLENDOP_REVSUBTRACT, D3DBLEND_ONE, D3DBLEND_ONE); break;
  case RF_BLEND_MAX: addBlend(out, D3DBLENDOP_MAX, D3DBLEND_ONE, D3DBLEND_ONE); break;
  case RF_BLEND_MIN: addBlend(out, D3DBLENDOP_MIN, D3DBLEND_ONE, D3DBLEND_ONE); break;
  case RF_BLEND_SCREEN: addBlend(out, D3DBLENDOP_ADD, D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE); break;
  }
}

void RenderDeviceDX9::setMaterial(const Material* material) {
  if (!material || !device) return;
  ++frame.materialChanges;

  for (uint32_t i = 0; i + 1 < material->statePairBytes && i + 1 < sizeof material->statePairs; i += 2)
    setRenderState(D3DRENDERSTATETYPE(material->statePairs[i]), material->statePairs[i + 1]);

  if (material->shader != -1) {
    setShader(material->shader);
    setShaderVector(material->shader, "materialAmbient", material->ambient);
    setShaderVector(material->shader, "materialDiffuse", material->diffuse);
    setShaderVector(material->shader, "materialSpecular", material->specular);
  }

  for (int stage = 0; stage < MATERIAL_STAGES; ++stage) {
    int texture = material->textures[stage];
    if (texture == -1) continue;
    setSamplerFlags(stage, material->samplerFlags[stage]);
    if (!validTexture(texture)) continue;
    sendChanged(CACHED_TEXTURE, currentTextures[stage], texture,
                [&] { device->SetTexture(DWORD(stage), textures[texture].texture); });
  }
}

void RenderDeviceDX9::setSamplerFlags(int stage, int flags) {
  if (!device || stage < 0 || stage >= RENDER_CACHED_STAGES) return;
  sendChanged(CACHED_SAMPLER_FLAGS, currentSamplerFlags[stage], flags, [&] {
    // Only the groups whose bits changed are sent.
    int changed = flags ^ currentSamplerFlags[stage];
    DWORD sampler = DWORD(stage);
    if (changed & SAMPLER_LINEAR) {
      DWORD filter = (flags & SAMPLER_LINEAR) ? D3DTEXF_LINEAR : D3DTEXF_POINT;
      device->SetSamplerState(sampler, D3DSAMP_MINFILTER, filter);
      device->SetSamplerState(sampler, D3DSAMP_MAGFILTER, filter);
    }
    if (changed & SAMPLER_MIPMAP)
      device->SetSamplerState(sampler, D3DSAMP_MIPFILTER, (flags & SAMPLER_MIPMAP) ? D3DTEXF_LINEAR : D3DTEXF_NONE);

    // Border addressing takes precedence over clamping; whichever of the two
    // bits changed, the address mode sent is the one both bits together ask
    // for, so dropping the border falls back to clamping when that is set.
    DWORD address = (flags & SAMPLER_BORDER) ? D3DTADDRESS_BORDER
                    : (flags & SAMPLER_CLAMP) ? D3DTADDRESS_CLAMP
                                              : D3DTADDRESS_WRAP;
    if (changed & SAMPLER_CLAMP) {
      device->SetSamplerState(sampler, D3DSAMP_ADDRESSU, address);
      device->SetSamplerState(sampler, D3DSAMP_ADDRESSV, address);
    }
    if (changed & SAMPLER_BORDER) {
      device->SetSamplerState(sampler, D3DSAMP_ADDRESSU, address);
      device->SetSamplerState(sampler, D3DSAMP_ADDRESSV, address);
      if (flags & SAMPLER_BORDER) device->SetSamplerState(sampler, D3DSAMP_BORDERCOLOR, 0xFFFFFFFF);
    }
    if (changed & SAMPLER_SRGB)
      device->SetSamplerState(sampler, D3DSAMP_SRGBTEXTURE, (flags & SAMPLER_SRGB) ? 1 : 0);
    if (changed & (SAMPLER_WRAP_U | SAMPLER_WRAP_V))
      setRenderState(D3DRENDERSTATETYPE(D3DRS_WRAP0 + stage),
                     ((flags & SAMPLER_WRAP_U) ? D3DWRAP_U : 0) | ((flags & SAMPLER_WRAP_V) ? D3DWRAP_V : 0));
  });
}

void RenderDeviceDX9::resetStateCache() {
  // Forgotten, not assumed: the device may hold any declaration by now.
  currentFormat = 0;
  currentStream = nullptr;
  currentShader = -1;
  for (int stage = 0; stage < RENDER_CACHED_STAGES; ++stage) {
    currentTextures[stage] = -1;
    if (device) setSamplerFlags(stage, SAMPLER_LINEAR | SAMPLER_MIPMAP);
  }
  for (uint32_t& value : renderStates) value = RENDER_STATE_UNKNOWN;
}
