#pragma once
// The front end's second half: the objects bound to a device (textures,
// vertex streams, indices, the vertex declaration or FVF, both shaders,
// render targets and the depth-stencil surface) and the scene bracket, kept,
// checked and answered once for both back ends. Bound objects are held
// with a reference, as Direct3D 9 holds them.
//
// Written once, typed per back end: Objects names the back end's classes
// (Texture, VertexBuffer, IndexBuffer, Declaration, VertexShader,
// PixelShader, Surface), and Device, the back end itself, answers
//   template <class T, class I> T* own(I* object)   // its own object, or null
//   Objects::Texture* ownTexture(IDirect3DBaseTexture9* texture)
//   Objects::Surface* ownSurface(IDirect3DSurface9* surface)
//   static const D3DSURFACE_DESC& surfaceDesc(const Objects::Surface& surface)
//   static uint32_t streamMask(const Objects::Declaration& declaration)   // the streams it reads
//   Objects::Declaration* newDeclaration(const D3DVERTEXELEMENT9* elements, UINT count)
//   resourceCreated(), resourceDestroyed()   // a state block keeps the device alive
// and is told what changed through the virtual hooks below.

#include <cstring>
#include <utility>
#include <vector>

#include "platform/d3d9/D3D9Adapter.h"
#include "platform/d3d9/D3D9FrontEnd.h"

template <class Device, class Objects>
class D3D9Bindings : public D3D9FrontEnd {
public:
  using Texture = typename Objects::Texture;
  using VertexBuffer = typename Objects::VertexBuffer;
  using IndexBuffer = typename Objects::IndexBuffer;
  using Declaration = typename Objects::Declaration;
  using VertexShader = typename Objects::VertexShader;
  using PixelShader = typename Objects::PixelShader;
  using Surface = typename Objects::Surface;

  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override {
    Texture* own = pTexture ? device().ownTexture(pTexture) : nullptr;
    if (HRESULT hr = d3d9CheckSetTexture(__func__, Stage, pTexture, own)) return hr;
    bindTexture(d3d9StageIndex(Stage), pTexture, own);
    return D3D_OK;
  }
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override {
    if (ppTexture) *ppTexture = nullptr;
    if (HRESULT hr = d3d9CheckGetTexture(__func__, Stage, ppTexture, behavior)) return hr;
    return handOut(textures[d3d9StageIndex(Stage)], ppTexture);
  }
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                          UINT Stride) override {
    VertexBuffer* b = device().template own<VertexBuffer>(pStreamData);
    if (HRESULT hr = d3d9CheckSetStreamSource(__func__, StreamNumber, pStreamData, b, OffsetInBytes, Stride)) return hr;
    bindStream(StreamNumber, b, OffsetInBytes, Stride);
    return D3D_OK;
  }
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                          UINT* pStride) override {
    if (ppStreamData) *ppStreamData = nullptr;
    if (HRESULT hr = d3d9CheckGetStreamSource(__func__, StreamNumber, ppStreamData, pOffsetInBytes, pStride)) return hr;
    *pOffsetInBytes = streams[StreamNumber].offset;
    *pStride = streams[StreamNumber].stride;
    return handOut(streams[StreamNumber].buffer, ppStreamData);
  }
  HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override {
    IndexBuffer* b = device().template own<IndexBuffer>(pIndexData);
    if (HRESULT hr = d3d9CheckObject(__func__, pIndexData, b)) return hr;
    hold(indexBuffer, b);
    return D3D_OK;
  }
  HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override { return getObject(__func__, indexBuffer, ppIndexData); }
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override {
    Declaration* d = device().template own<Declaration>(pDecl);
    if (HRESULT hr = d3d9CheckObject(__func__, pDecl, d)) return hr;
    bindDeclaration(d);
    fvf = 0;
    return D3D_OK;
  }
  HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override {
    return getObject(__func__, declaration, ppDecl);
  }
  HRESULT SetFVF(DWORD FVF) override {
    if (HRESULT hr = d3d9CheckSetFVF(__func__, FVF)) return hr;
    if (FVF == 0) return D3D_OK;  // keeps the declaration, as Direct3D 9 does
    Declaration* d = nullptr;
    for (auto& entry : fvfDeclarations)
      if (entry.first == FVF) d = entry.second;
    if (!d) {
      std::vector<D3DVERTEXELEMENT9> elements;
      d3d9FvfElements(FVF, elements);
      d = device().newDeclaration(elements.data(), (UINT)elements.size());
      fvfDeclarations.push_back({FVF, d});
    }
    bindDeclaration(d);
    fvf = FVF;
    return D3D_OK;
  }
  HRESULT GetFVF(DWORD* pFVF) override {
    if (HRESULT hr = d3d9CheckGetFVF(__func__, pFVF, behavior)) return hr;
    *pFVF = fvf;
    return D3D_OK;
  }
  HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override {
    VertexShader* s = device().template own<VertexShader>(pShader);
    if (HRESULT hr = d3d9CheckObject(__func__, pShader, s)) return hr;
    bindShader(vs, s);
    return D3D_OK;
  }
  HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override { return getObject(__func__, vs, ppShader); }
  HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override {
    PixelShader* s = device().template own<PixelShader>(pShader);
    if (HRESULT hr = d3d9CheckObject(__func__, pShader, s)) return hr;
    bindShader(ps, s);
    return D3D_OK;
  }
  HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override { return getObject(__func__, ps, ppShader); }

  HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override {
    Surface* s = device().ownSurface(pRenderTarget);
    if (HRESULT hr = d3d9CheckSetRenderTarget(__func__, RenderTargetIndex, pRenderTarget, descOf(s))) return hr;
    hold(targets[RenderTargetIndex], s);
    targetChanged(RenderTargetIndex);
    // Setting render target 0 makes the viewport and scissor rectangle cover it.
    if (RenderTargetIndex == 0) coverTarget(descOf(s)->Width, descOf(s)->Height);
    return D3D_OK;
  }
  HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override {
    if (ppRenderTarget) *ppRenderTarget = nullptr;
    if (HRESULT hr = d3d9CheckGetRenderTarget(__func__, RenderTargetIndex, ppRenderTarget)) return hr;
    if (!targets[RenderTargetIndex]) return D3DERR_NOTFOUND;
    return handOut(targets[RenderTargetIndex], ppRenderTarget);
  }
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override {
    Surface* s = device().ownSurface(pNewZStencil);
    if (HRESULT hr = d3d9CheckSetDepthStencilSurface(__func__, pNewZStencil, descOf(s))) return hr;
    hold(depth, s);
    depthChanged();
    return D3D_OK;
  }
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override {
    if (ppZStencilSurface) *ppZStencilSurface = nullptr;
    if (HRESULT hr = d3d9CheckOut(__func__, ppZStencilSurface)) return hr;
    if (!depth) return D3DERR_NOTFOUND;
    return handOut(depth, ppZStencilSurface);
  }
  HRESULT BeginScene() override {
    if (HRESULT hr = d3d9CheckScene(__func__, sceneOpen, true)) return hr;
    sceneOpen = true;
    return D3D_OK;
  }
  HRESULT EndScene() override {
    if (HRESULT hr = d3d9CheckScene(__func__, sceneOpen, false)) return hr;
    sceneOpen = false;
    return D3D_OK;
  }

  // --- D3D9StateOwner: state blocks read and set the front end's states ---
  IDirect3DDevice9* stateDevice() override { return this; }
  void copyStates(D3D9States& out) override {
    readValueStates(out);
    readObjects(out);
  }
  void setStates(const D3D9States& in) override {
    setValueStates(in);
    setObjects(in);
  }
  // A block keeps its device alive as a resource does.
  void stateBlockCreated() override { device().resourceCreated(); }
  void stateBlockDestroyed() override { device().resourceDestroyed(); }

