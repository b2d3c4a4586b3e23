#pragma once
// HLSL sources of the post-processing shaders: one pass-through vertex shader
// and the nine pixel shaders of the post shader table, in table order.
// Header only: the texts are data.

// Passes the pre-transformed position and the texture coordinate through.
constexpr const char* postPassThroughVS =
    "struct VsIn {\tfloat4 position: POSITION;\tfloat2 texCoord: TEXCOORD;};VsIn main(VsIn inp){\n"
    "return inp;}\n";

// 0: 4 x 4 box filter through 16 point samples at sampleOffsets.
constexpr const char* downsamplePS =
    "float2 sampleOffsets[16];\n"
    "sampler s0 : register(s0);\n"
    "\n"
    "float4 main(float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "\tfloat4 sample = 0.0f;\n"
    "\tfor( int i=0; i < 16; i++ ) {\n"
    "\tsample += tex2D( s0, vScreenPosition + sampleOffsets[i] );\n"
    "\t}\n"
    "\treturn sample / 16;\n"
    "}\n"
    "\n";

// 1: bilinear resample of the source over the destination.
constexpr const char* copyPS =
    "sampler s0linear : register(s0);\n"
    "\n"
    "float4 main(in float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "    return tex2D(s0linear, vScreenPosition);\n"
    "}\n"
    "\n";

// 2: subtracts the bright-pass threshold from every colour channel.
constexpr const char* brightPassPS =
    "static const float  BRIGHT_PASS_THRESHOLD  = 0.33f;\n"
    "sampler s0 : register(s0);\n"
    "\n"
    "float4 main(in float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "\tfloat4 vSample = tex2D( s0, vScreenPosition );\n"
    "\tvSample.rgb -= BRIGHT_PASS_THRESHOLD;\n"
    "\tvSample = max(vSample, 0.0f);\n"
    "\treturn vSample;\n"
    "}\n"
    "\n";

// 3: 15 taps along sampleOffsets weighted by sampleWeights (separable Gaussian).
constexpr const char* blurPS =
    "float2 sampleOffsets[16];\n"
    "float4 sampleWeights[16];\n"
    "sampler s0 : register(s0);\n"
    "\n"
    "float4 main(in float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "    float4 vSample = 0.0f;\n"
    "    float4 vColor = 0.0f;\n"
    "    float2 vSamplePosition;\n"
    "    for(int iSample = 0; iSample < 15; iSample++) {\n"
    "        vSamplePosition = vScreenPosition + sampleOffsets[iSample];\n"
    "        vColor = tex2D(s0, vSamplePosition);\n"
    "        vSample += sampleWeights[iSample]*vColor;\n"
    "    }\n"
    "    return vSample;\n"
    "}\n";

// 4: weighted sum of two inputs.
constexpr const char* combinePS =
    "sampler s0linear : register(s0);\n"
    "sampler s1linear : register(s1);\n"
    "float4 weights;\n"
    "float4 main(in float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "\tfloat4 vColor = 0.0f;\n"
    "\tvColor += weights.x * tex2D(s0linear, vScreenPosition);\n"
    "\tvColor += weights.y * tex2D(s1linear, vScreenPosition);\n"
    "\treturn vColor;\n"
    "}\n";

// 8: blends the first input into the second by the first input's alpha.
constexpr const char* alphaBlendPS =
    "sampler s0linear : register(s0);\n"
    "sampler s1linear : register(s1);\n"
    "float4 main(in float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "\tfloat4 scene = tex2D(s0linear, vScreenPosition);\n"
    "\tfloat4 blur = tex2D(s1linear, vScreenPosition);\n"
    "\treturn float4(lerp(scene.rgb, blur.rgb, scene.a), 1.0f);\n"
    "}\n";

// 5: zoom sum, four zooms about the centre weighted by weights (zoomFactors.x
// is not read). Bound by no effect.
constexpr const char* zoomSumPS =
    "float4 zoomFactors;\n"
    "float4 weights;\n"
    "sampler s0 : register(s0);\n"
    "\n"
    "float2 zoomUV(float2 uv, float factor) {\n"
    "\tfloat f = 1.0f / factor;\n"
    "\treturn uv * f + 0.5f * (1.0f - f);\n"
    "}\n"
    "\n"
    "float4 main(in float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "\tfloat4 vColor = weights.x * tex2D(s0, vScreenPosition);\n"
    "\tvColor += weights.y * tex2D(s0, zoomUV(vScreenPosition, zoomFactors.y));\n"
    "\tvColor += weights.z * tex2D(s0, zoomUV(vScreenPosition, zoomFactors.z));\n"
    "\tvColor += weights.w * tex2D(s0, zoomUV(vScreenPosition, zoomFactors.w));\n"
    "\treturn vColor;\n"
    "}\n";

// 6: colour matrix, each output channel a dot product of the sampled colour
// plus an offset. Bound by no effect.
constexpr const char* colourMatrixPS =
    "float4 mulR;\n"
    "float4 mulG;\n"
    "float4 mulB;\n"
    "float4 mulA;\n"
    "float4 add;\n"
    "sampler s0 : register(s0);\n"
    "\n"
    "float4 main(in float2 vScreenPosition : TEXCOORD0) : COLOR {\n"
    "\tfloat4 col = tex2D(s0, vScreenPosition);\n"
    "\treturn float4(dot(col, mulR), dot(col, mulG), dot(col, mulB), dot(col, mulA)) + add;\n"
    "}\n";

// 7: per-channel displacement: each channel shifted horizontally by an amount
// read from one column (pos) of the second texture. Bound by no effect.
constexpr const char* displacementPS =
    "sampler inputTexture1 : register(s0);\n"
    "sampler inputTexture2 : register(s1);\n"
    "float4 pos;\n"
    "float4 scale;\n"
    "\n"
    "float4 main(in float2 TexCoor : TEXCOORD0) : COLOR {\n"
    "\tfloat4 d;\n"
    "\td.r = (tex2D(inputTexture2, float2(pos.x, TexCoor.y)).r - 0.5f) * scale.x;\n"
    "\td.g = (tex2D(inputTexture2, float2(pos.y, TexCoor.y)).g - 0.5f) * scale.y;\n"
    "\td.b = (tex2D(inputTexture2, float2(pos.z, TexCoor.y)).b - 0.5f) * scale.z;\n"
    "\td.a = (tex2D(inputTexture2, float2(pos.w, TexCoor.y)).a - 0.5f) * scale.w;\n"
    "\tfloat4 col;\n"
    "\tcol.r = tex2D(inputTexture1, float2(TexCoor.x + d.r, TexCoor.y)).r;\n"
    "\tcol.g = tex2D(inputTexture1, float2(TexCoor.x + d.g, TexCoor.y)).g;\n"
    "\tcol.b = tex2D(inputTexture1, float2(TexCoor.x + d.b, TexCoor.y)).b;\n"
    "\tcol.a = tex2D(inputTexture1, float2(TexCoor.x + d.a, TexCoor.y)).a;\n"
    "\treturn col;\n"
    "}\n";

// The post shader table's pixel shaders, in table order.
constexpr int POST_SHADER_COUNT = 9;
constexpr const char* postPixelShaderSources[POST_SHADER_COUNT] = {
    downsamplePS, copyPS, brightPassPS, blurPS, combinePS, zoomSumPS, colourMatrixPS, displacementPS, alphaBlendPS,
};
