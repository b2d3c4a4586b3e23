// D3DXCompileShader over glslang (HLSL front end, DX9-compatible mode, to
// SPIR-V) and SPIRV-Cross (SPIR-V to GLSL 330 core). The SPIR-V is remapped on
// the way so that the GLSL meets the Direct3D 9 model: constants on their
// D3D9 registers in one vec4 array per stage, samplers on their sN units,
// vertex inputs on fixed attribute locations per semantic, varyings named
// after their semantic, POSITION as gl_Position. platform/d3d9/ShaderBlob.h
// describes the result; ShaderCache keeps it, so that a shader is translated
// once per process and once per machine.

#include "platform/d3dx/ShaderCompiler.h"

#include "platform/d3d9/ShaderBlob.h"
#include "platform/d3dx/D3DXBuffer.h"
#include "platform/d3dx/ShaderCache.h"

#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

HRESULT d3dxCreateConstantTable(const DWORD* blob, UINT bytes, ID3DXConstantTable** table);

namespace {

D3DXShaderCompileTimes compileTimes = {0, 0, 0};

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Profile {
  bool pixel;
  DWORD version;
};

bool parseProfile(const char* name, Profile* out) {
  static const struct {
    const char* name;
    bool pixel;
    int major, minor;
  } profiles[] = {
      {"vs_1_1", false, 1, 1}, {"vs_2_0", false, 2, 0}, {"vs_2_a", false, 2, 1}, {"vs_2_sw", false, 2, 0xff},
      {"vs_3_0", false, 3, 0}, {"vs_3_sw", false, 3, 0xff}, {"ps_2_0", true, 2, 0}, {"ps_2_a", true, 2, 1},
      {"ps_2_b", true, 2, 2}, {"ps_2_sw", true, 2, 0xff}, {"ps_3_0", true, 3, 0}, {"ps_3_sw", true, 3, 0xff},
  };
  if (!name) return false;
  for (const auto& p : profiles) {
    if (std::strcmp(p.name, name) == 0) {
      out->pixel = p.pixel;
      out->version = p.pixel ? D3DPS_VERSION(p.major, p.minor) : D3DVS_VERSION(p.major, p.minor);
      return true;
    }
  }
  return false;
}

// --- semantics ----------------------------------------------------------------------
struct Semantic {
  DWORD usage = 0;
  DWORD index = 0;
  bool position = false;  // POSITION, SV_POSITION, VPOS
  bool colourOut = false;  // COLOR, SV_TARGET (as outputs)
  bool depth = false;      // DEPTH, SV_DEPTH
  bool valid = false;
  std::string name;  // upper-case with index, "TEXCOORD0"
};

Semantic parseSemantic(const std::string& text) {
  Semantic s;
  std::string upper;
  for (char c : text) upper += (char)((c >= 'a' && c <= 'z') ? c - 32 : c);
  size_t digits = upper.size();
  while (digits > 0 && upper[digits - 1] >= '0' && upper[digits - 1] <= '9') --digits;
  std::string base = upper.substr(0, digits);
  if (digits < upper.size() && upper.size() - digits <= 2) s.index = (DWORD)std::stoul(upper.substr(digits));
  if (base.rfind("SV_", 0) == 0) base = base.substr(3);
  static const struct {
    const char* name;
    DWORD usage;
  } usages[] = {{"POSITION", D3DDECLUSAGE_POSITION}, {"BLENDWEIGHT", D3DDECLUSAGE_BLENDWEIGHT},
                {"BLENDINDICES", D3DDECLUSAGE_BLENDINDICES}, {"NORMAL", D3DDECLUSAGE_NORMAL},
                {"PSIZE", D3DDECLUSAGE_PSIZE}, {"TEXCOORD", D3DDECLUSAGE_TEXCOORD},
                {"TANGENT", D3DDECLUSAGE_TANGENT}, {"BINORMAL", D3DDECLUSAGE_BINORMAL},
                {"TESSFACTOR", D3DDECLUSAGE_TESSFACTOR}, {"POSITIONT", D3DDECLUSAGE_POSITIONT},
                {"COLOR", D3DDECLUSAGE_COLOR}, {"TARGET", D3DDECLUSAGE_COLOR}, {"FOG", D3DDECLUSAGE_FOG},
                {"DEPTH", D3DDECLUSAGE_DEPTH}, {"SAMPLE", D3DDECLUSAGE_SAMPLE}, {"VPOS", D3DDECLUSAGE_POSITION}};
  for (const auto& u : usages) {
    if (base == u.name) {
      s.usage = u.usage;
      s.valid = true;
    }
  }
  s.position = s.valid && (base == "POSITION" || base == "VPOS");
  s.colourOut = s.valid && (base == "COLOR" || base == "TARGET");
  s.depth = s.valid && base == "DEPTH";
  s.name = base + std::to_string(s.index);
  return s;
}

const char* usageName(DWORD usage) {
  static const char* names[] = {"POSITION", "BLENDWEIGHT", "BLENDINDICES", "NORMAL", "PSIZE",
                                "TEXCOORD", "TANGENT", "BINORMAL", "TESSFACTOR", "POSITIONT",
                                "COLOR", "FOG", "DEPTH", "SAMPLE"};
  return usage < 14 ? names[usage] : "UNKNOWN";
}

// --- includes -----------------------------------------------------------------------------
class IncludeBridge : public glslang::TShader::Includer {
public:
  explicit IncludeBridge(ID3DXInclude* include) : include(include) {}
  IncludeResult* includeLocal(const char* headerName, const char*, size_t) override {
    return open(D3DXINC_LOCAL, headerName);
  }
  IncludeResult* includeSystem(const char* headerName, const char*, size_t) override {
    return open(D3DXINC_SYSTEM, headerName);
  }
  void releaseInclude(IncludeResult* result) override {
    if (!result) return;
    if (include && result->userData) include->Close(result->userData);
    delete result;
  }

private:
  IncludeResult* open(D3DXINCLUDE_TYPE type, const char* name) {
    if (!include) return nullptr;
    LPCVOID data = nullptr;
    UINT bytes = 0;
    if (FAILED(include->Open(type, name, nullptr, &data, &bytes)) || !data) return nullptr;
    return new IncludeResult(name, static_cast<const char*>(data), bytes, const_cast<void*>(data));
  }
  ID3DXInclude* include;
};

// glslang's "ERROR: memory:12: text" lines become "memory(12): error: text";
// the closing summary lines are dropped.
std::string formatLog(const std::string& log) {
  std::string out;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (line.empty()) continue;
    const char* kind = nullptr;
    if (line.rfind("ERROR: ", 0) == 0) {
      kind = "error";
      line = line.substr(7);
    } else if (line.rfind("WARNING: ", 0) == 0) {
      kind = "warning";
      line = line.substr(9);
    }
    if (line.find("compilation errors.") != std::string::npos || line.find("No code generated") != std::string::npos)
      continue;
    if (kind) {
      // "memory:12: text"
      size_t c1 = line.find(':');
      size_t c2 = c1 == std::string::npos ? std::string::npos : line.find(':', c1 + 1);
      if (c2 != std::string::npos && c2 > c1 + 1 &&
          line.find_first_not_of("0123456789", c1 + 1) == c2) {
        std::string text = line.substr(c2 + 1);
        while (!text.empty() && text[0] == ' ') text.erase(0, 1);
        out += line.substr(0, c1) + "(" + line.substr(c1 + 1, c2 - c1 - 1) + "): " + kind + ": " + text + "\n";
        continue;
      }
      out += std::string("memory: ") + kind + ": " + line + "\n";
      continue;
    }
    out += line + "\n";
  }
  return out;
}

