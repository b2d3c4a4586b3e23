#pragma once
// The D3DX 9 HLSL compiler and constant tables.
//
// D3DXCompileShader accepts HLSL of the shader model 2/3 dialect (tex2D,
// `sampler s0 : register(s0)`, POSITION/COLOR/TEXCOORDn semantics) and
// compiles it through glslang's HLSL front end to SPIR-V and SPIRV-Cross to
// GLSL 330 core. The shader buffer holds the compiled blob that
// CreateVertexShader/CreatePixelShader take; its format is described in
// platform/d3d9/ShaderBlob.h. Errors (E_FAIL) and warnings come back in the
// error buffer as text, one line per message: "memory(<line>): error: <text>"
// ("memory" is how D3DX names in-memory sources).
//
// Constant registers follow Direct3D 9: in declaration order each float
// constant takes the next free registers (float and floatN: 1; a matrix: one
// per column with column-major packing, one per row with row-major packing;
// arrays: that many per element); an explicit register(cN) is honoured.

#include "platform/d3d9/d3d9.h"

#include <cfloat>

struct D3DXVECTOR4;
struct D3DXMATRIX;

typedef const char* D3DXHANDLE;
typedef D3DXHANDLE* LPD3DXHANDLE;

// --- compile flags -----------------------------------------------------------
#define D3DXSHADER_DEBUG (1 << 0)
#define D3DXSHADER_SKIPVALIDATION (1 << 1)
#define D3DXSHADER_SKIPOPTIMIZATION (1 << 2)
#define D3DXSHADER_PACKMATRIX_ROWMAJOR (1 << 3)
#define D3DXSHADER_PACKMATRIX_COLUMNMAJOR (1 << 4)
#define D3DXSHADER_PARTIALPRECISION (1 << 5)
#define D3DXSHADER_FORCE_VS_SOFTWARE_NOOPT (1 << 6)
#define D3DXSHADER_FORCE_PS_SOFTWARE_NOOPT (1 << 7)
#define D3DXSHADER_NO_PRESHADER (1 << 8)
#define D3DXSHADER_AVOID_FLOW_CONTROL (1 << 9)
#define D3DXSHADER_PREFER_FLOW_CONTROL (1 << 10)
#define D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY (1 << 12)
#define D3DXSHADER_IEEE_STRICTNESS (1 << 13)
#define D3DXSHADER_USE_LEGACY_D3DX9_31_DLL (1 << 16)
#define D3DXSHADER_OPTIMIZATION_LEVEL0 (1 << 14)
#define D3DXSHADER_OPTIMIZATION_LEVEL1 0
#define D3DXSHADER_OPTIMIZATION_LEVEL2 ((1 << 14) | (1 << 15))
#define D3DXSHADER_OPTIMIZATION_LEVEL3 (1 << 15)

// --- reflection types ----------------------------------------------------------
enum D3DXREGISTER_SET : DWORD {
  D3DXRS_BOOL = 0,
  D3DXRS_INT4 = 1,
  D3DXRS_FLOAT4 = 2,
  D3DXRS_SAMPLER = 3,
  D3DXRS_FORCE_DWORD = 0x7fffffff
};

enum D3DXPARAMETER_CLASS : DWORD {
  D3DXPC_SCALAR = 0,
  D3DXPC_VECTOR = 1,
  D3DXPC_MATRIX_ROWS = 2,
  D3DXPC_MATRIX_COLUMNS = 3,
  D3DXPC_OBJECT = 4,
  D3DXPC_STRUCT = 5,
  D3DXPC_FORCE_DWORD = 0x7fffffff
};

enum D3DXPARAMETER_TYPE : DWORD {
  D3DXPT_VOID = 0,
  D3DXPT_BOOL = 1,
  D3DXPT_INT = 2,
  D3DXPT_FLOAT = 3,
  D3DXPT_STRING = 4,
  D3DXPT_TEXTURE = 5,
  D3DXPT_TEXTURE1D = 6,
  D3DXPT_TEXTURE2D = 7,
  D3DXPT_TEXTURE3D = 8,
  D3DXPT_TEXTURECUBE = 9,
  D3DXPT_SAMPLER = 10,
  D3DXPT_SAMPLER1D = 11,
  D3DXPT_SAMPLER2D = 12,
  D3DXPT_SAMPLER3D = 13,
  D3DXPT_SAMPLERCUBE = 14,
  D3DXPT_FORCE_DWORD = 0x7fffffff
};

struct D3DXCONSTANTTABLE_DESC {
  LPCSTR Creator;
  DWORD Version;  // D3DVS_VERSION/D3DPS_VERSION
  UINT Constants;
};

