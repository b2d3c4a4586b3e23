#pragma once
// Direct3D 9 formats as OpenGL sees them: the internal format a texture or
// renderbuffer gets, the client format/type that reads and writes the
// Direct3D memory layout unchanged (BGRA bytes for A8R8G8B8, packed 16-bit
// words, halves, DXTn blocks), and the swizzle that makes sampling return
// what Direct3D 9 returns for missing channels (R32F reads (r, 1, 1, 1)).
// The layout itself (pitch, blocks) is Direct3D's: platform/d3d9/D3D9Rules.h.

#include "platform/d3d9/d3d9.h"

#include <epoxy/gl.h>

struct GlFormat {
  D3DFORMAT d3d;
  GLenum internal;      // linear internal format
  GLenum srgbInternal;  // sRGB-capable internal format (decode toggled per sampler), or 0
  GLenum format;        // client format of the Direct3D memory layout (0 for block formats)
  GLenum type;          // client type (0 for block formats)
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

// The display format a mode of `bitsPerPixel` is reported as.
D3DFORMAT glDisplayFormatForBits(int bitsPerPixel);