// Constants bound to a register by the source (register(cN), or packoffset in
// a cbuffer), by name: glslang's HLSL front end keeps such a binding as the
// byte offset of the constant in its uniform block, and gives the other
// members none. -1 marks an offset that is no whole register (a packoffset
// with a component, or a register number that overflowed the offset).
using RegisterBindings = std::map<std::string, int>;

RegisterBindings registerBindings(const glslang::TIntermediate& intermediate) {
  RegisterBindings bindings;
  glslang::TIntermAggregate* root = intermediate.getTreeRoot() ? intermediate.getTreeRoot()->getAsAggregate() : nullptr;
  if (!root) return bindings;
  for (TIntermNode* node : root->getSequence()) {
    glslang::TIntermAggregate* objects = node->getAsAggregate();
    if (!objects || objects->getOp() != glslang::EOpLinkerObjects) continue;
    for (TIntermNode* object : objects->getSequence()) {
      glslang::TIntermSymbol* symbol = object->getAsSymbolNode();
      if (!symbol) continue;
      const glslang::TType& block = symbol->getType();
      if (block.getBasicType() != glslang::EbtBlock || block.getQualifier().storage != glslang::EvqUniform) continue;
      for (const glslang::TTypeLoc& member : *block.getStruct()) {
        const glslang::TQualifier& qualifier = member.type->getQualifier();
        if (!qualifier.hasOffset()) continue;
        int offset = qualifier.layoutOffset;
        bindings[member.type->getFieldName().c_str()] = offset >= 0 && offset % 16 == 0 ? offset / 16 : -1;
      }
    }
  }
  return bindings;
}

