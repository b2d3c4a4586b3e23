// The recording IDirect3DDevice9: logs every call, keeps the device state and
// refuses calls through the checks every device shares (D3D9Rules.h).

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/RecordingInternal.h"
#include "platform/d3d9/ShaderBlob.h"

#include <cstring>

using namespace rec;

namespace {
RecordingDevice*& lastDevice() {
  static RecordingDevice* device = nullptr;
  return device;
}

RecordingSurface* asSurface(IDirect3DSurface9* s) { return dynamic_cast<RecordingSurface*>(recordingObject(s)); }

const D3DSURFACE_DESC* descOf(RecordingSurface* s) { return s ? &s->desc() : nullptr; }

D3D9SurfaceArg argOf(RecordingSurface* s) { return {descOf(s), s && s->container()}; }
}  // namespace

RecordingDevice* recordingDevice() { return lastDevice(); }
void recordingDeviceCreated(RecordingDevice* device) { lastDevice() = device; }
void recordingDeviceDestroyed(RecordingDevice* device) {
  if (lastDevice() == device) lastDevice() = nullptr;
}

RecordingDevice::RecordingDevice(RecordingDirect3D9* owner, HWND focus, DWORD flags,
                                 const D3DPRESENT_PARAMETERS& params)
    : Bindings(flags, params), RecordingObject("Device"), d3d(owner), window(focus), pp(params) {
  d3d->AddRef();
  caps = recordingConfig().caps;

  // The swap chain's back buffer and the automatic depth-stencil surface
  // belong to the device; the device also holds them as its current targets.
  back = new RecordingSurface(this, d3d9BackBufferDesc(pp), nullptr, (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0,
                              nullptr, 0);
  if (pp.EnableAutoDepthStencil)
    autoDepth = new RecordingSurface(this, d3d9AutoDepthStencilDesc(pp), nullptr, false, nullptr, 0);
  bindSwapChain(back, autoDepth);
  recordingDeviceCreated(this);
}

RecordingSurface* RecordingDevice::ownSurface(IDirect3DSurface9* surface) const { return asSurface(surface); }

const D3DSURFACE_DESC& RecordingDevice::surfaceDesc(const RecordingSurface& surface) { return surface.desc(); }

uint32_t RecordingDevice::streamMask(const RecordingVertexDeclaration& declaration) { return declaration.streams(); }

RecordingObject* RecordingDevice::ownTexture(IDirect3DBaseTexture9* texture) const { return recordingObject(texture); }

RecordingVertexDeclaration* RecordingDevice::newDeclaration(const D3DVERTEXELEMENT9* elements, UINT count) {
  return new RecordingVertexDeclaration(this, elements, count);
}

RecordingDevice::~RecordingDevice() {
  recordingDeviceDestroyed(this);
  d3d->Release();
}

void RecordingDevice::lastReleased() {
  released = true;
  recordingDeviceDestroyed(this);
  ++liveResources;  // keeps this object alive while the bindings below go
  releaseObjects();
  if (back) back->Release();
  back = nullptr;
  if (autoDepth) autoDepth->Release();
  autoDepth = nullptr;
  resourceDestroyed();
}

void RecordingDevice::resourceDestroyed() {
  if (--liveResources == 0 && released) delete this;
}

DWORD RecordingDevice::samplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) const {
  if (d3d9CheckSetSamplerState("GetSamplerState", sampler, type)) return 0;
  return samplerStates[d3d9StageIndex(sampler)][type];
}

IDirect3DBaseTexture9* RecordingDevice::texture(DWORD stage) const {
  int i = d3d9StageIndex(stage);
  return i < 0 ? nullptr : textures[i];
}

HRESULT RecordingDevice::TestCooperativeLevel() {
  if (HRESULT hr = injected("TestCooperativeLevel")) return logCall("TestCooperativeLevel", "", hr);
  return logCall("TestCooperativeLevel", "", S_OK);
}

