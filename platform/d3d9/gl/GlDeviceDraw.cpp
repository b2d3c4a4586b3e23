// Draws of the OpenGL device: validation, the GL state a draw needs (sent
// only where it differs from what GL has), programs per (vertex, pixel)
// shader pair with their constant registers, and vertex arrays per
// (declaration, streams).

#include "platform/d3d9/gl/GlDevice.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

float bitsFloat(DWORD d) {
  float v;
  std::memcpy(&v, &d, 4);
  return v;
}

UINT verticesFor(D3DPRIMITIVETYPE type, UINT primitives) { return d3d9VerticesFor(type, primitives); }

GLenum glPrimitive(D3DPRIMITIVETYPE type) {
  switch (type) {
  case D3DPT_POINTLIST: return GL_POINTS;
  case D3DPT_LINELIST: return GL_LINES;
  case D3DPT_LINESTRIP: return GL_LINE_STRIP;
  case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
  case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
  default: return GL_TRIANGLES;
  }
}

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

void colorFloats(DWORD c, float* out) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

struct AttributeFormat {
  GLint size;
  GLenum type;
  GLboolean normalized;
};

AttributeFormat attributeFormat(BYTE type) {
  switch (type) {
  case D3DDECLTYPE_FLOAT1: return {1, GL_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT2: return {2, GL_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT3: return {3, GL_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT4: return {4, GL_FLOAT, GL_FALSE};
  // Bytes B, G, R, A in memory, read as (R, G, B, A).
  case D3DDECLTYPE_D3DCOLOR: return {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE};
  case D3DDECLTYPE_UBYTE4: return {4, GL_UNSIGNED_BYTE, GL_FALSE};
  case D3DDECLTYPE_SHORT2: return {2, GL_SHORT, GL_FALSE};
  case D3DDECLTYPE_SHORT4: return {4, GL_SHORT, GL_FALSE};
  case D3DDECLTYPE_UBYTE4N: return {4, GL_UNSIGNED_BYTE, GL_TRUE};
  case D3DDECLTYPE_SHORT2N: return {2, GL_SHORT, GL_TRUE};
  case D3DDECLTYPE_SHORT4N: return {4, GL_SHORT, GL_TRUE};
  case D3DDECLTYPE_USHORT2N: return {2, GL_UNSIGNED_SHORT, GL_TRUE};
  case D3DDECLTYPE_USHORT4N: return {4, GL_UNSIGNED_SHORT, GL_TRUE};
  case D3DDECLTYPE_UDEC3: return {4, GL_UNSIGNED_INT_2_10_10_10_REV, GL_FALSE};
  case D3DDECLTYPE_DEC3N: return {4, GL_INT_2_10_10_10_REV, GL_TRUE};
  case D3DDECLTYPE_FLOAT16_2: return {2, GL_HALF_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT16_4: return {4, GL_HALF_FLOAT, GL_FALSE};
  default: return {0, 0, GL_FALSE};
  }
}

// --- GLSL helpers -------------------------------------------------------------------------------
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

std::vector<Interface> pixelInputs(const GlPixelShader* ps) {
  std::vector<Interface> list;
  if (!ps) {
    // The fixed-function pixel stage reads diffuse colour and the first
    // texture coordinates.
    list.push_back({"vary_COLOR0", "in vec4 vary_COLOR0;", "vec4", D3DDECLUSAGE_COLOR, 0});
    list.push_back({"vary_TEXCOORD0", "in vec4 vary_TEXCOORD0;", "vec4", D3DDECLUSAGE_TEXCOORD, 0});
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
// pre-transformed positions in pixels, or fixed-function positions passed
// through as clip coordinates; the other inputs go to the pixel inputs of
// the same usage.
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
    s += "void main() {\n  gl_Position = vec4(d3d_In0.x, -d3d_In0.y, 2.0 * d3d_In0.z - d3d_In0.w, d3d_In0.w);\n";
  }
  return s + body + "}\n";
}

// The fixed-function pixel stage: diffuse colour times the stage-0 texture.
std::string builtInPixelSource(const std::string& vertexSource, bool builtInVertex) {
  std::string s = "#version 330 core\n";
  std::string color = "vec4(1.0)", texcoord = "vec2(0.0)";
  std::string statement, type;
  if (builtInVertex || findDeclaration(vertexSource, "vary_COLOR0", "out", statement, type)) {
    if (builtInVertex) statement = "out vec4 vary_COLOR0;", type = "vec4";
    s += swapStorage(statement, "out", "in") + "\n";
    color = asVec4("vary_COLOR0", type);
  }
  if (builtInVertex || findDeclaration(vertexSource, "vary_TEXCOORD0", "out", statement, type)) {
    if (builtInVertex) statement = "out vec4 vary_TEXCOORD0;", type = "vec4";
    s += swapStorage(statement, "out", "in") + "\n";
    texcoord = asVec4("vary_TEXCOORD0", type) + ".xy";
  }
  s += "uniform sampler2D d3d_Stage0;\nuniform int d3d_Stage0Bound;\nlayout(location = 0) out vec4 d3d_Color;\n"
       "void main() {\n  vec4 t = d3d_Stage0Bound != 0 ? texture(d3d_Stage0, " +
       texcoord + ") : vec4(1.0);\n  d3d_Color = " + color + " * t;\n}\n";
  return s;
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

}  // namespace

bool GlVertexArrayKey::operator==(const GlVertexArrayKey& o) const {
  if (declaration != o.declaration || count != o.count) return false;
  for (uint32_t i = 0; i < count; ++i)
    if (streams[i].buffer != o.streams[i].buffer || streams[i].offset != o.streams[i].offset ||
        streams[i].stride != o.streams[i].stride)
      return false;
  return true;
}

size_t GlVertexArrayKeyHash::operator()(const GlVertexArrayKey& k) const {
  uint64_t h = k.declaration * 0x9E3779B97F4A7C15ull;
  for (uint32_t i = 0; i < k.count; ++i) {
    h ^= k.streams[i].buffer + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h ^= ((uint64_t)k.streams[i].offset << 8 | k.streams[i].stride) + (h << 6) + (h >> 2);
  }
  return (size_t)h;
}

// --- render states -------------------------------------------------------------------------------
void GlDevice::applyRenderStates() {
  const DWORD* rs = renderStates;
  if (dirty & DirtyDepth) {
    glEnableCap(CapDepthTest, GL_DEPTH_TEST, rs[D3DRS_ZENABLE] != D3DZB_FALSE);
    setDepthMask(rs[D3DRS_ZWRITEENABLE] != FALSE);
    GLenum f = glCompare(rs[D3DRS_ZFUNC]);
    if (gl.depthFunc != f) {
      glDepthFunc(f);
      gl.depthFunc = f;
      ++stats.stateCalls;
    }
  }
  if (dirty & DirtyRaster) {
    // Row 0 is the top row, which turns Direct3D's clockwise front faces
    // into GL's counter-clockwise ones (glFrontFace stays GL_CCW).
    DWORD cull = rs[D3DRS_CULLMODE];
    glEnableCap(CapCull, GL_CULL_FACE, cull == D3DCULL_CW || cull == D3DCULL_CCW);
    GLenum face = cull == D3DCULL_CW ? GL_FRONT : GL_BACK;
    if ((cull == D3DCULL_CW || cull == D3DCULL_CCW) && gl.cullFace != face) {
      glCullFace(face);
      gl.cullFace = face;
      ++stats.stateCalls;
    }
    DWORD fill = rs[D3DRS_FILLMODE];
    GLenum mode = fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
    if (gl.polygonMode != mode) {
      glPolygonMode(GL_FRONT_AND_BACK, mode);
      gl.polygonMode = mode;
      ++stats.stateCalls;
    }
    // DEPTHBIAS is in depth-buffer units of 0..1; GL's offset units are the
    // smallest step of the depth format.
    float bias = bitsFloat(rs[D3DRS_DEPTHBIAS]), slope = bitsFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    float scale = 16777216.0f;
    if (depth && (depth->desc.Format == D3DFMT_D16 || depth->desc.Format == D3DFMT_D16_LOCKABLE)) scale = 65536.0f;
    bool on = bias != 0.0f || slope != 0.0f;
    glEnableCap(CapOffsetFill, GL_POLYGON_OFFSET_FILL, on);
    glEnableCap(CapOffsetLine, GL_POLYGON_OFFSET_LINE, on);
    glEnableCap(CapOffsetPoint, GL_POLYGON_OFFSET_POINT, on);
    if (on && (gl.offsetFactor != slope || gl.offsetUnits != bias * scale)) {
      glPolygonOffset(slope, bias * scale);
      gl.offsetFactor = slope;
      gl.offsetUnits = bias * scale;
      ++stats.stateCalls;
    }
  }
  if (dirty & DirtyBlend) {
    bool on = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    glEnableCap(CapBlend, GL_BLEND, on);
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
      if (gl.blendSrc != src || gl.blendDst != dst || gl.blendSrcAlpha != srcA || gl.blendDstAlpha != dstA) {
        glBlendFuncSeparate(src, dst, srcA, dstA);
        gl.blendSrc = src;
        gl.blendDst = dst;
        gl.blendSrcAlpha = srcA;
        gl.blendDstAlpha = dstA;
        ++stats.stateCalls;
      }
      if (gl.blendOp != op || gl.blendOpAlpha != opA) {
        glBlendEquationSeparate(op, opA);
        gl.blendOp = op;
        gl.blendOpAlpha = opA;
        ++stats.stateCalls;
      }
      if (gl.blendColor != rs[D3DRS_BLENDFACTOR]) {
        float c[4];
        colorFloats(rs[D3DRS_BLENDFACTOR], c);
        glBlendColor(c[0], c[1], c[2], c[3]);
        gl.blendColor = rs[D3DRS_BLENDFACTOR];
        ++stats.stateCalls;
      }
    }
  }
  if (dirty & DirtyStencil) {
    bool on = rs[D3DRS_STENCILENABLE] != FALSE;
    glEnableCap(CapStencil, GL_STENCIL_TEST, on);
    if (on) {
      // GL's front faces are Direct3D's clockwise ones; two-sided mode gives
      // the counter-clockwise (GL back) faces the CCW_ states.
      bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
      GLint ref = (GLint)(rs[D3DRS_STENCILREF] & 0xFF);
      GLuint mask = rs[D3DRS_STENCILMASK];
      for (int f = 0; f < 2; ++f) {
        bool ccw = f == 1 && twoSided;
        GLenum face = f == 0 ? GL_FRONT : GL_BACK;
        GLenum func = glCompare(rs[ccw ? D3DRS_CCW_STENCILFUNC : D3DRS_STENCILFUNC]);
        GLenum fail = glStencilOperation(rs[ccw ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL]);
        GLenum zfail = glStencilOperation(rs[ccw ? D3DRS_CCW_STENCILZFAIL : D3DRS_STENCILZFAIL]);
        GLenum pass = glStencilOperation(rs[ccw ? D3DRS_CCW_STENCILPASS : D3DRS_STENCILPASS]);
        if (gl.stencilFunc[f] != func || gl.stencilRef[f] != ref || gl.stencilMask[f] != mask) {
          glStencilFuncSeparate(face, func, ref, mask);
          gl.stencilFunc[f] = func;
          gl.stencilRef[f] = ref;
          gl.stencilMask[f] = mask;
          ++stats.stateCalls;
        }
        if (gl.stencilFail[f] != fail || gl.stencilZFail[f] != zfail || gl.stencilPass[f] != pass) {
          glStencilOpSeparate(face, fail, zfail, pass);
          gl.stencilFail[f] = fail;
          gl.stencilZFail[f] = zfail;
          gl.stencilPass[f] = pass;
          ++stats.stateCalls;
        }
      }
      setStencilWriteMask(rs[D3DRS_STENCILWRITEMASK]);
    }
  }
  if (dirty & DirtyColorMask) {
    setColorMask(0, rs[D3DRS_COLORWRITEENABLE] & 0xF);
    for (int i = 1; i < 4; ++i)
      if (targets[i]) setColorMask(i, rs[D3DRS_COLORWRITEENABLE1 + i - 1] & 0xF);
  }
  if (dirty & DirtyMisc) {
    glEnableCap(CapSrgb, GL_FRAMEBUFFER_SRGB, rs[D3DRS_SRGBWRITEENABLE] != FALSE);
    glEnableCap(CapMultisample, GL_MULTISAMPLE, rs[D3DRS_MULTISAMPLEANTIALIAS] != FALSE);
    glEnableCap(CapDither, GL_DITHER, rs[D3DRS_DITHERENABLE] != FALSE);
  }
  // The scissor rectangle is always the whole target (there is no
  // SetScissorRect), so the scissor test only ever clips clears.
  if (dirty & DirtyScissor) glEnableCap(CapScissor, GL_SCISSOR_TEST, false);
}

// --- framebuffer and viewport ------------------------------------------------------------------
void GlDevice::applyFramebuffer() {
  if (currentFramebuffer) {
    bool same = currentFramebuffer->depth == depth;
    for (int i = 0; i < 4 && same; ++i) same = currentFramebuffer->colors[i] == targets[i];
    if (same) {
      bindDrawFramebuffer(currentFramebuffer->fbo);
      return;
    }
  }
  Framebuffer* found = nullptr;
  for (Framebuffer* f : framebuffers) {
    bool same = f->depth == depth;
    for (int i = 0; i < 4 && same; ++i) same = f->colors[i] == targets[i];
    if (same) {
      found = f;
      break;
    }
  }
  if (!found) {
    found = new Framebuffer();
    found->depth = depth;
    for (int i = 0; i < 4; ++i) found->colors[i] = targets[i];
    glGenFramebuffers(1, &found->fbo);
    bindDrawFramebuffer(found->fbo);
    GLenum buffers[4];
    int count = 0;
    for (int i = 0; i < 4; ++i) {
      if (targets[i]) {
        targets[i]->attach(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i);
        buffers[i] = GL_COLOR_ATTACHMENT0 + i;
        count = i + 1;
      } else {
        buffers[i] = GL_NONE;
      }
    }
    if (depth) depth->attach(GL_DRAW_FRAMEBUFFER, depth->format->stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT);
    glDrawBuffers(count, buffers);
    found->complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    framebuffers.push_back(found);
    ++stats.framebuffersCreated;
  }
  currentFramebuffer = found;
  bindDrawFramebuffer(found->fbo);
}

HRESULT GlDevice::checkFramebuffer() {
  // Targets that GL cannot combine (multisampled with single-sampled) take
  // no rendering: the call fails as Direct3D 9 fails mismatched targets.
  return currentFramebuffer && currentFramebuffer->complete ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlDevice::applyViewport() {
  GLint v[4] = {(GLint)view.X, (GLint)view.Y, (GLint)view.Width, (GLint)view.Height};
  if (std::memcmp(v, gl.viewport, sizeof v) != 0) {
    glViewport(v[0], v[1], v[2], v[3]);
    std::memcpy(gl.viewport, v, sizeof v);
    ++stats.stateCalls;
  }
  if (gl.depthRange[0] != view.MinZ || gl.depthRange[1] != view.MaxZ) {
    glDepthRange(view.MinZ, view.MaxZ);
    gl.depthRange[0] = view.MinZ;
    gl.depthRange[1] = view.MaxZ;
    ++stats.stateCalls;
  }
  ++viewportVersion;
}

// --- textures and samplers ------------------------------------------------------------------------
void GlDevice::applyTextures() {
  uint32_t bits = dirtyTextures;
  dirtyTextures = 0;
  while (bits) {
    int i = __builtin_ctz(bits);
    bits &= bits - 1;
    GlTextureCore* t = textureCores[i];
    if (t) {
      if (t->mipsDirty) t->updateMips();
      bindUnitTexture(i, t->target, t->texture);
      if (t->target == GL_TEXTURE_2D) bindUnitTexture(i, GL_TEXTURE_CUBE_MAP, 0);
      else bindUnitTexture(i, GL_TEXTURE_2D, 0);
    } else {
      // An empty stage samples (0, 0, 0, 1), as GL's incomplete texture 0.
      bindUnitTexture(i, GL_TEXTURE_2D, 0);
      bindUnitTexture(i, GL_TEXTURE_CUBE_MAP, 0);
    }
  }
  // updateMips may have bound through the active unit: bind what it replaced.
  if (dirtyTextures) applyTextures();
}

void GlDevice::applySamplers() {
  uint32_t bits = dirtySamplers;
  dirtySamplers = 0;
  while (bits) {
    int i = __builtin_ctz(bits);
    bits &= bits - 1;
    const DWORD* s = samplerStates[i];
    SamplerParams& c = samplerGl[i];
    GLuint sampler = samplers[i];
    auto address = [this](DWORD a) -> GLint {
      switch (a) {
      case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
      case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
      case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
      case D3DTADDRESS_MIRRORONCE: return hasMirrorClamp ? GL_MIRROR_CLAMP_TO_EDGE : GL_MIRRORED_REPEAT;
      default: return GL_REPEAT;
      }
    };
    bool minLinear = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    GLint minFilter;
    switch (s[D3DSAMP_MIPFILTER]) {
    case D3DTEXF_NONE: minFilter = minLinear ? GL_LINEAR : GL_NEAREST; break;
    case D3DTEXF_POINT: minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    default: minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
    }
    GLint magFilter = s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
    auto seti = [&](GLint& cached, GLenum pname, GLint value) {
      if (cached == value) return;
      glSamplerParameteri(sampler, pname, value);
      cached = value;
      ++stats.stateCalls;
    };
    auto setf = [&](float& cached, GLenum pname, float value) {
      if (cached == value) return;
      glSamplerParameterf(sampler, pname, value);
      cached = value;
      ++stats.stateCalls;
    };
    seti(c.minFilter, GL_TEXTURE_MIN_FILTER, minFilter);
    seti(c.magFilter, GL_TEXTURE_MAG_FILTER, magFilter);
    seti(c.wrapS, GL_TEXTURE_WRAP_S, address(s[D3DSAMP_ADDRESSU]));
    seti(c.wrapT, GL_TEXTURE_WRAP_T, address(s[D3DSAMP_ADDRESSV]));
    seti(c.wrapR, GL_TEXTURE_WRAP_R, address(s[D3DSAMP_ADDRESSW]));
    if (c.border != s[D3DSAMP_BORDERCOLOR]) {
      float border[4];
      colorFloats(s[D3DSAMP_BORDERCOLOR], border);
      glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
      c.border = s[D3DSAMP_BORDERCOLOR];
      ++stats.stateCalls;
    }
    setf(c.lodBias, GL_TEXTURE_LOD_BIAS, bitsFloat(s[D3DSAMP_MIPMAPLODBIAS]));
    // MAXMIPLEVEL names the most detailed level that may be used.
    setf(c.minLod, GL_TEXTURE_MIN_LOD, (float)s[D3DSAMP_MAXMIPLEVEL]);
    if (hasAnisotropy) {
      // Direct3D 9 filters anisotropically only when a filter asks for it.
      bool aniso = s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
      float level = aniso ? (float)s[D3DSAMP_MAXANISOTROPY] : 1.0f;
      if (level < 1.0f) level = 1.0f;
      if (level > maxAnisotropy) level = maxAnisotropy;
      setf(c.anisotropy, GL_TEXTURE_MAX_ANISOTROPY_EXT, level);
    }
    if (hasSrgbDecode)
      seti(c.srgbDecode, GL_TEXTURE_SRGB_DECODE_EXT, s[D3DSAMP_SRGBTEXTURE] ? GL_DECODE_EXT : GL_SKIP_DECODE_EXT);
  }
}

// --- programs --------------------------------------------------------------------------------------
GlProgram* GlDevice::linkProgram(uint64_t key, DWORD alphaFunc) {
  GlProgram* p = new GlProgram();
  programs[key] = p;
  bool pretransformed = declaration && declaration->pretransformed;
  const GlVertexShader* v = pretransformed ? nullptr : vs;
  p->vsSerial = v ? v->serial : 0;
  p->psSerial = ps ? ps->serial : 0;
  std::vector<Interface> inputs = pixelInputs(ps);
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
    size_t at = v->source.find("void main()");
    if (extra.empty() || at == std::string::npos) {
      vsObject = v->shader;
    } else {
      std::string source = v->source.substr(0, at) + "void d3d_main()" + v->source.substr(at + 11) + "\n" + extra +
                           "void main() {\n" + zero + "  d3d_main();\n}\n";
      vsObject = compile(GL_VERTEX_SHADER, source, log);
      ownVs = true;
    }
  }
  std::string psRegisterName = ps ? ps->view.registerArrayName : "";
  if (!ps) {
    std::string source = builtInPixelSource(v ? v->source : "", v == nullptr);
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
  bindProgram(p->program);
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
  if (alphaFunc) p->alphaRef = glGetUniformLocation(p->program, "d3d_AlphaRef");
  if (!ps) {
    glUniform1i(glGetUniformLocation(p->program, "d3d_Stage0"), 0);
    p->stage0Bound = glGetUniformLocation(p->program, "d3d_Stage0Bound");
  }
  return p;
}

bool GlDevice::applyProgram() {
  bool pretransformed = declaration->pretransformed;
  uint64_t vsKey = pretransformed ? kPretransformedKey : vs ? (vs->serial & 0xFFFFFFFFull) : kFixedFunctionKey;
  // A test that always passes needs no variant.
  DWORD alphaFunc = renderStates[D3DRS_ALPHATESTENABLE] ? renderStates[D3DRS_ALPHAFUNC] : 0;
  if (alphaFunc < D3DCMP_NEVER || alphaFunc >= D3DCMP_ALWAYS) alphaFunc = 0;
  uint64_t psKey = ps ? (ps->serial & 0x0FFFFFFFull) : 0;
  uint64_t key = vsKey << 32 | (uint64_t)alphaFunc << 28 | psKey;
  if (!currentProgram || currentProgramKey != key) {
    auto it = programs.find(key);
    currentProgram = it != programs.end() ? it->second : linkProgram(key, alphaFunc);
    currentProgramKey = key;
  }
  if (!currentProgram->ok) return false;
  bindProgram(currentProgram->program);
  return true;
}

void GlDevice::uploadConstants(GlProgram* p) {
  if (p->vsRegisters >= 0 && p->vsVersion != vsVersion) {
    glUniform4fv(p->vsRegisters, (GLsizei)p->vsRegisterCount, vsConstants[0]);
    p->vsVersion = vsVersion;
    ++stats.uniformUploads;
  }
  if (p->psRegisters >= 0 && p->psVersion != psVersion) {
    glUniform4fv(p->psRegisters, (GLsizei)p->psRegisterCount, psConstants[0]);
    p->psVersion = psVersion;
    ++stats.uniformUploads;
  }
  if (p->screenTransform >= 0 && p->screenVersion != viewportVersion) {
    float sx = 2.0f / (float)view.Width, sy = 2.0f / (float)view.Height;
    glUniform4f(p->screenTransform, sx, sy, (0.5f - (float)view.X) * sx - 1.0f, (0.5f - (float)view.Y) * sy - 1.0f);
    // Pre-transformed z is the depth itself: undo the viewport's depth range.
    float range = view.MaxZ - view.MinZ;
    GLint depthLocation = glGetUniformLocation(p->program, "d3d_DepthTransform");
    if (range > 0.0f) glUniform2f(depthLocation, 2.0f / range, -2.0f * view.MinZ / range - 1.0f);
    else glUniform2f(depthLocation, 0.0f, -1.0f);
    p->screenVersion = viewportVersion;
    ++stats.uniformUploads;
  }
  if (p->alphaRef >= 0 && p->alphaRefValue != renderStates[D3DRS_ALPHAREF]) {
    glUniform1f(p->alphaRef, (float)(renderStates[D3DRS_ALPHAREF] & 0xFF));
    p->alphaRefValue = renderStates[D3DRS_ALPHAREF];
  }
  if (p->stage0Bound >= 0) {
    int bound = textureCores[0] && textureCores[0]->target == GL_TEXTURE_2D ? 1 : 0;
    if (p->stage0Value != bound) {
      glUniform1i(p->stage0Bound, bound);
      p->stage0Value = bound;
    }
  }
}

// --- vertex arrays ------------------------------------------------------------------------------------
void GlDevice::applyVertexArray(UINT upStride) {
  GlVertexArrayKey key;
  key.declaration = declaration->serial;
  GLuint names[16];
  uint32_t streamOf[16];
  for (uint32_t bits = declaration->streamMask; bits; bits &= bits - 1) {
    uint32_t s = (uint32_t)__builtin_ctz(bits);
    GlVertexArrayKey::Stream& e = key.streams[key.count];
    if (s == 0 && upStride) {
      e = {upSerial, 0, upStride};
      names[key.count] = upBuffer;
    } else {
      const Stream& st = streams[s];
      e = {st.buffer->serial, st.offset, st.stride};
      names[key.count] = st.buffer->buffer;
    }
    streamOf[key.count++] = s;
  }
  if (currentVertexArray && key == currentVertexArrayKey) {
    bindVertexArray(currentVertexArray->vao);
    return;
  }
  auto it = vertexArrays.find(key);
  if (it == vertexArrays.end()) {
    GlVertexArray va;
    glGenVertexArrays(1, &va.vao);
    bindVertexArray(va.vao);
    for (const D3DVERTEXELEMENT9& e : declaration->elements) {
      int location = d3d9AttributeLocation(e.Usage, e.UsageIndex);
      AttributeFormat f = attributeFormat(e.Type);
      if (location < 0 || f.size == 0) continue;
      uint32_t j = 0;
      while (j < key.count && streamOf[j] != e.Stream) ++j;
      bindArrayBuffer(names[j]);
      glEnableVertexAttribArray((GLuint)location);
      glVertexAttribPointer((GLuint)location, f.size, f.type, f.normalized, (GLsizei)key.streams[j].stride,
                            reinterpret_cast<const void*>((uintptr_t)key.streams[j].offset + e.Offset));
    }
    ++stats.vertexArraysCreated;
    it = vertexArrays.emplace(key, va).first;
  }
  currentVertexArray = &it->second;
  currentVertexArrayKey = key;
  bindVertexArray(currentVertexArray->vao);
}

HRESULT GlDevice::validateStreams(uint64_t vertexEnd, uint32_t skipMask) {
  for (uint32_t bits = declaration->streamMask & ~skipMask; bits; bits &= bits - 1) {
    const Stream& s = streams[__builtin_ctz(bits)];
    if (!s.buffer || s.stride == 0 || s.buffer->locks > 0) return D3DERR_INVALIDCALL;
    if ((uint64_t)s.offset + vertexEnd * s.stride > s.buffer->size) return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

// D3D_OK: draw; S_FALSE: the device is lost and drops the draw (as
// Direct3D 9 does, reporting the loss at Present); else the failure.
HRESULT GlDevice::prepareDraw(UINT upStride) {
  if (lost || !context->makeCurrent()) {
    lost = true;
    return S_FALSE;
  }
  const uint32_t stateBits =
      DirtyDepth | DirtyRaster | DirtyBlend | DirtyStencil | DirtyColorMask | DirtyMisc | DirtyScissor;
  if (dirty & stateBits) applyRenderStates();
  if (dirty & DirtyFramebuffer) applyFramebuffer();
  if (dirty & DirtyViewport) applyViewport();
  dirty &= ~(stateBits | DirtyFramebuffer | DirtyViewport);
  if (HRESULT hr = checkFramebuffer()) return hr;
  if (dirty & DirtyProgram) {
    if (!applyProgram()) return D3DERR_INVALIDCALL;  // the pair does not link: nothing can be drawn with it
    dirty &= ~DirtyProgram;
  }
  if (upStride) {
    applyVertexArray(upStride);
    dirty |= DirtyVertexArray;  // stream 0 is unbound after the draw
  } else if (dirty & DirtyVertexArray) {
    applyVertexArray(0);
    dirty &= ~DirtyVertexArray;
  }
  if (dirtyTextures) applyTextures();
  if (dirtySamplers) applySamplers();
  uploadConstants(currentProgram);
  for (GlSurface* t : targets)
    if (t && t->container && t->container->autogen) textureChanged(t->container);
  return D3D_OK;
}

// --- draws -------------------------------------------------------------------------------------------
HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  UINT count = verticesFor(PrimitiveType, PrimitiveCount);
  if (!sceneOpen || !declaration || PrimitiveCount == 0 || count == 0 ||
      validateStreams((uint64_t)StartVertex + count, 0) != D3D_OK)
    return D3DERR_INVALIDCALL;
  HRESULT hr = prepareDraw(0);
  if (hr != D3D_OK) return hr == S_FALSE ? D3D_OK : hr;
  glDrawArrays(glPrimitive(PrimitiveType), (GLint)StartVertex, (GLsizei)count);
  ++stats.draws;
  return D3D_OK;
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                       UINT NumVertices, UINT startIndex, UINT primCount) {
  UINT count = verticesFor(PrimitiveType, primCount);
  if (!sceneOpen || !declaration || primCount == 0 || count == 0 || !indexBuffer || indexBuffer->locks > 0 ||
      NumVertices == 0 || (int64_t)BaseVertexIndex + (int64_t)MinVertexIndex < 0)
    return D3DERR_INVALIDCALL;
  UINT indexSize = indexBuffer->indexSize;
  if (((uint64_t)startIndex + count) * indexSize > indexBuffer->size) return D3DERR_INVALIDCALL;
  if (validateStreams((uint64_t)((int64_t)BaseVertexIndex + MinVertexIndex) + NumVertices, 0) != D3D_OK)
    return D3DERR_INVALIDCALL;
  HRESULT hr = prepareDraw(0);
  if (hr != D3D_OK) return hr == S_FALSE ? D3D_OK : hr;
  if (currentVertexArray->elementSerial != indexBuffer->serial) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer->buffer);
    currentVertexArray->elementSerial = indexBuffer->serial;
    ++stats.stateCalls;
  }
  glDrawElementsBaseVertex(glPrimitive(PrimitiveType), (GLsizei)count,
                           indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>((uintptr_t)startIndex * indexSize), BaseVertexIndex);
  ++stats.draws;
  return D3D_OK;
}

HRESULT GlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                  const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  UINT count = verticesFor(PrimitiveType, PrimitiveCount);
  if (!sceneOpen || !declaration || !pVertexStreamZeroData || VertexStreamZeroStride == 0 ||
      VertexStreamZeroStride > 255 || PrimitiveCount == 0 || count == 0 || (declaration->streamMask & ~1u) != 0)
    return D3DERR_INVALIDCALL;
  uint64_t bytes64 = (uint64_t)count * VertexStreamZeroStride;
  if (bytes64 > (1u << 28)) return D3DERR_INVALIDCALL;
  UINT bytes = (UINT)bytes64;
  HRESULT hr = D3D_OK;
  if (!lost && context->makeCurrent()) {
    // The vertices stream through one buffer: appended after the last
    // draw's, or into fresh storage when it is full.
    UINT stride = VertexStreamZeroStride;
    bindArrayBuffer(upBuffer);
    if (bytes > upCapacity) {
      while (upCapacity < bytes) upCapacity *= 2;
      glBufferData(GL_ARRAY_BUFFER, upCapacity, nullptr, GL_STREAM_DRAW);
      upPosition = 0;
    }
    UINT position = (upPosition + stride - 1) / stride * stride;
    if ((uint64_t)position + bytes > upCapacity) {
      glBufferData(GL_ARRAY_BUFFER, upCapacity, nullptr, GL_STREAM_DRAW);
      position = 0;
    }
    void* p = glMapBufferRange(GL_ARRAY_BUFFER, position, bytes,
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (p) {
      std::memcpy(p, pVertexStreamZeroData, bytes);
      glUnmapBuffer(GL_ARRAY_BUFFER);
    } else {
      glBufferSubData(GL_ARRAY_BUFFER, position, bytes, pVertexStreamZeroData);
    }
    upPosition = position + bytes;
    hr = prepareDraw(stride);
    if (hr == D3D_OK) {
      glDrawArrays(glPrimitive(PrimitiveType), (GLint)(position / stride), (GLsizei)count);
      ++stats.draws;
    }
  } else {
    lost = true;
  }
  // The user-pointer draw leaves stream 0 unbound.
  hold(streams[0].buffer, (GlVertexBuffer*)nullptr);
  streams[0].offset = 0;
  streams[0].stride = 0;
  dirty |= DirtyVertexArray;
  return hr == S_FALSE ? D3D_OK : hr;
}
