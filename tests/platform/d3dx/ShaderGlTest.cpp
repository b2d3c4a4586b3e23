// The compiled shaders on a real OpenGL 3.3 core context (Mesa llvmpipe,
// surfaceless EGL made here): every vertex/pixel pair links, and drawn over a
// small float target computes what its HLSL says, against CPU references.
// Constants reach GL the way a device passes them: the constant table writes
// the recording device's registers, which are uploaded into the register
// arrays the blobs name.

#include "support/D3DXTestSupport.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

struct Rgba {
  float r, g, b, a;
};

// Surfaceless EGL context, created once for the process.
bool makeContext(std::string* why) {
  static int state = 0;  // 0 untried, 1 ok, -1 failed
  static std::string reason;
  if (state == 0) {
    state = -1;
    EGLDisplay dpy = EGL_NO_DISPLAY;
    if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless"))
      dpy = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major, minor;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, &major, &minor)) {
      reason = "no surfaceless EGL display";
    } else {
      eglBindAPI(EGL_OPENGL_API);
      const EGLint attrs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                              EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
      EGLContext ctx = eglCreateContext(dpy, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attrs);
      if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx))
        reason = "no OpenGL 3.3 core context";
      else
        state = 1;
    }
  }
  *why = reason;
  return state == 1;
}

GLuint makeTexture(int w, int h, const std::vector<Rgba>& texels, GLint filter = GL_NEAREST) {
  GLuint t;
  glGenTextures(1, &t);
  glActiveTexture(GL_TEXTURE15);  // a unit no shader reads
  glBindTexture(GL_TEXTURE_2D, t);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, w, h, 0, GL_RGBA, GL_FLOAT, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return t;
}

// One compiled pair as a GL program, with its blobs.
struct Program {
  std::unique_ptr<Compiled> vs, ps;
  GLuint program = 0;
  std::string log;

  explicit Program(int slot) : Program(builtInShaderSources[slot].vertexShader, builtInShaderSources[slot].pixelShader) {}
  Program(const char* vsSource, const char* psSource) {
    vs = std::make_unique<Compiled>(vsSource, "vs_3_0");
    ps = std::make_unique<Compiled>(psSource, "ps_3_0");
    if (vs->hr != S_OK || ps->hr != S_OK) {
      log = vs->messages + ps->messages;
      return;
    }
    GLuint shaders[2] = {compile(GL_VERTEX_SHADER, vs->view.glsl), compile(GL_FRAGMENT_SHADER, ps->view.glsl)};
    if (!shaders[0] || !shaders[1]) return;
    program = glCreateProgram();
    glAttachShader(program, shaders[0]);
    glAttachShader(program, shaders[1]);
    glLinkProgram(program);
    glDeleteShader(shaders[0]);
    glDeleteShader(shaders[1]);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
      char text[4096] = {};
      glGetProgramInfoLog(program, sizeof text, nullptr, text);
      log = std::string("link: ") + text;
      glDeleteProgram(program);
      program = 0;
      return;
    }
    // Samplers read the texture unit of their register, once after linking.
    glUseProgram(program);
    for (DWORD i = 0; i < ps->view.header->samplerCount; ++i) {
      GLint loc = glGetUniformLocation(program, ps->view.string(ps->view.samplers[i].glslName));
      if (loc >= 0) glUniform1i(loc, (GLint)ps->view.samplers[i].unit);
    }
  }
  ~Program() {
    if (program) glDeleteProgram(program);
  }

  GLuint compile(GLenum type, const char* text) {
    GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char buf[4096] = {};
      glGetShaderInfoLog(s, sizeof buf, nullptr, buf);
      log += std::string(type == GL_VERTEX_SHADER ? "vertex: " : "fragment: ") + buf + "\n" + text;
      glDeleteShader(s);
      return 0;
    }
    return s;
  }

  // Uploads the stage's register file into the blob's register array.
  void uploadRegisters(RecordingDevice* rec) {
    glUseProgram(program);
    for (const Compiled* c : {vs.get(), ps.get()}) {
      if (c->view.header->registerCount == 0) continue;
      GLint loc = glGetUniformLocation(program, c->view.registerArrayName);
      if (loc < 0) continue;  // everything optimised away
      const float* regs = c->view.isPixelShader() ? rec->pixelConstant(0) : rec->vertexConstant(0);
      glUniform4fv(loc, (GLsizei)c->view.header->registerCount, regs);
    }
  }
};

