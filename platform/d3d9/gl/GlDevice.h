#pragma once
// Internal classes of the OpenGL device: the Direct3D object and the device.
// Shared by the Gl*.cpp sources of this folder only. The device's sources,
// one concern each: GlDevice.cpp (lifetime), GlStates.cpp (Direct3D states
// and the GL state they become), GlPrograms.cpp (shaders, GLSL and programs),
// GlVertexInput.cpp (buffers, declarations, vertex arrays and draws),
// GlTargets.cpp (targets, clears, copies and Present), GlResources.cpp
// (surfaces and textures); the GL state cache is GlStateCache.

#include "platform/d3d9/D3D9Adapter.h"
#include "platform/d3d9/D3D9Bindings.h"
#include "platform/d3d9/D3D9Rules.h"
#include "platform/d3d9/D3D9StateBlock.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/gl/GlContext.h"
#include "platform/d3d9/gl/GlDirect3D9.h"
#include "platform/d3d9/gl/GlResources.h"
#include "platform/d3d9/gl/GlStateCache.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// --- the Direct3D object -------------------------------------------------------
class GlDirect3D9 : public IDirect3D9, public D3D9AdapterFacts {
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

  // What SDL's display and the GL formats offer (modes ascending).
  bool desktopMode(D3DDISPLAYMODE* mode) const override;
  std::vector<D3DDISPLAYMODE> displayModes(D3DFORMAT format) const override;
  bool backBufferFormat(D3DFORMAT format) const override;
  D3D9FormatSupport formatSupport(D3DFORMAT format) const override;
  UINT maxSamples(D3DFORMAT format) const override;
  bool clientSize(HWND window, UINT* width, UINT* height) const override;
  const D3DCAPS9& caps() const override { return d3d9Caps(); }

private:
  ~GlDirect3D9() override = default;
  ULONG refs = 1;
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
  GLint pixelOffset = -1;                 // every other vertex stage: Direct3D's pixel centres
  uint64_t screenVersion = 0;             // viewport version either was filled from
  GLint worldViewProjection = -1;         // fixed-function vertex stage
  uint64_t transformVersion = 0;
  GLint stagesBound = -1;                 // fixed-function pixel stages: 2-D textures bound, one bit each
  int stagesValue = -1;
  GLint textureFactor = -1;
  uint64_t textureFactorValue = ~0ull;
  GLint alphaRef = -1;                    // alpha-test variants
  uint64_t alphaRefValue = ~0ull;
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
  } streams[D3D9_STREAMS];
  bool operator==(const GlVertexArrayKey& o) const;
};
struct GlVertexArrayKeyHash {
  size_t operator()(const GlVertexArrayKey& k) const;
};

// The pixel stage that stands in for the fixed-function texture stages of a
// configuration (GlDevice::stageConfiguration): uniforms and main, without
// the version line and inputs. `input(name)` reads a varying as a vec4
// expression (and declares it).
std::string glFixedFunctionPixelSource(const std::vector<DWORD>& config,
                                       const std::function<std::string(const std::string&)>& input);

// The largest rectangle of a width x height picture's shape inside an area
// of areaWidth x areaHeight, centred in it.
RECT glFittedRect(LONG width, LONG height, int areaWidth, int areaHeight);

// The back end's classes, for the front end's bindings.
struct GlObjects {
  using Texture = GlTextureCore;
  using VertexBuffer = GlVertexBuffer;
  using IndexBuffer = GlIndexBuffer;
  using Declaration = GlVertexDeclaration;
  using VertexShader = GlVertexShader;
  using PixelShader = GlPixelShader;
  using Surface = GlSurface;
};