protected:
  using D3D9FrontEnd::D3D9FrontEnd;
  ~D3D9Bindings() = default;

  // What changed, for the back end to execute (only on a change).
  virtual void textureChanged(int /*stage*/, Texture* /*own*/) {}
  virtual void streamChanged() {}
  // Before `next` replaces the bound declaration.
  virtual void declarationChanging(Declaration* /*next*/) {}
  virtual void shaderChanged() {}
  virtual void targetChanged(DWORD /*index*/) {}
  virtual void depthChanged() {}

  const D3DSURFACE_DESC& firstTargetDesc() const override { return Device::surfaceDesc(*targets[0]); }
  static const D3DSURFACE_DESC* descOf(const Surface* s) { return s ? &Device::surfaceDesc(*s) : nullptr; }

  // Holds a reference in a binding slot, as Direct3D 9 does for bound objects.
  template <typename T>
  static void hold(T*& slot, T* value) {
    if (slot == value) return;
    if (value) value->AddRef();
    T* old = slot;
    slot = value;
    if (old) old->Release();
  }

  // A state block's objects, out and in (in: bound as the Set* calls bind).
  void readObjects(D3D9States& out) const {
    out.fvf = fvf;
    for (int i = 0; i < D3D9_STAGES; ++i) out.textures[i] = textures[i];
    out.vertexShader = vs;
    out.pixelShader = ps;
    out.declaration = declaration;
    for (int i = 0; i < D3D9_STREAMS; ++i) out.streams[i] = {streams[i].buffer, streams[i].offset, streams[i].stride};
    out.indices = indexBuffer;
  }
  void setObjects(const D3D9States& in) {
    for (int i = 0; i < D3D9_STAGES; ++i)
      bindTexture(i, in.textures[i], in.textures[i] ? device().ownTexture(in.textures[i]) : nullptr);
    bindShader(vs, static_cast<VertexShader*>(in.vertexShader));
    bindShader(ps, static_cast<PixelShader*>(in.pixelShader));
    bindDeclaration(static_cast<Declaration*>(in.declaration));
    fvf = in.fvf;
    for (UINT i = 0; i < D3D9_STREAMS; ++i)
      bindStream(i, static_cast<VertexBuffer*>(in.streams[i].buffer), in.streams[i].offset, in.streams[i].stride);
    hold(indexBuffer, static_cast<IndexBuffer*>(in.indices));
  }
  // The swap chain's surfaces become the current targets of a new device.
  void bindSwapChain(Surface* backBuffer, Surface* autoDepthStencil) {
    hold(targets[0], backBuffer);
    hold(depth, autoDepthStencil);
  }
  HRESULT checkClear(const char* call, DWORD count, const D3DRECT* rects, DWORD flags, float z) const {
    return d3d9CheckClear(call, count, rects, flags, z, descOf(depth));
  }
  // A draw's checks against what is bound; the back end draws what passes.
  HRESULT checkDraw(const char* call, const D3D9Draw& draw) const {
    return d3d9CheckDraw(call, draw, sceneOpen, declaration, declaration ? Device::streamMask(*declaration) : 0, streams,
                         indexBuffer);
  }
  HRESULT checkDrawUP(const char* call, D3DPRIMITIVETYPE type, UINT primitives, const void* data, UINT stride) const {
    return d3d9CheckDrawUP(call, type, primitives, data, stride, sceneOpen, declaration,
                           declaration ? Device::streamMask(*declaration) : 0);
  }
  // A user-pointer draw leaves stream 0 unbound, as Direct3D 9 does.
  void drawnFromUserPointer() {
    hold(streams[0].buffer, (VertexBuffer*)nullptr);
    streams[0].offset = 0;
    streams[0].stride = 0;
    streamChanged();
  }

  // Lets go of every bound object and of the declarations SetFVF made.
  void releaseObjects() {
    for (auto& t : textures) hold(t, (IDirect3DBaseTexture9*)nullptr);
    for (auto& s : streams) hold(s.buffer, (VertexBuffer*)nullptr);
    hold(indexBuffer, (IndexBuffer*)nullptr);
    hold(declaration, (Declaration*)nullptr);
    hold(vs, (VertexShader*)nullptr);
    hold(ps, (PixelShader*)nullptr);
    for (auto& entry : fvfDeclarations) entry.second->Release();
    fvfDeclarations.clear();
    for (auto& t : targets) hold(t, (Surface*)nullptr);
    hold(depth, (Surface*)nullptr);
  }

  IDirect3DBaseTexture9* textures[D3D9_STAGES] = {};
  struct Stream {
    VertexBuffer* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
  } streams[D3D9_STREAMS];
  IndexBuffer* indexBuffer = nullptr;
  Declaration* declaration = nullptr;
  VertexShader* vs = nullptr;
  PixelShader* ps = nullptr;
  DWORD fvf = 0;  // non-zero: the declaration was set through SetFVF
  Surface* targets[D3D9_RENDER_TARGETS] = {};
  Surface* depth = nullptr;
  bool sceneOpen = false;

