// The OpenGL device's fixed-function states: vertex formats, transforms,
// texture stages and the GLSL that stands in for the stages, the scissor
// rectangle, and state blocks.

#include "platform/d3d9/gl/GlDevice.h"

#include <cstdio>
#include <cstring>

namespace {

// What one active stage contributes to the pixel program, in this order.
enum StageWord { OpColor, Color1, Color2, Color0, OpAlpha, Alpha1, Alpha2, Alpha0, Result, TexCoord, Constant, Words };

std::string vec4Of(DWORD argb) {
  float c[4];
  glColorFloats(argb, c);
  char buf[96];
  std::snprintf(buf, sizeof buf, "vec4(%.9g, %.9g, %.9g, %.9g)", c[0], c[1], c[2], c[3]);
  return buf;
}

std::string argument(DWORD arg, DWORD constant) {
  std::string v;
  switch (arg & D3DTA_SELECTMASK) {
  case D3DTA_DIFFUSE: v = "diffuse"; break;
  case D3DTA_TEXTURE: v = "tex"; break;
  case D3DTA_TFACTOR: v = "d3d_TextureFactor"; break;
  case D3DTA_SPECULAR: v = "specular"; break;
  case D3DTA_TEMP: v = "temp"; break;
  case D3DTA_CONSTANT: v = vec4Of(constant); break;
  default: v = "current"; break;
  }
  if (arg & D3DTA_COMPLEMENT) v = "(vec4(1.0) - " + v + ")";
  if (arg & D3DTA_ALPHAREPLICATE) v = v + ".aaaa";
  return v;
}

// One texture operation on vec4 arguments; null for operations this device
// does not blend (bump mapping, premodulation), which pass `current` on.
std::string operation(DWORD op, const std::string& a0, const std::string& a1, const std::string& a2) {
  switch (op) {
  case D3DTOP_SELECTARG1: return a1;
  case D3DTOP_SELECTARG2: return a2;
  case D3DTOP_MODULATE: return a1 + " * " + a2;
  case D3DTOP_MODULATE2X: return "2.0 * " + a1 + " * " + a2;
  case D3DTOP_MODULATE4X: return "4.0 * " + a1 + " * " + a2;
  case D3DTOP_ADD: return a1 + " + " + a2;
  case D3DTOP_ADDSIGNED: return a1 + " + " + a2 + " - vec4(0.5)";
  case D3DTOP_ADDSIGNED2X: return "2.0 * (" + a1 + " + " + a2 + " - vec4(0.5))";
  case D3DTOP_SUBTRACT: return a1 + " - " + a2;
  case D3DTOP_ADDSMOOTH: return a1 + " + " + a2 + " - " + a1 + " * " + a2;
  case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + a2 + ", " + a1 + ", diffuse.a)";
  case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + a2 + ", " + a1 + ", tex.a)";
  case D3DTOP_BLENDFACTORALPHA: return "mix(" + a2 + ", " + a1 + ", d3d_TextureFactor.a)";
  case D3DTOP_BLENDTEXTUREALPHAPM: return a1 + " + " + a2 + " * (1.0 - tex.a)";
  case D3DTOP_BLENDCURRENTALPHA: return "mix(" + a2 + ", " + a1 + ", current.a)";
  case D3DTOP_MODULATEALPHA_ADDCOLOR: return a1 + " + " + a1 + ".a * " + a2;
  case D3DTOP_MODULATECOLOR_ADDALPHA: return a1 + " * " + a2 + " + " + a1 + ".aaaa";
  case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return "(1.0 - " + a1 + ".a) * " + a2 + " + " + a1;
  case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(vec4(1.0) - " + a1 + ") * " + a2 + " + " + a1 + ".aaaa";
  case D3DTOP_DOTPRODUCT3: return "vec4(4.0 * dot(" + a1 + ".rgb - vec3(0.5), " + a2 + ".rgb - vec3(0.5)))";
  case D3DTOP_MULTIPLYADD: return a0 + " + " + a1 + " * " + a2;
  case D3DTOP_LERP: return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";
  default: return "current";
  }
}

}  // namespace

