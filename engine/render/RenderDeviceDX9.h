#pragma once
// RenderDeviceDX9: the engine's only path to Direct3D 9. One process-wide
// object (getRenderDevice) that lists display modes, creates the device,
// owns every device resource in index-addressed tables (textures, render
// targets, shader pairs; -1 means none) or as buffer handles, and caches
// device state so that repeated values are never sent twice. Every state
// change of the engine goes through these operations; anything that talks to
// the device around them makes the cache wrong.
//
// Sources: RenderDeviceInit.cpp (modes, init, shutdown, frame operations),
// RenderDeviceBuffers.cpp (declarations, buffers, streams, draws),
// RenderDeviceTextures.cpp (textures, render targets, back-buffer copy),
// RenderDeviceShaders.cpp (shader pairs and constants),
// RenderDeviceMaterials.cpp (materials, sampler flags, state cache).

#include <cstdint>
#include <type_traits>

#include "engine/Array.h"
#include "engine/render/DeviceTypes.h"
#include "engine/render/DrawCall.h"
#include "engine/render/Material.h"
#include "engine/render/TextureFormats.h"
#include "engine/render/VertexFormats.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3dx/d3dx9shader.h"

class FileManager;
struct ID3DXConstantTable;

// One loaded texture.
struct TextureRecord {
  IDirect3DBaseTexture9* texture;  // 2-D or cube, owned
  int32_t width;                   // level 0 (one face of a cube)
  int32_t height;
  int32_t format;  // TextureFormat code of level 0, 0 when not in the reverse mapping
  char* name;      // the name it was requested with (tracked copy)
};

// One render target and what it displaced while it is active.
struct RenderTarget {
  IDirect3DTexture9* texture;        // one level, owned
  IDirect3DSurface9* surface;        // its level 0, owned
  IDirect3DSurface9* depthSurface;   // owned, may be null
  D3DVIEWPORT9 viewport;             // the whole target
  int32_t width;
  int32_t height;
  int32_t format;                    // TextureFormat code; 0 once released
  IDirect3DSurface9* savedTarget;    // between begin and end
  IDirect3DSurface9* savedDepthSurface;
  D3DVIEWPORT9 savedViewport;
};

// One compiled pair; either half may be missing.
// A constant's handles in both stages, remembered by name: items set the same
// dozen constants by name every frame. The name is kept as text, so a caller
// that reuses a buffer for another name never meets a stale entry.
#define SHADER_HANDLE_CACHE 16
#define SHADER_HANDLE_NAME 32
struct ConstantHandles {
  const char* key;
  char name[SHADER_HANDLE_NAME];
  D3DXHANDLE vertex;
  D3DXHANDLE pixel;
};

struct ShaderRecord {
  IDirect3DVertexShader9* vertexShader;
  IDirect3DPixelShader9* pixelShader;
  ID3DXConstantTable* vertexConstants;
  ID3DXConstantTable* pixelConstants;
  ConstantHandles handles[SHADER_HANDLE_CACHE] = {};
  uint32_t handleCount = 0;
};

// Slots of RenderDeviceDX9::statistic that are counted: changes sent to the
// device since beginScene.
enum {
  STAT_STREAM_CHANGES = 2,
  STAT_SHADER_CHANGES = 4,
  RENDER_STATISTICS = 7,
};

// The kinds of state the render device caches.
enum CachedState {
  CACHED_RENDER_STATE,
  CACHED_SAMPLER_FLAGS,
  CACHED_TEXTURE,
  CACHED_SHADER,
  CACHED_STREAM,
  CACHED_DECLARATION,
  CACHED_STATES,
};

// What one kind of cached state sent to the device and what it kept back,
// since beginScene.
struct CacheCounts {
  int32_t sent;
  int32_t skipped;
};

// What the frame asked of the device since beginScene.
struct FrameCounts {
  int32_t draws;
  int32_t triangles;
  int32_t materialChanges;
  int32_t renderTargetSwitches;
};

#define RENDER_CACHED_STAGES 8
#define RENDER_STATE_UNKNOWN 0xFFFFFFFFu

