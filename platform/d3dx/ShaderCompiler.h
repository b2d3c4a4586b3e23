#pragma once
// Internals of the D3DX shader compiler shared with the constant table and
// the benchmark: compile-time statistics.

#include "platform/d3dx/d3dx9shader.h"

// Time spent in the two halves of D3DXCompileShader since the last reset:
// glslang (HLSL parse, link, SPIR-V generation and legalisation) and
// SPIRV-Cross (reflection, remapping, GLSL generation).
struct D3DXShaderCompileTimes {
  double glslangMs;
  double spirvCrossMs;
  int shaders;
};

void d3dxGetShaderCompileTimes(D3DXShaderCompileTimes* times);
void d3dxResetShaderCompileTimes();
