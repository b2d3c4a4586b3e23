// Shaders and programs of the OpenGL device: shader objects from blobs, the
// GLSL text that stands in for fixed-function stages and joins a vertex and
// pixel shader pair, programs per pair linked on first draw, and the
// constant registers they read.

#include "platform/d3d9/gl/GlDevice.h"

#include <cstdio>
#include <cstring>

namespace {

bool isWordChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// The global declaration of `name` with storage `keyword` ("in" or "out")
// in GLSL `source`: the statement without any layout qualifier, and the
// type. The compiler writes one declaration per line.
bool findDeclaration(const std::string& source, const std::string& name, const char* keyword, std::string& statement,
                     std::string& type) {
  size_t pos = 0;
  while ((pos = source.find(name, pos)) != std::string::npos) {
    size_t end = pos + name.size();
    bool whole = (pos == 0 || !isWordChar(source[pos - 1])) && (end >= source.size() || !isWordChar(source[end]));
    size_t semi = end;
    while (semi < source.size() && (source[semi] == ' ' || source[semi] == '\t')) ++semi;
    if (!whole || semi >= source.size() || source[semi] != ';') {
      pos = end;
      continue;
    }
    size_t start = source.rfind('\n', pos);
    start = start == std::string::npos ? 0 : start + 1;
    std::string line = source.substr(start, semi + 1 - start);
    // Tokens before the name.
    std::vector<std::string> tokens;
    std::string current;
    int depth = 0;
    for (size_t i = 0; i < pos - start; ++i) {
      char c = line[i];
      if (c == '(') ++depth;
      if (depth > 0) {
        if (c == ')') --depth;
        continue;  // layout(...) and the like
      }
      if (isWordChar(c)) {
        current += c;
      } else if (!current.empty()) {
        tokens.push_back(current);
        current.clear();
      }
    }
    if (!current.empty()) tokens.push_back(current);
    bool hasKeyword = false;
    for (const std::string& t : tokens) hasKeyword = hasKeyword || t == keyword;
    if (!hasKeyword || tokens.empty()) {
      pos = end;
      continue;
    }
    type = tokens.back();
    statement.clear();
    for (const std::string& t : tokens) {
      if (t == "layout") continue;
      statement += t + " ";
    }
    statement += name + ";";
    return true;
  }
  return false;
}

// `statement` with its storage keyword swapped.
std::string swapStorage(const std::string& statement, const char* from, const char* to) {
  std::string out;
  size_t i = 0;
  std::string f = from;
  while (i < statement.size()) {
    if (statement.compare(i, f.size(), f) == 0 && (i == 0 || !isWordChar(statement[i - 1])) &&
        (i + f.size() >= statement.size() || !isWordChar(statement[i + f.size()]))) {
      out += to;
      i += f.size();
    } else {
      out += statement[i++];
    }
  }
  return out;
}

int typeComponents(const std::string& type) {
  if (type == "float" || type == "int" || type == "uint") return 1;
  if (type.size() == 4 && type[3] >= '2' && type[3] <= '4') return type[3] - '0';  // vec2..vec4
  if (type.size() == 5 && type[4] >= '2' && type[4] <= '4') return type[4] - '0';  // ivec2, uvec3, ...
  return 4;
}

// An expression of `type` (float, vecN) as vec4, filled like Direct3D fills
// missing components: (x, 0, 0, 1).
std::string asVec4(const std::string& expr, const std::string& type) {
  switch (typeComponents(type)) {
  case 1: return "vec4(float(" + expr + "), 0.0, 0.0, 1.0)";
  case 2: return "vec4(vec2(" + expr + "), 0.0, 1.0)";
  case 3: return "vec4(vec3(" + expr + "), 1.0)";
  default: return "vec4(" + expr + ")";
  }
}

std::string replaceWord(const std::string& text, const std::string& word, const std::string& with) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, word.size(), word) == 0 && (i == 0 || !isWordChar(text[i - 1])) &&
        (i + word.size() >= text.size() || !isWordChar(text[i + word.size()]))) {
      out += with;
      i += word.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

GLuint compile(GLenum stage, const std::string& source, std::string& log) {
  GLuint s = glCreateShader(stage);
  const char* text = source.c_str();
  glShaderSource(s, 1, &text, nullptr);
  glCompileShader(s);
  GLint ok = GL_FALSE;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char buffer[2048];
    GLsizei n = 0;
    glGetShaderInfoLog(s, sizeof buffer, &n, buffer);
    log.assign(buffer, (size_t)n);
    glDeleteShader(s);
    return 0;
  }
  return s;
}

