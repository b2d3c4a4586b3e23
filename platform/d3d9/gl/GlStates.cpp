// Direct3D render states, sampler states and textures of the OpenGL device,
// and the GL state they become at the next draw (sent through the state
// cache only where it differs from what GL has).

#include "platform/d3d9/gl/GlDevice.h"

#include <cstring>

namespace {

GLenum glCompare(DWORD f) {
  switch (f) {
  case D3DCMP_NEVER: return GL_NEVER;
  case D3DCMP_LESS: return GL_LESS;
  case D3DCMP_EQUAL: return GL_EQUAL;
  case D3DCMP_LESSEQUAL: return GL_LEQUAL;
  case D3DCMP_GREATER: return GL_GREATER;
  case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
  case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
  default: return GL_ALWAYS;
  }
}

GLenum glBlendFactor(DWORD b) {
  switch (b) {
  case D3DBLEND_ZERO: return GL_ZERO;
  case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
  case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
  case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
  case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
  case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
  case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
  case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
  case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
  case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
  case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
  case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
  default: return GL_ONE;
  }
}

// Source and destination factors; BOTHSRCALPHA and BOTHINVSRCALPHA set both.
void glBlendFactors(DWORD src, DWORD dst, GLenum& s, GLenum& d) {
  if (src == D3DBLEND_BOTHSRCALPHA) {
    s = GL_SRC_ALPHA;
    d = GL_ONE_MINUS_SRC_ALPHA;
  } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
    s = GL_ONE_MINUS_SRC_ALPHA;
    d = GL_SRC_ALPHA;
  } else {
    s = glBlendFactor(src);
    d = glBlendFactor(dst);
  }
}

GLenum glBlendOp(DWORD op) {
  switch (op) {
  case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
  case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
  case D3DBLENDOP_MIN: return GL_MIN;
  case D3DBLENDOP_MAX: return GL_MAX;
  default: return GL_FUNC_ADD;
  }
}

GLenum glStencilOperation(DWORD op) {
  switch (op) {
  case D3DSTENCILOP_ZERO: return GL_ZERO;
  case D3DSTENCILOP_REPLACE: return GL_REPLACE;
  case D3DSTENCILOP_INCRSAT: return GL_INCR;
  case D3DSTENCILOP_DECRSAT: return GL_DECR;
  case D3DSTENCILOP_INVERT: return GL_INVERT;
  case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
  case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
  default: return GL_KEEP;
  }
}

// Which part of the GL state a render state feeds.
struct StateGroups {
  uint32_t group[256];
  StateGroups(uint32_t depth, uint32_t raster, uint32_t blend, uint32_t stencil, uint32_t colorMask, uint32_t misc,
              uint32_t program, uint32_t scissor) {
    std::memset(group, 0, sizeof group);
    for (int s : {D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_ZFUNC}) group[s] = depth;
    for (int s : {D3DRS_CULLMODE, D3DRS_FILLMODE, D3DRS_DEPTHBIAS, D3DRS_SLOPESCALEDEPTHBIAS}) group[s] = raster;
    for (int s : {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_BLENDOP, D3DRS_SEPARATEALPHABLENDENABLE,
                  D3DRS_SRCBLENDALPHA, D3DRS_DESTBLENDALPHA, D3DRS_BLENDOPALPHA, D3DRS_BLENDFACTOR})
      group[s] = blend;
    for (int s : {D3DRS_STENCILENABLE, D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL, D3DRS_STENCILPASS, D3DRS_STENCILFUNC,
                  D3DRS_STENCILREF, D3DRS_STENCILMASK, D3DRS_STENCILWRITEMASK, D3DRS_TWOSIDEDSTENCILMODE,
                  D3DRS_CCW_STENCILFAIL, D3DRS_CCW_STENCILZFAIL, D3DRS_CCW_STENCILPASS, D3DRS_CCW_STENCILFUNC})
      group[s] = stencil;
    for (int s : {D3DRS_COLORWRITEENABLE, D3DRS_COLORWRITEENABLE1, D3DRS_COLORWRITEENABLE2, D3DRS_COLORWRITEENABLE3})
      group[s] = colorMask;
    for (int s : {D3DRS_SRGBWRITEENABLE, D3DRS_MULTISAMPLEANTIALIAS, D3DRS_DITHERENABLE}) group[s] = misc;
    group[D3DRS_SCISSORTESTENABLE] = scissor;
    // The alpha test lives in the pixel program (GL core has none).
    group[D3DRS_ALPHATESTENABLE] = group[D3DRS_ALPHAFUNC] = program;
  }
};

}  // namespace

void GlDevice::renderStateChanged(D3DRENDERSTATETYPE State) {
  static const StateGroups groups(DirtyDepth, DirtyRaster, DirtyBlend, DirtyStencil, DirtyColorMask, DirtyMisc,
                                  DirtyProgram, DirtyScissor);
  dirty |= groups.group[State];
}