// --- the blob --------------------------------------------------------------------------------
class BlobWriter {
public:
  DWORD string(const std::string& s) {
    if (s.empty()) return 0;
    DWORD offset = (DWORD)strings.size();
    strings.insert(strings.end(), s.begin(), s.end());
    strings.push_back('\0');
    return offset;
  }
  std::vector<ShaderBlobConstant> constants;
  std::vector<ShaderBlobSampler> samplers;
  std::vector<ShaderBlobVarying> inputs, outputs;
  std::string glsl;
  DWORD registerArrayName = 0;
  DWORD registerCount = 0;

  std::vector<DWORD> build(DWORD version, DWORD flags) {
    auto align4 = [](size_t n) { return (n + 3) & ~(size_t)3; };
    size_t offset = sizeof(ShaderBlobHeader);
    ShaderBlobHeader h = {};
    h.version = version;
    h.magic = SHADER_BLOB_MAGIC;
    h.formatVersion = SHADER_BLOB_FORMAT_VERSION;
    h.flags = flags;
    h.registerArrayName = registerArrayName;
    h.registerCount = registerCount;
    h.constantCount = (DWORD)constants.size();
    h.constantOffset = (DWORD)offset;
    offset += constants.size() * sizeof(ShaderBlobConstant);
    h.samplerCount = (DWORD)samplers.size();
    h.samplerOffset = (DWORD)offset;
    offset += samplers.size() * sizeof(ShaderBlobSampler);
    h.inputCount = (DWORD)inputs.size();
    h.inputOffset = (DWORD)offset;
    offset += inputs.size() * sizeof(ShaderBlobVarying);
    h.outputCount = (DWORD)outputs.size();
    h.outputOffset = (DWORD)offset;
    offset += outputs.size() * sizeof(ShaderBlobVarying);
    h.stringsOffset = (DWORD)offset;
    h.stringsBytes = (DWORD)strings.size();
    offset = align4(offset + strings.size());
    h.glslOffset = (DWORD)offset;
    h.glslBytes = (DWORD)glsl.size();
    offset = align4(offset + glsl.size() + 1);
    h.totalBytes = (DWORD)(offset + 4);
    std::vector<DWORD> words(h.totalBytes / 4, 0);
    char* base = reinterpret_cast<char*>(words.data());
    std::memcpy(base, &h, sizeof h);
    auto put = [&](DWORD at, const void* data, size_t bytes) {
      if (bytes) std::memcpy(base + at, data, bytes);
    };
    put(h.constantOffset, constants.data(), constants.size() * sizeof(ShaderBlobConstant));
    put(h.samplerOffset, samplers.data(), samplers.size() * sizeof(ShaderBlobSampler));
    put(h.inputOffset, inputs.data(), inputs.size() * sizeof(ShaderBlobVarying));
    put(h.outputOffset, outputs.data(), outputs.size() * sizeof(ShaderBlobVarying));
    put(h.stringsOffset, strings.data(), strings.size());
    put(h.glslOffset, glsl.c_str(), glsl.size() + 1);
    words.back() = SHADER_BLOB_END_TOKEN;
    return words;
  }

private:
  std::vector<char> strings = {'\0'};  // offset 0 is the empty string
};

struct CompileError {
  std::string text;
};

// Replaces the size of the register array declaration ("uniform vec4 name[N];")
// with the register count: SPIRV-Cross sizes it from the last member only.
void fixRegisterArraySize(std::string& glsl, const std::string& name, DWORD count) {
  std::string decl = "uniform vec4 " + name + "[";
  size_t p = glsl.find(decl);
  if (p == std::string::npos) return;
  size_t start = p + decl.size();
  size_t end = glsl.find(']', start);
  if (end == std::string::npos) return;
  glsl.replace(start, end - start, std::to_string(count));
}

// The steps of crossCompile, in order, on the one SPIRV-Cross compiler. Those
// that can refuse the shader put the text in `error` and return false.

// An entry whose GLSL name is final only after compile() (keywords get
// renamed): the SPIR-V id it is named after and what the blob records.
template <typename Entry>
struct Pending {
  uint32_t id;
  Entry entry;
};

