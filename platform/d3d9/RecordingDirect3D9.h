#pragma once
// The recording implementation of Direct3D 9, for tests of the engine's rules
// without a GPU. Select it with d3d9SelectImplementation("recording") (or
// recordingSelect()) before the engine calls Direct3DCreate9.
//
// - Every call on the Direct3D object, the device and its resources is
//   appended to the process-wide log with its arguments, in order (AddRef and
//   Release are not logged: reference counts are inspected instead).
// - Queries are answered from the adapter description in recordingConfig():
//   display modes per format, depth/texture/back-buffer formats, caps.
// - The device keeps real state (its value states in the front end both
//   devices share, D3D9FrontEnd): render and sampler states, textures per
//   stage, render targets and depth surface (with references held as
//   Direct3D 9 holds them), viewport (reset to the whole target by
//   SetRenderTarget(0, ...)), constant registers, streams, indices,
//   declaration, shaders, scene bracket. Buffers and lockable textures have
//   real storage, so what is written through Lock can be read back.
// - Any call can be made to fail by name: recordingFailCall("CreateDevice"),
//   recordingFailCall("Present", D3DERR_DEVICELOST), ...
// - Invalid calls fail as Direct3D 9 fails them, through the checks the
//   OpenGL device makes too (platform/d3d9/D3D9Rules.h): out of range
//   registers, draws without a declaration, stream or index buffer, draws
//   outside the bound buffers, BeginScene twice, clearing a depth buffer that
//   does not exist, shader blobs that do not parse, ...
//
// Log lines read like the call: "SetRenderState(7, 1)",
// "SetTexture(0, Texture#12)", "Clear(0, null, 0x7, 0xff000000, 1, 0)",
// "SetViewport({0, 0, 256, 192, 0, 1})". Objects are named Kind#id, null
// pointers "null", enums and flags as decimal numbers except colours and flags
// of Clear/Lock/usage in hex, floats with %g. Calls on resources are logged
// as "Texture#12.LockRect(0, null, 0x0)".

#include "platform/d3d9/D3D9Adapter.h"
#include "platform/d3d9/D3D9Bindings.h"
#include "platform/d3d9/D3D9Rules.h"
#include "platform/d3d9/D3D9StateBlock.h"
#include "platform/d3d9/d3d9.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// --- configuration --------------------------------------------------------------
struct RecordingConfig {
  D3DDISPLAYMODE adapterMode;  // GetAdapterDisplayMode
  std::map<D3DFORMAT, std::vector<D3DDISPLAYMODE>> modes;  // EnumAdapterModes per format
  std::vector<D3DFORMAT> depthFormats;       // CheckDeviceFormat with D3DUSAGE_DEPTHSTENCIL
  std::vector<D3DFORMAT> textureFormats;     // CheckDeviceFormat for textures and cube textures
  std::vector<D3DFORMAT> renderTargetFormats;  // ... with D3DUSAGE_RENDERTARGET
  std::vector<D3DFORMAT> surfaceFormats;     // ... for D3DRTYPE_SURFACE without depth usage (e.g. 'INST')
  std::vector<D3DFORMAT> backBufferFormats;  // CheckDeviceType
  bool fullscreenAllowed = true;             // CheckDeviceType with bWindowed FALSE
  D3DCAPS9 caps;                             // GetDeviceCaps (both)
  UINT maxMultiSample = 4;                   // CheckDeviceMultiSampleType

  // The default adapter: 1920x1080 X8R8G8B8 desktop; modes 640x480 to
  // 1920x1080 at 60 Hz in X8R8G8B8 and R5G6B5 (none in A8R8G8B8, as real
  // adapters); depth D16, D24X8, D24S8, D32; the caps of d3d9Caps(), which
  // the OpenGL device reports too.
  static RecordingConfig defaults();
};

RecordingConfig& recordingConfig();
// The adapter facts of recordingConfig(), for Direct3D 9's rules.
const D3D9AdapterFacts& recordingAdapterFacts();

// --- the log ----------------------------------------------------------------------
struct RecordingCall {
  std::string object;  // "Direct3D9#1", "Device#2", "Texture#5"
  std::string method;  // "SetRenderState"
  std::string text;    // "SetRenderState(7, 1)" (object prefix for resources)
  HRESULT result;
};

class RecordingLog {
public:
  const std::vector<RecordingCall>& calls() const { return entries; }
  size_t size() const { return entries.size(); }
  void clear() { entries.clear(); }
  // The call texts from index `from` on.
  std::vector<std::string> texts(size_t from = 0) const;
  // Only the calls of one method (texts), from index `from` on.
  std::vector<std::string> textsOf(const char* method, size_t from = 0) const;
  size_t count(const char* method, size_t from = 0) const;
  // Index of the first call whose text equals `text` at or after `from`, or -1.
  long indexOf(const std::string& text, size_t from = 0) const;
  // The whole log, one call per line (for failure messages).
  std::string dump(size_t from = 0) const;

