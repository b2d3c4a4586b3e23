#include "engine/postfx/PostFX.h"

#include "engine/Memory.h"
#include "engine/postfx/PostShaderSources.h"
#include "engine/render/RenderDeviceDX9.h"

static_assert(POST_SHADER_COUNT == POST_SHADERS, "the shader table and its sources disagree");

float postScreenWidth = 0.0f;
float postScreenHeight = 0.0f;
PostTargets postTargets = {-1, -1, -1, -1, -1, -1};
int32_t postShaders[POST_SHADERS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
Material postMaterial;

namespace {

// Colour A8R8G8B8 with a D24S8 depth surface of the same size.
constexpr int kTargetFormat = TEXFMT_A8R8G8B8;
constexpr int kTargetDepthFormat = 35;

int32_t* targetEntries() { return &postTargets.full0; }
constexpr int kTargetCount = sizeof(PostTargets) / sizeof(int32_t);

}  // namespace

bool postFXInit(float width, float height) {
  RenderDeviceDX9* device = getRenderDevice();
  postScreenWidth = width;
  postScreenHeight = height;

  // The products are taken in single precision and truncated, as the effects'
  // tables assume (1366 wide gives 341 and 85).
  const float quarter = 0.25f;
  const int fullWidth = int(width);
  const int fullHeight = int(height);
  const float quarterWidth = width * quarter;
  const float quarterHeight = height * quarter;
  const int sixteenthWidth = int(quarterWidth * quarter);
  const int sixteenthHeight = int(quarterHeight * quarter);

  postTargets.full0 = device->createRenderTarget(kTargetFormat, fullWidth, fullHeight, kTargetDepthFormat);
  postTargets.full1 = device->createRenderTarget(kTargetFormat, fullWidth, fullHeight, kTargetDepthFormat);
  postTargets.quarter0 =
      device->createRenderTarget(kTargetFormat, int(quarterWidth), int(quarterHeight), kTargetDepthFormat);
  postTargets.quarter1 =
      device->createRenderTarget(kTargetFormat, int(quarterWidth), int(quarterHeight), kTargetDepthFormat);
  postTargets.sixteenth0 = device->createRenderTarget(kTargetFormat, sixteenthWidth, sixteenthHeight, kTargetDepthFormat);
  postTargets.sixteenth1 = device->createRenderTarget(kTargetFormat, sixteenthWidth, sixteenthHeight, kTargetDepthFormat);

  postMaterial.renderFlags = RF_DEPTH_OFF | RF_CULL_NONE | RF_FILL_SOLID | RF_BLEND_OFF;  // 101
  device->compileRenderStates(&postMaterial);

  // Shaders 5 to 7 are bound by no effect; they are kept so that the table
  // stays complete and its indices match the effects'.
  for (int i = 0; i < POST_SHADERS; ++i) postShaders[i] = device->createShader(postPassThroughVS, postPixelShaderSources[i]);
  return true;
}

void postFXShutdown() {
  RenderDeviceDX9* device = getRenderDevice();
  int32_t* targets = targetEntries();
  for (int i = 0; i < kTargetCount; ++i) {
    if (targets[i] != -1) device->releaseRenderTarget(targets[i]);
    targets[i] = -1;
  }
  // The entries keep their values; releasing a released shader is harmless in
  // the device.
  for (int i = 0; i < POST_SHADERS; ++i) device->releaseShader(postShaders[i]);
}

// --- PostEffect ---

PostEffect::PostEffect() : source(-1), destination(-1), width(0.0f), height(0.0f) {}

PostEffect::~PostEffect() {
  source = -1;
  destination = -1;
  width = 0.0f;
  height = 0.0f;
}

void PostEffect::setTargets(int sourceTarget, int destinationTarget) {
  source = sourceTarget;
  destination = destinationTarget;
  uint32_t w = 0;
  uint32_t h = 0;
  getRenderDevice()->getRenderTargetSize(destination != -1 ? destination : source, w, h);
  width = float(w);
  height = float(h);
}

namespace {

// Vertex format 0x144: pre-transformed position and one texture coordinate.
struct ScreenVertex {
  float x, y, z, rhw;
  float u, v;
};
static_assert(sizeof(ScreenVertex) == 24, "screen vertices are 24 bytes");

}  // namespace

void PostEffect::drawQuad() {
  // The half-pixel shift puts each destination pixel centre on the matching
  // texel centre of a same-sized source.
  const float right = width - 0.5f;
  const float bottom = height - 0.5f;
  const ScreenVertex quad[4] = {
      {-0.5f, bottom, 0.0f, 1.0f, 0.0f, 1.0f},
      {-0.5f, -0.5f, 0.0f, 1.0f, 0.0f, 0.0f},
      {right, bottom, 0.0f, 1.0f, 1.0f, 1.0f},
      {right, -0.5f, 0.0f, 1.0f, 1.0f, 0.0f},
  };
  RenderDeviceDX9* device = getRenderDevice();
  device->SetVertexDecl(VERTEXFORMAT_SCREEN);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
}

// --- PostChain ---

PostChain::~PostChain() { release(); }

void PostChain::add(PostEffect* effect) {
  if (effect) effects.append(effect);
}

void PostChain::apply() {
  RenderDeviceDX9* device = getRenderDevice();
  device->getBackbuffer(postTargets.full0);
  device->beginScene();
  for (PostEffect* effect : effects) {
    device->setMaterial(&postMaterial);
    effect->apply();
  }
  device->endScene();
}

void PostChain::release() {
  for (PostEffect* effect : effects) TRACKED_DELETE(effect);
  effects.clear();
}

// --- the two chains ---

PostChain* buildChain1() {
  const PostTargets& t = postTargets;
  PostChain* chain = TRACKED_NEW(PostChain);
  chain->add(TRACKED_NEW(DownsampleEffect, t.full0, t.quarter0));
  chain->add(TRACKED_NEW(BrightPassEffect, t.quarter0, t.quarter1));
  chain->add(TRACKED_NEW(BlurEffect, t.quarter1, t.quarter0, 0));
  chain->add(TRACKED_NEW(BlurEffect, t.quarter0, t.quarter1, 1));
  chain->add(TRACKED_NEW(DownsampleEffect, t.quarter1, t.sixteenth0));
  chain->add(TRACKED_NEW(BlurEffect, t.sixteenth0, t.sixteenth1, 0));
  chain->add(TRACKED_NEW(BlurEffect, t.sixteenth1, t.sixteenth0, 1));
  chain->add(TRACKED_NEW(CopyEffect, t.sixteenth0, t.quarter0));
  chain->add(TRACKED_NEW(CombineEffect, t.quarter0, t.quarter1, t.full1));
  chain->add(TRACKED_NEW(CombineEffect, t.full0, t.full1, -1));
  return chain;
}

PostChain* buildChain2() {
  const PostTargets& t = postTargets;
  PostChain* chain = TRACKED_NEW(PostChain);
  chain->add(TRACKED_NEW(DownsampleEffect, t.full0, t.quarter0));
  chain->add(TRACKED_NEW(BlurEffect, t.quarter0, t.quarter1, 0));
  chain->add(TRACKED_NEW(BlurEffect, t.quarter1, t.quarter0, 1));
  chain->add(TRACKED_NEW(AlphaBlendEffect, t.full0, t.quarter0, -1));
  return chain;
}
