#pragma once
// The four fixed vertex layouts. The codes follow Direct3D 9's flexible
// vertex format bits, so they double as the FVF of the vertex buffers that
// hold them; each has one vertex declaration, created at device init.

#include <cstdint>

enum VertexFormat : uint32_t {
  VERTEXFORMAT_SCREEN = 0x144,     // FLOAT4 POSITIONT, FLOAT2 TEXCOORD0 (24 bytes): full-screen quads
  VERTEXFORMAT_COLORED = 0x152,    // position, normal, uv, D3DCOLOR (36 bytes)
  VERTEXFORMAT_DEFAULT = 0x40212,  // position, normal, uv, FLOAT4 TEXCOORD1 (48 bytes): the initial declaration
  VERTEXFORMAT_MESH = 0x140352,    // position, normal, uv, two FLOAT3 sets, D3DCOLOR (60 bytes): scene meshes
};

// Bytes per vertex of a format code; 0 for a code that is none of the four.
inline uint32_t vertexSize(uint32_t format) {
  switch (format) {
  case VERTEXFORMAT_SCREEN: return 24;
  case VERTEXFORMAT_COLORED: return 36;
  case VERTEXFORMAT_DEFAULT: return 48;
  case VERTEXFORMAT_MESH: return 60;
  default: return 0;
  }
}
