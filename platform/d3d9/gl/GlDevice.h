#pragma once
// Internal classes of the OpenGL device: the Direct3D object, the device and
// its resources. Shared by the Gl*.cpp sources of this folder only.

#include "platform/d3d9/ShaderBlob.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/D3D9Defaults.h"
#include "platform/d3d9/gl/GlContext.h"
#include "platform/d3d9/gl/GlDirect3D9.h"
#include "platform/d3d9/gl/GlFormats.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class GlDevice;
class GlSurface;

// Texture stages: 16 pixel samplers and the 4 vertex samplers
// (D3DVERTEXTEXTURESAMPLER0..3), which use GL units 16..19.
#define GL_D3D_STAGES 20
#define GL_D3D_SAMPLER_STATES 14

inline int glStageIndex(DWORD stage) {
  if (stage < 16) return (int)stage;
  if (stage >= D3DVERTEXTEXTURESAMPLER0 && stage < D3DVERTEXTEXTURESAMPLER0 + 4)
    return 16 + (int)(stage - D3DVERTEXTEXTURESAMPLER0);
  return -1;
}

uint64_t glNextSerial();

// --- the Direct3D object -------------------------------------------------------
class GlDirect3D9 : public IDirect3D9 {
public:
  GlDirect3D9();
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override;
  UINT GetAdapterCount() override;
  UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) override;
  HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) override;
  HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
  HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                          BOOL bWindowed) override;
  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                            D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
  HRESULT CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL Windowed,
                                     D3DMULTISAMPLE_TYPE MultiSampleType, DWORD* pQualityLevels) override;
  HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                 D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
  HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice9** ppReturnedDeviceInterface) override;

  static const D3DCAPS9& halCaps();
  // Display modes of one format, ascending; the desktop mode.
  std::vector<D3DDISPLAYMODE> modes(D3DFORMAT format);
  bool desktopMode(D3DDISPLAYMODE* mode);
  bool isDisplayFormat(D3DFORMAT format);

private:
  ~GlDirect3D9() override = default;
  ULONG refs = 1;
};

// --- resources ----------------------------------------------------------------------
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
  // Reads the whole surface in its Direct3D layout into `out` (pitch
  // glFormatPitch); false when it cannot be read.
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
class GlBufferCore {
public:
  GlBufferCore(UINT size, DWORD usage);
  bool createStorage(GlDevice* device);
  void destroyStorage();
  HRESULT lock(UINT offset, UINT size, void** out, DWORD flags);
  HRESULT unlock(GlDevice* device);

  GLuint buffer = 0;
  std::vector<uint8_t> bytes;
  UINT size;
  DWORD usage;
  int locks = 0;

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
  UINT indexSize;
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

// A compiled shader stage from a blob (platform/d3d9/ShaderBlob.h).
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

// --- the device ---------------------------------------------------------------------
struct GlProgram {
  GLuint program = 0;
  bool ok = false;
  uint64_t vsSerial = 0, psSerial = 0;
  GLint vsRegisters = -1, psRegisters = -1;
  UINT vsRegisterCount = 0, psRegisterCount = 0;
  uint64_t vsVersion = 0, psVersion = 0;  // register file versions last uploaded
  GLint screenTransform = -1;             // pre-transformed vertices
  uint64_t screenVersion = 0;
  GLint stage0Bound = -1;                 // fixed-function pixel stage
  int stage0Value = -1;
  GLint alphaRef = -1;                    // alpha-test variants
  DWORD alphaRefValue = 0xFFFFFFFF;
};

struct GlVertexArray {
  GLuint vao = 0;
  uint64_t elementSerial = 0;  // index buffer bound into it
};

// The key of a vertex array: declaration and the buffer, offset and stride
// of every stream it reads.
struct GlVertexArrayKey {
  uint64_t declaration = 0;
  uint32_t count = 0;
  struct Stream {
    uint64_t buffer;
    uint32_t offset;
    uint32_t stride;
  } streams[16];
  bool operator==(const GlVertexArrayKey& o) const;
};
struct GlVertexArrayKeyHash {
  size_t operator()(const GlVertexArrayKey& k) const;
};

class GlDevice : public IDirect3DDevice9 {
public:
  GlDevice(GlDirect3D9* d3d, HWND focus, DWORD behavior, const D3DPRESENT_PARAMETERS& pp, GlContext* context);
  // Creates the back buffer, the depth surface and the GL objects; false
  // (with the device unusable) when GL refused them.
  bool init();
  ~GlDevice() override;

