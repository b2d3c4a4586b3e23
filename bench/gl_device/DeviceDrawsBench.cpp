// device_draws_vs_gl: 10,000 small indexed draws per frame, each after a
// material-style state change (shader pair, texture, blend, cull, depth
// function and writes, a per-draw matrix and tint), through the OpenGL
// Direct3D 9 device against the same frame written directly in OpenGL, on
// the same window and llvmpipe in the same run. The figure is the CPU time
// of the process per frame (all threads, so llvmpipe's rasteriser threads
// count on both sides), each frame finished with glFinish; the two kinds of
// frame alternate in rounds so that machine noise hits both alike.

#include <SDL.h>
#include <epoxy/gl.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchReport.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/gl/GlDirect3D9.h"
#include "platform/d3dx/d3dx9shader.h"
#include "platform/win32/Win32Sdl.h"
#include "platform/win32/windows.h"

namespace {

constexpr int kSize = 256;
constexpr int kDraws = 10000;
constexpr int kQuads = 100;

struct Vertex {
  float x, y, z;
  float u, v;
};

const char* const kVs =
    "float4x4 world : register(c0);\nstruct O { float4 p : POSITION; float2 t : TEXCOORD0; };\n"
    "O main(float3 p : POSITION, float2 t : TEXCOORD0) { O o; o.p = mul(world, float4(p, 1)); o.t = t; return o; }";
const char* const kPs[2] = {
    "float4 tint : register(c0);\nsampler s0 : register(s0);\n"
    "float4 main(float2 t : TEXCOORD0) : COLOR { return tex2D(s0, t) * tint; }",
    "float4 tint : register(c0);\nsampler s0 : register(s0);\n"
    "float4 main(float2 t : TEXCOORD0) : COLOR { return tex2D(s0, t) + tint * 0.5; }"};

const char* const kGlVs =
    "#version 330 core\nlayout(location = 0) in vec3 p;\nlayout(location = 4) in vec2 t;\nuniform mat4 world;\n"
    "out vec2 uv;\nvoid main() { gl_Position = world * vec4(p, 1.0); uv = t; }\n";
const char* const kGlPs[2] = {
    "#version 330 core\nuniform vec4 tint;\nuniform sampler2D s0;\nin vec2 uv;\nout vec4 colour;\n"
    "void main() { colour = texture(s0, uv) * tint; }\n",
    "#version 330 core\nuniform vec4 tint;\nuniform sampler2D s0;\nin vec2 uv;\nout vec4 colour;\n"
    "void main() { colour = texture(s0, uv) + tint * 0.5; }\n"};

double cpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The shared scene: 100 quads on a grid, and per draw a matrix (translation,
// column-major for GL, as registers in column-major packing for HLSL) and a tint.
void sceneData(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, std::vector<float>& matrices,
               std::vector<float>& tints) {
  for (int q = 0; q < kQuads; ++q) {
    float x = -0.95f + (q % 10) * 0.19f, y = -0.95f + (q / 10) * 0.19f, s = 0.05f;
    vertices.push_back({x, y, 0.5f, 0, 0});
    vertices.push_back({x, y + s, 0.5f, 0, 1});
    vertices.push_back({x + s, y, 0.5f, 1, 0});
    vertices.push_back({x + s, y + s, 0.5f, 1, 1});
  }
  indices = {0, 1, 2, 2, 1, 3};
  for (int i = 0; i < kDraws; ++i) {
    float dx = 0.001f * (i % 17), dy = 0.001f * (i % 13);
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, dx, dy, 0, 1};
    matrices.insert(matrices.end(), m, m + 16);
    const float t[4] = {0.5f + 0.5f * (i % 3) / 2.0f, 0.7f, 0.9f, 0.6f};
    tints.insert(tints.end(), t, t + 4);
  }
}

std::vector<uint32_t> textureTexels(int which) {
  std::vector<uint32_t> t(16 * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      t[y * 16 + x] = ((x / 4 + y / 4 + which) & 1) ? 0xFFE0C0A0u : 0xFF204060u;
  return t;
}

// --- through the device -------------------------------------------------------------------
struct DeviceFrame {
  IDirect3DDevice9* dev = nullptr;
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps[2] = {};
  IDirect3DTexture9* tex[2] = {};
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  IDirect3DVertexDeclaration9* decl = nullptr;
  std::vector<float> matrices, tints;

  bool init(IDirect3DDevice9* device) {
    dev = device;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    sceneData(vertices, indices, matrices, tints);
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    if (D3DXCompileShader(kVs, (UINT)std::strlen(kVs), nullptr, nullptr, "main", "vs_3_0", 0, &code, &errors, nullptr) ||
        dev->CreateVertexShader((const DWORD*)code->GetBufferPointer(), &vs))
      return false;
    code->Release();
    for (int i = 0; i < 2; ++i) {
      if (D3DXCompileShader(kPs[i], (UINT)std::strlen(kPs[i]), nullptr, nullptr, "main", "ps_3_0", 0, &code, &errors,
                            nullptr) ||
          dev->CreatePixelShader((const DWORD*)code->GetBufferPointer(), &ps[i]))
        return false;
      code->Release();
      std::vector<uint32_t> texels = textureTexels(i);
      if (dev->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex[i], nullptr)) return false;
      D3DLOCKED_RECT lr;
      tex[i]->LockRect(0, &lr, nullptr, 0);
      std::memcpy(lr.pBits, texels.data(), texels.size() * 4);
      tex[i]->UnlockRect(0);
    }
    UINT vbBytes = (UINT)(vertices.size() * sizeof(Vertex)), ibBytes = (UINT)(indices.size() * 2);
    void* p;
    if (dev->CreateVertexBuffer(vbBytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr) ||
        dev->CreateIndexBuffer(ibBytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr))
      return false;
    vb->Lock(0, 0, &p, 0);
    std::memcpy(p, vertices.data(), vbBytes);
    vb->Unlock();
    ib->Lock(0, 0, &p, 0);
    std::memcpy(p, indices.data(), ibBytes);
    ib->Unlock();
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                          D3DDECL_END()};
    if (dev->CreateVertexDeclaration(elements, &decl)) return false;
    for (int i = 0; i < 2; ++i) {
      dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
      dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    }
    return true;
  }

