// RenderDeviceDX9: construction, display modes, device creation and release,
// frame operations.

#include <cstring>
#include <new>

#include "engine/Log.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/d3d9/ReleaseCom.h"
#include "platform/d3dx/d3dx9.h"

namespace {

// Display formats tried for a fullscreen mode, best first.
const D3DFORMAT fullscreenFormats[] = {D3DFMT_A8R8G8B8,    D3DFMT_X8R8G8B8, D3DFMT_A2B10G10R10,
                                       D3DFMT_A1R5G5B5,    D3DFMT_X1R5G5B5, D3DFMT_R5G6B5};

// Depth formats in order of preference (D16 appears twice; harmless).
const D3DFORMAT depthStencilFormats[] = {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D15S1};
const D3DFORMAT depthOnlyFormats[] = {D3DFMT_D32,   D3DFMT_D24S8,   D3DFMT_D16,  D3DFMT_D24X8,
                                      D3DFMT_D24X4S4, D3DFMT_D16, D3DFMT_D15S1};

const DWORD instancingFourCC = MAKEFOURCC('I', 'N', 'S', 'T');

}  // namespace

RenderDeviceDX9::RenderDeviceDX9() {
  width = 0;
  height = 0;
  fullscreen = false;
  inScene = false;
  std::memset(counts, 0, sizeof counts);
  frame = {};
  std::memset(endedSceneCounts, 0, sizeof endedSceneCounts);
  endedScenes = {};
  pixelShaderMajor = pixelShaderMinor = 0;
  vertexShaderMajor = vertexShaderMinor = 0;
  textureStages = 0;
  maxAnisotropy = 0;
  canAutoGenMipmap = false;
  std::memset(&settings, 0, sizeof settings);
  fileManager = nullptr;
  dynamicVertexBuffer = nullptr;
  dynamicIndexBuffer = nullptr;
  quadIndexBuffer = nullptr;
  currentStream = nullptr;
  currentFormat = 0;
  currentShader = -1;
  for (int stage = 0; stage < RENDER_CACHED_STAGES; ++stage) {
    currentTextures[stage] = -1;
    // Flags 0 describe the sampler states a new device starts with.
    currentSamplerFlags[stage] = 0;
  }
  for (uint32_t& value : renderStates) value = RENDER_STATE_UNKNOWN;
  dynamicVertexPosition = 0;
  dynamicIndexPosition = 0;
  d3d = nullptr;
  device = nullptr;
  std::memset(&adapterMode, 0, sizeof adapterMode);
  std::memset(&caps, 0, sizeof caps);
  std::memset(&presentParameters, 0, sizeof presentParameters);
  for (auto& declaration : declarations) declaration = nullptr;
}

RenderDeviceDX9::~RenderDeviceDX9() {
  shutdown();
  textures.clear();
  renderTargets.clear();
  shaders.clear();
}

RenderDeviceDX9* getRenderDevice() {
  static RenderDeviceDX9 renderDevice;
  return &renderDevice;
}

void resetRenderDevice() {
  RenderDeviceDX9* renderDevice = getRenderDevice();
  renderDevice->~RenderDeviceDX9();
  new (renderDevice) RenderDeviceDX9();
}

Array<DisplayMode> RenderDeviceDX9::getDisplayModes() {
  Array<DisplayMode> modes;
  if (!d3d) {
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) fatalError("RenderDeviceDX9::getDisplayModes: Couldn't create D3D object!\n");
  }
  D3DDISPLAYMODE current;
  d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &current);

  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
    D3DDISPLAYMODE mode;
    for (UINT index = 0; SUCCEEDED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, format, index, &mode)); ++index)
      modes.append({int32_t(mode.Width), int32_t(mode.Height), 32, int32_t(mode.RefreshRate)});
  }
  return modes;
}

