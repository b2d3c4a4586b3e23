// RenderDeviceDX9: shader pairs compiled from HLSL at run time, and the
// named constant setters.

#include <cstring>

#include "engine/Log.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/d3d9/ReleaseCom.h"
#include "platform/d3dx/d3dx9.h"

namespace {

// Compiles one stage; a compile error ends the process with the compiler's
// own text. The compiled code is returned for the caller to turn into a
// shader object and release.
ID3DXBuffer* compileStage(const char* source, const char* profile, ID3DXConstantTable** constants) {
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  HRESULT hr = D3DXCompileShader(source, UINT(std::strlen(source)), nullptr, nullptr, "main", profile,
                                 D3DXSHADER_PACKMATRIX_COLUMNMAJOR, &code, &errors, constants);
  if (FAILED(hr) || !code) {
    if (errors && errors->GetBufferPointer() && errors->GetBufferSize() > 0)
      fatalError("%.*s", int(errors->GetBufferSize()), static_cast<const char*>(errors->GetBufferPointer()));
    fatalError("RenderDeviceDX9::createShader: Compiling the shader failed.");
  }
  releaseCom(errors);
  return code;
}

void releaseRecord(ShaderRecord& record) {
  releaseCom(record.vertexShader);
  releaseCom(record.pixelShader);
  releaseCom(record.vertexConstants);
  releaseCom(record.pixelConstants);
  record.handleCount = 0;
}

}  // namespace

int RenderDeviceDX9::createShader(const char* vertexSource, const char* pixelSource) {
  if (!vertexSource && !pixelSource) return -1;
  ShaderRecord record = {nullptr, nullptr, nullptr, nullptr};

  if (vertexSource) {
    ID3DXBuffer* code = compileStage(vertexSource, D3DXGetVertexShaderProfile(device), &record.vertexConstants);
    if (device) device->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &record.vertexShader);
    code->Release();
    if (!record.vertexShader) {
      // Nothing of a pair that cannot be used is kept.
      releaseRecord(record);
      return -1;
    }
  }

  if (pixelSource) {
    ID3DXBuffer* code = compileStage(pixelSource, D3DXGetPixelShaderProfile(device), &record.pixelConstants);
    if (device) device->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()), &record.pixelShader);
    code->Release();
    if (!record.pixelShader) {
      releaseRecord(record);
      return -1;
    }
  }

  shaders.append(record);
  return int(shaders.count - 1);
}

void RenderDeviceDX9::setShader(int index) {
  if (!validShader(index) || !device) return;
  sendChanged(CACHED_SHADER, currentShader, index, [&] {
    device->SetVertexShader(shaders[index].vertexShader);
    device->SetPixelShader(shaders[index].pixelShader);
  });
}

void RenderDeviceDX9::releaseShader(int index) {
  if (!validShader(index)) return;
  releaseRecord(shaders[index]);
}

namespace {

// Runs set(table, handle) for the vertex and then the pixel shader of a pair,
// each only when that shader declares the name.
ConstantHandles lookUp(const ShaderRecord& record, const char* name) {
  ConstantHandles found = {};
  if (record.vertexShader && record.vertexConstants)
    found.vertex = record.vertexConstants->GetConstantByName(nullptr, name);
  if (record.pixelShader && record.pixelConstants)
    found.pixel = record.pixelConstants->GetConstantByName(nullptr, name);
  return found;
}

ConstantHandles handlesFor(ShaderRecord& record, const char* name) {
  for (uint32_t i = 0; i < record.handleCount; ++i) {
    const ConstantHandles& entry = record.handles[i];
    if (entry.key == name && std::strcmp(entry.name, name) == 0) return entry;
  }
  ConstantHandles found = lookUp(record, name);
  size_t length = std::strlen(name);
  if (record.handleCount < SHADER_HANDLE_CACHE && length < SHADER_HANDLE_NAME) {
    found.key = name;
    std::memcpy(found.name, name, length + 1);
    record.handles[record.handleCount++] = found;
  }
  return found;
}

template <typename Setter>
void forEachConstant(ShaderRecord& record, const char* name, Setter set) {
  if (!name) return;
  ConstantHandles handles = handlesFor(record, name);
  if (handles.vertex) set(record.vertexConstants, handles.vertex);
  if (handles.pixel) set(record.pixelConstants, handles.pixel);
}

}  // namespace

void RenderDeviceDX9::setShaderFloat(int shader, const char* name, float value) {
  if (!validShader(shader)) return;
  forEachConstant(shaders[shader], name, [&](ID3DXConstantTable* table, D3DXHANDLE handle) {
    table->SetFloat(device, handle, value);
  });
}

void RenderDeviceDX9::setShaderFloatArray(int shader, const char* name, const float* values, uint32_t count) {
  if (!validShader(shader) || !values) return;
  forEachConstant(shaders[shader], name, [&](ID3DXConstantTable* table, D3DXHANDLE handle) {
    table->SetFloatArray(device, handle, values, count);
  });
}

void RenderDeviceDX9::setShaderVector(int shader, const char* name, const float* vector4) {
  if (!validShader(shader) || !vector4) return;
  D3DXVECTOR4 vector(vector4);
  forEachConstant(shaders[shader], name, [&](ID3DXConstantTable* table, D3DXHANDLE handle) {
    table->SetVector(device, handle, &vector);
  });
}

void RenderDeviceDX9::setShaderMatrix(int shader, const char* name, const float* matrix4x4) {
  if (!validShader(shader) || !matrix4x4) return;
  D3DXMATRIX matrix(matrix4x4);
  forEachConstant(shaders[shader], name, [&](ID3DXConstantTable* table, D3DXHANDLE handle) {
    table->SetMatrixTranspose(device, handle, &matrix);
  });
}
