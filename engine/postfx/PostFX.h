#pragma once
// Post-processing: the shared full-, quarter- and sixteenth-size render
// targets, the post shader table and the post material (process-wide, made by
// postFXInit and released by postFXShutdown), the effect base class with its
// full-screen quad, the chain that runs effects in order, the six effects and
// the two chains the demo builds.
//
// Order of use: postFXInit after the render device is initialised; build the
// chains; apply them once per frame after the scene (chain 2, then chain 1);
// release and delete the chains; postFXShutdown before the device shuts down.
// Effects keep the target indices they were built with, so chains must not
// outlive postFXShutdown.

#include <cstdint>

#include "engine/Array.h"
#include "engine/render/Material.h"

// Render-target indices of the shared targets; -1 until created and again
// after shutdown.
struct PostTargets {
  int32_t full0;       // width x height: scene copy at the start of every chain
  int32_t full1;       // width x height: chain 1's sum of the two blur levels
  int32_t quarter0;    // width/4 x height/4 (ping-pong pair)
  int32_t quarter1;
  int32_t sixteenth0;  // width/16 x height/16 (ping-pong pair)
  int32_t sixteenth1;
};

// Indices into postShaders.
enum PostShader {
  POST_SHADER_DOWNSAMPLE = 0,
  POST_SHADER_COPY = 1,
  POST_SHADER_BRIGHT_PASS = 2,
  POST_SHADER_BLUR = 3,
  POST_SHADER_COMBINE = 4,
  POST_SHADER_ZOOM_SUM = 5,      // compiled, bound by no effect
  POST_SHADER_COLOUR_MATRIX = 6, // compiled, bound by no effect
  POST_SHADER_DISPLACEMENT = 7,  // compiled, bound by no effect
  POST_SHADER_ALPHA_BLEND = 8,
  POST_SHADERS = 9,
};

// Screen size as handed to postFXInit.
extern float postScreenWidth;
extern float postScreenHeight;
extern PostTargets postTargets;
extern int32_t postShaders[POST_SHADERS];
// Depth test off, no culling, solid fill, no blending; names no shader and no
// textures, so applying it only sets those render states.
extern Material postMaterial;

// Creates the six targets, compiles the post material and the nine shader
// pairs. Needs an initialised render device; failures end the process there.
bool postFXInit(float width, float height);
// Releases the targets (entries back to -1) and the shaders. Safe to repeat.
void postFXShutdown();

// One full-screen effect.
class PostEffect {
 public:
  PostEffect();
  virtual ~PostEffect();
  PostEffect(const PostEffect&) = delete;
  PostEffect& operator=(const PostEffect&) = delete;

  // Draws the effect once.
  virtual void apply() = 0;

  // Stores both indices; the size is the destination's, or the source's when
  // the destination is -1 (the current render target).
  void setTargets(int sourceTarget, int destinationTarget);
  // One quad covering the destination, texture coordinates 0..1 over it.
  void drawQuad();

  int32_t source;
  int32_t destination;
  float width;
  float height;
};

// Ordered list of owned effects.
class PostChain {
 public:
  PostChain() = default;
  ~PostChain();
  PostChain(const PostChain&) = delete;
  PostChain& operator=(const PostChain&) = delete;

  // Takes ownership of the effect (a TRACKED_NEW object); null is ignored.
  void add(PostEffect* effect);
  // Copies the back buffer into full0 and runs every effect in order.
  void apply();
  // Deletes every effect and empties the list.
  void release();

  Array<PostEffect*> effects;
};

// 4 x 4 box-filter downsample (shader 0); destination a render target.
class DownsampleEffect : public PostEffect {
 public:
  DownsampleEffect(int source, int destination);
  void apply() override;

  float sampleOffsets[16][2];
};

// Bilinear resample of the source over the destination (shader 1).
class CopyEffect : public PostEffect {
 public:
  CopyEffect(int source, int destination);
  void apply() override;
};

// Colour channels minus 0.33, floored at 0 (shader 2).
class BrightPassEffect : public PostEffect {
 public:
  BrightPassEffect(int source, int destination);
  void apply() override;
};

// One pass of a separable 15-tap Gaussian, sigma 3 (shader 3).
class BlurEffect : public PostEffect {
 public:
  BlurEffect(int source, int destination, int vertical);
  void apply() override;

  float sampleOffsets[16][2];
  float sampleWeights[16][4];
  int32_t vertical;  // 0 horizontal, otherwise vertical
};

// weights.x * first + weights.y * second (shader 4); destination may be -1.
class CombineEffect : public PostEffect {
 public:
  CombineEffect(int source, int secondSource, int destination);
  void apply() override;

  float weights[4];
  int32_t secondSource;
};

// lerp(first.rgb, second.rgb, first.a) with alpha 1 (shader 8); destination
// may be -1.
class AlphaBlendEffect : public PostEffect {
 public:
  AlphaBlendEffect(int source, int secondSource, int destination);
  void apply() override;

  int32_t secondSource;
};

// The bloom chain: scene plus two blurred levels of its bright parts.
PostChain* buildChain1();
// The depth blur: the scene blended with its blurred copy by the scene's alpha.
PostChain* buildChain2();