bool RenderDeviceDX9::init(HWND window, DisplayMode mode, DeviceSettings deviceSettings, int bufferFlags,
                           void (*startupShaders)()) {
  settings = deviceSettings;
  width = mode.width;
  height = mode.height;
  fullscreen = settings.fullscreen;

  if (!window) fatalError("RenderDeviceDX9::init: Invalid window handle!\n");

  if (!d3d) {
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) fatalError("RenderDeviceDX9::init: Couldn't create D3D object!\n");
  }

  d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &adapterMode);

  if (fullscreen) {
    bool found = false;
    for (D3DFORMAT format : fullscreenFormats) {
      D3DDISPLAYMODE candidate;
      for (UINT index = 0; SUCCEEDED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, format, index, &candidate)); ++index) {
        if (int32_t(candidate.Width) == width && int32_t(candidate.Height) == height) {
          adapterMode = candidate;
          found = true;
          break;
        }
      }
      if (found) break;
    }
    if (!found) fatalError("RenderDeviceDX9::init: No matching display mode found!\n");
  }

  // The format line below continues this one.
  logPrintf("Resolution: %dx%d %d Hz ", width, height, mode.refreshRate);

  D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
  if (bufferFlags & BUFFER_DEPTH) {
    const D3DFORMAT* candidates = depthOnlyFormats;
    size_t candidateCount = sizeof depthOnlyFormats / sizeof depthOnlyFormats[0];
    if (bufferFlags & BUFFER_STENCIL) {
      candidates = depthStencilFormats;
      candidateCount = sizeof depthStencilFormats / sizeof depthStencilFormats[0];
    }
    for (size_t i = 0; i < candidateCount && depthFormat == D3DFMT_UNKNOWN; ++i) {
      if (SUCCEEDED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterMode.Format,
                                           D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, candidates[i])))
        depthFormat = candidates[i];
    }
    if (depthFormat == D3DFMT_UNKNOWN) {
      releaseCom(d3d);
      fatalError("RenderDeviceDX9::init: No depth format found!\n");
    }
  } else if (bufferFlags & BUFFER_STENCIL) {
    fatalError("RenderDeviceDX9::init: Stencil without depth-buffer!\n");
  }

  std::memset(&presentParameters, 0, sizeof presentParameters);
  presentParameters.hDeviceWindow = window;
  presentParameters.BackBufferWidth = UINT(width);
  presentParameters.BackBufferHeight = UINT(height);
  presentParameters.BackBufferCount = 1;
  presentParameters.MultiSampleType = D3DMULTISAMPLE_TYPE(settings.multiSampleType);
  presentParameters.MultiSampleQuality = 0;
  presentParameters.Windowed = fullscreen ? FALSE : TRUE;
  presentParameters.EnableAutoDepthStencil = (bufferFlags & BUFFER_DEPTH) ? TRUE : FALSE;
  presentParameters.AutoDepthStencilFormat = depthFormat;
  presentParameters.Flags = 0;
  // A multisampled back buffer is resolved when presented, which Direct3D 9
  // allows with the discard swap effect only.
  bool multisampled = presentParameters.MultiSampleType != D3DMULTISAMPLE_NONE;
  presentParameters.SwapEffect = fullscreen || multisampled ? D3DSWAPEFFECT_DISCARD : D3DSWAPEFFECT_COPY;
  presentParameters.FullScreen_RefreshRateInHz = fullscreen ? UINT(mode.refreshRate) : 0;
  presentParameters.PresentationInterval = settings.vsync ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;

  if (SUCCEEDED(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterMode.Format, D3DFMT_A8R8G8B8,
                                     fullscreen ? FALSE : TRUE)))
    presentParameters.BackBufferFormat = D3DFMT_A8R8G8B8;
  else
    presentParameters.BackBufferFormat = adapterMode.Format;
  if (presentParameters.BackBufferFormat == D3DFMT_A8R8G8B8)
    logPrintf("Format: A8R8G8B8\n");
  else if (presentParameters.BackBufferFormat == D3DFMT_X8R8G8B8)
    logPrintf("Format: X8R8G8B8\n");

  d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
  if (!(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)) logPrintf("D3DDEVCAPS_HWTRANSFORMANDLIGHT not supported.\n");
  DWORD behaviour;
  if (caps.VertexProcessingCaps != 0) {
    behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
  } else {
    behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    logPrintf("WARNING: Using software vertex processing.\n");
  }

  if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, behaviour, &presentParameters, &device))) {
    device = nullptr;
    releaseCom(d3d);
    logPrintf("[ERROR] RenderDeviceDX9: Couldn't create D3D device!\n");
    fatalError("RenderDeviceDX9::init: Couldn't create D3D device!\n");
  }

  device->GetDeviceCaps(&caps);
  pixelShaderMajor = int32_t(D3DSHADER_VERSION_MAJOR(caps.PixelShaderVersion));
  pixelShaderMinor = int32_t(D3DSHADER_VERSION_MINOR(caps.PixelShaderVersion));
  vertexShaderMajor = int32_t(D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion));
  vertexShaderMinor = int32_t(D3DSHADER_VERSION_MINOR(caps.VertexShaderVersion));
  textureStages = int32_t(caps.MaxSimultaneousTextures);
  maxAnisotropy = int32_t(caps.MaxAnisotropy);
  canAutoGenMipmap = (caps.Caps2 & D3DCAPS2_CANAUTOGENMIPMAP) != 0;
  logPrintf("PixelShaderVersion = %d.%d\n", pixelShaderMajor, pixelShaderMinor);
  logPrintf("VertexShaderVersion = %d.%d\n", vertexShaderMajor, vertexShaderMinor);
  logPrintf("TextureStages = %d\n", textureStages);
  logPrintf("MaxAnisotropy = %d\n", maxAnisotropy);
  logPrintf(canAutoGenMipmap ? "CanAutoGenMipMap = true\n" : "CanAutoGenMipMap = false\n");
  logPrintf("\n");

  // Shader model 2 adapters may offer geometry instancing behind a vendor
  // switch: asking for the 'INST' format tells, and the point size state
  // set to the same code turns it on.
  if (pixelShaderMajor < 3) {
    if (SUCCEEDED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_SURFACE,
                                         D3DFORMAT(instancingFourCC)))) {
      setRenderState(D3DRS_POINTSIZE, instancingFourCC);
      logPrintf("ATI Instancing enabled.\n");
    }
    logPrintf("WARNING: Graphics adapter does not support HW Instancing!\n");
  }

  if (settings.anisotropy > 1 && maxAnisotropy > 1 && settings.anisotropy <= maxAnisotropy) {
    for (int stage = 0; stage < textureStages; ++stage)
      device->SetSamplerState(DWORD(stage), D3DSAMP_MAXANISOTROPY, DWORD(settings.anisotropy));
  }

  // All lighting happens in shaders.
  setRenderState(D3DRS_LIGHTING, FALSE);

  createVertexDeclarations();
  resetStateCache();
  // createVertexDeclarations bound the default declaration.
  currentFormat = VERTEXFORMAT_DEFAULT;
  initDynamicBuffers(64000, 64000);
  createQuadIndexBuffer(63996);
  if (startupShaders) startupShaders();
  return true;
}