  void append(RecordingCall call) {
    if (enabled) entries.push_back(std::move(call));
  }
  // Off: calls are not kept (long runs such as benchmarks); state, validation
  // and failures work as before. recordingReset() turns it back on.
  void setEnabled(bool on) { enabled = on; }
  bool isEnabled() const { return enabled; }

private:
  std::vector<RecordingCall> entries;
  bool enabled = true;
};

RecordingLog& recordingLog();

// --- failures ----------------------------------------------------------------------
// Makes calls named `call` fail with `result`: `call` is a method name
// ("Present") or Kind.method ("IndexBuffer.Lock"), or "Direct3DCreate9" (which
// then returns null). The first `skip` matching calls succeed, then `times`
// calls fail (-1: every one). Failed calls are logged with their result and
// change no state.
void recordingFailCall(const char* call, HRESULT result = E_FAIL, int times = -1, int skip = 0);
void recordingClearFailures();

// --- process-wide control ------------------------------------------------------------
// Selects the recording implementation for Direct3DCreate9.
void recordingSelect();
// The entries of the table behind Direct3DCreate9 (platform/d3d9/backends).
IDirect3D9* recordingDirect3DCreate9(UINT sdkVersion);
bool recordingDeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out);
// Default configuration, empty log, no failures, object numbering from 1.
// Objects still alive stay valid.
void recordingReset();
// Recording objects currently alive (all kinds): 0 after a clean shutdown.
int recordingLiveObjects();
// Live objects as "Kind#id (refs n)" lines, for leak messages.
std::string recordingLiveObjectList();

class RecordingDevice;
// The most recently created device that is still alive, or null.
RecordingDevice* recordingDevice();

// --- objects ------------------------------------------------------------------------
// Common part of every recording object: its name and its reference count.
class RecordingObject {
public:
  RecordingObject(const char* kind);
  virtual ~RecordingObject();
  RecordingObject(const RecordingObject&) = delete;
  RecordingObject& operator=(const RecordingObject&) = delete;

  const std::string& name() const { return objectName; }  // "Texture#5"
  const char* kind() const { return objectKind; }
  int id() const { return objectId; }
  ULONG refCount() const { return refs; }

protected:
  ULONG addRefImpl() { return ++refs; }
  ULONG releaseImpl();
  // Called when the count reaches 0; deletes by default.
  virtual void lastReleased() { delete this; }
  // Logs a call of this object and returns `result`.
  HRESULT logCall(const char* method, const std::string& args, HRESULT result);
  // The configured failure for this call, or S_OK.
  HRESULT injected(const char* method);

private:
  const char* objectKind;
  int objectId;
  std::string objectName;
  ULONG refs = 1;
};

// Name of an object for log texts: "Texture#5" or "null".
std::string recordingName(IUnknown* object);
// The recording object behind an interface pointer, or null when it is not one.
RecordingObject* recordingObject(IUnknown* object);

class RecordingDirect3D9 : public IDirect3D9, public RecordingObject {
public:
  RecordingDirect3D9();
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
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
};

class RecordingSurface;
class RecordingTexture;
class RecordingCubeTexture;
class RecordingVertexBuffer;
class RecordingIndexBuffer;
class RecordingVertexDeclaration;
class RecordingVertexShader;
class RecordingPixelShader;

// The back end's classes, for the front end's bindings.
struct RecordingObjects {
  using Texture = RecordingObject;
  using VertexBuffer = RecordingVertexBuffer;
  using IndexBuffer = RecordingIndexBuffer;
  using Declaration = RecordingVertexDeclaration;
  using VertexShader = RecordingVertexShader;
  using PixelShader = RecordingPixelShader;
  using Surface = RecordingSurface;
};

class RecordingDevice : public D3D9Bindings<RecordingDevice, RecordingObjects>, public RecordingObject {
  using Bindings = D3D9Bindings<RecordingDevice, RecordingObjects>;

public:
  RecordingDevice(RecordingDirect3D9* d3d, HWND window, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& pp);
  ~RecordingDevice() override;