HRESULT RecordingDevice::GetDirect3D(IDirect3D9** ppD3D9) {
  std::string a = p(ppD3D9);
  if (HRESULT hr = injected("GetDirect3D")) return logCall("GetDirect3D", a, hr);
  if (HRESULT hr = d3d9CheckOut(__func__, ppD3D9)) return logCall("GetDirect3D", a, hr);
  d3d->AddRef();
  *ppD3D9 = d3d;
  return logCall("GetDirect3D", a, S_OK);
}

HRESULT RecordingDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
  std::string a = p(pCaps);
  if (HRESULT hr = injected("GetDeviceCaps")) return logCall("GetDeviceCaps", a, hr);
  if (HRESULT hr = d3d9CheckOut(__func__, pCaps)) return logCall("GetDeviceCaps", a, hr);
  *pCaps = caps;
  return logCall("GetDeviceCaps", a, S_OK);
}

HRESULT RecordingDevice::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
  std::string a = args(u(iSwapChain), p(pMode));
  if (HRESULT hr = injected("GetDisplayMode")) return logCall("GetDisplayMode", a, hr);
  if (HRESULT hr = d3d9CheckGetDisplayMode(__func__, iSwapChain, pMode)) return logCall("GetDisplayMode", a, hr);
  if (pp.Windowed)
    *pMode = recordingConfig().adapterMode;
  else
    *pMode = {pp.BackBufferWidth, pp.BackBufferHeight, pp.FullScreen_RefreshRateInHz,
              pp.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : pp.BackBufferFormat};
  return logCall("GetDisplayMode", a, S_OK);
}

HRESULT RecordingDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                                 const RGNDATA* pDirtyRegion) {
  std::string a = args(rect(pSourceRect), rect(pDestRect), p(hDestWindowOverride), p(pDirtyRegion));
  if (HRESULT hr = injected("Present")) return logCall("Present", a, hr);
  if (HRESULT hr = d3d9CheckPresent(__func__, pSourceRect, back->desc())) return logCall("Present", a, hr);
  ++presents;
  return logCall("Present", a, S_OK);
}

HRESULT RecordingDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                       IDirect3DSurface9** ppBackBuffer) {
  std::string a = args(u(iSwapChain), u(iBackBuffer), u(Type), p(ppBackBuffer));
  if (ppBackBuffer) *ppBackBuffer = nullptr;
  if (HRESULT hr = injected("GetBackBuffer")) return logCall("GetBackBuffer", a, hr);
  if (HRESULT hr = d3d9CheckGetBackBuffer(__func__, iSwapChain, iBackBuffer, Type, pp.BackBufferCount, ppBackBuffer))
    return logCall("GetBackBuffer", a, hr);
  back->AddRef();
  *ppBackBuffer = back;
  return logCall("GetBackBuffer", a, S_OK);
}

// --- resources ---------------------------------------------------------------------
static bool textureFormatAllowed(DWORD usage, D3DFORMAT format) {
  return d3d9FormatAllows(recordingAdapterFacts(), usage, D3DRTYPE_TEXTURE, format);
}

static bool multiSampleAllowed(D3DFORMAT format, D3DMULTISAMPLE_TYPE type) {
  return d3d9MultiSampleAllowed(recordingAdapterFacts(), format, type, 0);
}

HRESULT RecordingDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                       D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  std::string a = args(u(Width), u(Height), u(Levels), x(Usage), u(Format), u(Pool), p(ppTexture), p(pSharedHandle));
  if (ppTexture) *ppTexture = nullptr;
  if (HRESULT hr = injected("CreateTexture")) return logCall("CreateTexture", a, hr);
  if (HRESULT hr = d3d9CheckCreateTexture(__func__, Width, Height, Levels, Usage, Pool, textureFormatAllowed(Usage, Format),
                                          ppTexture, pSharedHandle))
    return logCall("CreateTexture", a, hr);
  *ppTexture = new RecordingTexture(this, Width, Height, d3d9LevelCount(Width, Height, Levels, Usage), Usage, Format,
                                    Pool);
  return logCall("CreateTexture", a + " -> " + recordingName(*ppTexture), S_OK);
}