// A float render target and a full-target quad drawn with per-corner attributes.
class GlTarget {
public:
  GlTarget(int w, int h) : width(w), height(h) {
    glGenFramebuffers(1, &fbo);
    glGenTextures(1, &colour);
    glActiveTexture(GL_TEXTURE15);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, w, h, 0, GL_RGBA, GL_FLOAT, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
  }
  ~GlTarget() {
    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    glDeleteTextures(1, &colour);
    glDeleteFramebuffers(1, &fbo);
  }

  // attributes: location -> 4 corners x 4 floats, corners in the order
  // top-left, top-right, bottom-left, bottom-right (Direct3D's screen sense).
  void draw(const Program& p, const std::map<int, std::array<float, 16>>& attributes) {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glViewport(0, 0, width, height);
    glClearColor(0.125f, 0.125f, 0.125f, 0.125f);
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(p.program);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    std::vector<float> data;
    for (const auto& a : attributes) data.insert(data.end(), a.second.begin(), a.second.end());
    glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(data.size() * 4), data.data(), GL_STREAM_DRAW);
    size_t offset = 0;
    for (int loc = 0; loc < 16; ++loc) glDisableVertexAttribArray(loc);
    for (const auto& a : attributes) {
      glEnableVertexAttribArray(a.first);
      glVertexAttribPointer(a.first, 4, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<void*>(offset));
      offset += 64;
    }
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    pixels.assign((size_t)width * height, Rgba{});
    glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, pixels.data());
  }

  // Row 0 is the top row, as in Direct3D: the vertex shaders flip clip y.
  Rgba at(int x, int y) const { return pixels[(size_t)y * width + x]; }

  int width, height;

private:
  GLuint fbo = 0, colour = 0, vao = 0, vbo = 0;
  std::vector<Rgba> pixels;
};

// Clip-space corners of the whole target and their texture coordinates.
const std::array<float, 16> fullQuad = {-1, 1, 0.5f, 1, 1, 1, 0.5f, 1, -1, -1, 0.5f, 1, 1, -1, 0.5f, 1};
const std::array<float, 16> fullUv = {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0};
std::array<float, 16> constant4(float x, float y, float z, float w) { return {x, y, z, w, x, y, z, w, x, y, z, w, x, y, z, w}; }

const int POS = 0, NORMAL = 1, COLOR0 = 2, TEX0 = 4, TEX2 = 6;

void expectNear(const Rgba& got, const Rgba& want, float tolerance, const std::string& what) {
  EXPECT_NEAR(got.r, want.r, tolerance) << what;
  EXPECT_NEAR(got.g, want.g, tolerance) << what;
  EXPECT_NEAR(got.b, want.b, tolerance) << what;
  EXPECT_NEAR(got.a, want.a, tolerance) << what;
}

float lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

class ShaderGl : public RecordingFixture {
protected:
  void SetUp() override {
    std::string why;
    if (!makeContext(&why)) GTEST_SKIP() << why;
    RecordingFixture::SetUp();
  }
  void set(ID3DXConstantTable* t, const char* name, const std::vector<float>& values) {
    ASSERT_EQ(t->SetFloatArray(device, name, values.data(), (UINT)values.size()), S_OK) << name;
  }
  void setMatrix(ID3DXConstantTable* t, const char* name, const float m[16]) {
    ASSERT_EQ(t->SetMatrixTranspose(device, name, reinterpret_cast<const D3DXMATRIX*>(m)), S_OK) << name;
  }
  void bind(int unit, GLuint texture) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture);
  }
};

TEST_F(ShaderGl, EveryPairLinks) {
  for (const ShaderPair& pair : shaderSet()) {
    Program p(pair.vs, pair.ps);
    EXPECT_NE(p.program, 0u) << pair.name << "\n" << p.log;
  }
}