  // --- inspection (not logged) ---
  const D3DPRESENT_PARAMETERS& presentParameters() const { return pp; }
  DWORD behaviorFlags() const { return behavior; }
  HWND focusWindow() const { return window; }
  DWORD renderState(D3DRENDERSTATETYPE state) const { return renderStates[state & 255]; }
  DWORD samplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) const;
  DWORD stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const {
    return d3d9CheckSetTextureStageState("GetTextureStageState", stage, type) ? 0 : stageStates[stage][type];
  }
  const D3DMATRIX& transform(D3DTRANSFORMSTATETYPE state) const { return transforms[d3d9TransformIndex(state) & 511]; }
  const RECT& scissorRect() const { return scissorArea; }
  DWORD fvfCode() const { return fvf; }
  IDirect3DBaseTexture9* texture(DWORD stage) const;
  IDirect3DSurface9* renderTarget(DWORD index) const {
    return index < D3D9_RENDER_TARGETS ? (IDirect3DSurface9*)targets[index] : nullptr;
  }
  IDirect3DSurface9* depthStencil() const { return (IDirect3DSurface9*)depth; }
  IDirect3DSurface9* backBuffer() const { return (IDirect3DSurface9*)back; }
  const D3DVIEWPORT9& viewport() const { return view; }
  const float* vertexConstant(UINT reg) const {
    return reg < D3D9_VERTEX_SHADER_CONSTANT_REGISTERS ? vsConstants[reg] : nullptr;
  }
  const float* pixelConstant(UINT reg) const {
    return reg < D3D9_PIXEL_SHADER_CONSTANT_REGISTERS ? psConstants[reg] : nullptr;
  }
  IDirect3DVertexBuffer9* streamSource(UINT stream) const {
    return stream < D3D9_STREAMS ? (IDirect3DVertexBuffer9*)streams[stream].buffer : nullptr;
  }
  UINT streamStride(UINT stream) const { return stream < D3D9_STREAMS ? streams[stream].stride : 0; }
  IDirect3DIndexBuffer9* indices() const { return (IDirect3DIndexBuffer9*)indexBuffer; }
  IDirect3DVertexDeclaration9* vertexDeclaration() const { return (IDirect3DVertexDeclaration9*)declaration; }
  IDirect3DVertexShader9* vertexShader() const { return (IDirect3DVertexShader9*)vs; }
  IDirect3DPixelShader9* pixelShader() const { return (IDirect3DPixelShader9*)ps; }
  bool inScene() const { return sceneOpen; }
  int presentCount() const { return presents; }
  int drawCount() const { return draws; }
  // The vertex bytes of the last successful DrawPrimitiveUP (the caller's
  // memory is gone once the call returns).
  const std::vector<uint8_t>& lastUserVertices() const { return userVertices; }

  // --- IDirect3DDevice9 ---
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
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
  HRESULT SetFVF(DWORD FVF) override;
  HRESULT GetFVF(DWORD* pFVF) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetScissorRect(const RECT* pRect) override;
  HRESULT GetScissorRect(RECT* pRect) override;
  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) override;

  // --- D3D9StateOwner: a block's Capture and Apply are logged ---
  void copyStates(D3D9States& out) override;
  void setStates(const D3D9States& states) override;

  // Resources keep the device alive (not counted in the public reference
  // count) so that GetDevice stays valid after the engine released it.
  void resourceCreated() { ++liveResources; }
  void resourceDestroyed();

  // --- for the front end's bindings ---
  template <class T, class I>
  T* own(I* object) const {
    return dynamic_cast<T*>(recordingObject(object));
  }
  RecordingObject* ownTexture(IDirect3DBaseTexture9* texture) const;
  RecordingSurface* ownSurface(IDirect3DSurface9* surface) const;
  static const D3DSURFACE_DESC& surfaceDesc(const RecordingSurface& surface);
  static uint32_t streamMask(const RecordingVertexDeclaration& declaration);
  RecordingVertexDeclaration* newDeclaration(const D3DVERTEXELEMENT9* elements, UINT count);

protected:
  void lastReleased() override;

private:
  // A call of the front end, logged with its arguments unless a failure was
  // injected for it.
  template <typename Call>
  HRESULT traced(const char* method, const std::string& args, Call&& call) {
    if (HRESULT hr = injected(method)) return logCall(method, args, hr);
    return logCall(method, args, call());
  }


  RecordingDirect3D9* d3d;
  HWND window;
  D3DPRESENT_PARAMETERS pp;
  D3DCAPS9 caps;
  RecordingSurface* back = nullptr;
  RecordingSurface* autoDepth = nullptr;
  bool released = false;
  int liveResources = 0;
  int presents = 0;
  int draws = 0;
  std::vector<uint8_t> userVertices;
};