  // --- IDirect3DDevice9 ---
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override;
  HRESULT TestCooperativeLevel() override;
  HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
  HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
  HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                  const RGNDATA* pDirtyRegion) override;
  HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                        IDirect3DSurface9** ppBackBuffer) override;
  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                        IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                             IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                             DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                             HANDLE* pSharedHandle) override;
  HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                    DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface,
                                    HANDLE* pSharedHandle) override;
  HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
  HRESULT GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override;
  HRESULT StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect, IDirect3DSurface9* pDestSurface,
                      const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) override;
  HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
  HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
  HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                               UINT NumVertices, UINT startIndex, UINT primCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                          UINT VertexStreamZeroStride) override;
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                  IDirect3DVertexDeclaration9** ppDecl) override;
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
  HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
  HRESULT CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
  HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
  HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
  HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                          UINT Stride) override;
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                          UINT* pStride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;
  HRESULT CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
  HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override;
  HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override;
  HRESULT SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
  HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;

  // --- for resources ---
  void resourceCreated() { ++liveResources; }
  void resourceDestroyed();
  bool makeCurrent();
  // Forget GL objects built around a resource that is going away.
  void forgetSurface(const GlSurface* surface);
  void forgetTexture(GLuint texture);
  void forgetBuffer(uint64_t serial, bool indexBuffer);
  void forgetDeclaration(uint64_t serial);
  void forgetShader(uint64_t serial);
  // Cached GL binds the resources use.
  void bindCopyBuffer(GLuint buffer);
  void bindArrayBuffer(GLuint buffer);
  void bindTextureForUpdate(GLenum target, GLuint texture);
  void bindUnitTexture(int unit, GLenum target, GLuint texture);
  void bindReadFramebuffer(GLuint fbo);
  void bindDrawFramebuffer(GLuint fbo);
  void bindRenderbuffer(GLuint rb);
  void bindProgram(GLuint program);
  void bindVertexArray(GLuint vao);
  // Blits between framebuffers outside the draw state (scissor, sRGB off,
  // full colour mask).
  void prepareBlit();
  // A texture's contents changed (rendered to): stages that show it rebind,
  // and automatic mipmaps are rebuilt before the next sample.
  void textureChanged(GlTextureCore* texture);
  GlContext* glContext() const { return context; }
  GlDeviceStats stats = {};
  bool deviceLost() const { return lost; }
  bool srgbTextures() const { return hasSrgbDecode; }
  bool s3tc() const { return hasS3tc; }

