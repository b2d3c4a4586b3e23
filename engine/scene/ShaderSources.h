#pragma once
// HLSL sources of the built-in shader table and of the scene's shaders, in the
// shader model 2/3 dialect that D3DXCompileShader takes. The render device
// compiles them at start-up (compileBuiltInShaders): slots 0 to 7 are fixed
// pairs, slots 8 and 9 pair the lit vertex shader with a pixel shader built by
// buildLitPixelShaderSource, slot 13 is the shadowed spot light every scene
// material uses. Header only: the texts are data.

#include <cstddef>
#include <cstring>

// --- slots 0 to 7 ------------------------------------------------------------------
// Positions already in clip space, scaled and offset by scaleBias.
constexpr const char* screenTransformVS =
    "float4 scaleBias;float4 main(float4 position: POSITION): POSITION {\tposition.xy = position.xy * scaleBias.xy + scaleBias.zw;\treturn position;}";
constexpr const char* flatColourNoInputsPS =
    "float4 materialDiffuse;float4 main(): COLOR {\treturn materialDiffuse;}";
constexpr const char* screenTransformTexVS =
    "struct VsIn {\tfloat4 position: POSITION;\tfloat2 texCoord: TEXCOORD;};float4 scaleBias;VsIn main(VsIn In){\tIn.position.xy = In.position.xy * scaleBias.xy + scaleBias.zw;\treturn In;}";
constexpr const char* textureOpaqueTimesDiffusePS =
    "sampler2D Base: register(s0);float4 materialDiffuse;float4 main(float2 texCoord: TEXCOORD): COLOR {\treturn float4(tex2D(Base, texCoord).xyz, 1) * materialDiffuse;}";
constexpr const char* textureTimesDiffusePS =
    "sampler2D Base: register(s0);float4 materialDiffuse;float4 main(float2 texCoord: TEXCOORD): COLOR {\treturn tex2D(Base, texCoord) * materialDiffuse;}";
constexpr const char* worldTransformTexVS =
    "float4x4 matrixTotal;\n"
    "struct vsOut { float4 p : POSITION; float2 uv0 : TEXCOORD0; };\n"
    "vsOut main(float3 p : POSITION, float3 n : NORMAL, float2 uv0 : TEXCOORD0) {\n"
    "vsOut o2;\n"
    " o2.p = mul(matrixTotal, float4(p,1)); o2.uv0 = uv0; return o2; };";
constexpr const char* flatColourPS =
    "float4 materialDiffuse;float4 main(float4 p : POSITION, float2 uv0 : TEXCOORD0) : COLOR {\n"
    " return materialDiffuse;\n"
    " };\n";
// The shadow pass: the light-space depth goes out as the colour.
constexpr const char* depthTransformVS =
    "float4x4 matrixTotal;\n"
    "struct vsOut { float4 p : POSITION; float3 uv0 : TEXCOORD0; };\n"
    "vsOut main(float4 p : POSITION) {\n"
    "vsOut o2;\n"
    " o2.p = mul(matrixTotal, p); o2.uv0 = o2.p.xyz; return o2; };";
constexpr const char* depthOutputPS =
    "float4 main(float3 pixelPos : TEXCOORD0) : COLOR {\n"
    " return pixelPos.z;\n"
    " };\n";
constexpr const char* texturePS =
    "sampler t0 : register(s0);\n"
    "float4 main(float4 p : POSITION, float2 uv0 : TEXCOORD0) : COLOR { return tex2D(t0, uv0); };";
constexpr const char* worldTransformTwoSetsVS =
    "float4x4 matrixTotal;\n"
    "struct vsOut { float4 p : POSITION; float2 uv0 : TEXCOORD0; float3 uv1 : TEXCOORD1; };\n"
    "vsOut main(float3 p : POSITION, float3 n : NORMAL, float2 uv0 : TEXCOORD0, float3 tangent : TEXCOORD1, float3 uvw : TEXCOORD2) {\n"
    "vsOut o2;\n"
    " o2.p = mul(matrixTotal, float4(p,1)); o2.uv0 = uv0; o2.uv1 = uvw; return o2; };";
constexpr const char* textureModulate2xPS =
    "sampler t0 : register(s0);\n"
    "sampler t1 : register(s1);\n"
    "float4 main(float3 p : POSITION, float2 uv0 : TEXCOORD0, float3 uvw : TEXCOORD1) : COLOR { return tex2D(t0, uv0)*tex2D(t1, uvw)*2.0f; };";
constexpr const char* worldTransformColourVS =
    "float4x4 matrixTotal;\n"
    "struct vsOut { float4 p : POSITION; float2 uv0 : TEXCOORD0; float4 col : COLOR0; };\n"
    "vsOut main(float3 p : POSITION, float3 n : NORMAL, float2 uv0 : TEXCOORD0, float4 col : COLOR0) {\n"
    "vsOut o2;\n"
    " o2.p = mul(matrixTotal, float4(p,1)); o2.uv0 = uv0; o2.col = col; return o2; };";
