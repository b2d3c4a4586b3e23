// shader_set_compile_ms: D3DXCompileShader over every shader the system
// compiles at start-up (the built-in table with its generated lit shaders and
// the shadowed spot light, and the nine post-processing pairs), in a fresh
// process with no cache, as start-up meets it. Prints the shares of glslang
// and SPIRV-Cross, a warm repeat, and the time to link the resulting GL
// programs on llvmpipe.
//
// shader_set_cached_ms: the same set read from the compiler's cache on disk,
// as a later start meets it (each distinct shader translated once, by the
// first start).

#include "BenchReport.h"

#include "engine/postfx/PostShaderSources.h"
#include "engine/scene/ShaderSources.h"
#include "platform/d3d9/ShaderBlob.h"
#include "platform/d3dx/ShaderCache.h"
#include "platform/d3dx/ShaderCompiler.h"
#include "platform/d3dx/d3dx9.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Pair {
  const char* vs;
  const char* ps;
};

std::vector<Pair> shaderSet(char (&lit1)[LIT_PIXEL_SHADER_BUFFER_SIZE], char (&lit0)[LIT_PIXEL_SHADER_BUFFER_SIZE]) {
  buildLitPixelShaderSource(1, lit1);
  buildLitPixelShaderSource(0, lit0);
  std::vector<Pair> set;
  for (const auto& s : builtInShaderSources) set.push_back({s.vertexShader, s.pixelShader});
  set.push_back({litVS, lit1});
  set.push_back({litVS, lit0});
  set.push_back({spotLightShadowVS, spotLightShadowPS});
  for (const char* ps : postPixelShaderSources) set.push_back({postPassThroughVS, ps});
  return set;
}

ID3DXBuffer* compile(const char* source, const char* profile) {
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  ID3DXConstantTable* table = nullptr;
  HRESULT hr = D3DXCompileShader(source, (UINT)std::strlen(source), nullptr, nullptr, "main", profile,
                                 D3DXSHADER_PACKMATRIX_COLUMNMAJOR, &code, &errors, &table);
  if (FAILED(hr)) {
    std::fprintf(stderr, "compile failed: %s\n", errors ? (const char*)errors->GetBufferPointer() : "");
    std::exit(1);
  }
  if (errors) errors->Release();
  if (table) table->Release();
  return code;
}

// Compiles the whole set; returns the blobs (vertex, pixel per pair).
std::vector<ID3DXBuffer*> compileSet(const std::vector<Pair>& set) {
  std::vector<ID3DXBuffer*> blobs;
  for (const Pair& p : set) {
    blobs.push_back(compile(p.vs, "vs_3_0"));
    blobs.push_back(compile(p.ps, "ps_3_0"));
  }
  return blobs;
}

void release(std::vector<ID3DXBuffer*>& blobs) {
  for (ID3DXBuffer* b : blobs) b->Release();
  blobs.clear();
}

bool makeContext() {
  EGLDisplay dpy = EGL_NO_DISPLAY;
  if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless"))
    dpy = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major, minor;
  if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, &major, &minor)) return false;
  eglBindAPI(EGL_OPENGL_API);
  const EGLint attrs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                          EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  EGLContext ctx = eglCreateContext(dpy, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attrs);
  return ctx != EGL_NO_CONTEXT && eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx);
}

// Compiles and links every pair as a GL program; returns the milliseconds.
double linkAll(const std::vector<ID3DXBuffer*>& blobs) {
  double start = bench::nowMs();
  std::vector<GLuint> programs;
  for (size_t i = 0; i + 1 < blobs.size(); i += 2) {
    GLuint program = glCreateProgram();
    for (size_t k = 0; k < 2; ++k) {
      ShaderBlobView view;
      shaderBlobParse(blobs[i + k]->GetBufferPointer(), blobs[i + k]->GetBufferSize(), &view);
      GLuint s = glCreateShader(k == 0 ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
      glShaderSource(s, 1, &view.glsl, nullptr);
      glCompileShader(s);
      glAttachShader(program, s);
      glDeleteShader(s);
    }
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);  // waits for the link
    if (!ok) {
      std::fprintf(stderr, "GL link failed for pair %zu\n", i / 2);
      std::exit(1);
    }
    programs.push_back(program);
  }
  double ms = bench::nowMs() - start;
  for (GLuint p : programs) glDeleteProgram(p);
  return ms;
}

}  // namespace

int main() {
  char lit1[LIT_PIXEL_SHADER_BUFFER_SIZE], lit0[LIT_PIXEL_SHADER_BUFFER_SIZE];
  std::vector<Pair> set = shaderSet(lit1, lit0);

  // Cold: the first compile in the process also builds glslang's tables, as
  // at start-up without a cache.
  setenv("VANTREL_SHADER_CACHE", "off", 1);
  d3dxResetShaderCache();
  d3dxResetShaderCompileTimes();
  double start = bench::nowMs();
  std::vector<ID3DXBuffer*> blobs = compileSet(set);
  double cold = bench::nowMs() - start;
  D3DXShaderCompileTimes times;
  d3dxGetShaderCompileTimes(&times);
  std::printf("shader set: %zu pairs, %d compiles; cold %.1f ms (glslang %.1f ms = %.0f%%, SPIRV-Cross %.1f ms = %.0f%%)\n",
              set.size(), times.shaders, cold, times.glslangMs, 100.0 * times.glslangMs / cold, times.spirvCrossMs,
              100.0 * times.spirvCrossMs / cold);

  double warm = bench::medianMs(5, [&] {
    std::vector<ID3DXBuffer*> again = compileSet(set);
    release(again);
  });
  std::printf("warm repeat (median of 5): %.1f ms\n", warm);
  bench::report("shader_set_compile_ms", cold, -1, "ms", "< 300");

  // A cache of the bench's own: filled once, then read as a new process would.
  const std::filesystem::path cacheRoot = std::filesystem::absolute("shader-cache");
  std::filesystem::remove_all(cacheRoot);
  setenv("XDG_CACHE_HOME", cacheRoot.c_str(), 1);
  unsetenv("VANTREL_SHADER_CACHE");
  d3dxResetShaderCache();
  d3dxResetShaderCompileTimes();
  std::vector<ID3DXBuffer*> filled = compileSet(set);
  release(filled);
  d3dxGetShaderCompileTimes(&times);
  const int distinct = times.shaders;
  double cached = bench::medianMs(5, [&] {
    d3dxResetShaderCache();
    std::vector<ID3DXBuffer*> again = compileSet(set);
    release(again);
  });
  std::printf("distinct shaders translated once: %d of %zu compiles\n", distinct, 2 * set.size());
  bench::report("shader_set_cached_ms", cached, -1, "ms", "reported");

  if (makeContext()) {
    std::printf("GL: %s\n", (const char*)glGetString(GL_RENDERER));
    double link = linkAll(blobs);
    std::printf("GL compile and link of the %zu programs: %.1f ms\n", set.size(), link);
    bench::report("shader_set_gl_link_ms", link, -1, "ms", "reported");
  } else {
    std::printf("GL: no surfaceless EGL context, link time not measured\n");
  }
  release(blobs);
  return 0;
}