// The D3D9 shape of member `index` of the constant block: class, rows,
// columns, elements and register count (not yet the register or the name).
// Arrays and matrices step one register per vector; the member's strides are
// set to match.
bool describeConstant(spirv_cross::CompilerGLSL& compiler, const spirv_cross::Resource& ubo, uint32_t index,
                      ShaderBlobConstant& c, std::string& error) {
  const spirv_cross::SPIRType& type = compiler.get_type(ubo.base_type_id);
  const spirv_cross::SPIRType& mt = compiler.get_type(type.member_types[index]);
  if (mt.basetype != spirv_cross::SPIRType::Float) {
    error = "memory: error: '" + compiler.get_member_name(ubo.base_type_id, index) +
            "': only float constants are supported (int, bool and struct constants are not)\n";
    return false;
  }
  DWORD count = 1;
  for (uint32_t dim : mt.array) count *= dim ? dim : 1;
  bool rowMajorSpirv = compiler.has_member_decoration(ubo.base_type_id, index, spv::DecorationRowMajor);
  DWORD perElement = 1;
  c = {};
  if (mt.columns > 1) {
    // glslang keeps HLSL's rows as SPIR-V columns; HLSL column-major
    // packing shows as RowMajor: one register per HLSL column.
    c.rows = mt.columns;
    c.columns = mt.vecsize;
    perElement = rowMajorSpirv ? mt.vecsize : mt.columns;
    c.parameterClass = rowMajorSpirv ? D3DXPC_MATRIX_COLUMNS : D3DXPC_MATRIX_ROWS;
  } else {
    c.rows = 1;
    c.columns = mt.vecsize;
    c.parameterClass = mt.vecsize == 1 ? D3DXPC_SCALAR : D3DXPC_VECTOR;
  }
  c.elements = count;
  c.registerCount = perElement * count;
  if (!mt.array.empty()) compiler.set_decoration(type.member_types[index], spv::DecorationArrayStride, 16 * perElement);
  if (mt.columns > 1) compiler.set_member_decoration(ubo.base_type_id, index, spv::DecorationMatrixStride, 16);
  return true;
}

// First registers for constants taking counts[i] registers each: a bound
// constant (bound[i] >= 0) keeps its register; the others, in order, take
// the first run of free registers long enough.
std::vector<DWORD> allocateRegisters(const std::vector<DWORD>& counts, const std::vector<int>& bound) {
  std::vector<DWORD> regs(counts.size());
  std::vector<bool> used(4096, false);
  for (size_t i = 0; i < counts.size(); ++i) {
    if (bound[i] < 0) continue;
    regs[i] = (DWORD)bound[i];
    for (DWORD r = 0; r < counts[i] && regs[i] + r < used.size(); ++r) used[regs[i] + r] = true;
  }
  for (size_t i = 0; i < counts.size(); ++i) {
    if (bound[i] >= 0) continue;
    DWORD r = 0;
    for (;;) {
      bool fits = true;
      for (DWORD k = 0; k < counts[i]; ++k)
        if (r + k >= used.size() || used[r + k]) fits = false;
      if (fits || r >= used.size()) break;
      ++r;
    }
    regs[i] = r;
    for (DWORD k = 0; k < counts[i] && r + k < used.size(); ++k) used[r + k] = true;
  }
  return regs;
}

// Constants: the members of the uniform block go on D3D9 registers (the
// source's bindings first, the rest in declaration order) and the block
// becomes the vec4 array `arrayName` indexed by register.
bool placeConstants(spirv_cross::CompilerGLSL& compiler, const spirv_cross::Resource& ubo,
                    const RegisterBindings& bindings, const Profile& profile, const std::string& arrayName,
                    BlobWriter& blob, std::string& error) {
  size_t members = compiler.get_type(ubo.base_type_id).member_types.size();
  std::vector<ShaderBlobConstant> constants(members);
  std::vector<DWORD> counts(members);
  std::vector<int> bound(members, -1);
  for (uint32_t i = 0; i < members; ++i) {
    if (!describeConstant(compiler, ubo, i, constants[i], error)) return false;
    counts[i] = constants[i].registerCount;
    const std::string& name = compiler.get_member_name(ubo.base_type_id, i);
    auto binding = bindings.find(name);
    if (binding == bindings.end()) continue;
    if (binding->second < 0) {
      error = "memory: error: '" + name + "': its binding names no whole constant register\n";
      return false;
    }
    bound[i] = binding->second;
  }
  std::vector<DWORD> regs = allocateRegisters(counts, bound);
  DWORD end = 0;
  for (uint32_t i = 0; i < members; ++i) {
    end = std::max(end, regs[i] + counts[i]);
    compiler.set_member_decoration(ubo.base_type_id, i, spv::DecorationOffset, 16 * regs[i]);
    constants[i].name = blob.string(compiler.get_member_name(ubo.base_type_id, i));
    constants[i].registerIndex = regs[i];
    blob.constants.push_back(constants[i]);
  }
  DWORD maxRegisters = profile.pixel ? D3D9_PIXEL_SHADER_CONSTANT_REGISTERS : D3D9_VERTEX_SHADER_CONSTANT_REGISTERS;
  if (end > maxRegisters) {
    error = "memory: error: the constants need " + std::to_string(end) + " registers, more than the " +
            std::to_string(maxRegisters) + " of the profile\n";
    return false;
  }
  blob.registerCount = end;
  compiler.set_name(ubo.base_type_id, arrayName);
  compiler.set_name(ubo.id, arrayName);
  compiler.flatten_buffer_block(ubo.id);
  return true;
}