// Resources. Inspection beyond the interfaces: the description, the storage.
class RecordingSurface : public IDirect3DSurface9, public RecordingObject {
public:
  // A surface of a texture level (container non-null) or standalone.
  RecordingSurface(RecordingDevice* device, const D3DSURFACE_DESC& desc, IUnknown* container, bool lockable,
                   std::vector<uint8_t>* storage, UINT pitch);
  ~RecordingSurface() override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  const D3DSURFACE_DESC& desc() const { return surfaceDesc; }
  IUnknown* container() const { return owner; }
  // Lock and unlock without a log line (texture LockRect goes through these).
  HRESULT lockUnlogged(D3DLOCKED_RECT* pLockedRect, const RECT* pRect);
  HRESULT unlockUnlogged();
  std::vector<uint8_t>* storage() const { return bits; }
  UINT pitch() const { return rowPitch; }

private:
  RecordingDevice* device;
  D3DSURFACE_DESC surfaceDesc;
  IUnknown* owner;
  bool lockable;
  bool locked = false;
  std::vector<uint8_t> ownStorage;
  std::vector<uint8_t>* bits;
  UINT rowPitch;
};

class RecordingTexture : public IDirect3DTexture9, public RecordingObject {
public:
  RecordingTexture(RecordingDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                   D3DPOOL pool);
  ~RecordingTexture() override;
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override;
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;

  // The bytes of a level (rows at d3d9Pitch), empty when not lockable.
  const std::vector<uint8_t>& levelData(UINT level) const { return levels[level].data; }
  RecordingSurface* level(UINT level) const { return levels[level].surface; }

private:
  friend class RecordingSurface;
  struct Level {
    std::vector<uint8_t> data;
    RecordingSurface* surface;
  };
  RecordingDevice* device;
  std::vector<Level> levels;
};

class RecordingCubeTexture : public IDirect3DCubeTexture9, public RecordingObject {
public:
  RecordingCubeTexture(RecordingDevice* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                       D3DPOOL pool);
  ~RecordingCubeTexture() override;
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
  DWORD GetLevelCount() override;
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) override;
  HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                   DWORD Flags) override;
  HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;

  const std::vector<uint8_t>& levelData(UINT face, UINT level) const { return faces[face][level].data; }

private:
  struct Level {
    std::vector<uint8_t> data;
    RecordingSurface* surface;
  };
  RecordingDevice* device;
  UINT levelCount;
  std::vector<Level> faces[6];
};

class RecordingVertexBuffer : public IDirect3DVertexBuffer9, public RecordingObject, public D3D9BufferBytes {
public:
  RecordingVertexBuffer(RecordingDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  ~RecordingVertexBuffer() override;
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

private:
  RecordingDevice* device;
  D3DVERTEXBUFFER_DESC bufferDesc;
};

class RecordingIndexBuffer : public IDirect3DIndexBuffer9, public RecordingObject, public D3D9BufferBytes {
public:
  RecordingIndexBuffer(RecordingDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~RecordingIndexBuffer() override;
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

private:
  RecordingDevice* device;
  D3DINDEXBUFFER_DESC bufferDesc;
};

class RecordingVertexDeclaration : public IDirect3DVertexDeclaration9, public RecordingObject {
public:
  RecordingVertexDeclaration(RecordingDevice* device, const D3DVERTEXELEMENT9* elements, UINT count);
  ~RecordingVertexDeclaration() override;
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;

  // The elements without the end marker, and the streams they read.
  const std::vector<D3DVERTEXELEMENT9>& elements() const { return items; }
  uint32_t streams() const { return streamMask; }

private:
  RecordingDevice* device;
  std::vector<D3DVERTEXELEMENT9> items;
  uint32_t streamMask;
};

// Shaders keep a copy of the blob (platform/d3d9/ShaderBlob.h).
class RecordingVertexShader : public IDirect3DVertexShader9, public RecordingObject {
public:
  RecordingVertexShader(RecordingDevice* device, const DWORD* function, UINT bytes);
  ~RecordingVertexShader() override;
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT GetFunction(void* pData, UINT* pSizeOfData) override;
  const std::vector<DWORD>& blob() const { return code; }

private:
  RecordingDevice* device;
  std::vector<DWORD> code;
};

class RecordingPixelShader : public IDirect3DPixelShader9, public RecordingObject {
public:
  RecordingPixelShader(RecordingDevice* device, const DWORD* function, UINT bytes);
  ~RecordingPixelShader() override;
  ULONG AddRef() override { return addRefImpl(); }
  ULONG Release() override { return releaseImpl(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT GetFunction(void* pData, UINT* pSizeOfData) override;
  const std::vector<DWORD>& blob() const { return code; }

private:
  RecordingDevice* device;
  std::vector<DWORD> code;
};