struct D3DXCONSTANT_DESC {
  LPCSTR Name;
  D3DXREGISTER_SET RegisterSet;
  UINT RegisterIndex;
  UINT RegisterCount;
  D3DXPARAMETER_CLASS Class;
  D3DXPARAMETER_TYPE Type;
  UINT Rows;
  UINT Columns;
  UINT Elements;
  UINT StructMembers;
  UINT Bytes;
  LPCVOID DefaultValue;
};

struct D3DXMACRO {
  LPCSTR Name;
  LPCSTR Definition;
};
typedef D3DXMACRO* LPD3DXMACRO;

enum D3DXINCLUDE_TYPE : DWORD {
  D3DXINC_LOCAL = 0,
  D3DXINC_SYSTEM = 1,
  D3DXINC_FORCE_DWORD = 0x7fffffff
};

// --- interfaces ----------------------------------------------------------------
struct ID3DXBuffer : public IUnknown {
  virtual void* GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

struct ID3DXInclude {
  virtual HRESULT Open(D3DXINCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData,
                       UINT* pBytes) = 0;
  virtual HRESULT Close(LPCVOID pData) = 0;

protected:
  virtual ~ID3DXInclude() = default;
};
typedef ID3DXInclude* LPD3DXINCLUDE;

// Handles are the constants' names as returned by GetConstantByName (a name
// string of the table itself); any zero-terminated name string is accepted
// in their place, as D3DX does.
struct ID3DXConstantTable : public ID3DXBuffer {
  virtual HRESULT GetDesc(D3DXCONSTANTTABLE_DESC* pDesc) = 0;
  virtual HRESULT GetConstantDesc(D3DXHANDLE hConstant, D3DXCONSTANT_DESC* pConstantDesc, UINT* pCount) = 0;
  virtual UINT GetSamplerIndex(D3DXHANDLE hConstant) = 0;
  // hConstant null: the top-level constant Index (constants first, then samplers).
  virtual D3DXHANDLE GetConstant(D3DXHANDLE hConstant, UINT Index) = 0;
  // hConstant null: the top-level constant of that name, or null.
  virtual D3DXHANDLE GetConstantByName(D3DXHANDLE hConstant, LPCSTR pName) = 0;
  virtual D3DXHANDLE GetConstantElement(D3DXHANDLE hConstant, UINT Index) = 0;

  // Setters write the constant's registers through the device's
  // Set{Vertex,Pixel}ShaderConstantF (which one follows the table's shader).
  virtual HRESULT SetDefaults(IDirect3DDevice9* pDevice) = 0;
  virtual HRESULT SetValue(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, LPCVOID pData, UINT Bytes) = 0;
  virtual HRESULT SetBool(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, BOOL b) = 0;
  virtual HRESULT SetInt(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, INT n) = 0;
  virtual HRESULT SetFloat(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, FLOAT f) = 0;
  virtual HRESULT SetFloatArray(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, const FLOAT* pf, UINT Count) = 0;
  virtual HRESULT SetVector(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, const D3DXVECTOR4* pVector) = 0;
  virtual HRESULT SetVectorArray(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, const D3DXVECTOR4* pVector,
                                 UINT Count) = 0;
  virtual HRESULT SetMatrix(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix) = 0;
  virtual HRESULT SetMatrixArray(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix,
                                 UINT Count) = 0;
  virtual HRESULT SetMatrixTranspose(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant,
                                     const D3DXMATRIX* pMatrix) = 0;
  virtual HRESULT SetMatrixTransposeArray(IDirect3DDevice9* pDevice, D3DXHANDLE hConstant,
                                          const D3DXMATRIX* pMatrix, UINT Count) = 0;
};
typedef ID3DXConstantTable* LPD3DXCONSTANTTABLE;

// --- functions -------------------------------------------------------------------
// Profiles: "vs_1_1", "vs_2_0", "vs_3_0" / "ps_2_0", "ps_3_0" (ps_1_x are not
// supported). pSrcData need not be zero-terminated (SrcDataLen bytes are read).
HRESULT D3DXCompileShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                          LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags, LPD3DXBUFFER* ppShader,
                          LPD3DXBUFFER* ppErrorMsgs, LPD3DXCONSTANTTABLE* ppConstantTable);

// The constant table of a compiled blob (as returned in ppShader).
HRESULT D3DXGetShaderConstantTable(const DWORD* pFunction, LPD3DXCONSTANTTABLE* ppConstantTable);

// The highest profile the device's caps allow, or null without a device.
LPCSTR D3DXGetVertexShaderProfile(LPDIRECT3DDEVICE9 pDevice);
LPCSTR D3DXGetPixelShaderProfile(LPDIRECT3DDEVICE9 pDevice);

HRESULT D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);