HRESULT RecordingDevice::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                           IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) {
  std::string a = args(u(EdgeLength), u(Levels), x(Usage), u(Format), u(Pool), p(ppCubeTexture), p(pSharedHandle));
  if (ppCubeTexture) *ppCubeTexture = nullptr;
  if (HRESULT hr = injected("CreateCubeTexture")) return logCall("CreateCubeTexture", a, hr);
  if (HRESULT hr = d3d9CheckCreateCubeTexture(__func__, EdgeLength, Levels, Usage, Pool, textureFormatAllowed(Usage, Format),
                                              ppCubeTexture, pSharedHandle))
    return logCall("CreateCubeTexture", a, hr);
  *ppCubeTexture = new RecordingCubeTexture(this, EdgeLength, d3d9LevelCount(EdgeLength, EdgeLength, Levels, Usage),
                                            Usage, Format, Pool);
  return logCall("CreateCubeTexture", a + " -> " + recordingName(*ppCubeTexture), S_OK);
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                            IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  std::string a = args(u(Length), x(Usage), x(FVF), u(Pool), p(ppVertexBuffer), p(pSharedHandle));
  if (ppVertexBuffer) *ppVertexBuffer = nullptr;
  if (HRESULT hr = injected("CreateVertexBuffer")) return logCall("CreateVertexBuffer", a, hr);
  if (HRESULT hr = d3d9CheckCreateVertexBuffer(__func__, Length, Usage, FVF, Pool, ppVertexBuffer, pSharedHandle))
    return logCall("CreateVertexBuffer", a, hr);
  *ppVertexBuffer = new RecordingVertexBuffer(this, Length, Usage, FVF, Pool);
  return logCall("CreateVertexBuffer", a + " -> " + recordingName(*ppVertexBuffer), S_OK);
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                           IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  std::string a = args(u(Length), x(Usage), u(Format), u(Pool), p(ppIndexBuffer), p(pSharedHandle));
  if (ppIndexBuffer) *ppIndexBuffer = nullptr;
  if (HRESULT hr = injected("CreateIndexBuffer")) return logCall("CreateIndexBuffer", a, hr);
  if (HRESULT hr = d3d9CheckCreateIndexBuffer(__func__, Length, Usage, Format, Pool, ppIndexBuffer, pSharedHandle))
    return logCall("CreateIndexBuffer", a, hr);
  *ppIndexBuffer = new RecordingIndexBuffer(this, Length, Usage, Format, Pool);
  return logCall("CreateIndexBuffer", a + " -> " + recordingName(*ppIndexBuffer), S_OK);
}

HRESULT RecordingDevice::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                            DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                                            HANDLE* pSharedHandle) {
  std::string a = args(u(Width), u(Height), u(Format), u(MultiSample), u(MultisampleQuality), u(Lockable),
                       p(ppSurface), p(pSharedHandle));
  if (ppSurface) *ppSurface = nullptr;
  if (HRESULT hr = injected("CreateRenderTarget")) return logCall("CreateRenderTarget", a, hr);
  if (HRESULT hr = d3d9CheckCreateRenderTarget(__func__, Width, Height, MultiSample, MultisampleQuality, Lockable,
                                               d3d9FormatAllows(recordingAdapterFacts(), D3DUSAGE_RENDERTARGET,
                                                                D3DRTYPE_SURFACE, Format),
                                               multiSampleAllowed(Format, MultiSample), ppSurface,
                                               pSharedHandle))
    return logCall("CreateRenderTarget", a, hr);
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, MultiSample,
                       MultisampleQuality, Width, Height};
  *ppSurface = new RecordingSurface(this, d, nullptr, Lockable != 0, nullptr, 0);
  return logCall("CreateRenderTarget", a + " -> " + recordingName(*ppSurface), S_OK);
}

