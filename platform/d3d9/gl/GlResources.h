#pragma once
// The OpenGL device's resources: surfaces, textures, buffers, vertex
// declarations and shaders, each with its GL objects. Shared by the Gl*.cpp
// sources of this folder only.

#include "platform/d3d9/D3D9Rules.h"
#include "platform/d3d9/ShaderBlob.h"
#include "platform/d3d9/gl/GlFormats.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <string>
#include <vector>

class GlDevice;

uint64_t glNextSerial();

// Drops errors left from before, so that glGetError tells of what follows.
inline void glClearErrors() {
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

// Every resource keeps its device alive (outside the public reference count)
// so that it can delete its GL objects on its device's context.
class GlResource {
public:
  GlResource(GlDevice* device, bool counted);
  virtual ~GlResource();
  GlResource(const GlResource&) = delete;
  GlResource& operator=(const GlResource&) = delete;
  GlDevice* const device;
  const uint64_t serial;

protected:
  ULONG refs = 1;
  ULONG releaseRef();
  // GetDevice of every resource.
  HRESULT giveDevice(IDirect3DDevice9** out) const;

private:
  bool counted;
};

class GlTextureCore;

class GlSurface : public IDirect3DSurface9, public GlResource {
public:
  enum Kind { TextureLevel, RenderTarget, DepthStencil, Plain, BackBuffer };
  // A level (and face) of a texture: shares the texture's reference count.
  GlSurface(GlDevice* device, GlTextureCore* container, IUnknown* containerObject, UINT face, UINT level,
            const D3DSURFACE_DESC& desc);
  // A standalone surface: render target, depth-stencil, plain or back buffer.
  GlSurface(GlDevice* device, Kind kind, const D3DSURFACE_DESC& desc, bool lockable);
  ~GlSurface() override;
  bool createStorage();  // GL storage of standalone surfaces; false when GL refused it

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  // Attaches this surface to the bound framebuffer at `attachment`.
  void attach(GLenum fboTarget, GLenum attachment) const;
  bool isColorTarget() const { return (desc.Usage & D3DUSAGE_RENDERTARGET) != 0; }
  bool isDepth() const { return kind == DepthStencil; }
  bool multisampled() const { return samples > 0; }
  // A framebuffer with just this colour surface attached (for reads and
  // blits), resolved first when multisampled; 0 when it cannot be read.
  GLuint readFramebuffer();
  // A framebuffer with just this colour surface attached as it is, samples
  // and all; 0 when it cannot be read.
  GLuint sampleFramebuffer();
  // Reads the whole surface in its Direct3D layout into `out` (pitch
  // d3d9Pitch); false when it cannot be read.
  bool readPixels(uint8_t* out);
  void markContentChanged();

  Kind kind;
  D3DSURFACE_DESC desc;
  const GlFormat* format;
  GlTextureCore* container = nullptr;
  IUnknown* containerObject = nullptr;
  UINT face = 0;
  UINT level = 0;
  GLuint renderbuffer = 0;
  GLsizei samples = 0;
  std::vector<uint8_t> memory;  // plain surfaces; staging of locked render targets
  bool lockable = false;

private:
  GLuint fbo = 0;
  GLuint resolveFbo = 0;
  GLuint resolveRenderbuffer = 0;
  bool locked = false;
  RECT lockRect = {0, 0, 0, 0};
  DWORD lockFlags = 0;
};

// A surface argument as the shared checks see it.
D3D9SurfaceArg surfaceArg(const GlSurface* surface);

// What 2-D and cube textures share: the GL texture and the lockable levels.
class GlTextureCore {
public:
  GlTextureCore(GlDevice* device, GLenum target, UINT width, UINT height, UINT levels, DWORD usage,
                D3DFORMAT format, D3DPOOL pool);
  virtual ~GlTextureCore();
  bool createStorage();  // false when GL refused it
  void createSurfaces(IUnknown* owner);

  HRESULT lockLevel(UINT face, UINT level, D3DLOCKED_RECT* out, const RECT* rect, DWORD flags);
  HRESULT unlockLevel(UINT face, UINT level);
  // Rebuilds levels 1.. of an automatic-mipmap texture when level 0 changed.
  void updateMips();
  void getLevelDesc(UINT level, D3DSURFACE_DESC* desc) const;
  GLenum faceTarget(UINT face) const;

  GlDevice* const textureDevice;
  const uint64_t textureSerial;
  GLuint texture = 0;
  GLenum target;
  const GlFormat* format;
  D3DFORMAT d3dFormat;
  DWORD usage;
  D3DPOOL pool;
  UINT width, height;
  UINT levelCount;  // as Direct3D reports it (1 for automatic mipmaps)
  UINT glLevels;    // levels the GL texture has
  bool lockable;
  bool autogen;
  bool mipsDirty = false;

  struct Level {
    std::vector<uint8_t> data;
    UINT width = 0, height = 0;
    bool locked = false;
    RECT rect = {0, 0, 0, 0};
    DWORD flags = 0;
    GlSurface* surface = nullptr;
  };
  std::vector<Level> levels[6];
  UINT faceCount;
};

class GlTexture : public IDirect3DTexture9, public GlResource, public GlTextureCore {
public:
  GlTexture(GlDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~GlTexture() override;
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return releaseRef(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return levelCount; }
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;
};

class GlCubeTexture : public IDirect3DCubeTexture9, public GlResource, public GlTextureCore {
public:
  GlCubeTexture(GlDevice* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~GlCubeTexture() override;
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return releaseRef(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
  DWORD GetLevelCount() override { return levelCount; }
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) override;
  HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                   DWORD Flags) override;
  HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;
};

// Vertex and index buffers keep a copy of their bytes: a lock hands out
// that copy (so a lock without DISCARD sees the current contents) and the
// unlock uploads the range written.
class GlBufferCore : public D3D9BufferBytes {
public:
  GlBufferCore(UINT size, DWORD usage, UINT indexSize);
  bool createStorage(GlDevice* device);
  void destroyStorage();
  HRESULT lock(UINT offset, UINT size, void** out, DWORD flags);
  HRESULT unlock(GlDevice* device);

  GLuint buffer = 0;

private:
  UINT dirtyBegin = 0, dirtyEnd = 0;
  bool discard = false;
  bool noOverwrite = false;
  bool written = false;
};

class GlVertexBuffer : public IDirect3DVertexBuffer9, public GlResource, public GlBufferCore {
public:
  GlVertexBuffer(GlDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  ~GlVertexBuffer() override;
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return releaseRef(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;
  D3DVERTEXBUFFER_DESC desc;
};

class GlIndexBuffer : public IDirect3DIndexBuffer9, public GlResource, public GlBufferCore {
public:
  GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~GlIndexBuffer() override;
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return releaseRef(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;
  D3DINDEXBUFFER_DESC desc;
};

class GlVertexDeclaration : public IDirect3DVertexDeclaration9, public GlResource {
public:
  GlVertexDeclaration(GlDevice* device, const D3DVERTEXELEMENT9* elements, UINT count);
  ~GlVertexDeclaration() override;
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return releaseRef(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;

  std::vector<D3DVERTEXELEMENT9> elements;  // without the end marker
  uint32_t streamMask = 0;                  // streams the elements read
  bool pretransformed = false;              // has POSITIONT: bypasses the vertex shader
};

// A compiled shader stage from a blob (platform/d3d9/ShaderBlob.h) that
// d3d9CheckShaderFunction accepted.
class GlShaderCore {
public:
  bool init(const DWORD* function, GLenum stage, std::string& error);
  void destroy();
  std::vector<DWORD> code;
  ShaderBlobView view;
  GLuint shader = 0;
  std::string source;
};

class GlVertexShader : public IDirect3DVertexShader9, public GlResource, public GlShaderCore {
public:
  explicit GlVertexShader(GlDevice* device);
  ~GlVertexShader() override;
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return releaseRef(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT GetFunction(void* pData, UINT* pSizeOfData) override;
};

class GlPixelShader : public IDirect3DPixelShader9, public GlResource, public GlShaderCore {
public:
  explicit GlPixelShader(GlDevice* device);
  ~GlPixelShader() override;
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return releaseRef(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT GetFunction(void* pData, UINT* pSizeOfData) override;
};