constexpr const char* vertexColourPS =
    "float4 main(float4 p : POSITION, float2 uv0 : TEXCOORD0, float4 col : COLOR0) : COLOR {\n"
    " return col;\n"
    " };\n";

struct BuiltInShaderSource {
  const char* vertexShader;
  const char* pixelShader;
};

constexpr int BUILT_IN_SHADER_SLOTS = 14;

// Slots 0 to 7 of the built-in table, in slot order.
constexpr BuiltInShaderSource builtInShaderSources[8] = {
    {screenTransformVS, flatColourNoInputsPS},
    {screenTransformTexVS, textureOpaqueTimesDiffusePS},
    {screenTransformTexVS, textureTimesDiffusePS},
    {worldTransformTexVS, flatColourPS},
    {depthTransformVS, depthOutputPS},
    {worldTransformTexVS, texturePS},
    {worldTransformTwoSetsVS, textureModulate2xPS},
    {worldTransformColourVS, vertexColourPS},
};

// --- slots 8 and 9: per-pixel Blinn lighting -----------------------------------------
// World-space normal, light and half vectors for the generated pixel shaders.
constexpr const char* litVS =
    "float4x4 matrixTotal;\nfloat4x4 matrixWorld;\nfloat4x4 matrixWorldIT;\nfloat4 cameraPosition;\nfloat4 lightPosition;\n"
    "struct vsOut { float4 p : POSITION; float2 uv0 : TEXCOORD0; float3 uv1 : TEXCOORD1; float3 worldNormal : TEXCOORD2; "
    "float3 worldLight : TEXCOORD3; float3 worldHalf : TEXCOORD4; };\n"
    "vsOut main(float3 p : POSITION, float3 n : NORMAL, float2 uv0 : TEXCOORD0, float3 t : TEXCOORD1, float3 uvw : TEXCOORD2) {\n"
    "vsOut o2;\n"
    " float4 worldPos = mul(matrixWorld, float4(p, 1.0));\n"
    " o2.p = mul(matrixTotal, float4(p,1)); o2.uv0 = uv0; o2.uv1 = uvw;\n"
    " o2.worldNormal = mul(matrixWorldIT, n).xyz;\n"
    " o2.worldLight = normalize(lightPosition.xyz - worldPos.xyz);\n"
    " o2.worldHalf = (o2.worldLight + normalize(cameraPosition.xyz - worldPos.xyz)) * 0.5;\n"
    " return o2; };";

// Bit 0 of the flags: untextured (base colour white instead of sampler s0).
constexpr int LIT_PIXEL_SHADER_UNTEXTURED = 1;
constexpr size_t LIT_PIXEL_SHADER_BUFFER_SIZE = 2048;

// Builds the lit pixel shader source for the flags into the text buffer: the
// pieces below, in order (the whole text is far below the buffer size, which
// the copy respects all the same).
inline void buildLitPixelShaderSource(int flags, char (&buffer)[LIT_PIXEL_SHADER_BUFFER_SIZE]) {
  const bool untextured = (flags & LIT_PIXEL_SHADER_UNTEXTURED) != 0;
  const char* pieces[] = {
      "float4 materialDiffuse;\nfloat4 materialSpecular;\n",
      untextured ? "" : "sampler s0;\n",
      "float4 main(float4 p : POSITION, float2 uv0 : TEXCOORD0, float3 worldNormal : TEXCOORD2, float3 worldLight : "
      "TEXCOORD3, float3 worldHalf : TEXCOORD4) : COLOR {\n",
      untextured ? "\tfloat4 baseTex = float4(1,1,1,1);\n" : "\tfloat4 baseTex = tex2D(s0, uv0);\n",
      "\tfloat3 n = normalize(worldNormal);\n\tfloat3 l = worldLight;\n\tfloat3 h = normalize(worldHalf);\n"
      "\tfloat4 specular = materialSpecular * pow(saturate(dot(n, h)), 64.0);\n",
      "\tfloat4 diffuse = /*light0Color * */ saturate(dot(n, l));\n",
      "\treturn materialDiffuse * baseTex * diffuse + specular;\n",
      "}\n",
  };
  size_t used = 0;
  buffer[0] = '\0';
  for (const char* piece : pieces) {
    size_t len = std::strlen(piece);
    if (used + len >= LIT_PIXEL_SHADER_BUFFER_SIZE) len = LIT_PIXEL_SHADER_BUFFER_SIZE - 1 - used;
    std::memcpy(buffer + used, piece, len);
    used += len;
    buffer[used] = '\0';
  }
}