  void frame() {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101820, 1.0f, 0);
    dev->BeginScene();
    dev->SetVertexDeclaration(decl);
    dev->SetStreamSource(0, vb, 0, sizeof(Vertex));
    dev->SetIndices(ib);
    dev->SetVertexShader(vs);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (int i = 0; i < kDraws; ++i) {
      int m = i & 1;
      // The material: shader, texture and render states.
      dev->SetPixelShader(ps[m]);
      dev->SetTexture(0, tex[m]);
      dev->SetRenderState(D3DRS_ALPHABLENDENABLE, m);
      dev->SetRenderState(D3DRS_CULLMODE, m ? D3DCULL_NONE : D3DCULL_CCW);
      dev->SetRenderState(D3DRS_ZFUNC, m ? D3DCMP_LESSEQUAL : D3DCMP_LESS);
      dev->SetRenderState(D3DRS_ZWRITEENABLE, !m);
      // The item: its matrix and tint.
      dev->SetVertexShaderConstantF(0, &matrices[i * 16], 4);
      dev->SetPixelShaderConstantF(0, &tints[i * 4], 1);
      dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4 * (i % kQuads), 0, 4, 0, 2);
    }
    dev->EndScene();
    dev->Present(nullptr, nullptr, nullptr, nullptr);
    glFinish();
  }

  void release() {
    for (IUnknown* o : std::initializer_list<IUnknown*>{vs, ps[0], ps[1], tex[0], tex[1], vb, ib, decl})
      if (o) o->Release();
  }
};

// --- the same in OpenGL -----------------------------------------------------------------------
struct GlFrame {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  GLuint program[2] = {}, texture[2] = {}, vbo = 0, ibo = 0, vao = 0, fbo = 0, colour = 0, depth = 0;
  GLint world[2] = {}, tint[2] = {};
  std::vector<float> matrices, tints;

  static GLuint shader(GLenum type, const char* source) {
    GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    return s;
  }

