#pragma once
// D3DX 9 as the engine uses it: math, the HLSL compiler with constant tables,
// and the image loaders. Served by vantrel_d3dx (and vantrel_d3dx_math).

#include "platform/d3d9/d3d9.h"

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_DEFAULT_FLOAT FLT_MAX
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

// D3DX's own HRESULTs.
#define _FACDD 0x876
#define MAKE_DDHRESULT(code) ((HRESULT)(((DWORD)1 << 31) | ((DWORD)_FACDD << 16) | (DWORD)(code)))
#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_DDHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_DDHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_DDHRESULT(2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_DDHRESULT(2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_DDHRESULT(2904)
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)
#define D3DXERR_LOADEDMESHHASNODATA MAKE_DDHRESULT(2906)
#define D3DXERR_DUPLICATENAMEDFRAGMENT MAKE_DDHRESULT(2907)
#define D3DXERR_CANNOTREMOVELASTITEM MAKE_DDHRESULT(2908)

#if __has_include("platform/d3dx/d3dx9math.h")
#include "platform/d3dx/d3dx9math.h"
#endif
#include "platform/d3dx/d3dx9shader.h"
#include "platform/d3dx/d3dx9tex.h"