// Samplers keep their HLSL names (made legal GLSL by SPIRV-Cross) and units.
// The blob gets them, with their final names, in recordFinalNames.
bool describeSamplers(spirv_cross::CompilerGLSL& compiler, const spirv_cross::SmallVector<spirv_cross::Resource>& images,
                      BlobWriter& blob, std::vector<Pending<ShaderBlobSampler>>& samplers, std::string& error) {
  for (const auto& s : images) {
    const spirv_cross::SPIRType& st = compiler.get_type(s.type_id);
    ShaderBlobSampler sb = {};
    sb.name = blob.string(compiler.get_name(s.id));
    sb.unit = compiler.get_decoration(s.id, spv::DecorationBinding);
    switch (st.image.dim) {
    case spv::Dim1D: sb.type = D3DXPT_SAMPLER1D; break;
    case spv::Dim3D: sb.type = D3DXPT_SAMPLER3D; break;
    case spv::DimCube: sb.type = D3DXPT_SAMPLERCUBE; break;
    default: sb.type = D3DXPT_SAMPLER2D; break;
    }
    if (sb.unit >= 16) {
      error = "memory: error: sampler '" + compiler.get_name(s.id) + "' is bound beyond s15\n";
      return false;
    }
    samplers.push_back({s.id, sb});
  }
  return true;
}

std::string semanticOf(const spirv_cross::CompilerGLSL& compiler, uint32_t id) {
  return compiler.get_decoration_string(id, spv::DecorationHlslSemanticGOOGLE);
}

// Stage inputs by semantic: vertex inputs on their fixed attribute location
// ("attr_TEXCOORD0"), a pixel shader's POSITION/VPOS as gl_FragCoord, other
// pixel inputs named after their semantic ("vary_TEXCOORD0").
bool mapInputs(spirv_cross::CompilerGLSL& compiler, const spirv_cross::SmallVector<spirv_cross::Resource>& stageInputs,
               const Profile& profile, std::vector<Pending<ShaderBlobVarying>>& inputs, std::string& error) {
  for (const auto& in : stageInputs) {
    std::string semText = semanticOf(compiler, in.id);
    Semantic sem = parseSemantic(semText);
    const spirv_cross::SPIRType& t = compiler.get_type(in.type_id);
    ShaderBlobVarying v = {sem.usage, sem.index, 0, t.vecsize, 0};
    if (!sem.valid) {
      error = "memory: error: input '" + compiler.get_name(in.id) + "' has no Direct3D 9 semantic ('" + semText + "')\n";
      return false;
    }
    if (!profile.pixel) {
      int location = d3d9AttributeLocation(sem.usage, sem.index);
      if (location < 0) {
        error = "memory: error: vertex input semantic " + sem.name + " is not supported\n";
        return false;
      }
      v.location = (DWORD)location;
      compiler.set_decoration(in.id, spv::DecorationLocation, (uint32_t)location);
      compiler.set_name(in.id, "attr_" + sem.name);
    } else if (sem.position) {
      if (t.vecsize != 4 || !t.array.empty()) {
        error = "memory: error: a pixel shader reads POSITION/VPOS only as float4\n";
        return false;
      }
      compiler.unset_decoration(in.id, spv::DecorationLocation);
      compiler.set_decoration(in.id, spv::DecorationBuiltIn, spv::BuiltInFragCoord);
    } else {
      compiler.set_name(in.id, std::string("vary_") + usageName(sem.usage) + std::to_string(sem.index));
    }
    inputs.push_back({in.id, v});
  }
  return true;
}