TEST_F(ShaderGl, PostEffectsComputeTheirReferences) {
  const int W = 16, H = 8;
  std::vector<Rgba> src(W * H), second(W * H);
  for (int i = 0; i < W * H; ++i) {
    src[i] = {(i % 7) / 7.0f, (i % 5) / 5.0f, (i % 3) / 3.0f, (i % 4) / 4.0f};
    second[i] = {0.5f, 0.25f, (i % 2) * 1.0f, 0.75f};
  }
  GLuint t0 = makeTexture(W, H, src), t1 = makeTexture(W, H, second);
  bind(0, t0);
  bind(1, t1);
  GlTarget target(W, H);
  auto texelOf = [&](const std::vector<Rgba>& img, int x, int y) {
    x = std::clamp(x, 0, W - 1);
    y = std::clamp(y, 0, H - 1);
    return img[y * W + x];
  };

  {  // Bright pass: rgb - 0.33 floored at 0, alpha through.
    Program p(postPassThroughVS, brightPassPS);
    ASSERT_NE(p.program, 0u) << p.log;
    target.draw(p, {{POS, fullQuad}, {TEX0, fullUv}});
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        Rgba s = texelOf(src, x, y);
        expectNear(target.at(x, y), {std::max(s.r - 0.33f, 0.f), std::max(s.g - 0.33f, 0.f), std::max(s.b - 0.33f, 0.f), s.a},
                   1e-5f, "bright pass");
      }
  }
  {  // Combine with weights (1, 1): the sum.
    Program p(postPassThroughVS, combinePS);
    ASSERT_NE(p.program, 0u) << p.log;
    set(p.ps->table, "weights", {1, 1, 0, 0});
    p.uploadRegisters(rec);
    target.draw(p, {{POS, fullQuad}, {TEX0, fullUv}});
    Rgba a = texelOf(src, 5, 3), b = texelOf(second, 5, 3);
    expectNear(target.at(5, 3), {a.r + b.r, a.g + b.g, a.b + b.b, a.a + b.a}, 1e-5f, "combine");
  }
  {  // Alpha blend: lerp by the first input's alpha, alpha 1.
    Program p(postPassThroughVS, alphaBlendPS);
    ASSERT_NE(p.program, 0u) << p.log;
    target.draw(p, {{POS, fullQuad}, {TEX0, fullUv}});
    for (int i : {3, 6, 7}) {
      Rgba a = texelOf(src, i, 1), b = texelOf(second, i, 1);
      expectNear(target.at(i, 1), {lerp(a.r, b.r, a.a), lerp(a.g, b.g, a.a), lerp(a.b, b.b, a.a), 1.0f}, 1e-5f, "blend");
    }
  }
  {  // Horizontal 15-tap blur of the source, weights from the Gaussian table.
    Program p(postPassThroughVS, blurPS);
    ASSERT_NE(p.program, 0u) << p.log;
    const float sigma = 3.0f, base = 1.0f / std::sqrt(6.283f * sigma * sigma);
    std::vector<float> offsets(32, 0.0f), weights(64, 0.0f);
    float w[8];
    for (int i = 0; i < 8; ++i) w[i] = base * std::exp(-(float)(i * i) / (2 * sigma * sigma));
    for (int k = 0; k < 15; ++k) {
      int tap = k == 0 ? 0 : (k <= 7 ? k : -(k - 7));
      offsets[2 * k] = tap / (float)W;
      float weight = w[std::abs(tap)];
      weights[4 * k] = weights[4 * k + 1] = weights[4 * k + 2] = weight;
      weights[4 * k + 3] = 1.0f;
    }
    EXPECT_NEAR(w[0], 0.132983f, 1e-6f);
    EXPECT_NEAR(w[7], 0.008741f, 1e-6f);
    set(p.ps->table, "sampleOffsets", offsets);
    set(p.ps->table, "sampleWeights", weights);
    p.uploadRegisters(rec);
    target.draw(p, {{POS, fullQuad}, {TEX0, fullUv}});
    for (int x : {0, 4, 15}) {
      Rgba want = {0, 0, 0, 0};
      for (int k = 0; k < 15; ++k) {
        int tap = k == 0 ? 0 : (k <= 7 ? k : -(k - 7));
        Rgba s = texelOf(src, x + tap, 2);
        want.r += w[std::abs(tap)] * s.r;
        want.g += w[std::abs(tap)] * s.g;
        want.b += w[std::abs(tap)] * s.b;
        want.a += s.a;
      }
      expectNear(target.at(x, 2), want, 1e-4f, "blur x=" + std::to_string(x));
    }
  }
  {  // 4x4 box downsample to a quarter-size target.
    Program p(postPassThroughVS, downsamplePS);
    ASSERT_NE(p.program, 0u) << p.log;
    std::vector<float> offsets(32);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) {
        offsets[2 * (4 * r + c)] = (c - 1.5f) / W;
        offsets[2 * (4 * r + c) + 1] = (r - 1.5f) / H;
      }
    set(p.ps->table, "sampleOffsets", offsets);
    p.uploadRegisters(rec);
    GlTarget quarter(W / 4, H / 4);
    quarter.draw(p, {{POS, fullQuad}, {TEX0, fullUv}});
    for (int qy = 0; qy < H / 4; ++qy)
      for (int qx = 0; qx < W / 4; ++qx) {
        Rgba want = {0, 0, 0, 0};
        for (int y = 0; y < 4; ++y)
          for (int x = 0; x < 4; ++x) {
            Rgba s = texelOf(src, qx * 4 + x, qy * 4 + y);
            want = {want.r + s.r / 16, want.g + s.g / 16, want.b + s.b / 16, want.a + s.a / 16};
          }
        expectNear(quarter.at(qx, qy), want, 1e-5f, "downsample");
      }
  }
  glDeleteTextures(1, &t0);
  glDeleteTextures(1, &t1);
}

