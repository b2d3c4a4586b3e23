#pragma once
// ID3DXBuffer over a vector of DWORDs (so that shader blobs are aligned).

#include "platform/d3dx/d3dx9shader.h"

#include <string>
#include <vector>

class D3DXBufferImpl : public ID3DXBuffer {
public:
  explicit D3DXBufferImpl(DWORD bytes) : size(bytes), words((bytes + 3) / 4, 0) {}
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }
  void* GetBufferPointer() override { return words.data(); }
  DWORD GetBufferSize() override { return size; }

  // A zero-terminated text as a buffer (error messages).
  static D3DXBufferImpl* fromText(const std::string& text);

private:
  ULONG refs = 1;
  DWORD size;
  std::vector<DWORD> words;
};
