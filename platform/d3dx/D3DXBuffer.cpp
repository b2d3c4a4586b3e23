#include "platform/d3dx/D3DXBuffer.h"

#include <cstring>
#include <string>

D3DXBufferImpl* D3DXBufferImpl::fromText(const std::string& text) {
  D3DXBufferImpl* buffer = new D3DXBufferImpl((DWORD)text.size() + 1);
  std::memcpy(buffer->GetBufferPointer(), text.c_str(), text.size() + 1);
  return buffer;
}

HRESULT D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
  if (!ppBuffer) return D3DERR_INVALIDCALL;
  *ppBuffer = new D3DXBufferImpl(NumBytes);
  return S_OK;
}