TEST_F(ShaderGl, BuiltInSlotsDrawWhatTheyDescribe) {
  std::vector<Rgba> texels(4 * 4, Rgba{0.5f, 0.25f, 1.0f, 0.5f});
  texels[0] = {1, 0, 0, 0.25f};
  GLuint t0 = makeTexture(4, 4, texels), t1 = makeTexture(4, 4, std::vector<Rgba>(16, Rgba{0.5f, 0.5f, 0.25f, 1}));
  bind(0, t0);
  bind(1, t1);
  GlTarget target(4, 4);
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float diffuse[4] = {0.5f, 1.0f, 0.25f, 0.75f};
  auto setDiffuse = [&](Program& p) { set(p.ps->table, "materialDiffuse", {diffuse[0], diffuse[1], diffuse[2], diffuse[3]}); };

  {  // Slot 0: positions scaled and offset by scaleBias, flat materialDiffuse.
    Program p(0);
    ASSERT_NE(p.program, 0u) << p.log;
    set(p.vs->table, "scaleBias", {0.5f, 0.5f, 0.5f, 0.5f});  // onto the top-right quarter
    setDiffuse(p);
    p.uploadRegisters(rec);
    target.draw(p, {{POS, fullQuad}});
    expectNear(target.at(3, 0), {0.5f, 1.0f, 0.25f, 0.75f}, 1e-6f, "slot 0 inside");
    expectNear(target.at(0, 3), {0.125f, 0.125f, 0.125f, 0.125f}, 1e-6f, "slot 0 outside");
  }
  {  // Slots 1 and 2: texture (opaque for slot 1) times materialDiffuse.
    for (int slot : {1, 2}) {
      Program p(slot);
      ASSERT_NE(p.program, 0u) << p.log;
      set(p.vs->table, "scaleBias", {1, 1, 0, 0});
      setDiffuse(p);
      p.uploadRegisters(rec);
      target.draw(p, {{POS, fullQuad}, {TEX0, fullUv}});
      float alpha = slot == 1 ? 1.0f : 0.25f;
      expectNear(target.at(0, 0), {0.5f, 0, 0, alpha * 0.75f}, 1e-6f, "slot " + std::to_string(slot));
    }
  }
  {  // Slots 3, 5, 6, 7: world transform (identity) with flat colour, texture,
     // modulate 2x by a second texture, vertex colour.
    Program s3(3);
    ASSERT_NE(s3.program, 0u) << s3.log;
    setMatrix(s3.vs->table, "matrixTotal", identity);
    setDiffuse(s3);
    s3.uploadRegisters(rec);
    target.draw(s3, {{POS, fullQuad}, {TEX0, fullUv}, {NORMAL, constant4(0, 0, 1, 0)}});
    expectNear(target.at(2, 2), {0.5f, 1.0f, 0.25f, 0.75f}, 1e-6f, "slot 3");

    struct Case {
      int slot;
      std::map<int, std::array<float, 16>> attributes;
      int x, y;
      Rgba want;
    } cases[] = {{5, {{POS, fullQuad}, {TEX0, fullUv}}, 0, 0, {1, 0, 0, 0.25f}},
                 {6, {{POS, fullQuad}, {TEX0, fullUv}, {TEX2, fullUv}}, 1, 1, {0.5f, 0.25f, 0.5f, 1.0f}},
                 {7, {{POS, fullQuad}, {TEX0, fullUv}, {COLOR0, constant4(0.25f, 0.5f, 0.75f, 1)}}, 3, 3, {0.25f, 0.5f, 0.75f, 1}}};
    for (const Case& c : cases) {
      Program p(c.slot);
      ASSERT_NE(p.program, 0u) << p.log;
      p.uploadRegisters(rec);
      target.draw(p, c.attributes);
      expectNear(target.at(c.x, c.y), c.want, 1e-6f, "slot " + std::to_string(c.slot));
    }
  }
  {  // Slot 4: the clip-space depth (Direct3D's 0..1) comes out as the colour.
    Program p(4);
    ASSERT_NE(p.program, 0u) << p.log;
    const float scaleZ[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0.125f, 1};  // z' = 0.5 z + 0.125
    setMatrix(p.vs->table, "matrixTotal", scaleZ);
    p.uploadRegisters(rec);
    std::array<float, 16> quad = fullQuad;  // z 0.5 everywhere
    target.draw(p, {{POS, quad}});
    float depth = 0.5f * 0.5f + 0.125f;
    expectNear(target.at(1, 2), {depth, depth, depth, depth}, 1e-6f, "slot 4");
  }
  glDeleteTextures(1, &t0);
  glDeleteTextures(1, &t1);
}

