// The six post-processing effects. Constructors compute their constant tables
// once; apply only uploads them.

#include <cmath>

#include "engine/postfx/PostFX.h"
#include "engine/render/RenderDeviceDX9.h"

namespace {

// Sampler flag words of the effects.
constexpr int kPointClamp = SAMPLER_CLAMP;                     // 4
constexpr int kLinearClamp = SAMPLER_LINEAR | SAMPLER_CLAMP;   // 5
constexpr int kDeviceDefault = SAMPLER_LINEAR | SAMPLER_MIPMAP; // 3, restored after every effect

constexpr int kClearAll = BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// Draws a single-input effect: redirect, bind, constants, quad, restore.
template <typename SetConstants>
void applySingle(PostEffect& effect, bool clearFirst, int samplerFlags, int shader, SetConstants setConstants) {
  RenderDeviceDX9* device = getRenderDevice();
  device->beginRenderTarget(effect.destination, 0);
  if (clearFirst) device->clear(kClearAll, kOpaqueBlack, 0);
  device->setRenderTargetTexture(0, effect.source);
  device->setSamplerFlags(0, samplerFlags);
  device->setShader(shader);
  setConstants(device);
  effect.drawQuad();
  device->endRenderTarget(effect.destination, 0);
  device->setRenderTargetTexture(0, -1);
  device->setSamplerFlags(0, kDeviceDefault);
}

// Draws a two-input effect; a destination of -1 draws into the current target.
template <typename SetConstants>
void applyDouble(PostEffect& effect, int secondSource, int shader, SetConstants setConstants) {
  RenderDeviceDX9* device = getRenderDevice();
  if (effect.destination != -1) device->beginRenderTarget(effect.destination, 0);
  device->setRenderTargetTexture(0, effect.source);
  device->setRenderTargetTexture(1, secondSource);
  device->setSamplerFlags(0, kLinearClamp);
  device->setSamplerFlags(1, kLinearClamp);
  device->setShader(shader);
  setConstants(device);
  effect.drawQuad();
  if (effect.destination != -1) device->endRenderTarget(effect.destination, 0);
  device->setRenderTargetTexture(0, -1);
  device->setRenderTargetTexture(1, -1);
  device->setSamplerFlags(0, kDeviceDefault);
  device->setSamplerFlags(1, kDeviceDefault);
}

void noConstants(RenderDeviceDX9*) {}

}  // namespace

// --- DownsampleEffect ---

DownsampleEffect::DownsampleEffect(int sourceTarget, int destinationTarget) {
  setTargets(sourceTarget, destinationTarget);
  uint32_t w = 0;
  uint32_t h = 0;
  getRenderDevice()->getRenderTargetSize(source, w, h);
  const float sw = float(w);
  const float sh = float(h);
  // +-0.5 and +-1.5 source texels: the 4 x 4 block under each destination pixel.
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      sampleOffsets[4 * r + c][0] = (float(c) - 1.5f) / sw;
      sampleOffsets[4 * r + c][1] = (float(r) - 1.5f) / sh;
    }
  }
}

void DownsampleEffect::apply() {
  const int shader = postShaders[POST_SHADER_DOWNSAMPLE];
  applySingle(*this, true, kPointClamp, shader, [&](RenderDeviceDX9* device) {
    device->setShaderFloatArray(shader, "sampleOffsets", &sampleOffsets[0][0], 32);
  });
}

// --- CopyEffect ---

CopyEffect::CopyEffect(int sourceTarget, int destinationTarget) { setTargets(sourceTarget, destinationTarget); }

void CopyEffect::apply() { applySingle(*this, true, kLinearClamp, postShaders[POST_SHADER_COPY], noConstants); }

// --- BrightPassEffect ---

BrightPassEffect::BrightPassEffect(int sourceTarget, int destinationTarget) {
  setTargets(sourceTarget, destinationTarget);
}

void BrightPassEffect::apply() {
  // The quad covers the whole target, so no clear is needed.
  applySingle(*this, false, kPointClamp, postShaders[POST_SHADER_BRIGHT_PASS], noConstants);
}

// --- BlurEffect ---

BlurEffect::BlurEffect(int sourceTarget, int destinationTarget, int verticalPass) {
  setTargets(sourceTarget, destinationTarget);
  vertical = verticalPass;
  const float texel = vertical ? 1.0f / height : 1.0f / width;

  // Gaussian with sigma 3 and gain 1; the 2 pi is the single-precision 6.283
  // the tables were tuned with. Not renormalised: each pass keeps 98.8 %.
  const float sigma = 3.0f;
  const float gain = 1.0f;
  const float base = 1.0f / std::sqrt(6.283f * sigma * sigma);
  float weight[8];
  for (int i = 0; i < 8; ++i) weight[i] = gain * base * std::exp(-float(i * i) / (2.0f * sigma * sigma));

  const int axis = vertical ? 1 : 0;
  for (int k = 0; k < 16; ++k) {
    // Entry 0 is the centre, 1..7 step forward, 8..14 step back; 15 is unread.
    int step = 0;
    float w = 0.0f;
    if (k == 0) {
      w = weight[0];
    } else if (k <= 7) {
      step = k;
      w = weight[k];
    } else if (k <= 14) {
      step = -(k - 7);
      w = weight[k - 7];
    }
    sampleOffsets[k][axis] = float(step) * texel;
    sampleOffsets[k][1 - axis] = 0.0f;
    // Colour weighted; alpha summed unweighted over the taps.
    sampleWeights[k][0] = w;
    sampleWeights[k][1] = w;
    sampleWeights[k][2] = w;
    sampleWeights[k][3] = k < 15 ? 1.0f : 0.0f;
  }
}

void BlurEffect::apply() {
  const int shader = postShaders[POST_SHADER_BLUR];
  applySingle(*this, false, kPointClamp, shader, [&](RenderDeviceDX9* device) {
    device->setShaderFloatArray(shader, "sampleOffsets", &sampleOffsets[0][0], 32);
    device->setShaderFloatArray(shader, "sampleWeights", &sampleWeights[0][0], 64);
  });
}

// --- CombineEffect ---

CombineEffect::CombineEffect(int sourceTarget, int second, int destinationTarget) {
  setTargets(sourceTarget, destinationTarget);
  secondSource = second;
  weights[0] = 1.0f;
  weights[1] = 1.0f;
  weights[2] = 0.0f;
  weights[3] = 0.0f;
}

void CombineEffect::apply() {
  const int shader = postShaders[POST_SHADER_COMBINE];
  applyDouble(*this, secondSource, shader,
              [&](RenderDeviceDX9* device) { device->setShaderVector(shader, "weights", weights); });
}

// --- AlphaBlendEffect ---

AlphaBlendEffect::AlphaBlendEffect(int sourceTarget, int second, int destinationTarget) {
  setTargets(sourceTarget, destinationTarget);
  secondSource = second;
}

void AlphaBlendEffect::apply() {
  applyDouble(*this, secondSource, postShaders[POST_SHADER_ALPHA_BLEND], noConstants);
}
