// The state block both devices hand out.

#include "platform/d3d9/D3D9StateBlock.h"

#include <memory>

namespace {

template <typename T>
void countIn(T* object) {
  if (object) object->AddRef();
}
template <typename T>
void countOut(T* object) {
  if (object) object->Release();
}

// References held by a copy of the states.
template <typename F>
void forEachObject(D3D9States& s, F&& f) {
  for (auto* t : s.textures) f(t);
  f(s.vertexShader);
  f(s.pixelShader);
  f(s.declaration);
  for (auto& st : s.streams) f(st.buffer);
  f(s.indices);
}

class StateBlock : public IDirect3DStateBlock9 {
public:
  explicit StateBlock(D3D9StateOwner* o) : owner(o), states(new D3D9States()) { owner->stateBlockCreated(); }

  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    *ppDevice = owner->stateDevice();
    (*ppDevice)->AddRef();
    return D3D_OK;
  }
  HRESULT Capture() override {
    // The new references first, so that an object bound both before and
    // now never reaches zero in between.
    std::unique_ptr<D3D9States> fresh(new D3D9States());
    owner->copyStates(*fresh);
    forEachObject(*fresh, [](auto* o) { countIn(o); });
    forEachObject(*states, [](auto* o) { countOut(o); });
    states = std::move(fresh);
    return D3D_OK;
  }
  HRESULT Apply() override {
    owner->setStates(*states);
    return D3D_OK;
  }

private:
  ~StateBlock() override {
    forEachObject(*states, [](auto* o) { countOut(o); });
    owner->stateBlockDestroyed();
  }
  D3D9StateOwner* owner;
  std::unique_ptr<D3D9States> states;
  ULONG refs = 1;
};

}  // namespace

HRESULT d3d9CreateStateBlock(D3D9StateOwner* owner, D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** out) {
  if (out) *out = nullptr;
  if (HRESULT hr = d3d9CheckCreateStateBlock("CreateStateBlock", type, out)) return hr;
  StateBlock* block = new StateBlock(owner);
  block->Capture();
  *out = block;
  return D3D_OK;
}