TEST_F(ShaderGl, LitShadersFollowBlinnLighting) {
  char source[LIT_PIXEL_SHADER_BUFFER_SIZE];
  buildLitPixelShaderSource(1, source);
  Program p(litVS, source);
  ASSERT_NE(p.program, 0u) << p.log;
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (const char* m : {"matrixTotal", "matrixWorld", "matrixWorldIT"}) setMatrix(p.vs->table, m, identity);
  const float light[3] = {0.5f, 1.0f, -2.0f}, camera[3] = {-1.0f, 0.5f, -3.0f};
  set(p.vs->table, "lightPosition", {light[0], light[1], light[2], 1});
  set(p.vs->table, "cameraPosition", {camera[0], camera[1], camera[2], 1});
  set(p.ps->table, "materialDiffuse", {0.8f, 0.6f, 0.4f, 1});
  set(p.ps->table, "materialSpecular", {0.5f, 0.5f, 0.5f, 1});
  p.uploadRegisters(rec);
  GlTarget target(8, 8);
  std::array<float, 16> quad = fullQuad;
  for (int i = 0; i < 4; ++i) quad[i * 4 + 2] = 0.0f;  // the plane z = 0
  target.draw(p, {{POS, quad}, {NORMAL, constant4(0, 0, -1, 0)}, {TEX0, fullUv}, {TEX2, fullUv}});

  // CPU reference: the vertex shader's vectors at the corners, interpolated
  // linearly over the strip's two triangles, then the pixel shader's sums.
  using V3 = std::array<float, 3>;
  auto norm = [](V3 v) {
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return V3{v[0] / l, v[1] / l, v[2] / l};
  };
  auto corner = [&](float wx, float wy, bool half) {
    V3 l = norm({light[0] - wx, light[1] - wy, light[2]});
    if (!half) return l;
    V3 c = norm({camera[0] - wx, camera[1] - wy, camera[2]});
    return V3{(l[0] + c[0]) * 0.5f, (l[1] + c[1]) * 0.5f, (l[2] + c[2]) * 0.5f};
  };
  auto interpolate = [&](float s, float t, bool half) {
    V3 tl = corner(-1, 1, half), tr = corner(1, 1, half), bl = corner(-1, -1, half), br = corner(1, -1, half);
    V3 out;
    for (int k = 0; k < 3; ++k)
      out[k] = s + t <= 1 ? tl[k] + s * (tr[k] - tl[k]) + t * (bl[k] - tl[k])
                          : br[k] + (1 - s) * (bl[k] - br[k]) + (1 - t) * (tr[k] - br[k]);
    return out;
  };
  for (auto [px, py] : {std::pair{3, 3}, std::pair{6, 1}, std::pair{1, 6}}) {
    float s = (px + 0.5f) / 8.0f, t = (py + 0.5f) / 8.0f;
    V3 l = interpolate(s, t, false), h = norm(interpolate(s, t, true));
    float diff = std::clamp(-l[2], 0.0f, 1.0f);  // n = (0, 0, -1)
    float specular = 0.5f * std::pow(std::clamp(-h[2], 0.0f, 1.0f), 64.0f);
    float specAlpha = std::pow(std::clamp(-h[2], 0.0f, 1.0f), 64.0f);  // materialSpecular.a is 1
    expectNear(target.at(px, py), {0.8f * diff + specular, 0.6f * diff + specular, 0.4f * diff + specular, diff + specAlpha}, 1e-3f,
               "lit at " + std::to_string(px) + "," + std::to_string(py));
  }
}