HRESULT RecordingDevice::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                   D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                                   BOOL Discard, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  std::string a = args(u(Width), u(Height), u(Format), u(MultiSample), u(MultisampleQuality), u(Discard),
                       p(ppSurface), p(pSharedHandle));
  if (ppSurface) *ppSurface = nullptr;
  if (HRESULT hr = injected("CreateDepthStencilSurface")) return logCall("CreateDepthStencilSurface", a, hr);
  if (HRESULT hr = d3d9CheckCreateDepthStencilSurface(__func__, Width, Height, MultisampleQuality,
                                                      d3d9FormatAllows(recordingAdapterFacts(), D3DUSAGE_DEPTHSTENCIL,
                                                                       D3DRTYPE_SURFACE, Format),
                                                      multiSampleAllowed(Format, MultiSample), ppSurface,
                                                      pSharedHandle))
    return logCall("CreateDepthStencilSurface", a, hr);
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, MultiSample,
                       MultisampleQuality, Width, Height};
  *ppSurface = new RecordingSurface(this, d, nullptr, false, nullptr, 0);
  return logCall("CreateDepthStencilSurface", a + " -> " + recordingName(*ppSurface), S_OK);
}

HRESULT RecordingDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                                     IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  std::string a = args(u(Width), u(Height), u(Format), u(Pool), p(ppSurface), p(pSharedHandle));
  if (ppSurface) *ppSurface = nullptr;
  if (HRESULT hr = injected("CreateOffscreenPlainSurface")) return logCall("CreateOffscreenPlainSurface", a, hr);
  if (HRESULT hr = d3d9CheckCreateOffscreenPlainSurface(__func__, Width, Height, Format, Pool, true, ppSurface, pSharedHandle))
    return logCall("CreateOffscreenPlainSurface", a, hr);
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, 0, Pool, D3DMULTISAMPLE_NONE, 0, Width, Height};
  *ppSurface = new RecordingSurface(this, d, nullptr, true, nullptr, 0);
  return logCall("CreateOffscreenPlainSurface", a + " -> " + recordingName(*ppSurface), S_OK);
}

HRESULT RecordingDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) {
  std::string a = args(obj(pRenderTarget), obj(pDestSurface));
  if (HRESULT hr = injected("GetRenderTargetData")) return logCall("GetRenderTargetData", a, hr);
  RecordingSurface* dst = asSurface(pDestSurface);
  if (HRESULT hr = d3d9CheckGetRenderTargetData(__func__, argOf(asSurface(pRenderTarget)), argOf(dst)))
    return logCall("GetRenderTargetData", a, hr);
  // The recording device draws nothing: the copy reads back zeros.
  if (dst->storage()) std::fill(dst->storage()->begin(), dst->storage()->end(), 0);
  return logCall("GetRenderTargetData", a, S_OK);
}

HRESULT RecordingDevice::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                     IDirect3DSurface9* pDestSurface, const RECT* pDestRect,
                                     D3DTEXTUREFILTERTYPE Filter) {
  std::string a = args(obj(pSourceSurface), rect(pSourceRect), obj(pDestSurface), rect(pDestRect), u(Filter));
  if (HRESULT hr = injected("StretchRect")) return logCall("StretchRect", a, hr);
  return logCall("StretchRect", a,
                 d3d9CheckStretchRect(__func__, argOf(asSurface(pSourceSurface)), pSourceRect, argOf(asSurface(pDestSurface)),
                                      pDestRect, Filter));
}

// --- targets and viewport -------------------------------------------------------------
HRESULT RecordingDevice::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
  return traced("SetRenderTarget", args(u(RenderTargetIndex), obj(pRenderTarget)),
                [&] { return Bindings::SetRenderTarget(RenderTargetIndex, pRenderTarget); });
}