// Stage outputs by semantic: POSITION0 and PSIZE of a vertex shader and DEPTH
// of a pixel shader as the GLSL built-ins, COLOR0..3 of a pixel shader as
// "colourN" on location N, vertex outputs named after their semantic.
bool mapOutputs(spirv_cross::CompilerGLSL& compiler,
                const spirv_cross::SmallVector<spirv_cross::Resource>& stageOutputs, const Profile& profile,
                std::vector<Pending<ShaderBlobVarying>>& outputs, std::string& error) {
  for (const auto& out : stageOutputs) {
    std::string semText = semanticOf(compiler, out.id);
    Semantic sem = parseSemantic(semText);
    const spirv_cross::SPIRType& t = compiler.get_type(out.type_id);
    ShaderBlobVarying v = {sem.usage, sem.index, 0, t.vecsize, 0};
    if (!sem.valid) {
      error = "memory: error: output '" + compiler.get_name(out.id) + "' has no Direct3D 9 semantic ('" + semText + "')\n";
      return false;
    }
    if (!profile.pixel && sem.position && sem.index == 0) {
      compiler.unset_decoration(out.id, spv::DecorationLocation);
      compiler.set_decoration(out.id, spv::DecorationBuiltIn, spv::BuiltInPosition);
    } else if (!profile.pixel && sem.usage == D3DDECLUSAGE_PSIZE) {
      compiler.unset_decoration(out.id, spv::DecorationLocation);
      compiler.set_decoration(out.id, spv::DecorationBuiltIn, spv::BuiltInPointSize);
    } else if (profile.pixel && sem.depth) {
      compiler.unset_decoration(out.id, spv::DecorationLocation);
      compiler.set_decoration(out.id, spv::DecorationBuiltIn, spv::BuiltInFragDepth);
    } else if (profile.pixel) {
      if (!sem.colourOut || sem.index > 3) {
        error = "memory: error: pixel shader output semantic " + sem.name + " is not supported (COLOR0..3, DEPTH)\n";
        return false;
      }
      v.usage = D3DDECLUSAGE_COLOR;
      v.location = sem.index;
      compiler.set_decoration(out.id, spv::DecorationLocation, sem.index);
      compiler.set_name(out.id, "colour" + std::to_string(sem.index));
    } else {
      compiler.set_name(out.id, std::string("vary_") + usageName(sem.usage) + std::to_string(sem.index));
    }
    outputs.push_back({out.id, v});
  }
  return true;
}

// GLSL 330 core; a vertex shader's clip space is fixed up to OpenGL's.
std::string generateGlsl(spirv_cross::CompilerGLSL& compiler, const Profile& profile) {
  spirv_cross::CompilerGLSL::Options options;
  options.version = 330;
  options.es = false;
  options.enable_420pack_extension = false;
  options.vertex.fixup_clipspace = !profile.pixel;
  options.vertex.flip_vert_y = !profile.pixel;
  compiler.set_common_options(options);
  return compiler.compile();
}

// After compile(): samplers and interface variables go into the blob with
// the names the GLSL uses, and the register array gets its name and size.
void recordFinalNames(const spirv_cross::CompilerGLSL& compiler, std::vector<Pending<ShaderBlobSampler>>& samplers,
                      std::vector<Pending<ShaderBlobVarying>>& inputs,
                      std::vector<Pending<ShaderBlobVarying>>& outputs, const std::string* registerArray,
                      BlobWriter& blob) {
  for (auto& s : samplers) {
    s.entry.glslName = blob.string(compiler.get_name(s.id));
    blob.samplers.push_back(s.entry);
  }
  auto finalName = [&](uint32_t id) -> std::string {
    if (compiler.has_decoration(id, spv::DecorationBuiltIn)) {
      switch ((spv::BuiltIn)compiler.get_decoration(id, spv::DecorationBuiltIn)) {
      case spv::BuiltInPosition: return "gl_Position";
      case spv::BuiltInPointSize: return "gl_PointSize";
      case spv::BuiltInFragCoord: return "gl_FragCoord";
      case spv::BuiltInFragDepth: return "gl_FragDepth";
      default: break;
      }
    }
    return compiler.get_name(id);
  };
  for (auto& io : inputs) {
    io.entry.glslName = blob.string(finalName(io.id));
    blob.inputs.push_back(io.entry);
  }
  for (auto& io : outputs) {
    io.entry.glslName = blob.string(finalName(io.id));
    blob.outputs.push_back(io.entry);
  }
  if (registerArray) {
    blob.registerArrayName = blob.string(*registerArray);
    fixRegisterArraySize(blob.glsl, *registerArray, blob.registerCount);
  }
}