  bool init(SDL_Window* w) {
    window = w;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    context = SDL_GL_CreateContext(window);
    if (!context) return false;
    SDL_GL_SetSwapInterval(0);
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    sceneData(vertices, indices, matrices, tints);
    GLuint vs = shader(GL_VERTEX_SHADER, kGlVs);
    for (int i = 0; i < 2; ++i) {
      GLuint fs = shader(GL_FRAGMENT_SHADER, kGlPs[i]);
      program[i] = glCreateProgram();
      glAttachShader(program[i], vs);
      glAttachShader(program[i], fs);
      glLinkProgram(program[i]);
      GLint ok = 0;
      glGetProgramiv(program[i], GL_LINK_STATUS, &ok);
      if (!ok) return false;
      world[i] = glGetUniformLocation(program[i], "world");
      tint[i] = glGetUniformLocation(program[i], "tint");
      glUseProgram(program[i]);
      glUniform1i(glGetUniformLocation(program[i], "s0"), 0);
      std::vector<uint32_t> texels = textureTexels(i);
      glGenTextures(1, &texture[i]);
      glBindTexture(GL_TEXTURE_2D, texture[i]);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, vertices.size() * sizeof(Vertex), vertices.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &ibo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * 2, indices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glEnableVertexAttribArray(4);
    glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(12));
    // The same offscreen colour and depth the device renders into.
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kSize, kSize);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
    glViewport(0, 0, kSize, kSize);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }

  void makeCurrent() { SDL_GL_MakeCurrent(window, context); }

  void frame() {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glDepthMask(GL_TRUE);
    glClearColor(0x10 / 255.0f, 0x18 / 255.0f, 0x20 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    for (int i = 0; i < kDraws; ++i) {
      int m = i & 1;
      glUseProgram(program[m]);
      glBindTexture(GL_TEXTURE_2D, texture[m]);
      if (m) {
        glEnable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_FALSE);
      } else {
        glDisable(GL_BLEND);
        glEnable(GL_CULL_FACE);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
      }
      glUniformMatrix4fv(world[m], 1, GL_FALSE, &matrices[i * 16]);
      glUniform4fv(tint[m], 1, &tints[i * 4]);
      glDrawElementsBaseVertex(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr, 4 * (i % kQuads));
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, kSize, kSize, 0, kSize, kSize, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    SDL_GL_SwapWindow(window);
    glFinish();
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  // Headless unless a display was asked for explicitly.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "DeviceDrawsBench";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "DeviceDrawsBench", "bench", WS_POPUP, 0, 0, kSize, kSize, nullptr, nullptr,
                                nullptr, nullptr);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!window || !d3d) {
    std::fprintf(stderr, "device_draws_vs_gl: no window or Direct3D object\n");
    return 1;
  }
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = kSize;
  pp.BackBufferHeight = kSize;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_COPY;
  pp.hDeviceWindow = window;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D24S8;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  IDirect3DDevice9* dev = nullptr;
  if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, &pp,
                        &dev) != D3D_OK) {
    std::fprintf(stderr, "device_draws_vs_gl: CreateDevice failed\n");
    return 1;
  }
  DeviceFrame device;
  GlFrame direct;
  if (!device.init(dev)) {
    std::fprintf(stderr, "device_draws_vs_gl: device scene set-up failed\n");
    return 1;
  }
  if (!direct.init(sdlWindowFromHandle(window))) {
    std::fprintf(stderr, "device_draws_vs_gl: GL scene set-up failed\n");
    return 1;
  }
  std::vector<double> ours, peer, oursWall, peerWall;
  const int rounds = 8, frames = 3;
  for (int r = 0; r < rounds; ++r) {
    for (int kind = 0; kind < 2; ++kind) {
      if (kind == 1) direct.makeCurrent();
      for (int f = 0; f < frames + (r == 0 ? 2 : 0); ++f) {
        double cpu = cpuMs(), wall = bench::nowMs();
        if (kind == 0) device.frame();
        else direct.frame();
        cpu = cpuMs() - cpu;
        wall = bench::nowMs() - wall;
        if (r == 0 && f < 2) continue;  // warm-up: shader variants, first allocations
        (kind == 0 ? ours : peer).push_back(cpu);
        (kind == 0 ? oursWall : peerWall).push_back(wall);
      }
    }
  }
  GlDeviceStats stats;
  glDeviceStats(dev, &stats);
  std::printf("device_draws_vs_gl: %d draws per frame, wall ms per frame: device %.2f, GL %.2f; "
              "programs linked %u, vertex arrays %u\n",
              kDraws, median(oursWall), median(peerWall), stats.programsLinked, stats.vertexArraysCreated);
  bench::report("device_draws_vs_gl", median(ours), median(peer), "ms", "<= 1.5");
  device.release();
  dev->Release();
  d3d->Release();
  return 0;
}
