// ID3DXConstantTable over the reflection of a shader blob: constants are
// looked up by name (or handle) and written into the device's constant
// registers with D3DX's packing.

#include "platform/d3d9/ShaderBlob.h"
#include "platform/d3dx/d3dx9.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// One constant, a sampler, or one element of an array constant.
struct Entry {
  std::string name;  // its c_str() is the handle
  D3DXCONSTANT_DESC desc;
  bool sampler;
};

class ConstantTable : public ID3DXConstantTable {
public:
  ConstantTable(const DWORD* blob, UINT bytes) : words(blob, blob + bytes / 4) {}

  bool init() {
    ShaderBlobView view;
    if (!shaderBlobParse(words.data(), words.size() * 4, &view)) return false;
    pixel = view.isPixelShader();
    version = view.header->version;
    for (DWORD i = 0; i < view.header->constantCount; ++i) {
      const ShaderBlobConstant& c = view.constants[i];
      auto e = std::make_unique<Entry>();
      e->name = view.string(c.name);
      e->sampler = false;
      D3DXCONSTANT_DESC& d = e->desc;
      std::memset(&d, 0, sizeof d);
      d.RegisterSet = D3DXRS_FLOAT4;
      d.RegisterIndex = c.registerIndex;
      d.RegisterCount = c.registerCount;
      d.Class = (D3DXPARAMETER_CLASS)c.parameterClass;
      d.Type = D3DXPT_FLOAT;
      d.Rows = c.rows;
      d.Columns = c.columns;
      d.Elements = c.elements;
      d.Bytes = 4 * c.rows * c.columns * c.elements;
      entries.push_back(std::move(e));
    }
    for (DWORD i = 0; i < view.header->samplerCount; ++i) {
      const ShaderBlobSampler& s = view.samplers[i];
      auto e = std::make_unique<Entry>();
      e->name = view.string(s.name);
      e->sampler = true;
      D3DXCONSTANT_DESC& d = e->desc;
      std::memset(&d, 0, sizeof d);
      d.RegisterSet = D3DXRS_SAMPLER;
      d.RegisterIndex = s.unit;
      d.RegisterCount = 1;
      d.Class = D3DXPC_OBJECT;
      d.Type = (D3DXPARAMETER_TYPE)s.type;
      d.Rows = d.Columns = d.Elements = 1;
      d.Bytes = 4;
      entries.push_back(std::move(e));
    }
    for (auto& e : entries) e->desc.Name = e->name.c_str();
    topLevel = entries.size();
    return true;
  }

  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }
  void* GetBufferPointer() override { return words.data(); }
  DWORD GetBufferSize() override { return (DWORD)(words.size() * 4); }

  HRESULT GetDesc(D3DXCONSTANTTABLE_DESC* pDesc) override {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Creator = "Vantrel HLSL compiler (glslang, SPIRV-Cross)";
    pDesc->Version = version;
    pDesc->Constants = (UINT)topLevel;
    return S_OK;
  }

  HRESULT GetConstantDesc(D3DXHANDLE h, D3DXCONSTANT_DESC* pDesc, UINT* pCount) override {
    Entry* e = find(h);
    if (!e) return D3DERR_INVALIDCALL;
    if (pDesc && pCount && *pCount >= 1) *pDesc = e->desc;
    if (pCount) *pCount = 1;
    return S_OK;
  }

  UINT GetSamplerIndex(D3DXHANDLE h) override {
    Entry* e = find(h);
    return e && e->sampler ? e->desc.RegisterIndex : (UINT)-1;
  }

  D3DXHANDLE GetConstant(D3DXHANDLE parent, UINT index) override {
    if (parent) return nullptr;  // no structures
    return index < topLevel ? entries[index]->name.c_str() : nullptr;
  }

  D3DXHANDLE GetConstantByName(D3DXHANDLE parent, LPCSTR pName) override {
    if (parent || !pName) return nullptr;
    for (size_t i = 0; i < topLevel; ++i)
      if (std::strcmp(entries[i]->name.c_str(), pName) == 0) return entries[i]->name.c_str();
    // "name[3]" names an element.
    const char* bracket = std::strchr(pName, '[');
    if (bracket) {
      std::string base(pName, bracket - pName);
      char* end = nullptr;
      unsigned long index = std::strtoul(bracket + 1, &end, 10);
      if (end && *end == ']' && end[1] == '\0') {
        for (size_t i = 0; i < topLevel; ++i)
          if (entries[i]->name == base) return GetConstantElement(entries[i]->name.c_str(), (UINT)index);
      }
    }
    return nullptr;
  }

  D3DXHANDLE GetConstantElement(D3DXHANDLE h, UINT index) override {
    Entry* e = find(h);
    if (!e || e->sampler || index >= e->desc.Elements) return nullptr;
    std::string name = e->name + "[" + std::to_string(index) + "]";
    for (auto& x : entries)
      if (x->name == name) return x->name.c_str();
    auto el = std::make_unique<Entry>(*e);
    el->name = name;
    UINT per = e->desc.RegisterCount / e->desc.Elements;
    el->desc.RegisterIndex = e->desc.RegisterIndex + index * per;
    el->desc.RegisterCount = per;
    el->desc.Elements = 1;
    el->desc.Bytes = e->desc.Bytes / e->desc.Elements;
    el->desc.Name = nullptr;
    entries.push_back(std::move(el));
    entries.back()->desc.Name = entries.back()->name.c_str();
    return entries.back()->name.c_str();
  }

  HRESULT SetDefaults(IDirect3DDevice9* pDevice) override { return pDevice ? S_OK : D3DERR_INVALIDCALL; }

  // Raw values in the constant's natural order (HLSL rows, then columns, then elements).
  HRESULT SetValue(IDirect3DDevice9* d, D3DXHANDLE h, LPCVOID pData, UINT Bytes) override {
    if (!pData) return D3DERR_INVALIDCALL;
    return SetFloatArray(d, h, static_cast<const FLOAT*>(pData), Bytes / 4);
  }
  HRESULT SetBool(IDirect3DDevice9* d, D3DXHANDLE h, BOOL b) override { return SetFloat(d, h, b ? 1.0f : 0.0f); }
  HRESULT SetInt(IDirect3DDevice9* d, D3DXHANDLE h, INT n) override { return SetFloat(d, h, (float)n); }
  HRESULT SetFloat(IDirect3DDevice9* d, D3DXHANDLE h, FLOAT f) override { return SetFloatArray(d, h, &f, 1); }

  HRESULT SetFloatArray(IDirect3DDevice9* d, D3DXHANDLE h, const FLOAT* pf, UINT count) override {
    Entry* e = find(h);
    if (!d || !e || e->sampler || (!pf && count)) return D3DERR_INVALIDCALL;
    return write(d, e->desc, pf, count);
  }

  HRESULT SetVector(IDirect3DDevice9* d, D3DXHANDLE h, const D3DXVECTOR4* pVector) override {
    return SetVectorArray(d, h, pVector, 1);
  }

  // Each vector fills one element (as many components as the element has).
  HRESULT SetVectorArray(IDirect3DDevice9* d, D3DXHANDLE h, const D3DXVECTOR4* pVector, UINT count) override {
    Entry* e = find(h);
    if (!d || !e || e->sampler || !pVector || e->desc.Class > D3DXPC_VECTOR) return D3DERR_INVALIDCALL;
    const float* v = reinterpret_cast<const float*>(pVector);
    UINT n = count < e->desc.Elements ? count : e->desc.Elements;
    std::vector<float> regs((size_t)n * 4, 0.0f);
    for (UINT i = 0; i < n; ++i)
      for (UINT c = 0; c < e->desc.Columns && c < 4; ++c) regs[i * 4 + c] = v[i * 4 + c];
    return upload(d, e->desc.RegisterIndex, regs.data(), n);
  }

  HRESULT SetMatrix(IDirect3DDevice9* d, D3DXHANDLE h, const D3DXMATRIX* pMatrix) override {
    return setMatrices(d, h, pMatrix, 1, false);
  }
  HRESULT SetMatrixArray(IDirect3DDevice9* d, D3DXHANDLE h, const D3DXMATRIX* pMatrix, UINT count) override {
    return setMatrices(d, h, pMatrix, count, false);
  }
  HRESULT SetMatrixTranspose(IDirect3DDevice9* d, D3DXHANDLE h, const D3DXMATRIX* pMatrix) override {
    return setMatrices(d, h, pMatrix, 1, true);
  }
  HRESULT SetMatrixTransposeArray(IDirect3DDevice9* d, D3DXHANDLE h, const D3DXMATRIX* pMatrix, UINT count) override {
    return setMatrices(d, h, pMatrix, count, true);
  }