// Pixel shader inputs a vertex stage has to provide.
struct Interface {
  std::string name;
  std::string statement;  // "in vec2 vary_TEXCOORD0;"
  std::string type;
  DWORD usage;
  DWORD usageIndex;
};

// `texCoords`: the sets the fixed-function stages read (without a pixel shader).
std::vector<Interface> pixelInputs(const GlPixelShader* ps, const std::vector<DWORD>& texCoords) {
  std::vector<Interface> list;
  if (!ps) {
    // The fixed-function stages read diffuse and specular colour and their
    // texture coordinates.
    list.push_back({"vary_COLOR0", "in vec4 vary_COLOR0;", "vec4", D3DDECLUSAGE_COLOR, 0});
    list.push_back({"vary_COLOR1", "in vec4 vary_COLOR1;", "vec4", D3DDECLUSAGE_COLOR, 1});
    for (DWORD set : texCoords) {
      std::string name = "vary_TEXCOORD" + std::to_string(set);
      list.push_back({name, "in vec4 " + name + ";", "vec4", D3DDECLUSAGE_TEXCOORD, set});
    }
    return list;
  }
  for (DWORD i = 0; i < ps->view.header->inputCount; ++i) {
    const ShaderBlobVarying& v = ps->view.inputs[i];
    std::string name = ps->view.string(v.glslName);
    if (name.empty() || name.compare(0, 3, "gl_") == 0) continue;
    Interface in{name, "", "", v.usage, v.usageIndex};
    if (!findDeclaration(ps->source, name, "in", in.statement, in.type)) {
      static const char* types[] = {"vec4", "float", "vec2", "vec3", "vec4"};
      in.type = types[v.components <= 4 ? v.components : 4];
      in.statement = "in " + in.type + " " + name + ";";
    }
    list.push_back(in);
  }
  return list;
}

// A vertex stage that stands in for a missing (or bypassed) vertex shader:
// pre-transformed positions in pixels, or fixed-function positions through
// world, view and projection; the other inputs go to the pixel inputs of the
// same usage.
std::string builtInVertexSource(bool pretransformed, const std::vector<Interface>& outputs) {
  std::string s = "#version 330 core\nlayout(location = 0) in vec4 d3d_In0;\n";
  bool declared[16] = {};
  declared[0] = true;
  std::string body;
  for (const Interface& o : outputs) {
    int location = d3d9AttributeLocation(o.usage, o.usageIndex);
    s += swapStorage(o.statement, "in", "out") + "\n";
    if (location < 0) {
      body += "  " + o.name + " = " + o.type + "(0.0);\n";
      continue;
    }
    if (!declared[location]) {
      s += "layout(location = " + std::to_string(location) + ") in vec4 d3d_In" + std::to_string(location) + ";\n";
      declared[location] = true;
    }
    body += "  " + o.name + " = " + o.type + "(d3d_In" + std::to_string(location) + ");\n";
  }
  if (pretransformed) {
    // Direct3D 9 puts pixel centres on integer coordinates: x + 0.5 is the
    // GL window coordinate; rhw is 1/w, kept for perspective-correct reads.
    s += "uniform vec4 d3d_ScreenTransform;\nuniform vec2 d3d_DepthTransform;\nvoid main() {\n"
         "  float w = d3d_In0.w != 0.0 ? 1.0 / d3d_In0.w : 1.0;\n"
         "  gl_Position = vec4(d3d_In0.xy * d3d_ScreenTransform.xy + d3d_ScreenTransform.zw,\n"
         "                     d3d_In0.z * d3d_DepthTransform.x + d3d_DepthTransform.y, 1.0) * w;\n";
  } else {
    // The matrix goes up in Direct3D's row-major order, which GL reads as its
    // transpose: M * p here is p x M there. Then Direct3D's clip space
    // becomes GL's (row 0 on top, z from 0..w to -w..w).
    s += "uniform mat4 d3d_WorldViewProjection;\nuniform vec2 d3d_PixelOffset;\nvoid main() {\n"
         "  vec4 c = d3d_WorldViewProjection * d3d_In0;\n"
         "  gl_Position = vec4(c.x, -c.y, 2.0 * c.z - c.w, c.w);\n"
         "  gl_Position.xy += d3d_PixelOffset * gl_Position.w;\n";
  }
  return s + body + "}\n";
}