class GlDevice : public D3D9Bindings<GlDevice, GlObjects> {
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
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                               UINT NumVertices, UINT startIndex, UINT primCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                          UINT VertexStreamZeroStride) override;
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                  IDirect3DVertexDeclaration9** ppDecl) override;
  HRESULT CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
  HRESULT CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) override;


 protected:
  // --- what the front end tells ---
  void renderStateChanged(D3DRENDERSTATETYPE state) override;
  void samplerStateChanged(int samplerIndex) override { dirtySamplers |= 1u << samplerIndex; }
  void stageStateChanged() override;
  void transformChanged() override { ++transformVersion; }
  void constantsChanged(bool pixel) override { ++(pixel ? psVersion : vsVersion); }
  void viewportChanged() override { dirty |= DirtyViewport; }
  void scissorChanged() override { dirty |= DirtyScissor; }
  void textureChanged(int stage, GlTextureCore* own) override;
  void streamChanged() override { dirty |= DirtyVertexArray; }
  void declarationChanging(GlVertexDeclaration* next) override;
  void shaderChanged() override { dirty |= DirtyProgram; }
  void targetChanged(DWORD index) override { dirty |= DirtyFramebuffer | (index > 0 ? DirtyColorMask : 0u); }
  void depthChanged() override { dirty |= DirtyFramebuffer | DirtyRaster; }

 public:

  // --- for resources ---
  void resourceCreated() { ++liveResources; }
  void resourceDestroyed();
  bool makeCurrent();
  // Forget GL objects built around a resource that is going away.
  void forgetSurface(const GlSurface* surface);
  void forgetBuffer(uint64_t serial, bool indexBuffer);
  void forgetDeclaration(uint64_t serial);
  void forgetShader(uint64_t serial);
  // The GL state as sent; every GL state call goes through it.
  GlStateCache& glState() { return gl; }
  // Binds a texture for an update through whichever unit is active; the
  // stage bound there is bound again before the next draw.
  void bindTextureForUpdate(GLenum target, GLuint texture);
  // Blits between framebuffers outside the draw state (scissor, sRGB off,
  // full colour mask).
  void prepareBlit();
  // glBlitFramebuffer between the bound framebuffers, counted.
  void blit(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1, GLenum filter);
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
  friend class D3D9Bindings<GlDevice, GlObjects>;
  // For the front end's bindings:
  // An argument as this device's object of class T, or null (null, or
  // another device's).
  template <typename T, typename I>
  T* own(I* object) const {
    T* t = object ? dynamic_cast<T*>(object) : nullptr;
    return t && t->device == this ? t : nullptr;
  }
  GlTextureCore* ownTexture(IDirect3DBaseTexture9* texture) const;
  GlVertexDeclaration* newDeclaration(const D3DVERTEXELEMENT9* elements, UINT count);
  void releaseBindings();
  // Hands out a new resource, or releases it when GL refused its storage.
  template <typename T, typename I>
  static HRESULT handOut(T* object, bool stored, I** out) {
    if (!stored) {
      object->Release();
      return D3DERR_OUTOFVIDEOMEMORY;
    }
    *out = object;
    return D3D_OK;
  }

  // draw preparation
  HRESULT prepareDraw(UINT upStride);
  void applyRenderStates();
  void applyFramebuffer();
  void applyViewport();
  void applyTextures();
  void applySamplers();
  GLint glAddress(DWORD address) const;  // D3DTADDRESS_* as a GL wrap mode
  bool applyProgram();
  void applyVertexArray(UINT upStride);
  HRESULT checkFramebuffer();
  template <typename Shader, typename Interface>
  HRESULT createShader(const DWORD* function, Interface** out, bool pixel);
  GlProgram* linkProgram(uint64_t key, DWORD alphaFunc);
  // The fixed-function pixel stages as a small number: configurations are
  // numbered in the order they are first drawn with.
  uint32_t stageConfiguration();
  // The texture coordinate sets the stages of a configuration read.
  std::vector<DWORD> stageTexCoords(uint32_t configuration) const;
  void uploadConstants(GlProgram* p);
  void destroyPrograms();
  // The scissor test on the rectangle, or off.
  void scissor(bool on, GLint x, GLint y, GLsizei w, GLsizei h);
  // A surface argument for the shared checks: null unless it is this device's.
  GlSurface* ownSurface(IDirect3DSurface9* surface) const;
  static const D3DSURFACE_DESC& surfaceDesc(const GlSurface& surface) { return surface.desc; }
  static uint32_t streamMask(const GlVertexDeclaration& declaration) { return declaration.streamMask; }
  // The device's answers for resource formats and multisample types.
  bool textureFormatOk(D3DFORMAT format, DWORD usage) const;
  bool multisampleOk(D3DFORMAT format, D3DMULTISAMPLE_TYPE type) const;

  // lifetime
  ULONG refs = 1;
  int liveResources = 0;
  bool released = false;
  GlDirect3D9* d3d;
  HWND focusWindow;
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
  GlTextureCore* textureCores[D3D9_STAGES] = {};
  GlSurface* back = nullptr;
  GlSurface* autoDepth = nullptr;
  uint64_t vsVersion = 1, psVersion = 1;
  uint64_t transformVersion = 1;
  std::vector<std::vector<DWORD>> stageConfigurations;

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

  // GL state as last sent, and the sampler object of each stage
  GlStateCache gl{stats.stateCalls, stats.stateCallsSkipped};
  GLuint samplers[D3D9_STAGES] = {};
  float maxAnisotropy = 1.0f;
  bool hasAnisotropy = false;
  bool hasSrgbDecode = false;
  bool hasMirrorClamp = false;
  bool hasResetStatus = false;
  bool hasS3tc = false;

  // framebuffers per attachment set
  struct Framebuffer {
    GlSurface* colors[D3D9_RENDER_TARGETS];
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

  // user-pointer draws stream through one buffer
  GLuint upBuffer = 0;
  uint64_t upSerial = 0;
  UINT upCapacity = 0;
  UINT upPosition = 0;

  GLuint blitFramebuffers[2] = {};
};