// The surface handed out shows in the log: "GetRenderTarget(0, ptr) -> Surface#3".
HRESULT RecordingDevice::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) {
  std::string a = args(u(RenderTargetIndex), p(ppRenderTarget));
  if (ppRenderTarget) *ppRenderTarget = nullptr;
  if (HRESULT hr = injected("GetRenderTarget")) return logCall("GetRenderTarget", a, hr);
  HRESULT hr = Bindings::GetRenderTarget(RenderTargetIndex, ppRenderTarget);
  return logCall("GetRenderTarget", hr == S_OK ? a + " -> " + recordingName(*ppRenderTarget) : a, hr);
}

HRESULT RecordingDevice::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
  return traced("SetDepthStencilSurface", obj(pNewZStencil),
                [&] { return Bindings::SetDepthStencilSurface(pNewZStencil); });
}

HRESULT RecordingDevice::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
  std::string a = p(ppZStencilSurface);
  if (ppZStencilSurface) *ppZStencilSurface = nullptr;
  if (HRESULT hr = injected("GetDepthStencilSurface")) return logCall("GetDepthStencilSurface", a, hr);
  HRESULT hr = Bindings::GetDepthStencilSurface(ppZStencilSurface);
  return logCall("GetDepthStencilSurface", hr == S_OK ? a + " -> " + recordingName(*ppZStencilSurface) : a, hr);
}

HRESULT RecordingDevice::BeginScene() {
  return traced("BeginScene", "", [&] { return Bindings::BeginScene(); });
}

HRESULT RecordingDevice::EndScene() {
  return traced("EndScene", "", [&] { return Bindings::EndScene(); });
}

HRESULT RecordingDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                               DWORD Stencil) {
  std::string a = args(u(Count), p(pRects), x(Flags), x(Color), f(Z), u(Stencil));
  if (HRESULT hr = injected("Clear")) return logCall("Clear", a, hr);
  return logCall("Clear", a, checkClear(__func__, Count, pRects, Flags, Z));
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT9* v) {
  std::string a = v ? std::string("{") + args(u(v->X), u(v->Y), u(v->Width), u(v->Height), f(v->MinZ), f(v->MaxZ)) + "}" : "null";
  return traced("SetViewport", a, [&] { return D3D9FrontEnd::SetViewport(v); });
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT9* pViewport) {
  return traced("GetViewport", p(pViewport), [&] { return D3D9FrontEnd::GetViewport(pViewport); });
}

// --- states ------------------------------------------------------------------------
HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  return traced("SetRenderState", args(u(State), u(Value)), [&] { return D3D9FrontEnd::SetRenderState(State, Value); });
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  return traced("GetRenderState", args(u(State), p(pValue)), [&] { return D3D9FrontEnd::GetRenderState(State, pValue); });
}

HRESULT RecordingDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  if (ppTexture) *ppTexture = nullptr;
  return traced("GetTexture", args(u(Stage), p(ppTexture)), [&] { return Bindings::GetTexture(Stage, ppTexture); });
}

HRESULT RecordingDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  return traced("SetTexture", args(u(Stage), obj(pTexture)), [&] { return Bindings::SetTexture(Stage, pTexture); });
}

HRESULT RecordingDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  return traced("GetSamplerState", args(u(Sampler), u(Type), p(pValue)),
                [&] { return D3D9FrontEnd::GetSamplerState(Sampler, Type, pValue); });
}

HRESULT RecordingDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  return traced("SetSamplerState", args(u(Sampler), u(Type), Type == D3DSAMP_BORDERCOLOR ? x(Value) : u(Value)),
                [&] { return D3D9FrontEnd::SetSamplerState(Sampler, Type, Value); });
}