private:
  friend class GlResource;
  void releaseBindings();
  // Holds a reference in a binding slot, as Direct3D 9 does for bound objects.
  template <typename T>
  static void hold(T*& slot, T* value) {
    if (slot == value) return;
    if (value) value->AddRef();
    T* old = slot;
    slot = value;
    if (old) old->Release();
  }

  // draw preparation (GlDeviceDraw.cpp)
  HRESULT validateStreams(uint64_t vertexEnd, uint32_t skipMask);
  HRESULT prepareDraw(UINT upStride);
  void applyRenderStates();
  void applyFramebuffer();
  void applyViewport();
  void applyTextures();
  void applySamplers();
  bool applyProgram();
  void applyVertexArray(UINT upStride);
  HRESULT checkFramebuffer();
  GlProgram* linkProgram(uint64_t key, DWORD alphaFunc);
  void uploadConstants(GlProgram* p);
  void destroyPrograms();

  // GL state cache setters (each issues the call only on change)
  enum CapIndex {
    CapDepthTest, CapCull, CapBlend, CapStencil, CapScissor, CapSrgb, CapMultisample, CapDither,
    CapOffsetFill, CapOffsetLine, CapOffsetPoint
  };
  void glEnableCap(int index, GLenum cap, bool on);
  void setDepthMask(bool on);
  void setColorMask(int target, DWORD mask);
  void setStencilWriteMask(GLuint mask);
  void setScissor(bool on, GLint x, GLint y, GLsizei w, GLsizei h);
  void setClearColor(const float* rgba);

  // lifetime
  ULONG refs = 1;
  int liveResources = 0;
  bool released = false;
  GlDirect3D9* d3d;
  HWND focusWindow;
  DWORD behavior;
  D3DPRESENT_PARAMETERS pp;
  GlContext* context;
  bool lost = false;
  bool fullscreenSet = false;
  // Where the window was before a fullscreen device placed it (x, y, w, h).
  bool windowPlaced = false;
  int windowedRect[4] = {};
  void enterFullscreen();
  void leaveFullscreen();

  // Direct3D state
  DWORD renderStates[256];
  DWORD samplerStates[GL_D3D_STAGES][GL_D3D_SAMPLER_STATES];
  IDirect3DBaseTexture9* textures[GL_D3D_STAGES] = {};
  GlTextureCore* textureCores[GL_D3D_STAGES] = {};
  GlSurface* targets[4] = {};
  GlSurface* depth = nullptr;
  GlSurface* back = nullptr;
  GlSurface* autoDepth = nullptr;
  D3DVIEWPORT9 view;
  float vsConstants[D3D9_VERTEX_SHADER_CONSTANT_REGISTERS][4];
  float psConstants[D3D9_PIXEL_SHADER_CONSTANT_REGISTERS][4];
  uint64_t vsVersion = 1, psVersion = 1;
  struct Stream {
    GlVertexBuffer* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
  } streams[16];
  GlIndexBuffer* indexBuffer = nullptr;
  GlVertexDeclaration* declaration = nullptr;
  GlVertexShader* vs = nullptr;
  GlPixelShader* ps = nullptr;
  bool sceneOpen = false;

  // what changed since the last draw
  enum : uint32_t {
    DirtyDepth = 1u << 0,
    DirtyRaster = 1u << 1,
    DirtyBlend = 1u << 2,
    DirtyStencil = 1u << 3,
    DirtyColorMask = 1u << 4,
    DirtyMisc = 1u << 5,
    DirtyFramebuffer = 1u << 6,
    DirtyViewport = 1u << 7,
    DirtyProgram = 1u << 8,
    DirtyVertexArray = 1u << 9,
    DirtyScissor = 1u << 10,
    DirtyAll = 0x7ffu,
  };
  uint32_t dirty = DirtyAll;
  uint32_t dirtyTextures = 0xFFFFF;
  uint32_t dirtySamplers = 0xFFFFF;
  uint64_t viewportVersion = 1;

  // GL state as last sent
  struct Cache {
    signed char caps[11];  // CapDepthTest .. CapOffsetPoint; -1 unknown
    GLboolean depthMask;
    GLenum depthFunc;
    GLenum cullFace;
    GLenum polygonMode;
    float offsetFactor, offsetUnits;
    bool offsetOn;
    GLenum blendSrc, blendDst, blendSrcAlpha, blendDstAlpha, blendOp, blendOpAlpha;
    DWORD blendColor;
    GLenum stencilFunc[2], stencilFail[2], stencilZFail[2], stencilPass[2];
    GLint stencilRef[2];
    GLuint stencilMask[2], stencilWriteMask;
    DWORD colorMask[4];
    GLint scissor[4];
    GLint viewport[4];
    float depthRange[2];
    float clearColor[4];
    float clearDepth;
    GLint clearStencil;
    GLuint program;
    GLuint vao;
    GLuint drawFbo, readFbo;
    GLuint copyBuffer;
    GLuint arrayBuffer;
    GLuint renderbuffer;
    int activeUnit;
    GLuint unitTexture[GL_D3D_STAGES][2];  // 2-D and cube binding of each unit
  } gl;

  // sampler objects, one per stage, and their parameters as last sent
  GLuint samplers[GL_D3D_STAGES] = {};
  struct SamplerParams {
    GLint minFilter, magFilter, wrapS, wrapT, wrapR;
    DWORD border;
    float lodBias, minLod, anisotropy;
    GLint srgbDecode;
  } samplerGl[GL_D3D_STAGES];
  float maxAnisotropy = 1.0f;
  bool hasAnisotropy = false;
  bool hasSrgbDecode = false;
  bool hasMirrorClamp = false;
  bool hasResetStatus = false;
  bool hasS3tc = false;
  GLint depthBitsForBias = 24;

  // framebuffers per attachment set
  struct Framebuffer {
    GlSurface* colors[4];
    GlSurface* depth;
    GLuint fbo;
    bool complete;
  };
  std::vector<Framebuffer*> framebuffers;
  Framebuffer* currentFramebuffer = nullptr;

  // programs per (vertex, pixel) pair and vertex arrays per layout
  std::unordered_map<uint64_t, GlProgram*> programs;
  GlProgram* currentProgram = nullptr;
  std::unordered_map<GlVertexArrayKey, GlVertexArray, GlVertexArrayKeyHash> vertexArrays;
  GlVertexArray* currentVertexArray = nullptr;
  GlVertexArrayKey currentVertexArrayKey;
  uint64_t currentProgramKey = 0;
  uint64_t screenVersion = 0;

  // user-pointer draws stream through one buffer
  GLuint upBuffer = 0;
  uint64_t upSerial = 0;
  UINT upCapacity = 0;
  UINT upPosition = 0;

  GLuint blitFramebuffers[2] = {};
};