// A compiled vertex shader as the device runs it. Direct3D 9 puts pixel
// centres on integer window coordinates, GL on half-integers: after the
// shader's own main (which already ends in GL's clip space, y flipped, so
// that GL's window y is Direct3D's), the position moves half a pixel right
// and down, d3d_PixelOffset = (1/width, 1/height) of the viewport in clip
// units, times w so that it survives the perspective divide. `outputs`
// declares pixel inputs the shader does not write; `zero` clears them.
std::string vertexStageSource(const std::string& source, const std::string& outputs = "",
                              const std::string& zero = "") {
  size_t at = source.find("void main()");
  if (at == std::string::npos) return source;
  return source.substr(0, at) + "void d3d_main()" + source.substr(at + 11) + "\n" + outputs +
         "uniform vec2 d3d_PixelOffset;\nvoid main() {\n" + zero +
         "  d3d_main();\n  gl_Position.xy += d3d_PixelOffset * gl_Position.w;\n}\n";
}

// Direct3D 9's alpha test, which GL core lacks: the pixel stage's main
// runs first, then its COLOR0 alpha, as the 8-bit value the test compares,
// is tested against ALPHAREF.
std::string withAlphaTest(const std::string& source, const std::string& output, DWORD func) {
  static const char* ops[] = {"", "false", "<", "==", "<=", ">", "!=", ">=", "true"};
  size_t at = source.find("void main()");
  if (at == std::string::npos || output.empty() || func < 1 || func > 8) return source;
  std::string op = ops[func];
  std::string test = op == "false" || op == "true" ? op : "a " + op + " d3d_AlphaRef";
  return source.substr(0, at) + "void d3d_main()" + source.substr(at + 11) +
         "\nuniform float d3d_AlphaRef;\nvoid main() {\n  d3d_main();\n"
         "  float a = floor(clamp(" + output + ".a, 0.0, 1.0) * 255.0 + 0.5);\n  if (!(" + test + ")) discard;\n}\n";
}

const uint64_t kPretransformedKey = 0xFFFFFFFFull;
const uint64_t kFixedFunctionKey = 0xFFFFFFFEull;
// Pixel halves of program keys: a shader's serial, or the fixed-function
// stages' configuration number with the top bit of the half set.
const uint64_t kShaderSerialMask = 0x07FFFFFFull;
const uint64_t kFixedStages = 0x08000000ull;
const uint64_t kFixedStagesMask = 0x07FFFFFFull;

}  // namespace

// --- shader objects ----------------------------------------------------------------------
bool GlShaderCore::init(const DWORD* function, GLenum stage, std::string& error) {
  UINT bytes = shaderBlobSize(function);
  code.assign(function, function + bytes / 4);
  if (!shaderBlobParse(code.data(), bytes, &view)) return false;
  source = view.glsl;
  shader = compile(stage, stage == GL_VERTEX_SHADER ? vertexStageSource(source) : source, error);
  return shader != 0;
}

void GlShaderCore::destroy() {
  if (shader) glDeleteShader(shader);
  shader = 0;
}

GlVertexShader::GlVertexShader(GlDevice* d) : GlResource(d, true) {}
GlVertexShader::~GlVertexShader() {
  if (device->makeCurrent()) {
    device->forgetShader(serial);
    destroy();
  }
}
HRESULT GlVertexShader::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }
HRESULT GlVertexShader::GetFunction(void* pData, UINT* pSizeOfData) {
  return d3d9CopyFunction(code, pData, pSizeOfData);
}

GlPixelShader::GlPixelShader(GlDevice* d) : GlResource(d, true) {}
GlPixelShader::~GlPixelShader() {
  if (device->makeCurrent()) {
    device->forgetShader(serial);
    destroy();
  }
}
HRESULT GlPixelShader::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }
HRESULT GlPixelShader::GetFunction(void* pData, UINT* pSizeOfData) {
  return d3d9CopyFunction(code, pData, pSizeOfData);
}

