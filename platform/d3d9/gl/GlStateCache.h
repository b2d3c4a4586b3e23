#pragma once
// The GL state the OpenGL device last sent, so that a call goes out only
// when what it sets differs from what GL has. Every value goes through one
// compare-then-call helper; the values themselves stay private.

#include "platform/d3d9/D3D9Rules.h"

#include <epoxy/gl.h>

#include <array>

// Runs `send` and keeps `value` when it differs from `cached`; true when it
// ran. Unknown values are kept as bit patterns no real value has (NaN for
// floats, all ones in a wider type for values that use all their bits), so
// that the first use always sends.
template <typename T, typename Send>
inline bool glSendOnChange(T& cached, const T& value, Send&& send) {
  if (cached == value) return false;
  send();
  cached = value;
  return true;
}

// A D3DCOLOR (ARGB) as GL's RGBA floats.
inline void glColorFloats(DWORD c, float* out) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

class GlStateCache {
public:
  enum Cap { DepthTest, Cull, Blend, Stencil, Scissor, Srgb, Multisample, Dither, OffsetFill, OffsetLine, OffsetPoint };
  // Parameters of the sampler object of each stage.
  enum SamplerInt { MinFilter, MagFilter, WrapS, WrapT, WrapR, SrgbDecode, SamplerInts };
  enum SamplerFloat { LodBias, MinLod, Anisotropy, SamplerFloats };

  // `sent` counts the calls that went out, `skipped` those found already made.
  GlStateCache(unsigned& sent, unsigned long long& skipped);

  void enable(Cap cap, bool on);
  void depthMask(bool on);
  void depthFunc(GLenum func);
  void cullFace(GLenum face);
  void polygonMode(GLenum mode);
  void polygonOffset(float factor, float units);
  void blendFunc(GLenum src, GLenum dst, GLenum srcAlpha, GLenum dstAlpha);
  void blendEquation(GLenum rgb, GLenum alpha);
  void blendColor(DWORD argb);
  // Face 0 is GL_FRONT, 1 GL_BACK.
  void stencilFunc(int face, GLenum func, GLint ref, GLuint mask);
  void stencilOp(int face, GLenum fail, GLenum zfail, GLenum pass);
  void stencilWriteMask(GLuint mask);
  void colorMask(int target, DWORD mask);  // D3DCOLORWRITEENABLE bits
  void scissor(GLint x, GLint y, GLsizei width, GLsizei height);
  void viewport(GLint x, GLint y, GLsizei width, GLsizei height);
  void depthRange(float nearZ, float farZ);
  void clearColor(DWORD argb);
  void clearDepth(float z);
  void clearStencil(GLint stencil);

  void useProgram(GLuint program);
  void bindVertexArray(GLuint vao);
  void bindReadFramebuffer(GLuint fbo);
  void bindDrawFramebuffer(GLuint fbo);
  void bindCopyBuffer(GLuint buffer);
  void bindArrayBuffer(GLuint buffer);
  void bindRenderbuffer(GLuint renderbuffer);
  // Binds `texture` to `target` (2-D or cube) of `unit`.
  void bindTexture(int unit, GLenum target, GLuint texture);
  int activeUnit() const { return v.activeUnit; }

  void samplerParameter(int stage, GLuint sampler, SamplerInt which, GLenum name, GLint value);
  void samplerParameter(int stage, GLuint sampler, SamplerFloat which, GLenum name, float value);
  void samplerBorder(int stage, GLuint sampler, DWORD argb);

  // Objects GL deleted: what was bound of them is no longer.
  void forgetTexture(GLuint texture);
  void forgetFramebuffer(GLuint fbo);
  void forgetVertexArray(GLuint vao);
  void forgetProgram(GLuint program);

private:
  template <typename T, typename Send>
  void set(T& cached, const T& value, Send&& send) {
    if (glSendOnChange(cached, value, send)) ++sent;
    else ++skipped;
  }

  struct Values {
    std::array<signed char, 11> caps;  // one per Cap; -1 unknown
    GLboolean depthMask;
    GLenum depthFunc, cullFace, polygonMode;
    std::array<float, 2> offset;
    std::array<GLenum, 4> blendFunc;
    std::array<GLenum, 2> blendEquation;
    uint64_t blendColor;
    std::array<uint64_t, 3> stencilFunc[2];  // function, reference, mask
    std::array<GLenum, 3> stencilOps[2];
    uint64_t stencilWriteMask;
    DWORD colorMask[D3D9_RENDER_TARGETS];
    std::array<GLint, 4> scissor, viewport;
    std::array<float, 2> depthRange;
    uint64_t clearColor;
    float clearDepth;
    GLint clearStencil;
    GLuint program, vao, drawFbo, readFbo, copyBuffer, arrayBuffer, renderbuffer;
    int activeUnit;
    GLuint unitTexture[D3D9_STAGES][2];  // 2-D and cube binding of each unit
    GLint samplerInts[D3D9_STAGES][SamplerInts];
    float samplerFloats[D3D9_STAGES][SamplerFloats];
    uint64_t samplerBorders[D3D9_STAGES];
  } v;
  unsigned& sent;
  unsigned long long& skipped;
};