TEST_F(ShaderGl, SpotLightShadowsConeRangeProjectorAndDepthBlur) {
  Program p(spotLightShadowVS, spotLightShadowPS);
  ASSERT_NE(p.program, 0u) << p.log;
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float e = 0.25f / 1024.0f;  // a quarter texel: exercises the bilinear filter
  // Row-vector matrices: shadow uv = (0.5 x + 0.5 + e, 0.5 y + 0.5 + e), light depth 0.5.
  const float shadow[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0, 0.5f + e, 0.5f + e, 0.5f, 1};
  const float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 750, 1};  // view depth 750
  for (const char* m : {"matrixTotal", "matrixWorld", "matrixWorldIT"}) setMatrix(p.vs->table, m, identity);
  setMatrix(p.vs->table, "matrixShadowMap", shadow);
  setMatrix(p.vs->table, "matrixWorldView", view);
  const float lightPos[3] = {0, 0, -2}, cosSpot = std::cos(25.0f * 3.14159265f / 180.0f), invRangeSq = 1.0f / 16.0f;
  for (ID3DXConstantTable* t : {p.vs->table, p.ps->table}) {
    set(t, "lightPosition", {lightPos[0], lightPos[1], lightPos[2], 1});
    set(t, "lightDirection", {0, 0, 1, 0});
  }
  set(p.vs->table, "lightInvRangeSq", {invRangeSq});
  set(p.ps->table, "lightCosSpot", {cosSpot});
  set(p.ps->table, "dofParams", {500, 1000, 1500, 0.79f});
  p.uploadRegisters(rec);

  // Shadow map 1024 x 1024: stored depth 0.3 left of column 505 (occluded at
  // light depth 0.5), 1.0 from it on. Projector: a colour per half, top/bottom.
  const int S = 1024;
  std::vector<float> depths((size_t)S * S);
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x) depths[(size_t)y * S + x] = x < 505 ? 0.3f : 1.0f;
  GLuint shadowMap;
  glGenTextures(1, &shadowMap);
  glActiveTexture(GL_TEXTURE15);
  glBindTexture(GL_TEXTURE_2D, shadowMap);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, S, S, 0, GL_RED, GL_FLOAT, depths.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  GLuint projector = makeTexture(1, 2, {Rgba{1, 0.5f, 0.25f, 1}, Rgba{0.5f, 1, 1, 1}});
  bind(0, shadowMap);
  bind(1, projector);

  const int W = 64;
  GlTarget target(W, W);
  std::array<float, 16> quad = fullQuad;
  for (int i = 0; i < 4; ++i) quad[i * 4 + 2] = 0.0f;
  target.draw(p, {{POS, quad}, {NORMAL, constant4(0, 0, -1, 0)}, {TEX0, fullUv}});

  auto stored = [&](float u, float v) {
    int x = std::clamp((int)std::floor(u * S), 0, S - 1), y = std::clamp((int)std::floor(v * S), 0, S - 1);
    return depths[(size_t)y * S + x];
  };
  int lit = 0, dark = 0, partial = 0;
  for (int py = 0; py < W; ++py) {
    for (int px = 0; px < W; ++px) {
      float x = (px + 0.5f) / (W / 2) - 1.0f, y = 1.0f - (py + 0.5f) / (W / 2);
      float u = 0.5f * x + 0.5f + e, v = 0.5f * y + 0.5f + e, z = 0.5f;
      const float texel = 1.0f / 1024.0f, bias = 0.044f;
      float t0 = z < stored(u, v) + bias, t1 = z < stored(u + texel, v) + bias;
      float t2 = z < stored(u, v + texel) + bias, t3 = z < stored(u + texel, v + texel) + bias;
      float fx = u * 1024 - std::floor(u * 1024), fy = v * 1024 - std::floor(v * 1024);
      float shadowFactor = lerp(lerp(t0, t1, fx), lerp(t2, t3, fx), fy);
      Rgba proj = v < 0.5f ? Rgba{1, 0.5f, 0.25f, 1} : Rgba{0.5f, 1, 1, 1};
      float toLight[3] = {lightPos[0] - x, lightPos[1] - y, lightPos[2]};
      float dSq = toLight[0] * toLight[0] + toLight[1] * toLight[1] + toLight[2] * toLight[2];
      // The range falloff is computed per vertex: every corner is at
      // distance squared 1 + 1 + 4 from the light.
      float attn = 1.0f - 6.0f * invRangeSq;
      if (-toLight[2] / std::sqrt(dSq) < cosSpot) attn = 0.0f;  // dot(-toLight, (0,0,1))
      float hemi[3] = {lerp(0.3f, 0.8f, 0.5f), lerp(0.2f, 0.9f, 0.5f), lerp(0.1f, 1.0f, 0.5f)};
      float diff = 1.0f;
      Rgba want = {(hemi[0] + diff) * attn * proj.r * shadowFactor, (hemi[1] + diff) * attn * proj.g * shadowFactor,
                   (hemi[2] + diff) * attn * proj.b * shadowFactor, 0.5f};  // |(750 - 1000) / 500|
      Rgba got = target.at(px, py);
      // Interpolated positions differ from the CPU's by rounding; the cone
      // edge may flip a pixel, so compare away from it.
      float cosAngle = 2.0f / std::sqrt(dSq);
      if (std::fabs(cosAngle - cosSpot) < 2e-3f) continue;
      expectNear(got, want, 2e-3f, "spot at " + std::to_string(px) + "," + std::to_string(py));
      if (attn > 0 && shadowFactor == 1) ++lit;
      if (attn > 0 && shadowFactor == 0) ++dark;
      if (attn > 0 && shadowFactor > 0 && shadowFactor < 1) ++partial;
    }
  }
  // The picture has lit, shadowed and filtered pixels inside the cone.
  EXPECT_GT(lit, 0);
  EXPECT_GT(dark, 0);
  EXPECT_GT(partial, 0);
  glDeleteTextures(1, &shadowMap);
  glDeleteTextures(1, &projector);
}
