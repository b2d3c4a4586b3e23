// The OpenGL device's cache of the GL state it sent.

#include "platform/d3d9/gl/GlStateCache.h"

GlStateCache::GlStateCache(unsigned& sentCounter, unsigned long long& skippedCounter)
    : sent(sentCounter), skipped(skippedCounter) {
  // Nothing is known of the GL state yet: every value differs from whatever
  // the first use sets.
  std::memset(&v, 0xFF, sizeof v);
}

void GlStateCache::enable(Cap cap, bool on) {
  static const GLenum names[] = {GL_DEPTH_TEST,          GL_CULL_FACE,           GL_BLEND,      GL_STENCIL_TEST,
                                 GL_SCISSOR_TEST,        GL_FRAMEBUFFER_SRGB,    GL_MULTISAMPLE, GL_DITHER,
                                 GL_POLYGON_OFFSET_FILL, GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT};
  set(v.caps[cap], (signed char)on, [&] { on ? glEnable(names[cap]) : glDisable(names[cap]); });
}

void GlStateCache::depthMask(bool on) {
  set(v.depthMask, (GLboolean)on, [&] { glDepthMask(on ? GL_TRUE : GL_FALSE); });
}

void GlStateCache::depthFunc(GLenum func) { set(v.depthFunc, func, [&] { glDepthFunc(func); }); }

void GlStateCache::cullFace(GLenum face) { set(v.cullFace, face, [&] { glCullFace(face); }); }

void GlStateCache::polygonMode(GLenum mode) {
  set(v.polygonMode, mode, [&] { glPolygonMode(GL_FRONT_AND_BACK, mode); });
}

void GlStateCache::polygonOffset(float factor, float units) {
  set(v.offset, {factor, units}, [&] { glPolygonOffset(factor, units); });
}

void GlStateCache::blendFunc(GLenum src, GLenum dst, GLenum srcAlpha, GLenum dstAlpha) {
  set(v.blendFunc, {src, dst, srcAlpha, dstAlpha}, [&] { glBlendFuncSeparate(src, dst, srcAlpha, dstAlpha); });
}

void GlStateCache::blendEquation(GLenum rgb, GLenum alpha) {
  set(v.blendEquation, {rgb, alpha}, [&] { glBlendEquationSeparate(rgb, alpha); });
}

void GlStateCache::blendColor(DWORD argb) {
  set(v.blendColor, (uint64_t)argb, [&] {
    float c[4];
    glColorFloats(argb, c);
    glBlendColor(c[0], c[1], c[2], c[3]);
  });
}

void GlStateCache::stencilFunc(int face, GLenum func, GLint ref, GLuint mask) {
  set(v.stencilFunc[face], {func, (uint64_t)ref, mask},
      [&] { glStencilFuncSeparate(face ? GL_BACK : GL_FRONT, func, ref, mask); });
}

void GlStateCache::stencilOp(int face, GLenum fail, GLenum zfail, GLenum pass) {
  set(v.stencilOps[face], {fail, zfail, pass},
      [&] { glStencilOpSeparate(face ? GL_BACK : GL_FRONT, fail, zfail, pass); });
}

void GlStateCache::stencilWriteMask(GLuint mask) {
  set(v.stencilWriteMask, (uint64_t)mask, [&] { glStencilMask(mask); });
}

void GlStateCache::colorMask(int target, DWORD mask) {
  set(v.colorMask[target], mask,
      [&] { glColorMaski(target, (mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0); });
}

void GlStateCache::scissor(GLint x, GLint y, GLsizei width, GLsizei height) {
  set(v.scissor, {x, y, width, height}, [&] { glScissor(x, y, width, height); });
}

void GlStateCache::viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  set(v.viewport, {x, y, width, height}, [&] { glViewport(x, y, width, height); });
}

void GlStateCache::depthRange(float nearZ, float farZ) {
  set(v.depthRange, {nearZ, farZ}, [&] { glDepthRange(nearZ, farZ); });
}

void GlStateCache::clearColor(DWORD argb) {
  set(v.clearColor, (uint64_t)argb, [&] {
    float c[4];
    glColorFloats(argb, c);
    glClearColor(c[0], c[1], c[2], c[3]);
  });
}

void GlStateCache::clearDepth(float z) { set(v.clearDepth, z, [&] { glClearDepth(z); }); }

void GlStateCache::clearStencil(GLint stencil) { set(v.clearStencil, stencil, [&] { glClearStencil(stencil); }); }

void GlStateCache::useProgram(GLuint program) { set(v.program, program, [&] { glUseProgram(program); }); }

void GlStateCache::bindVertexArray(GLuint vao) { set(v.vao, vao, [&] { glBindVertexArray(vao); }); }

void GlStateCache::bindReadFramebuffer(GLuint fbo) {
  set(v.readFbo, fbo, [&] { glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo); });
}

void GlStateCache::bindDrawFramebuffer(GLuint fbo) {
  set(v.drawFbo, fbo, [&] { glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo); });
}

void GlStateCache::bindCopyBuffer(GLuint buffer) {
  set(v.copyBuffer, buffer, [&] { glBindBuffer(GL_COPY_WRITE_BUFFER, buffer); });
}

void GlStateCache::bindArrayBuffer(GLuint buffer) {
  set(v.arrayBuffer, buffer, [&] { glBindBuffer(GL_ARRAY_BUFFER, buffer); });
}

void GlStateCache::bindRenderbuffer(GLuint renderbuffer) {
  set(v.renderbuffer, renderbuffer, [&] { glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer); });
}

void GlStateCache::bindTexture(int unit, GLenum target, GLuint texture) {
  set(v.unitTexture[unit][target == GL_TEXTURE_CUBE_MAP ? 1 : 0], texture, [&] {
    // The active unit is only ever changed on the way to a bind.
    if (v.activeUnit != unit) glActiveTexture(GL_TEXTURE0 + unit);
    v.activeUnit = unit;
    glBindTexture(target, texture);
  });
}

void GlStateCache::samplerParameter(int stage, GLuint sampler, SamplerInt which, GLenum name, GLint value) {
  set(v.samplerInts[stage][which], value, [&] { glSamplerParameteri(sampler, name, value); });
}

void GlStateCache::samplerParameter(int stage, GLuint sampler, SamplerFloat which, GLenum name, float value) {
  set(v.samplerFloats[stage][which], value, [&] { glSamplerParameterf(sampler, name, value); });
}

void GlStateCache::samplerBorder(int stage, GLuint sampler, DWORD argb) {
  set(v.samplerBorders[stage], (uint64_t)argb, [&] {
    float c[4];
    glColorFloats(argb, c);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, c);
  });
}

void GlStateCache::forgetTexture(GLuint texture) {
  // Deleting a texture unbinds it from every unit.
  for (auto& unit : v.unitTexture)
    for (GLuint& bound : unit)
      if (bound == texture) bound = 0;
}

void GlStateCache::forgetFramebuffer(GLuint fbo) {
  if (v.drawFbo == fbo) v.drawFbo = 0xFFFFFFFF;
  if (v.readFbo == fbo) v.readFbo = 0xFFFFFFFF;
}

void GlStateCache::forgetVertexArray(GLuint vao) {
  if (v.vao == vao) v.vao = 0xFFFFFFFF;
}

void GlStateCache::forgetProgram(GLuint program) {
  if (v.program == program) v.program = 0xFFFFFFFF;
}