void RenderDeviceDX9::shutdown() {
  resetStateCache();

  releaseBuffer(quadIndexBuffer);
  quadIndexBuffer = nullptr;
  releaseBuffer(dynamicVertexBuffer);
  dynamicVertexBuffer = nullptr;
  releaseBuffer(dynamicIndexBuffer);
  dynamicIndexBuffer = nullptr;

  for (TextureRecord& record : textures) {
    releaseCom(record.texture);
    if (record.name) TRACKED_FREE(record.name);
    record.name = nullptr;
  }
  textures.clear();

  for (uint32_t index = 0; index < shaders.count; ++index) releaseShader(int(index));
  shaders.clear();

  for (uint32_t index = 0; index < renderTargets.count; ++index) releaseRenderTarget(int(index));
  renderTargets.clear();

  releaseVertexDeclarations();

  releaseCom(device);
  releaseCom(d3d);

  // A device created later starts from Direct3D's defaults again; the cached
  // sampler flags must describe those, not what the old device had.
  for (int stage = 0; stage < RENDER_CACHED_STAGES; ++stage) currentSamplerFlags[stage] = 0;
  inScene = false;
}

void RenderDeviceDX9::beginScene() {
  if (!device) return;
  device->BeginScene();
  inScene = true;
  std::memset(counts, 0, sizeof counts);
  frame = {};
}

int32_t RenderDeviceDX9::statistic(int slot) const {
  switch (slot) {
  case STAT_STREAM_CHANGES: return counts[CACHED_STREAM].sent;
  case STAT_SHADER_CHANGES: return counts[CACHED_SHADER].sent;
  default: return 0;
  }
}

void RenderDeviceDX9::endScene() {
  if (!inScene) return;
  inScene = false;
  for (int kind = 0; kind < CACHED_STATES; ++kind) {
    endedSceneCounts[kind].sent += counts[kind].sent;
    endedSceneCounts[kind].skipped += counts[kind].skipped;
  }
  endedScenes.draws += frame.draws;
  endedScenes.triangles += frame.triangles;
  endedScenes.materialChanges += frame.materialChanges;
  endedScenes.renderTargetSwitches += frame.renderTargetSwitches;
  if (device) device->EndScene();
}

void RenderDeviceDX9::clear(int flags, uint32_t color, int stencil) {
  if (!device) return;
  DWORD clearFlags = 0;
  if (flags & BUFFER_COLOR) clearFlags |= D3DCLEAR_TARGET;
  if (flags & BUFFER_DEPTH) clearFlags |= D3DCLEAR_ZBUFFER;
  if (flags & BUFFER_STENCIL) clearFlags |= D3DCLEAR_STENCIL;
  if (FAILED(device->Clear(0, nullptr, clearFlags, color, 1.0f, DWORD(stencil))))
    logPrintf("RenderDeviceDX9::clear failed!");
}

void RenderDeviceDX9::present() {
  if (!device) return;
  // A lost device is never reset: frames go on and each present fails.
  if (device->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST)
    logPrintf("RenderDeviceDX9::present failed: Device lost!");
  std::memset(endedSceneCounts, 0, sizeof endedSceneCounts);
  endedScenes = {};
}

FrameCounts RenderDeviceDX9::frameTotals() const {
  FrameCounts t = endedScenes;
  if (inScene) {
    t.draws += frame.draws;
    t.triangles += frame.triangles;
    t.materialChanges += frame.materialChanges;
    t.renderTargetSwitches += frame.renderTargetSwitches;
  }
  return t;
}

CacheCounts RenderDeviceDX9::frameCacheTotals(int kind) const {
  CacheCounts t = endedSceneCounts[kind];
  if (inScene) {
    t.sent += counts[kind].sent;
    t.skipped += counts[kind].skipped;
  }
  return t;
}
