// Post-processing against the recording Direct3D: the shared targets and
// shaders, the quad, the order in which each effect talks to the device, the
// effects' constant tables and the two chains.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/Log.h"
#include "engine/postfx/PostFX.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/d3d9/RecordingDirect3D9.h"
#include "support/TestDir.h"

namespace {

const char* const kTargetNames[] = {"full0", "full1", "quarter0", "quarter1", "sixteenth0", "sixteenth1"};

class PostFXTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logOpen();
    recordingReset();
    recordingSelect();
    resetRenderDevice();
  }
  void TearDown() override {
    postFXShutdown();
    getRenderDevice()->shutdown();
    EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
    resetRenderDevice();
  }

  RenderDeviceDX9* start(int width, int height) {
    RenderDeviceDX9* device = getRenderDevice();
    device->init(reinterpret_cast<HWND>(uintptr_t(0x1000)), DisplayMode{width, height, 32, 60},
                 DeviceSettings{false, false, 0, 1, float(width) / float(height)}, BUFFER_COLOR | BUFFER_DEPTH);
    EXPECT_TRUE(postFXInit(float(width), float(height)));
    return device;
  }

  static int target(int i) { return (&postTargets.full0)[i]; }

  // Starts reading the device calls here.
  void mark() {
    from = recordingLog().size();
    for (DWORD stage = 0; stage < 2; ++stage)
      for (int type : {D3DSAMP_ADDRESSU, D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})
        sampler[stage][type] = recordingDevice()->samplerState(stage, D3DSAMPLERSTATETYPE(type));
  }

  // The calls since mark(), reduced to what the effects decide: render-target
  // switches, clears, bindings (by target name), sampler flag words, pixel
  // shaders (by post table index), constant uploads and draws.
  std::vector<std::string> script() {
    RenderDeviceDX9* device = getRenderDevice();
    std::map<std::string, std::string> names = {{"null", "null"}};
    names[recordingName(recordingDevice()->backBuffer())] = "back";
    for (int i = 0; i < 6; ++i) {
      if (target(i) < 0) continue;
      const RenderTarget& t = device->renderTargets[target(i)];
      names[recordingName(t.surface)] = kTargetNames[i];
      names[recordingName(t.texture)] = kTargetNames[i];
    }
    for (int i = 0; i < POST_SHADERS; ++i)
      names[recordingName(device->shaders[postShaders[i]].pixelShader)] = std::to_string(i);

    auto arg = [](const std::string& text, int n) {
      size_t open = text.find('('), start = open + 1;
      for (int i = 0; i < n; ++i) start = text.find(", ", start) + 2;
      size_t end = text.find_first_of(",)", start);
      return text.substr(start, end - start);
    };
    std::vector<std::string> out;
    const std::vector<RecordingCall>& calls = recordingLog().calls();
    for (size_t i = from; i < calls.size(); ++i) {
      const std::string& m = calls[i].method;
      const std::string& t = calls[i].text;
      if (m == "SetRenderTarget") {
        out.push_back("target " + names[arg(t, 1)]);
      } else if (m == "Clear") {
        out.push_back("clear " + arg(t, 2) + " " + arg(t, 3) + " " + arg(t, 5));
      } else if (m == "SetTexture") {
        out.push_back("texture " + arg(t, 0) + " " + names[arg(t, 1)]);
      } else if (m == "SetSamplerState") {
        int stage = std::stoi(arg(t, 0));
        sampler[stage][std::stoi(arg(t, 1))] = DWORD(std::stoul(arg(t, 2)));
        if (i + 1 < calls.size() && calls[i + 1].method == "SetSamplerState" && arg(calls[i + 1].text, 0) == arg(t, 0))
          continue;
        int flags = (sampler[stage][D3DSAMP_MINFILTER] == D3DTEXF_LINEAR ? SAMPLER_LINEAR : 0) |
                    (sampler[stage][D3DSAMP_MIPFILTER] == D3DTEXF_LINEAR ? SAMPLER_MIPMAP : 0) |
                    (sampler[stage][D3DSAMP_ADDRESSU] == D3DTADDRESS_CLAMP ? SAMPLER_CLAMP : 0);
        out.push_back("sampler " + std::to_string(stage) + " " + std::to_string(flags));
      } else if (m == "SetPixelShader") {
        out.push_back("shader " + names[arg(t, 0)]);
      } else if (m == "SetPixelShaderConstantF") {
        out.push_back("constants " + arg(t, 0) + " " + t.substr(t.rfind(", ") + 2, t.size() - t.rfind(", ") - 3));
      } else if (m == "DrawPrimitiveUP") {
        out.push_back("draw");
      }
    }
    return out;
  }

  // The pixel shader constant registers as written.
  static std::vector<float> registers(UINT first, UINT count) {
    std::vector<float> values;
    for (UINT r = first; r < first + count; ++r) values.insert(values.end(), recordingDevice()->pixelConstant(r), recordingDevice()->pixelConstant(r) + 4);
    return values;
  }

  TestDir dir{"postfx"};
  size_t from = 0;
  DWORD sampler[2][14] = {};
};