GlTextureCore* GlDevice::ownTexture(IDirect3DBaseTexture9* texture) const {
  GlTextureCore* core = dynamic_cast<GlTextureCore*>(texture);
  return core && core->textureDevice == this ? core : nullptr;
}

void GlDevice::textureChanged(int stage, GlTextureCore* own) {
  textureCores[stage] = own;
  dirtyTextures |= 1u << stage;
}

void GlDevice::bindTextureForUpdate(GLenum target, GLuint texture) {
  int unit = gl.activeUnit() >= 0 && gl.activeUnit() < D3D9_STAGES ? gl.activeUnit() : 0;
  gl.bindTexture(unit, target, texture);
  dirtyTextures |= 1u << unit;
}

void GlDevice::textureChanged(GlTextureCore* texture) {
  if (texture->autogen) texture->mipsDirty = true;
  for (int i = 0; i < D3D9_STAGES; ++i)
    if (textureCores[i] == texture) dirtyTextures |= 1u << i;
}

// --- the GL state of a draw -------------------------------------------------------------
void GlDevice::applyRenderStates() {
  const DWORD* rs = renderStates;
  if (dirty & DirtyDepth) {
    gl.enable(GlStateCache::DepthTest, rs[D3DRS_ZENABLE] != D3DZB_FALSE);
    gl.depthMask(rs[D3DRS_ZWRITEENABLE] != FALSE);
    gl.depthFunc(glCompare(rs[D3DRS_ZFUNC]));
  }
  if (dirty & DirtyRaster) {
    // Row 0 is the top row, which turns Direct3D's clockwise front faces
    // into GL's counter-clockwise ones (glFrontFace stays GL_CCW).
    DWORD cull = rs[D3DRS_CULLMODE];
    bool culling = cull == D3DCULL_CW || cull == D3DCULL_CCW;
    gl.enable(GlStateCache::Cull, culling);
    if (culling) gl.cullFace(cull == D3DCULL_CW ? GL_FRONT : GL_BACK);
    DWORD fill = rs[D3DRS_FILLMODE];
    gl.polygonMode(fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    // DEPTHBIAS is in depth-buffer units of 0..1; GL's offset units are the
    // smallest step of the depth format.
    float bias = d3d9BitsFloat(rs[D3DRS_DEPTHBIAS]), slope = d3d9BitsFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    float scale = 16777216.0f;
    if (depth && (depth->desc.Format == D3DFMT_D16 || depth->desc.Format == D3DFMT_D16_LOCKABLE)) scale = 65536.0f;
    bool on = bias != 0.0f || slope != 0.0f;
    for (GlStateCache::Cap cap : {GlStateCache::OffsetFill, GlStateCache::OffsetLine, GlStateCache::OffsetPoint})
      gl.enable(cap, on);
    if (on) gl.polygonOffset(slope, bias * scale);
  }
  if (dirty & DirtyBlend) {
    bool on = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    gl.enable(GlStateCache::Blend, on);
    if (on) {
      GLenum src, dst, srcA, dstA;
      glBlendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], src, dst);
      GLenum op = glBlendOp(rs[D3DRS_BLENDOP]), opA = op;
      srcA = src;
      dstA = dst;
      if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        glBlendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], srcA, dstA);
        opA = glBlendOp(rs[D3DRS_BLENDOPALPHA]);
      }
      gl.blendFunc(src, dst, srcA, dstA);
      gl.blendEquation(op, opA);
      gl.blendColor(rs[D3DRS_BLENDFACTOR]);
    }
  }
  if (dirty & DirtyStencil) {
    bool on = rs[D3DRS_STENCILENABLE] != FALSE;
    gl.enable(GlStateCache::Stencil, on);
    if (on) {
      // GL's front faces are Direct3D's clockwise ones; two-sided mode gives
      // the counter-clockwise (GL back) faces the CCW_ states.
      bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
      GLint ref = (GLint)(rs[D3DRS_STENCILREF] & 0xFF);
      for (int f = 0; f < 2; ++f) {
        bool ccw = f == 1 && twoSided;
        gl.stencilFunc(f, glCompare(rs[ccw ? D3DRS_CCW_STENCILFUNC : D3DRS_STENCILFUNC]), ref, rs[D3DRS_STENCILMASK]);
        gl.stencilOp(f, glStencilOperation(rs[ccw ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL]),
                     glStencilOperation(rs[ccw ? D3DRS_CCW_STENCILZFAIL : D3DRS_STENCILZFAIL]),
                     glStencilOperation(rs[ccw ? D3DRS_CCW_STENCILPASS : D3DRS_STENCILPASS]));
      }
      gl.stencilWriteMask(rs[D3DRS_STENCILWRITEMASK]);
    }
  }
  if (dirty & DirtyColorMask) {
    gl.colorMask(0, rs[D3DRS_COLORWRITEENABLE] & 0xF);
    for (int i = 1; i < D3D9_RENDER_TARGETS; ++i)
      if (targets[i]) gl.colorMask(i, rs[D3DRS_COLORWRITEENABLE1 + i - 1] & 0xF);
  }
  if (dirty & DirtyMisc) {
    gl.enable(GlStateCache::Srgb, rs[D3DRS_SRGBWRITEENABLE] != FALSE);
    gl.enable(GlStateCache::Multisample, rs[D3DRS_MULTISAMPLEANTIALIAS] != FALSE);
    gl.enable(GlStateCache::Dither, rs[D3DRS_DITHERENABLE] != FALSE);
  }
  // Target rows and GL rows run alike (row 0 is the top), so the rectangle
  // needs no flip.
  if (dirty & DirtyScissor) {
    const RECT& r = scissorArea;
    scissor(rs[D3DRS_SCISSORTESTENABLE] != FALSE, r.left, r.top, r.right > r.left ? r.right - r.left : 0,
            r.bottom > r.top ? r.bottom - r.top : 0);
  }
}