// --- device calls ------------------------------------------------------------------------
template <typename Shader, typename Interface>
HRESULT GlDevice::createShader(const DWORD* function, Interface** out, bool pixel) {
  if (out) *out = nullptr;
  if (HRESULT hr = d3d9CheckShaderFunction(pixel ? "CreatePixelShader" : "CreateVertexShader", function, pixel, out)) return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  Shader* s = new Shader(this);
  std::string error;
  if (!s->init(function, pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER, error)) {
    if (!error.empty())
      std::fprintf(stderr, "Direct3D 9 (OpenGL): %s: %s\n", pixel ? "CreatePixelShader" : "CreateVertexShader",
                   error.c_str());
    s->Release();
    return D3DERR_INVALIDCALL;
  }
  *out = s;
  return D3D_OK;
}

HRESULT GlDevice::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  return createShader<GlVertexShader>(pFunction, ppShader, false);
}

HRESULT GlDevice::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
  return createShader<GlPixelShader>(pFunction, ppShader, true);
}

// --- programs --------------------------------------------------------------------------------
GlProgram* GlDevice::linkProgram(uint64_t key, DWORD alphaFunc) {
  GlProgram* p = new GlProgram();
  programs[key] = p;
  bool pretransformed = declaration && declaration->pretransformed;
  const GlVertexShader* v = pretransformed ? nullptr : vs;
  p->vsSerial = v ? v->serial : 0;
  p->psSerial = ps ? ps->serial : 0;
  uint32_t configuration = (uint32_t)(key & kFixedStagesMask);
  std::vector<Interface> inputs = pixelInputs(ps, ps ? std::vector<DWORD>() : stageTexCoords(configuration));
  std::string log;
  GLuint vsObject = 0, psObject = 0;
  bool ownVs = false, ownPs = false;
  if (!v) {
    vsObject = compile(GL_VERTEX_SHADER, builtInVertexSource(pretransformed, inputs), log);
    ownVs = true;
  } else {
    // Pixel inputs the vertex shader does not write: GL wants them declared,
    // and they read zero rather than whatever the rasteriser had.
    std::string extra, zero;
    for (const Interface& in : inputs) {
      std::string statement, type;
      if (!findDeclaration(v->source, in.name, "out", statement, type)) {
        extra += swapStorage(in.statement, "in", "out") + "\n";
        zero += "  " + in.name + " = " + in.type + "(0);\n";
      }
    }
    if (extra.empty()) {
      vsObject = v->shader;
    } else {
      vsObject = compile(GL_VERTEX_SHADER, vertexStageSource(v->source, extra, zero), log);
      ownVs = true;
    }
  }
  std::string psRegisterName = ps ? ps->view.registerArrayName : "";
  if (!ps) {
    // Each input as the vertex stage writes it (the built-in one writes vec4s).
    std::string declarations;
    auto input = [&](const std::string& name) {
      std::string statement = "in vec4 " + name + ";", type = "vec4";
      bool known = !v;
      for (const Interface& in : inputs) known = known || in.name == name;
      if (v && findDeclaration(v->source, name, "out", statement, type)) {
        statement = swapStorage(statement, "out", "in");
        known = true;
      }
      if (!known) return std::string(name == "vary_COLOR0" ? "vec4(1.0)" : "vec4(0.0)");
      if (declarations.find(statement) == std::string::npos) declarations += statement + "\n";
      return asVec4(name, type);
    };
    std::string body = glFixedFunctionPixelSource(stageConfigurations[configuration], input);
    std::string source = "#version 330 core\n" + declarations + body;
    if (alphaFunc) source = withAlphaTest(source, "d3d_Color", alphaFunc);
    psObject = compile(GL_FRAGMENT_SHADER, source, log);
    ownPs = true;
  } else {
    std::string source = ps->source;
    if (v && !psRegisterName.empty() && psRegisterName == v->view.registerArrayName) {
      // Both stages named their register file alike: GL would make it one
      // uniform, so the pixel stage's is renamed.
      psRegisterName += "_ps";
      source = replaceWord(source, ps->view.registerArrayName, psRegisterName);
    }
    if (alphaFunc) {
      std::string output;
      for (DWORD i = 0; i < ps->view.header->outputCount; ++i)
        if (ps->view.outputs[i].usage == D3DDECLUSAGE_COLOR && ps->view.outputs[i].usageIndex == 0)
          output = ps->view.string(ps->view.outputs[i].glslName);
      source = withAlphaTest(source, output, alphaFunc);
    }
    if (source == ps->source) {
      psObject = ps->shader;
    } else {
      psObject = compile(GL_FRAGMENT_SHADER, source, log);
      ownPs = true;
    }
  }
  if (vsObject && psObject) {
    p->program = glCreateProgram();
    glAttachShader(p->program, vsObject);
    glAttachShader(p->program, psObject);
    glLinkProgram(p->program);
    GLint ok = GL_FALSE;
    glGetProgramiv(p->program, GL_LINK_STATUS, &ok);
    if (!ok) {
      char buffer[2048];
      GLsizei n = 0;
      glGetProgramInfoLog(p->program, sizeof buffer, &n, buffer);
      log.assign(buffer, (size_t)n);
    }
    glDetachShader(p->program, vsObject);
    glDetachShader(p->program, psObject);
    p->ok = ok == GL_TRUE;
  }
  if (ownVs && vsObject) glDeleteShader(vsObject);
  if (ownPs && psObject) glDeleteShader(psObject);
  ++stats.programsLinked;
  if (!p->ok) {
    std::fprintf(stderr, "Direct3D 9 (OpenGL): shader pair does not link: %s\n", log.c_str());
    return p;
  }
  gl.useProgram(p->program);
  if (v && v->view.header->registerCount) {
    p->vsRegisters = glGetUniformLocation(p->program, v->view.registerArrayName);
    p->vsRegisterCount = v->view.header->registerCount;
  }
  if (ps && ps->view.header->registerCount) {
    p->psRegisters = glGetUniformLocation(p->program, psRegisterName.c_str());
    p->psRegisterCount = ps->view.header->registerCount;
  }
  // Samplers read their stage's unit; vertex samplers use units 16..19.
  if (ps)
    for (DWORD i = 0; i < ps->view.header->samplerCount; ++i) {
      GLint location = glGetUniformLocation(p->program, ps->view.string(ps->view.samplers[i].glslName));
      if (location >= 0) glUniform1i(location, (GLint)ps->view.samplers[i].unit);
    }
  if (v)
    for (DWORD i = 0; i < v->view.header->samplerCount; ++i) {
      GLint location = glGetUniformLocation(p->program, v->view.string(v->view.samplers[i].glslName));
      if (location >= 0) glUniform1i(location, 16 + (GLint)v->view.samplers[i].unit);
    }
  if (pretransformed) p->screenTransform = glGetUniformLocation(p->program, "d3d_ScreenTransform");
  else p->pixelOffset = glGetUniformLocation(p->program, "d3d_PixelOffset");
  if (alphaFunc) p->alphaRef = glGetUniformLocation(p->program, "d3d_AlphaRef");
  if (!ps) {
    for (int i = 0; i < D3D9_TEXTURE_STAGES; ++i) {
      GLint location = glGetUniformLocation(p->program, ("d3d_Stage" + std::to_string(i)).c_str());
      if (location >= 0) glUniform1i(location, i);
    }
    p->stagesBound = glGetUniformLocation(p->program, "d3d_StagesBound");
    p->textureFactor = glGetUniformLocation(p->program, "d3d_TextureFactor");
  }
  if (!v && !pretransformed) p->worldViewProjection = glGetUniformLocation(p->program, "d3d_WorldViewProjection");
  return p;
}