// --- slot 13: the shadowed spot light ---------------------------------------------------
// Shadow-map coordinates, world normal and position, and in rangeParams the
// distance falloff (x) with the view-space depth (z) for the depth blur.
constexpr const char* spotLightShadowVS =
    "float4x4 matrixTotal;\nfloat4x4 matrixWorld;\nfloat4x4 matrixShadowMap;\nfloat4x4 matrixWorldIT;\nfloat4x4 matrixWorldView;\n"
    "float4 lightPosition;\nfloat4 lightDirection;\nfloat lightInvRangeSq;\n"
    "struct vsOut { float4 p : POSITION; float2 uv0 : TEXCOORD0; float4 uvShadow : TEXCOORD1; float3 worldN : TEXCOORD2; "
    "float3 worldPos : TEXCOORD3; float4 rangeParams : TEXCOORD4; };\n"
    "vsOut main(float4 p : POSITION, float3 n : NORMAL, float2 uv0 : TEXCOORD0, float3 t : TEXCOORD1, float3 uvw : TEXCOORD2) {\n"
    "vsOut o2;\n"
    " float4 worldPos = mul(matrixWorld, p);\n"
    " o2.p = mul(matrixTotal, p);\n"
    " o2.uv0 = uv0;\n"
    " o2.uvShadow = mul(matrixShadowMap, worldPos);\n"
    " o2.worldN = mul(matrixWorldIT, n).xyz;\n"
    " o2.worldPos = worldPos.xyz;\n"
    " float3 toLight = lightPosition.xyz - worldPos.xyz;\n"
    " o2.rangeParams = mul(matrixWorldView, p);\n"
    " o2.rangeParams.x = 1.0 - dot(toLight, toLight) * lightInvRangeSq;\n"
    " return o2; };";

// Bilinear percentage-closer filtering over 2 x 2 shadow-map texels, the spot
// cone and range falloff, a hemisphere ambient term and the projected texture;
// alpha carries the depth-blur amount.
constexpr const char* spotLightShadowPS =
    "sampler shadowSampler : register(s0);\nsampler projectorSampler : register(s1);\n"
    "float4 materialDiffuse;\nfloat4 lightDirection;\nfloat4 lightPosition;\nfloat lightCosSpot;\nfloat4 dofParams;\n"
    "static const float shadowTexel = 1.0 / 1024.0;\nstatic const float shadowBias = 0.044;\n"
    "\n"
    "float computeDepthBlur(float depth) {\n"
    "\tfloat f;\n"
    "\tif (depth < dofParams.y) {\n"
    "\t\tf = (depth - dofParams.y) / (dofParams.y - dofParams.x);\n"
    "\t} else {\n"
    "\t\tf = (depth - dofParams.y) / (dofParams.z - dofParams.y);\n"
    "\t\tf = clamp(f, 0, dofParams.w);\n"
    "\t}\n"
    "\treturn f;\n"
    "}\n"
    "\n"
    "float4 main(float2 uv0 : TEXCOORD0, float4 uvShadow : TEXCOORD1, float3 worldN : TEXCOORD2, float3 worldPos : TEXCOORD3, "
    "float4 rangeParams : TEXCOORD4) : COLOR {\n"
    "\tuvShadow.xy /= uvShadow.w;\n"
    "\tfloat test0 = (uvShadow.z < tex2D(shadowSampler, uvShadow.xy).r + shadowBias) ? 1.0 : 0.0;\n"
    "\tfloat test1 = (uvShadow.z < tex2D(shadowSampler, uvShadow.xy + float2(shadowTexel, 0)).r + shadowBias) ? 1.0 : 0.0;\n"
    "\tfloat test2 = (uvShadow.z < tex2D(shadowSampler, uvShadow.xy + float2(0, shadowTexel)).r + shadowBias) ? 1.0 : 0.0;\n"
    "\tfloat test3 = (uvShadow.z < tex2D(shadowSampler, uvShadow.xy + float2(shadowTexel, shadowTexel)).r + shadowBias) ? 1.0 : 0.0;\n"
    "\tfloat2 lerpFactor = frac(1024.0 * uvShadow.xy);\n"
    "\tfloat shadowFactor = lerp(lerp(test0, test1, lerpFactor.x), lerp(test2, test3, lerpFactor.x), lerpFactor.y);\n"
    "\tfloat4 projector = tex2D(projectorSampler, uvShadow.xy);\n"
    "\tfloat3 n = normalize(worldN);\n"
    "\tfloat diff = saturate(dot(n, -lightDirection.xyz));\n"
    "\tfloat3 toLight = normalize(lightPosition.xyz - worldPos);\n"
    "\tfloat attn = rangeParams.x;\n"
    "\tif (dot(-toLight, lightDirection.xyz) < lightCosSpot) attn = 0.0;\n"
    "\tfloat3 hemi = lerp(float3(0.3, 0.2, 0.1), float3(0.8, 0.9, 1.0), n.y * 0.5 + 0.5);\n"
    "\tfloat4 colour;\n"
    "\tcolour.rgb = (hemi + diff) * attn * projector.rgb * shadowFactor;\n"
    "\tcolour.a = abs(computeDepthBlur(rangeParams.z));\n"
    "\treturn colour;\n"
    "}\n";
