#pragma once
// Direct3D 9 formats as OpenGL sees them: the internal format a texture or
// renderbuffer gets, the client format/type that reads and writes the
// Direct3D memory layout unchanged (BGRA bytes for A8R8G8B8, packed 16-bit
// words, halves, DXTn blocks), and the swizzle that makes sampling return
// what Direct3D 9 returns for missing channels (R32F reads (r, 1, 1, 1)).

#include "platform/d3d9/d3d9.h"

#include <epoxy/gl.h>

struct GlFormat {
  D3DFORMAT d3d;
  GLenum internal;      // linear internal format
  GLenum srgbInternal;  // sRGB-capable internal format (decode toggled per sampler), or 0
  GLenum format;        // client format of the Direct3D memory layout (0 for block formats)
  GLenum type;          // client type (0 for block formats)
  UINT bytesPerTexel;   // 0 for block formats
  UINT blockBytes;      // bytes per 4x4 block for DXTn, else 0
  GLint swizzle[4];
  bool renderTarget;    // colour-renderable
  bool depth;
  bool stencil;
  bool filterable;
  bool texture;         // usable as a texture
};

// The table entry for a format, or null for one the device cannot create.
const GlFormat* glFormatInfo(D3DFORMAT format);

// Internal format a texture or colour surface of this format is created with.
inline GLenum glTextureInternal(const GlFormat& f) { return f.srgbInternal ? f.srgbInternal : f.internal; }

// Bytes per row of a level in Direct3D layout (rows of 4x4 blocks for DXTn),
// rows in memory, and the bytes of a level.
UINT glFormatPitch(const GlFormat& f, UINT width);
UINT glFormatRows(const GlFormat& f, UINT height);
inline UINT glFormatLevelBytes(const GlFormat& f, UINT width, UINT height) {
  return glFormatPitch(f, width) * glFormatRows(f, height);
}
UINT glFullMipCount(UINT width, UINT height);

// Display formats: what a mode of `bitsPerPixel` is reported as, and which
// back-buffer formats a display format can present.
D3DFORMAT glDisplayFormatForBits(int bitsPerPixel);
bool glBackBufferMatchesDisplay(D3DFORMAT display, D3DFORMAT back);