// --- draws -------------------------------------------------------------------------
HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  std::string a = args(u(PrimitiveType), u(StartVertex), u(PrimitiveCount));
  if (HRESULT hr = injected("DrawPrimitive")) return logCall("DrawPrimitive", a, hr);
  HRESULT hr = checkDraw(__func__, {PrimitiveType, PrimitiveCount, false, 0, StartVertex, 0, 0});
  if (hr == S_OK) ++draws;
  return logCall("DrawPrimitive", a, hr);
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                              UINT NumVertices, UINT startIndex, UINT primCount) {
  std::string a = args(u(PrimitiveType), i(BaseVertexIndex), u(MinVertexIndex), u(NumVertices), u(startIndex), u(primCount));
  if (HRESULT hr = injected("DrawIndexedPrimitive")) return logCall("DrawIndexedPrimitive", a, hr);
  HRESULT hr =
      checkDraw(__func__, {PrimitiveType, primCount, true, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex});
  if (hr == S_OK) ++draws;
  return logCall("DrawIndexedPrimitive", a, hr);
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                         const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  std::string a = args(u(PrimitiveType), u(PrimitiveCount), p(pVertexStreamZeroData), u(VertexStreamZeroStride));
  if (HRESULT hr = injected("DrawPrimitiveUP")) return logCall("DrawPrimitiveUP", a, hr);
  if (HRESULT hr = checkDrawUP(__func__, PrimitiveType, PrimitiveCount, pVertexStreamZeroData, VertexStreamZeroStride))
    return logCall("DrawPrimitiveUP", a, hr);
  ++draws;
  const uint8_t* bytes = static_cast<const uint8_t*>(pVertexStreamZeroData);
  userVertices.assign(bytes, bytes + size_t(d3d9VerticesFor(PrimitiveType, PrimitiveCount)) * VertexStreamZeroStride);
  drawnFromUserPointer();
  return logCall("DrawPrimitiveUP", a, S_OK);
}

HRESULT RecordingDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                 IDirect3DVertexDeclaration9** ppDecl) {
  std::string a = args(p(pVertexElements), p(ppDecl));
  if (ppDecl) *ppDecl = nullptr;
  if (HRESULT hr = injected("CreateVertexDeclaration")) return logCall("CreateVertexDeclaration", a, hr);
  if (!pVertexElements || !ppDecl) return logCall("CreateVertexDeclaration", a, D3DERR_INVALIDCALL);
  // The log shows the elements read, up to the one refused.
  UINT count = 0;
  HRESULT hr = d3d9CheckVertexElements(__func__, pVertexElements, ppDecl, &count);
  std::string text = "{";
  for (UINT i = 0; i < count && logging(); ++i) {
    const D3DVERTEXELEMENT9& e = pVertexElements[i];
    if (i) text += ", ";
    text += std::string("{") + args(u(e.Stream), u(e.Offset), u(e.Type), u(e.Method), u(e.Usage), u(e.UsageIndex)) + "}";
  }
  text += "}";
  if (hr) return logCall("CreateVertexDeclaration", text + ", " + p(ppDecl), hr);
  *ppDecl = new RecordingVertexDeclaration(this, pVertexElements, count);
  return logCall("CreateVertexDeclaration", text + ", " + p(ppDecl) + " -> " + recordingName(*ppDecl), S_OK);
}

HRESULT RecordingDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
  return traced("SetVertexDeclaration", obj(pDecl), [&] { return Bindings::SetVertexDeclaration(pDecl); });
}

HRESULT RecordingDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) {
  if (ppDecl) *ppDecl = nullptr;
  return traced("GetVertexDeclaration", p(ppDecl), [&] { return Bindings::GetVertexDeclaration(ppDecl); });
}

// --- shaders and constants ------------------------------------------------------------
HRESULT RecordingDevice::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  std::string a = args(p(pFunction), p(ppShader));
  if (ppShader) *ppShader = nullptr;
  if (HRESULT hr = injected("CreateVertexShader")) return logCall("CreateVertexShader", a, hr);
  if (HRESULT hr = d3d9CheckShaderFunction(__func__, pFunction, false, ppShader)) return logCall("CreateVertexShader", a, hr);
  *ppShader = new RecordingVertexShader(this, pFunction, shaderBlobSize(pFunction));
  return logCall("CreateVertexShader", a + " -> " + recordingName(*ppShader), S_OK);
}