private:
  Device& device() { return static_cast<Device&>(*this); }

  void bindTexture(int stage, IDirect3DBaseTexture9* texture, Texture* own) {
    if (textures[stage] == texture) return;
    hold(textures[stage], texture);
    textureChanged(stage, own);
  }
  void bindStream(UINT stream, VertexBuffer* buffer, UINT offset, UINT stride) {
    Stream& s = streams[stream];
    if (s.buffer == buffer && s.offset == offset && s.stride == stride) return;
    hold(s.buffer, buffer);
    s.offset = offset;
    s.stride = stride;
    streamChanged();
  }
  void bindDeclaration(Declaration* d) {
    if (d == declaration) return;
    declarationChanging(d);
    hold(declaration, d);
  }
  template <typename T>
  void bindShader(T*& slot, T* shader) {
    if (slot == shader) return;
    hold(slot, shader);
    shaderChanged();
  }
  template <typename T, typename I>
  static HRESULT handOut(T* object, I** out) {
    if (object) object->AddRef();
    *out = object;
    return D3D_OK;
  }
  template <typename T, typename I>
  HRESULT getObject(const char* call, T* object, I** out) {
    if (out) *out = nullptr;
    if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
    return handOut(object, out);
  }

  // The declarations SetFVF made, one per format, held until the device goes.
  std::vector<std::pair<DWORD, Declaration*>> fvfDeclarations;
};