using Script = std::vector<std::string>;

// The vertices of the last user-pointer draw, as floats.
std::vector<float> lastQuad() {
  const std::vector<uint8_t>& bytes = recordingDevice()->lastUserVertices();
  std::vector<float> values(bytes.size() / sizeof(float));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  return values;
}

struct ScreenCase {
  int width, height;
  uint32_t quarterWidth, quarterHeight, sixteenthWidth, sixteenthHeight;
};

class PostFXTargets : public PostFXTest, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(PostFXTargets, SizesFormatsShadersQuadsAndShutdown) {
  const ScreenCase& c = GetParam();
  RenderDeviceDX9* device = start(c.width, c.height);
  EXPECT_EQ((std::pair{postScreenWidth, postScreenHeight}), (std::pair{float(c.width), float(c.height)}));

  // Two targets of each size: full, quarter, sixteenth.
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(kTargetNames[i]);
    ASSERT_GE(target(i), 0);
    const std::pair<uint32_t, uint32_t> size = i < 2   ? std::pair{uint32_t(c.width), uint32_t(c.height)}
                                               : i < 4 ? std::pair{c.quarterWidth, c.quarterHeight}
                                                       : std::pair{c.sixteenthWidth, c.sixteenthHeight};
    uint32_t w = 0, h = 0;
    device->getRenderTargetSize(target(i), w, h);
    EXPECT_EQ((std::pair{w, h}), size);
    const RenderTarget& t = device->renderTargets[target(i)];
    EXPECT_EQ(t.format, TEXFMT_A8R8G8B8);
    ASSERT_NE(t.depthSurface, nullptr);
    D3DSURFACE_DESC depth;
    t.depthSurface->GetDesc(&depth);
    EXPECT_EQ((std::pair{depth.Format, depth.Width}), (std::pair{D3DFMT_D24S8, size.first}));
  }

  for (int i = 0; i < POST_SHADERS; ++i) {
    ASSERT_GE(postShaders[i], 0);
    EXPECT_NE(device->shaders[postShaders[i]].pixelShader, nullptr);
  }

  // One quad of x, y, z, rhw, u, v over the destination, shifted half a
  // pixel; with the back buffer as destination the source gives the size.
  CopyEffect copy(postTargets.full0, postTargets.quarter0);
  CombineEffect combine(postTargets.full0, postTargets.full1, -1);
  device->beginScene();
  mark();
  for (auto [effect, w, h] : {std::tuple<PostEffect*, float, float>{&copy, c.quarterWidth, c.quarterHeight},
                              {&combine, c.width, c.height}}) {
    EXPECT_EQ((std::pair{effect->width, effect->height}), (std::pair{w, h}));
    effect->apply();
    EXPECT_EQ(lastQuad(), (std::vector<float>{-0.5f, h - 0.5f, 0, 1, 0, 1, -0.5f, -0.5f, 0, 1, 0, 0,  //
                                              w - 0.5f, h - 0.5f, 0, 1, 1, 1, w - 0.5f, -0.5f, 0, 1, 1, 0}));
  }
  device->endScene();
  EXPECT_EQ(recordingLog().textsOf("DrawPrimitiveUP", from),
            std::vector<std::string>(2, "DrawPrimitiveUP(5, 2, ptr, 24)"));
  EXPECT_EQ(recordingDevice()->vertexDeclaration(), device->declaration(VERTEXFORMAT_SCREEN));

  postFXShutdown();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(target(i), -1);
  for (int i = 0; i < POST_SHADERS; ++i) EXPECT_EQ(device->shaders[postShaders[i]].pixelShader, nullptr);
  for (const RenderTarget& t : device->renderTargets) EXPECT_EQ(t.texture, nullptr);
  postFXShutdown();  // a second shutdown finds nothing to release
}