private:
  Entry* find(D3DXHANDLE h) {
    if (!h) return nullptr;
    for (auto& e : entries)
      if (e->name.c_str() == h) return e.get();
    // Any string naming a constant works as its handle; plain names are the
    // common case and need no parsing.
    for (size_t i = 0; i < topLevel; ++i)
      if (std::strcmp(entries[i]->name.c_str(), h) == 0) return entries[i].get();
    D3DXHANDLE byName = GetConstantByName(nullptr, h);
    if (!byName) return nullptr;
    for (auto& e : entries)
      if (e->name.c_str() == byName) return e.get();
    return nullptr;
  }

  HRESULT upload(IDirect3DDevice9* d, UINT start, const float* regs, UINT count) {
    if (count == 0) return S_OK;
    return pixel ? d->SetPixelShaderConstantF(start, regs, count) : d->SetVertexShaderConstantF(start, regs, count);
  }

  // Writes `count` values given in the constant's natural order: for each
  // element, HLSL row by row. Registers hold a column each (column-major
  // matrices) or a row each (row-major matrices, vectors, scalars); unused
  // components are zero. Only the registers the values reach are written.
  HRESULT write(IDirect3DDevice9* d, const D3DXCONSTANT_DESC& desc, const float* values, UINT count) {
    UINT rows = desc.Rows, cols = desc.Columns;
    UINT perElement = rows * cols;
    UINT regsPerElement = desc.RegisterCount / (desc.Elements ? desc.Elements : 1);
    UINT total = perElement * desc.Elements;
    if (count > total) count = total;
    if (count == 0) return S_OK;
    UINT elementsTouched = (count + perElement - 1) / perElement;
    // Per-item constants are set every frame: reuse one scratch block.
    std::vector<float>& regs = scratchRegisters;
    regs.assign((size_t)elementsTouched * regsPerElement * 4, 0.0f);
    bool columnMajor = desc.Class == D3DXPC_MATRIX_COLUMNS;
    UINT lastRegister = 0;
    for (UINT k = 0; k < count; ++k) {
      UINT el = k / perElement, within = k % perElement;
      UINT r = within / cols, c = within % cols;
      UINT reg = columnMajor ? c : r;
      UINT comp = columnMajor ? r : c;
      if (reg >= regsPerElement || comp >= 4) continue;
      UINT index = el * regsPerElement + reg;
      regs[(size_t)index * 4 + comp] = values[k];
      if (index + 1 > lastRegister) lastRegister = index + 1;
    }
    // A partly given element still writes its whole registers.
    if (count % perElement == 0) lastRegister = elementsTouched * regsPerElement;
    return upload(d, desc.RegisterIndex, regs.data(), lastRegister);
  }

  // The HLSL matrix takes the top-left rows x columns of each 4x4 matrix
  // (of its transpose for SetMatrixTranspose).
  HRESULT setMatrices(IDirect3DDevice9* d, D3DXHANDLE h, const D3DXMATRIX* pMatrix, UINT count, bool transpose) {
    Entry* e = find(h);
    if (!d || !e || e->sampler || !pMatrix) return D3DERR_INVALIDCALL;
    if (e->desc.Class != D3DXPC_MATRIX_ROWS && e->desc.Class != D3DXPC_MATRIX_COLUMNS) return D3DERR_INVALIDCALL;
    const float* m = reinterpret_cast<const float*>(pMatrix);
    UINT n = count < e->desc.Elements ? count : e->desc.Elements;
    UINT rows = e->desc.Rows, cols = e->desc.Columns;
    std::vector<float>& values = scratchValues;
    values.resize((size_t)n * rows * cols);
    for (UINT i = 0; i < n; ++i)
      for (UINT r = 0; r < rows; ++r)
        for (UINT c = 0; c < cols; ++c)
          values[((size_t)i * rows + r) * cols + c] = transpose ? m[i * 16 + c * 4 + r] : m[i * 16 + r * 4 + c];
    return write(d, e->desc, values.data(), (UINT)values.size());
  }

  ULONG refs = 1;
  std::vector<float> scratchRegisters;
  std::vector<float> scratchValues;
  std::vector<DWORD> words;
  std::vector<std::unique_ptr<Entry>> entries;
  size_t topLevel = 0;
  bool pixel = false;
  DWORD version = 0;
};

}  // namespace

HRESULT d3dxCreateConstantTable(const DWORD* blob, UINT bytes, ID3DXConstantTable** table) {
  if (!blob || !table) return D3DERR_INVALIDCALL;
  *table = nullptr;
  ConstantTable* t = new ConstantTable(blob, bytes);
  if (!t->init()) {
    t->Release();
    return D3DXERR_INVALIDDATA;
  }
  *table = t;
  return S_OK;
}

HRESULT D3DXGetShaderConstantTable(const DWORD* pFunction, LPD3DXCONSTANTTABLE* ppConstantTable) {
  UINT size = shaderBlobSize(pFunction);
  if (!size || !ppConstantTable) return D3DERR_INVALIDCALL;
  return d3dxCreateConstantTable(pFunction, size, ppConstantTable);
}