class RenderDeviceDX9 {
 public:
  RenderDeviceDX9();
  ~RenderDeviceDX9();
  RenderDeviceDX9(const RenderDeviceDX9&) = delete;
  RenderDeviceDX9& operator=(const RenderDeviceDX9&) = delete;

  // --- device and frame ---
  // Every mode of adapter 0 in A8R8G8B8, then X8R8G8B8, as listed (32 bits each).
  Array<DisplayMode> getDisplayModes();
  // Creates the device on the window; true, or the process ends with a message.
  // startupShaders, when given, is called as init's last step to compile the
  // shaders its owner draws with (the scene passes compileBuiltInShaders).
  bool init(HWND window, DisplayMode mode, DeviceSettings settings, int bufferFlags,
            void (*startupShaders)() = nullptr);
  // Releases everything; a second call does nothing.
  void shutdown();
  void beginScene();
  void endScene();
  // flags: BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL; colour is ARGB.
  void clear(int flags, uint32_t color, int stencil);
  void present();

  // --- buffers and draws ---
  IDirect3DVertexBuffer9* createVertexBuffer(uint32_t bytes, uint32_t format, bool dynamic);
  // size 0 locks the whole buffer.
  void* lockVertexBuffer(IDirect3DVertexBuffer9* buffer, uint32_t offset, uint32_t size, uint32_t lockFlags);
  void unlockVertexBuffer(IDirect3DVertexBuffer9* buffer);
  IDirect3DIndexBuffer9* createIndexBuffer(uint32_t indexCount, bool use32Bit, bool dynamic);
  void* lockIndexBuffer(IDirect3DIndexBuffer9* buffer, uint32_t offset, uint32_t size, bool discard);
  void unlockIndexBuffer(IDirect3DIndexBuffer9* buffer);
  // Either kind of buffer, or null.
  void releaseBuffer(IDirect3DResource9* buffer);
  void setIndexBuffer(IDirect3DIndexBuffer9* buffer);
  // Binds stream 0 and its declaration; nothing at all when the buffer is already bound.
  void setVertexStream(IDirect3DVertexBuffer9* buffer, uint32_t format, uint32_t stride);
  void SetVertexDecl(uint32_t format);
  // Null calls and calls without a vertex buffer draw nothing.
  void draw(const DrawCall* call);
  void DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices, uint32_t stride);
  void initDynamicBuffers(uint32_t vertexCount, uint32_t indexCount);
  void createQuadIndexBuffer(uint32_t indexCount);

  // --- textures and render targets ---
  // Loads through the file manager once per exact name; the index of the record.
  int createTexture(const char* name);
  // The same from an image file's bytes already in memory (a file outside
  // the data source), named for later lookups; -1, with nothing kept, when
  // they do not decode, where createTexture ends the process.
  int createTextureFromMemory(const char* name, const void* bytes, uint32_t size);
  int createRenderTarget(int format, int width, int height, int depthFormat);
  void beginRenderTarget(int index, int slot);
  void endRenderTarget(int index, int slot);
  void releaseRenderTarget(int index);
  void getRenderTargetSize(int index, uint32_t& width, uint32_t& height);
  // Binds a target's texture (or nothing for -1) and forgets the stage's cached texture.
  void setRenderTargetTexture(int stage, int index);
  // Copies the back buffer into the target; failures are logged, not fatal.
  void getBackbuffer(int index);

  // --- shaders ---
  // Either source may be null (not both); -1 when no shader object resulted.
  int createShader(const char* vertexSource, const char* pixelSource);
  // Indices -1 and out of the table are ignored.
  void setShader(int index);
  void releaseShader(int index);
  // Set the named constant in whichever of the pair's shaders declares it;
  // unknown names and shader indices outside the table are skipped.
  void setShaderFloat(int shader, const char* name, float value);
  void setShaderFloatArray(int shader, const char* name, const float* values, uint32_t count);
  void setShaderVector(int shader, const char* name, const float* vector4);
  // Row-vector 4x4 matrix; uploaded transposed.
  void setShaderMatrix(int shader, const char* name, const float* matrix4x4);

  // --- materials and state cache ---
  void compileRenderStates(Material* material);
  void setMaterial(const Material* material);
  void setSamplerFlags(int stage, int flags);
  void resetStateCache();

  // --- what the state cache holds and counts ---
  // What the cache takes the device to hold; null / -1 where it knows nothing.
  IDirect3DVertexBuffer9* cachedStream() const { return currentStream; }
  int32_t cachedShader() const { return currentShader; }
  // A STAT_* slot; 0 for slots that are not counted.
  int32_t statistic(int slot) const;
  CacheCounts cacheCounts(CachedState kind) const { return counts[kind]; }
  FrameCounts frameCounts() const { return frame; }
  // The same over the whole frame: every scene since the last present.
  FrameCounts frameTotals() const;
  CacheCounts frameCacheTotals(int kind) const;
  // The declaration of a vertex format; null for a code that is none of the four.
  IDirect3DVertexDeclaration9* declaration(uint32_t format) const;

  // --- fields (plain data; other parts read settings and sizes) ---
  int32_t width;
  int32_t height;
  bool fullscreen;
  bool inScene;
  int32_t pixelShaderMajor;
  int32_t pixelShaderMinor;
  int32_t vertexShaderMajor;
  int32_t vertexShaderMinor;
  int32_t textureStages;
  int32_t maxAnisotropy;
  bool canAutoGenMipmap;
  DeviceSettings settings;
  FileManager* fileManager;  // borrowed; set by start-up before textures are loaded

  Array<TextureRecord> textures;
  Array<RenderTarget> renderTargets;
  Array<ShaderRecord> shaders;

  IDirect3DVertexBuffer9* dynamicVertexBuffer;
  IDirect3DIndexBuffer9* dynamicIndexBuffer;
  IDirect3DIndexBuffer9* quadIndexBuffer;

  IDirect3D9* d3d;
  IDirect3DDevice9* device;
  D3DDISPLAYMODE adapterMode;  // its format is the adapter format of every check
  D3DCAPS9 caps;
  D3DPRESENT_PARAMETERS presentParameters;

 private:
  int findTexture(const char* name) const;
  int decodeTexture(const char* name, const void* bytes, uint32_t size, bool fatal);

  // The state cache's one compare-then-call step: send() runs only when value
  // differs from what the cache holds, and the cache holds value afterwards.
  // send() may still read the old value. True when it ran.
  template <typename T, typename Send>
  bool sendChanged(CachedState kind, T& cached, std::type_identity_t<T> value, Send&& send) {
    CacheCounts& count = counts[kind];
    if (cached == value) {
      ++count.skipped;
      return false;
    }
    send();
    cached = value;
    ++count.sent;
    return true;
  }
  void setRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    sendChanged(CACHED_RENDER_STATE, renderStates[state], value, [&] { device->SetRenderState(state, value); });
  }
  void createVertexDeclarations();
  void releaseVertexDeclarations();
  bool validTexture(int index) const { return index >= 0 && uint32_t(index) < textures.count; }
  bool validRenderTarget(int index) const { return index >= 0 && uint32_t(index) < renderTargets.count; }
  bool validShader(int index) const { return index >= 0 && uint32_t(index) < shaders.count; }

  // State cache.
  IDirect3DVertexBuffer9* currentStream;
  uint32_t currentFormat;
  int32_t currentShader;
  int32_t currentTextures[RENDER_CACHED_STAGES];
  int32_t currentSamplerFlags[RENDER_CACHED_STAGES];
  uint32_t renderStates[256];
  CacheCounts counts[CACHED_STATES];
  FrameCounts frame;
  // What the frame's ended scenes counted; emptied by present.
  CacheCounts endedSceneCounts[CACHED_STATES];
  FrameCounts endedScenes;
  void countDraw(D3DPRIMITIVETYPE type, uint32_t primitives) {
    ++frame.draws;
    if (type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN)
      frame.triangles += int32_t(primitives);
  }

  uint32_t dynamicVertexPosition;
  uint32_t dynamicIndexPosition;

  // One declaration per vertex format: screen, default, mesh, coloured.
  IDirect3DVertexDeclaration9* declarations[4];
};

// The process's render device.
RenderDeviceDX9* getRenderDevice();

// Shuts the device down and returns it to its freshly constructed state
// (tables empty, cache cleared, no Direct3D object). For tests, which need a
// clean device per case.
void resetRenderDevice();