// The SPIR-V half: reflection, remapping, GLSL. `bindings` are the source's
// constant register bindings. Errors come back as text.
bool crossCompile(std::vector<uint32_t>&& spirv, const RegisterBindings& bindings, const Profile& profile,
                  BlobWriter& blob, std::string& error) {
  try {
    spirv_cross::CompilerGLSL compiler(std::move(spirv));
    auto active = compiler.get_active_interface_variables();
    spirv_cross::ShaderResources res = compiler.get_shader_resources(active);
    compiler.set_enabled_interface_variables(std::move(active));
    const std::string registerArray = profile.pixel ? "ps_c" : "vs_c";

    if (res.uniform_buffers.size() > 1) {
      error = "memory: error: cbuffer blocks are not supported by shader model 2 and 3 (use global constants)\n";
      return false;
    }
    bool constants = !res.uniform_buffers.empty();
    if (constants && !placeConstants(compiler, res.uniform_buffers[0], bindings, profile, registerArray, blob, error))
      return false;
    std::vector<Pending<ShaderBlobSampler>> samplers;
    std::vector<Pending<ShaderBlobVarying>> inputs, outputs;
    if (!describeSamplers(compiler, res.sampled_images, blob, samplers, error) ||
        !mapInputs(compiler, res.stage_inputs, profile, inputs, error) ||
        !mapOutputs(compiler, res.stage_outputs, profile, outputs, error))
      return false;
    blob.glsl = generateGlsl(compiler, profile);
    recordFinalNames(compiler, samplers, inputs, outputs, constants ? &registerArray : nullptr, blob);
    return true;
  } catch (const std::exception& e) {
    error = std::string("memory: error: ") + e.what() + "\n";
    return false;
  }
}

void ensureGlslang() {
  static bool initialised = false;
  if (!initialised) {
    glslang::InitializeProcess();
    initialised = true;
  }
}

// Hands a compiled (or cached) shader to the caller: the blob, its constant
// table and the compiler's warnings, which come back in the message buffer as
// D3DX does.
HRESULT deliver(const ShaderCacheEntry& compiled, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                LPD3DXCONSTANTTABLE* ppConstantTable) {
  UINT bytes = (UINT)(compiled.blob.size() * 4);
  if (ppConstantTable) {
    HRESULT hr = d3dxCreateConstantTable(compiled.blob.data(), bytes, ppConstantTable);
    if (FAILED(hr)) {
      if (ppErrorMsgs) *ppErrorMsgs = D3DXBufferImpl::fromText("memory: error: the constant table could not be built\n");
      return hr;
    }
  }
  if (ppShader) {
    D3DXBufferImpl* buffer = new D3DXBufferImpl(bytes);
    std::memcpy(buffer->GetBufferPointer(), compiled.blob.data(), bytes);
    *ppShader = buffer;
  }
  if (ppErrorMsgs && !compiled.messages.empty()) *ppErrorMsgs = D3DXBufferImpl::fromText(compiled.messages);
  return S_OK;
}

}  // namespace

void d3dxGetShaderCompileTimes(D3DXShaderCompileTimes* times) {
  if (times) *times = compileTimes;
}

void d3dxResetShaderCompileTimes() { compileTimes = {0, 0, 0}; }