std::string glFixedFunctionPixelSource(const std::vector<DWORD>& config,
                                       const std::function<std::string(const std::string&)>& input) {
  std::string s;
  std::string body = "  vec4 diffuse = " + input("vary_COLOR0") + ";\n  vec4 specular = " + input("vary_COLOR1") +
                     ";\n  vec4 current = diffuse;\n  vec4 temp = vec4(0.0);\n  vec4 tex;\n";
  size_t stages = config.size() / Words;
  for (size_t i = 0; i < stages; ++i) {
    const DWORD* w = &config[i * Words];
    std::string n = std::to_string(i);
    s += "uniform sampler2D d3d_Stage" + n + ";\n";
    std::string coord = input("vary_TEXCOORD" + std::to_string(w[TexCoord] & 7));
    body += "  tex = (d3d_StagesBound & " + std::to_string(1 << i) + ") != 0 ? texture(d3d_Stage" + n + ", " + coord +
            ".xy) : vec4(1.0);\n";
    std::string color = operation(w[OpColor], argument(w[Color0], w[Constant]), argument(w[Color1], w[Constant]),
                                  argument(w[Color2], w[Constant]));
    // A disabled alpha operation keeps the alpha that reached the stage; a
    // dot product fills alpha as well.
    std::string alpha = "current.a";
    if (w[OpColor] == D3DTOP_DOTPRODUCT3)
      alpha = std::string("(").append(color).append(").a");
    else if (w[OpAlpha] != D3DTOP_DISABLE)
      alpha = std::string("(")
                  .append(operation(w[OpAlpha], argument(w[Alpha0], w[Constant]), argument(w[Alpha1], w[Constant]),
                                    argument(w[Alpha2], w[Constant])))
                  .append(").a");
    std::string target = (w[Result] & D3DTA_SELECTMASK) == D3DTA_TEMP ? "temp" : "current";
    body += "  " + target + " = clamp(vec4((" + color + ").rgb, " + alpha + "), 0.0, 1.0);\n";
  }
  s += "uniform int d3d_StagesBound;\nuniform vec4 d3d_TextureFactor;\nlayout(location = 0) out vec4 d3d_Color;\n";
  return s + "void main() {\n" + body + "  d3d_Color = current;\n}\n";
}

uint32_t GlDevice::stageConfiguration() {
  std::vector<DWORD> config;
  // The first stage whose colour operation is off ends the chain.
  for (int i = 0; i < D3D9_TEXTURE_STAGES && stageStates[i][D3DTSS_COLOROP] != D3DTOP_DISABLE; ++i) {
    const DWORD* s = stageStates[i];
    DWORD words[Words] = {s[D3DTSS_COLOROP],  s[D3DTSS_COLORARG1], s[D3DTSS_COLORARG2],    s[D3DTSS_COLORARG0],
                          s[D3DTSS_ALPHAOP],  s[D3DTSS_ALPHAARG1], s[D3DTSS_ALPHAARG2],    s[D3DTSS_ALPHAARG0],
                          s[D3DTSS_RESULTARG], s[D3DTSS_TEXCOORDINDEX] & 0xFFFF, s[D3DTSS_CONSTANT]};
    config.insert(config.end(), words, words + Words);
  }
  for (size_t i = 0; i < stageConfigurations.size(); ++i)
    if (stageConfigurations[i] == config) return (uint32_t)i;
  stageConfigurations.push_back(config);
  return (uint32_t)stageConfigurations.size() - 1;
}

std::vector<DWORD> GlDevice::stageTexCoords(uint32_t configuration) const {
  std::vector<DWORD> sets;
  const std::vector<DWORD>& config = stageConfigurations[configuration];
  for (size_t i = 0; i + Words <= config.size(); i += Words) {
    DWORD set = config[i + TexCoord] & 7;
    bool known = false;
    for (DWORD s : sets) known = known || s == set;
    if (!known) sets.push_back(set);
  }
  return sets;
}

// --- device calls ----------------------------------------------------------------------------
// The fixed-function pixel program follows the stages when no pixel shader is bound.
void GlDevice::stageStateChanged() {
  if (!ps) dirty |= DirtyProgram;
}

HRESULT GlDevice::CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) {
  return d3d9CreateStateBlock(this, Type, ppSB);
}