void GlDevice::scissor(bool on, GLint x, GLint y, GLsizei w, GLsizei h) {
  gl.enable(GlStateCache::Scissor, on);
  if (on) gl.scissor(x, y, w, h);
}

void GlDevice::applyTextures() {
  uint32_t bits = dirtyTextures;
  dirtyTextures = 0;
  while (bits) {
    int i = __builtin_ctz(bits);
    bits &= bits - 1;
    GlTextureCore* t = textureCores[i];
    if (t) {
      if (t->mipsDirty) t->updateMips();
      gl.bindTexture(i, t->target, t->texture);
      gl.bindTexture(i, t->target == GL_TEXTURE_2D ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, 0);
    } else {
      // An empty stage samples (0, 0, 0, 1), as GL's incomplete texture 0.
      gl.bindTexture(i, GL_TEXTURE_2D, 0);
      gl.bindTexture(i, GL_TEXTURE_CUBE_MAP, 0);
    }
  }
  // updateMips may have bound through the active unit: bind what it replaced.
  if (dirtyTextures) applyTextures();
}

GLint GlDevice::glAddress(DWORD address) const {
  switch (address) {
  case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
  case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
  case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
  case D3DTADDRESS_MIRRORONCE: return hasMirrorClamp ? GL_MIRROR_CLAMP_TO_EDGE : GL_MIRRORED_REPEAT;
  default: return GL_REPEAT;
  }
}

void GlDevice::applySamplers() {
  uint32_t bits = dirtySamplers;
  dirtySamplers = 0;
  while (bits) {
    int i = __builtin_ctz(bits);
    bits &= bits - 1;
    const DWORD* s = samplerStates[i];
    GLuint sampler = samplers[i];
    bool minLinear = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    GLint minFilter;
    switch (s[D3DSAMP_MIPFILTER]) {
    case D3DTEXF_NONE: minFilter = minLinear ? GL_LINEAR : GL_NEAREST; break;
    case D3DTEXF_POINT: minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    default: minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
    }
    gl.samplerParameter(i, sampler, GlStateCache::MinFilter, GL_TEXTURE_MIN_FILTER, minFilter);
    gl.samplerParameter(i, sampler, GlStateCache::MagFilter, GL_TEXTURE_MAG_FILTER,
                        s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    gl.samplerParameter(i, sampler, GlStateCache::WrapS, GL_TEXTURE_WRAP_S, glAddress(s[D3DSAMP_ADDRESSU]));
    gl.samplerParameter(i, sampler, GlStateCache::WrapT, GL_TEXTURE_WRAP_T, glAddress(s[D3DSAMP_ADDRESSV]));
    gl.samplerParameter(i, sampler, GlStateCache::WrapR, GL_TEXTURE_WRAP_R, glAddress(s[D3DSAMP_ADDRESSW]));
    gl.samplerBorder(i, sampler, s[D3DSAMP_BORDERCOLOR]);
    gl.samplerParameter(i, sampler, GlStateCache::LodBias, GL_TEXTURE_LOD_BIAS,
                        d3d9BitsFloat(s[D3DSAMP_MIPMAPLODBIAS]));
    // MAXMIPLEVEL names the most detailed level that may be used.
    gl.samplerParameter(i, sampler, GlStateCache::MinLod, GL_TEXTURE_MIN_LOD, (float)s[D3DSAMP_MAXMIPLEVEL]);
    if (hasAnisotropy) {
      // Direct3D 9 filters anisotropically only when a filter asks for it.
      bool aniso = s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
      float level = aniso ? (float)s[D3DSAMP_MAXANISOTROPY] : 1.0f;
      if (level < 1.0f) level = 1.0f;
      if (level > maxAnisotropy) level = maxAnisotropy;
      gl.samplerParameter(i, sampler, GlStateCache::Anisotropy, GL_TEXTURE_MAX_ANISOTROPY_EXT, level);
    }
    if (hasSrgbDecode)
      gl.samplerParameter(i, sampler, GlStateCache::SrgbDecode, GL_TEXTURE_SRGB_DECODE_EXT,
                          s[D3DSAMP_SRGBTEXTURE] ? GL_DECODE_EXT : GL_SKIP_DECODE_EXT);
  }
}