HRESULT RecordingDevice::SetVertexShader(IDirect3DVertexShader9* pShader) {
  return traced("SetVertexShader", obj(pShader), [&] { return Bindings::SetVertexShader(pShader); });
}

HRESULT RecordingDevice::GetVertexShader(IDirect3DVertexShader9** ppShader) {
  if (ppShader) *ppShader = nullptr;
  return traced("GetVertexShader", p(ppShader), [&] { return Bindings::GetVertexShader(ppShader); });
}

HRESULT RecordingDevice::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  return traced("SetVertexShaderConstantF", args(u(StartRegister), floats4(pConstantData, Vector4fCount), u(Vector4fCount)),
                [&] { return D3D9FrontEnd::SetVertexShaderConstantF(StartRegister, pConstantData, Vector4fCount); });
}

HRESULT RecordingDevice::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  return traced("GetVertexShaderConstantF", args(u(StartRegister), p(pConstantData), u(Vector4fCount)),
                [&] { return D3D9FrontEnd::GetVertexShaderConstantF(StartRegister, pConstantData, Vector4fCount); });
}

HRESULT RecordingDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                         UINT Stride) {
  return traced("SetStreamSource", args(u(StreamNumber), obj(pStreamData), u(OffsetInBytes), u(Stride)),
                [&] { return Bindings::SetStreamSource(StreamNumber, pStreamData, OffsetInBytes, Stride); });
}

HRESULT RecordingDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                         UINT* pOffsetInBytes, UINT* pStride) {
  if (ppStreamData) *ppStreamData = nullptr;
  return traced("GetStreamSource", args(u(StreamNumber), p(ppStreamData), p(pOffsetInBytes), p(pStride)),
                [&] { return Bindings::GetStreamSource(StreamNumber, ppStreamData, pOffsetInBytes, pStride); });
}

HRESULT RecordingDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  return traced("SetIndices", obj(pIndexData), [&] { return Bindings::SetIndices(pIndexData); });
}

HRESULT RecordingDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
  if (ppIndexData) *ppIndexData = nullptr;
  return traced("GetIndices", p(ppIndexData), [&] { return Bindings::GetIndices(ppIndexData); });
}

HRESULT RecordingDevice::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
  std::string a = args(p(pFunction), p(ppShader));
  if (ppShader) *ppShader = nullptr;
  if (HRESULT hr = injected("CreatePixelShader")) return logCall("CreatePixelShader", a, hr);
  if (HRESULT hr = d3d9CheckShaderFunction(__func__, pFunction, true, ppShader)) return logCall("CreatePixelShader", a, hr);
  *ppShader = new RecordingPixelShader(this, pFunction, shaderBlobSize(pFunction));
  return logCall("CreatePixelShader", a + " -> " + recordingName(*ppShader), S_OK);
}

HRESULT RecordingDevice::SetPixelShader(IDirect3DPixelShader9* pShader) {
  return traced("SetPixelShader", obj(pShader), [&] { return Bindings::SetPixelShader(pShader); });
}

HRESULT RecordingDevice::GetPixelShader(IDirect3DPixelShader9** ppShader) {
  if (ppShader) *ppShader = nullptr;
  return traced("GetPixelShader", p(ppShader), [&] { return Bindings::GetPixelShader(ppShader); });
}

HRESULT RecordingDevice::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  return traced("SetPixelShaderConstantF", args(u(StartRegister), floats4(pConstantData, Vector4fCount), u(Vector4fCount)),
                [&] { return D3D9FrontEnd::SetPixelShaderConstantF(StartRegister, pConstantData, Vector4fCount); });
}

HRESULT RecordingDevice::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  return traced("GetPixelShaderConstantF", args(u(StartRegister), p(pConstantData), u(Vector4fCount)),
                [&] { return D3D9FrontEnd::GetPixelShaderConstantF(StartRegister, pConstantData, Vector4fCount); });
}