INSTANTIATE_TEST_SUITE_P(Screens, PostFXTargets,
                         ::testing::Values(ScreenCase{1024, 768, 256, 192, 64, 48},
                                           ScreenCase{1280, 720, 320, 180, 80, 45},
                                           ScreenCase{1366, 768, 341, 192, 85, 48}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

TEST_F(PostFXTest, EachEffectTalksToTheDeviceInItsOrder) {
  RenderDeviceDX9* device = start(1024, 768);
  const PostTargets& t = postTargets;
  const Script restoreOne = {"target back", "texture 0 null", "sampler 0 3"};
  auto single = [&](const char* target, bool clear, const char* input, const char* flags, int shader,
                    Script constants) {
    Script s = {std::string("target ") + target};
    if (clear) s.push_back("clear 0x7 0xff000000 0");
    s.push_back(std::string("texture 0 ") + input);
    s.push_back(std::string("sampler 0 ") + flags);
    s.push_back("shader " + std::to_string(shader));
    s.insert(s.end(), constants.begin(), constants.end());
    s.push_back("draw");
    s.insert(s.end(), restoreOne.begin(), restoreOne.end());
    return s;
  };
  const Script restoreTwo = {"texture 0 null", "texture 1 null", "sampler 0 3", "sampler 1 3"};
  auto twoInputs = [&](const char* target, const char* first, const char* second, int shader, Script constants) {
    Script s;
    if (target) s.push_back(std::string("target ") + target);
    s.insert(s.end(), {std::string("texture 0 ") + first, std::string("texture 1 ") + second, "sampler 0 5",
                       "sampler 1 5", "shader " + std::to_string(shader)});
    s.insert(s.end(), constants.begin(), constants.end());
    s.push_back("draw");
    if (target) s.push_back("target back");
    s.insert(s.end(), restoreTwo.begin(), restoreTwo.end());
    return s;
  };

  struct Case {
    const char* name;
    PostEffect* effect;
    Script expected;
  };
  DownsampleEffect downsample(t.full0, t.quarter0);
  CopyEffect copy(t.sixteenth0, t.quarter0);
  BrightPassEffect bright(t.quarter0, t.quarter1);
  BlurEffect blur(t.quarter1, t.quarter0, 0);
  CombineEffect combineTarget(t.quarter0, t.quarter1, t.full1);
  CombineEffect combineBack(t.full0, t.full1, -1);
  AlphaBlendEffect blend(t.full0, t.quarter0, -1);
  const Case cases[] = {
      {"downsample", &downsample, single("quarter0", true, "full0", "4", 0, {"constants 0 16"})},
      {"copy", &copy, single("quarter0", true, "sixteenth0", "5", 1, {})},
      {"bright pass", &bright, single("quarter1", false, "quarter0", "4", 2, {})},
      {"blur", &blur, single("quarter0", false, "quarter1", "4", 3, {"constants 0 16", "constants 16 16"})},
      {"combine into a target", &combineTarget, twoInputs("full1", "quarter0", "quarter1", 4, {"constants 0 1"})},
      {"combine into the back buffer", &combineBack, twoInputs(nullptr, "full0", "full1", 4, {"constants 0 1"})},
      {"alpha blend", &blend, twoInputs(nullptr, "full0", "quarter0", 8, {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device->resetStateCache();
    device->beginScene();
    mark();
    c.effect->apply();
    device->endScene();
    EXPECT_EQ(script(), c.expected) << recordingLog().dump(from);
    EXPECT_EQ(recordingDevice()->renderTarget(0), recordingDevice()->backBuffer());
    EXPECT_EQ(recordingDevice()->viewport().Width, 1024u);
  }
  EXPECT_EQ(registers(0, 1), (std::vector<float>{1, 1, 0, 0})) << "combine weights";
}

TEST_F(PostFXTest, ConstantTablesReachTheShaders) {
  RenderDeviceDX9* device = start(1024, 768);
  // The taps' shape shows in PostFXGlTest's blurred pixels; here their sum,
  // to single precision, and the upload of both tables.
  for (int vertical = 0; vertical < 2; ++vertical) {
    SCOPED_TRACE(vertical ? "vertical" : "horizontal");
    BlurEffect blur(postTargets.quarter0, postTargets.quarter1, vertical);
    float colourSum = 0;
    for (int k = 0; k < 15; ++k) colourSum += blur.sampleWeights[k][0];
    EXPECT_NEAR(colourSum, 0.98800f, 1e-5) << "the taps are not renormalised";

    device->beginScene();
    blur.apply();
    device->endScene();
    std::vector<float> offsets, uploaded = registers(0, 15);
    for (int k = 0; k < 15; ++k) offsets.insert(offsets.end(), {blur.sampleOffsets[k][0], blur.sampleOffsets[k][1], 0, 0});
    EXPECT_EQ(uploaded, offsets);
    EXPECT_EQ(registers(16, 15), std::vector<float>(&blur.sampleWeights[0][0], &blur.sampleWeights[15][0]));
  }
}

// One line per draw of a script: "shader: first input [+ second] -> output".
std::vector<std::string> draws(const Script& script) {
  std::vector<std::string> out;
  std::string target = "back", shader, inputs[2] = {"null", "null"};
  for (const std::string& line : script) {
    if (line.rfind("target ", 0) == 0) target = line.substr(7);
    if (line.rfind("shader ", 0) == 0) shader = line.substr(7);
    if (line.rfind("texture ", 0) == 0) inputs[line[8] - '0'] = line.substr(10);
    if (line == "draw") out.push_back(shader + ": " + inputs[0] + (inputs[1] != "null" ? " + " + inputs[1] : "") + " -> " + target);
  }
  return out;
}

TEST_F(PostFXTest, ChainsCopyTheBackBufferAndRunTheirEffectsInOrder) {
  RenderDeviceDX9* device = start(1024, 768);
  PostChain* chain1 = buildChain1();
  PostChain* chain2 = buildChain2();
  // Shader 3 is the blur: the pass direction is its vertical flag.
  for (auto [chain, index, vertical] : {std::tuple{chain2, 1u, false}, {chain2, 2u, true}, {chain1, 2u, false},
                                       {chain1, 3u, true}, {chain1, 5u, false}, {chain1, 6u, true}})
    EXPECT_EQ(static_cast<BlurEffect*>(chain->effects[index])->vertical != 0, vertical) << index;

  // A frame: chain 2, then chain 1; each first copies the back buffer into full0.
  const std::vector<std::string> expected[2] = {
      {"0: full0 -> quarter0", "3: quarter0 -> quarter1", "3: quarter1 -> quarter0", "8: full0 + quarter0 -> back"},
      {"0: full0 -> quarter0", "2: quarter0 -> quarter1", "3: quarter1 -> quarter0", "3: quarter0 -> quarter1",
       "0: quarter1 -> sixteenth0", "3: sixteenth0 -> sixteenth1", "3: sixteenth1 -> sixteenth0",
       "1: sixteenth0 -> quarter0", "4: quarter0 + quarter1 -> full1", "4: full0 + full1 -> back"}};
  const std::string copy = "StretchRect(" + recordingName(recordingDevice()->backBuffer()) + ", null, " +
                           recordingName(device->renderTargets[postTargets.full0].surface) + ", null, 2)";
  int i = 0;
  for (PostChain* chain : {chain2, chain1}) {
    SCOPED_TRACE(chain == chain1 ? "chain 1" : "chain 2");
    device->resetStateCache();
    mark();
    chain->apply();
    long stretch = recordingLog().indexOf(copy, from);
    ASSERT_GE(stretch, 0);
    EXPECT_LT(stretch, recordingLog().indexOf("BeginScene()", from));
    EXPECT_EQ(recordingLog().calls().back().text, "EndScene()");
    EXPECT_EQ(draws(script()), expected[i++]);
    EXPECT_EQ(recordingDevice()->renderState(D3DRS_ZENABLE), 0u) << "the post material is applied";
    EXPECT_EQ(recordingDevice()->renderState(D3DRS_CULLMODE), DWORD(D3DCULL_NONE));
  }

  chain1->release();
  EXPECT_EQ(chain1->effects.count, 0u);
  chain1->release();
  TRACKED_DELETE(chain1);
  TRACKED_DELETE(chain2);  // deleting without release still frees the effects
}

}  // namespace