bool GlDevice::applyProgram() {
  bool pretransformed = declaration->pretransformed;
  uint64_t vsKey = pretransformed ? kPretransformedKey : vs ? (vs->serial & 0xFFFFFFFFull) : kFixedFunctionKey;
  // A test that always passes needs no variant.
  DWORD alphaFunc = renderStates[D3DRS_ALPHATESTENABLE] ? renderStates[D3DRS_ALPHAFUNC] : 0;
  if (alphaFunc < D3DCMP_NEVER || alphaFunc >= D3DCMP_ALWAYS) alphaFunc = 0;
  uint64_t psKey = ps ? (ps->serial & kShaderSerialMask) : kFixedStages | stageConfiguration();
  uint64_t key = vsKey << 32 | (uint64_t)alphaFunc << 28 | psKey;
  if (!currentProgram || currentProgramKey != key) {
    auto it = programs.find(key);
    currentProgram = it != programs.end() ? it->second : linkProgram(key, alphaFunc);
    currentProgramKey = key;
  }
  if (!currentProgram->ok) return false;
  gl.useProgram(currentProgram->program);
  return true;
}

// Each program remembers what its uniforms were last filled from: register
// file versions, the viewport, states.
void GlDevice::uploadConstants(GlProgram* p) {
  if (p->vsRegisters >= 0 && glSendOnChange(p->vsVersion, vsVersion, [&] {
        glUniform4fv(p->vsRegisters, (GLsizei)p->vsRegisterCount, vsConstants[0]);
      }))
    ++stats.uniformUploads;
  if (p->psRegisters >= 0 && glSendOnChange(p->psVersion, psVersion, [&] {
        glUniform4fv(p->psRegisters, (GLsizei)p->psRegisterCount, psConstants[0]);
      }))
    ++stats.uniformUploads;
  if (p->screenTransform >= 0 && glSendOnChange(p->screenVersion, viewportVersion, [&] {
        float sx = 2.0f / (float)view.Width, sy = 2.0f / (float)view.Height;
        glUniform4f(p->screenTransform, sx, sy, (0.5f - (float)view.X) * sx - 1.0f,
                    (0.5f - (float)view.Y) * sy - 1.0f);
        // Pre-transformed z is the depth itself: undo the viewport's depth range.
        float range = view.MaxZ - view.MinZ;
        GLint depthLocation = glGetUniformLocation(p->program, "d3d_DepthTransform");
        if (range > 0.0f) glUniform2f(depthLocation, 2.0f / range, -2.0f * view.MinZ / range - 1.0f);
        else glUniform2f(depthLocation, 0.0f, -1.0f);
      }))
    ++stats.uniformUploads;
  if (p->pixelOffset >= 0 && glSendOnChange(p->screenVersion, viewportVersion, [&] {
        glUniform2f(p->pixelOffset, 1.0f / (float)view.Width, 1.0f / (float)view.Height);
      }))
    ++stats.uniformUploads;
  if (p->alphaRef >= 0)
    glSendOnChange(p->alphaRefValue, (uint64_t)renderStates[D3DRS_ALPHAREF],
                   [&] { glUniform1f(p->alphaRef, (float)(renderStates[D3DRS_ALPHAREF] & 0xFF)); });
  if (p->stagesBound >= 0) {
    int bound = 0;
    for (int i = 0; i < D3D9_TEXTURE_STAGES; ++i)
      if (textureCores[i] && textureCores[i]->target == GL_TEXTURE_2D) bound |= 1 << i;
    glSendOnChange(p->stagesValue, bound, [&] { glUniform1i(p->stagesBound, bound); });
  }
  if (p->textureFactor >= 0)
    glSendOnChange(p->textureFactorValue, (uint64_t)renderStates[D3DRS_TEXTUREFACTOR], [&] {
      float c[4];
      glColorFloats(renderStates[D3DRS_TEXTUREFACTOR], c);
      glUniform4fv(p->textureFactor, 1, c);
    });
  if (p->worldViewProjection >= 0 && glSendOnChange(p->transformVersion, transformVersion, [&] {
        D3DMATRIX m = d3d9Multiply(d3d9Multiply(transforms[d3d9TransformIndex(D3DTS_WORLD)],
                                                transforms[d3d9TransformIndex(D3DTS_VIEW)]),
                                   transforms[d3d9TransformIndex(D3DTS_PROJECTION)]);
        glUniformMatrix4fv(p->worldViewProjection, 1, GL_FALSE, m.m[0]);
      }))
    ++stats.uniformUploads;
}

void GlDevice::forgetShader(uint64_t serial) {
  for (auto it = programs.begin(); it != programs.end();) {
    GlProgram* p = it->second;
    if (p->vsSerial != serial && p->psSerial != serial) {
      ++it;
      continue;
    }
    gl.forgetProgram(p->program);
    if (currentProgram == p) currentProgram = nullptr;
    if (p->program) glDeleteProgram(p->program);
    delete p;
    it = programs.erase(it);
  }
  currentProgram = nullptr;
  dirty |= DirtyProgram;
}

void GlDevice::destroyPrograms() {
  for (auto& entry : programs) {
    if (entry.second->program) glDeleteProgram(entry.second->program);
    delete entry.second;
  }
  programs.clear();
  currentProgram = nullptr;
}