HRESULT D3DXCompileShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                          LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags, LPD3DXBUFFER* ppShader,
                          LPD3DXBUFFER* ppErrorMsgs, LPD3DXCONSTANTTABLE* ppConstantTable) {
  if (ppShader) *ppShader = nullptr;
  if (ppErrorMsgs) *ppErrorMsgs = nullptr;
  if (ppConstantTable) *ppConstantTable = nullptr;
  auto fail = [&](const std::string& text, HRESULT hr) {
    if (ppErrorMsgs) *ppErrorMsgs = D3DXBufferImpl::fromText(text);
    return hr;
  };
  if (!pSrcData) return fail("memory: error: no source\n", D3DERR_INVALIDCALL);
  Profile profile;
  if (!parseProfile(pProfile, &profile))
    return fail(std::string("memory: error: unsupported profile '") + (pProfile ? pProfile : "(null)") +
                    "' (vs_1_1, vs_2_0, vs_2_a, vs_3_0, ps_2_0, ps_2_a, ps_2_b, ps_3_0)\n",
                D3DERR_INVALIDCALL);
  const char* entry = pFunctionName ? pFunctionName : "main";
  // The source may run on without a terminator: take SrcDataLen bytes, up to a zero.
  size_t length = 0;
  while (length < SrcDataLen && pSrcData[length] != '\0') ++length;

  const std::string cacheKey = shaderCacheKey(pSrcData, length, pDefines, pInclude, entry, pProfile, Flags);
  ShaderCacheEntry cached;
  if (!cacheKey.empty() && shaderCacheFind(cacheKey, &cached))
    return deliver(cached, ppShader, ppErrorMsgs, ppConstantTable);

  ensureGlslang();
  double t0 = nowMs();
  EShLanguage stage = profile.pixel ? EShLangFragment : EShLangVertex;
  glslang::TShader shader(stage);
  const char* strings[] = {pSrcData};
  const int lengths[] = {(int)length};
  const char* names[] = {"memory"};
  shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);
  shader.setEntryPoint(entry);
  shader.setSourceEntryPoint(entry);
  shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientOpenGL, 100);
  shader.setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
  shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
  shader.setEnvTargetHlslFunctionality1();  // keeps the semantic strings in the SPIR-V
  shader.setAutoMapBindings(true);
  shader.setAutoMapLocations(true);
  std::string preamble;
  if (Flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) preamble += "#pragma pack_matrix(row_major)\n";
  for (const D3DXMACRO* m = pDefines; m && m->Name; ++m)
    preamble += std::string("#define ") + m->Name + " " + (m->Definition ? m->Definition : "") + "\n";
  if (!preamble.empty()) shader.setPreamble(preamble.c_str());
  EShMessages messages = (EShMessages)(EShMsgReadHlsl | EShMsgHlslDX9Compatible | EShMsgSpvRules);
  IncludeBridge includer(pInclude);
  bool ok = shader.parse(GetDefaultResources(), 100, false, messages, includer);
  std::string log = formatLog(shader.getInfoLog());
  if (!ok) {
    compileTimes.glslangMs += nowMs() - t0;
    return fail(log.empty() ? "memory: error: compilation failed\n" : log, E_FAIL);
  }
  glslang::TProgram program;
  program.addShader(&shader);
  if (!program.link(messages)) {
    compileTimes.glslangMs += nowMs() - t0;
    return fail(log + formatLog(program.getInfoLog()), E_FAIL);
  }
  std::vector<uint32_t> spirv;
  spv::SpvBuildLogger spvLog;
  glslang::SpvOptions spvOptions;
  spvOptions.disableOptimizer = false;  // HLSL needs legalisation; it also drops unused inputs
  spvOptions.validate = false;
  glslang::GlslangToSpv(*program.getIntermediate(stage), spirv, &spvLog, &spvOptions);
  double t1 = nowMs();
  compileTimes.glslangMs += t1 - t0;

  BlobWriter blob;
  std::string error;
  ok = crossCompile(std::move(spirv), registerBindings(*program.getIntermediate(stage)), profile, blob, error);
  compileTimes.spirvCrossMs += nowMs() - t1;
  compileTimes.shaders += 1;
  if (!ok) return fail(log + error, E_FAIL);

  ShaderCacheEntry compiled = {blob.build(profile.version, profile.pixel ? 0 : SHADER_BLOB_FLAG_CLIP_FIXUP), log};
  if (!cacheKey.empty()) shaderCacheStore(cacheKey, compiled);
  return deliver(compiled, ppShader, ppErrorMsgs, ppConstantTable);
}

LPCSTR D3DXGetVertexShaderProfile(LPDIRECT3DDEVICE9 pDevice) {
  D3DCAPS9 caps;
  if (!pDevice || FAILED(pDevice->GetDeviceCaps(&caps))) return nullptr;
  DWORD v = caps.VertexShaderVersion;
  if (v >= D3DVS_VERSION(3, 0)) return "vs_3_0";
  if (v >= D3DVS_VERSION(2, 1)) return "vs_2_a";
  if (v >= D3DVS_VERSION(2, 0)) return "vs_2_0";
  if (v >= D3DVS_VERSION(1, 1)) return "vs_1_1";
  return nullptr;
}

LPCSTR D3DXGetPixelShaderProfile(LPDIRECT3DDEVICE9 pDevice) {
  D3DCAPS9 caps;
  if (!pDevice || FAILED(pDevice->GetDeviceCaps(&caps))) return nullptr;
  DWORD v = caps.PixelShaderVersion;
  if (v >= D3DPS_VERSION(3, 0)) return "ps_3_0";
  if (v >= D3DPS_VERSION(2, 1)) return "ps_2_a";
  if (v >= D3DPS_VERSION(2, 0)) return "ps_2_0";
  return nullptr;  // ps_1_x profiles are not supported by this compiler
}
