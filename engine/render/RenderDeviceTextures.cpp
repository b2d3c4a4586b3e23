// RenderDeviceDX9: textures loaded by name, render targets and the copy of
// the back buffer into a target.

#include <cstring>

#include "engine/Log.h"
#include "engine/files/FileManager.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/d3d9/ReleaseCom.h"
#include "platform/d3dx/d3dx9.h"

namespace {

char* copyName(const char* name) {
  size_t length = std::strlen(name);
  char* copy = static_cast<char*>(TRACKED_ALLOC(length + 1));
  std::memcpy(copy, name, length + 1);
  return copy;
}

}  // namespace

int RenderDeviceDX9::findTexture(const char* name) const {
  for (uint32_t index = 0; index < textures.count; ++index)
    if (textures[index].name && std::strcmp(textures[index].name, name) == 0) return int(index);
  return -1;
}

int RenderDeviceDX9::createTexture(const char* name) {
  if (!name) name = "";
  int known = findTexture(name);
  if (known >= 0) return known;

  if (!fileManager) fatalError("RenderDeviceDX9::createTexture: No file manager for '%s'.", name);
  Array<uint8_t> bytes;
  // A missing file ends the process inside the file manager; any other
  // failure to read leaves nothing to decode.
  if (!fileManager->load(bytes, name)) fatalError("RenderDeviceDX9::createTexture: Failed to obtain image information.");
  return decodeTexture(name, bytes.items, bytes.count, true);
}

int RenderDeviceDX9::createTextureFromMemory(const char* name, const void* bytes, uint32_t size) {
  if (!name) name = "";
  int known = findTexture(name);
  return known >= 0 ? known : decodeTexture(name, bytes, size, false);
}

int RenderDeviceDX9::decodeTexture(const char* name, const void* bytes, uint32_t size, bool fatal) {
  auto fail = [fatal](const char* message) {
    if (fatal) fatalError("%s", message);
    return -1;
  };
  D3DXIMAGE_INFO info;
  if (!bytes || FAILED(D3DXGetImageInfoFromFileInMemory(bytes, size, &info)))
    return fail("RenderDeviceDX9::createTexture: Failed to obtain image information.");

  TextureRecord record;
  std::memset(&record, 0, sizeof record);
  D3DSURFACE_DESC level0;
  std::memset(&level0, 0, sizeof level0);
  if (info.ResourceType == D3DRTYPE_CUBETEXTURE) {
    IDirect3DCubeTexture9* cube = nullptr;
    if (FAILED(D3DXCreateCubeTextureFromFileInMemory(device, bytes, size, &cube)) || !cube)
      return fail("RenderDeviceDX9::createTexture: Failed to create cube texture.");
    cube->GetLevelDesc(0, &level0);
    record.texture = cube;
  } else {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileInMemory(device, bytes, size, &texture)) || !texture)
      return fail("RenderDeviceDX9::createTexture: Failed to create texture.");
    texture->GetLevelDesc(0, &level0);
    record.texture = texture;
  }
  record.width = int32_t(level0.Width);
  record.height = int32_t(level0.Height);
  record.format = textureFormatFromD3D(level0.Format);
  record.name = copyName(name);
  textures.append(record);
  return int(textures.count - 1);
}

int RenderDeviceDX9::createRenderTarget(int format, int targetWidth, int targetHeight, int depthFormat) {
  RenderTarget target;
  std::memset(&target, 0, sizeof target);
  if (!device || FAILED(device->CreateTexture(UINT(targetWidth), UINT(targetHeight), 1, D3DUSAGE_RENDERTARGET,
                                              textureFormatToD3D(format), D3DPOOL_DEFAULT, &target.texture,
                                              nullptr)))
    fatalError("createRenderTarget failed (RenderDeviceDX9).\n");
  if (FAILED(target.texture->GetSurfaceLevel(0, &target.surface)))
    fatalError("RenderDeviceDX9::createRenderTarget: GetSurfaceLevel failed.\n");
  if (depthFormat != 0 &&
      FAILED(device->CreateDepthStencilSurface(UINT(targetWidth), UINT(targetHeight), textureFormatToD3D(depthFormat),
                                               D3DMULTISAMPLE_NONE, 0, TRUE, &target.depthSurface, nullptr)))
    fatalError("RenderDeviceDX9::createRenderTarget: CreateDepthStencilSurface failed.\n");
  target.viewport = {0, 0, DWORD(targetWidth), DWORD(targetHeight), 0.0f, 1.0f};
  target.width = targetWidth;
  target.height = targetHeight;
  target.format = format;
  renderTargets.append(target);
  return int(renderTargets.count - 1);
}

void RenderDeviceDX9::beginRenderTarget(int index, int slot) {
  if (!validRenderTarget(index) || !device) return;
  RenderTarget& target = renderTargets[index];
  if (!target.surface) return;
  // One saved state per target: a second begin without an end replaces it.
  releaseCom(target.savedTarget);
  releaseCom(target.savedDepthSurface);
  device->GetRenderTarget(DWORD(slot), &target.savedTarget);
  if (target.depthSurface) device->GetDepthStencilSurface(&target.savedDepthSurface);
  if (slot == 0) {
    device->GetViewport(&target.savedViewport);
    device->SetViewport(&target.viewport);
  }
  device->SetRenderTarget(DWORD(slot), target.surface);
  ++frame.renderTargetSwitches;
  if (target.depthSurface) device->SetDepthStencilSurface(target.depthSurface);
}

void RenderDeviceDX9::endRenderTarget(int index, int slot) {
  if (!validRenderTarget(index) || !device) return;
  RenderTarget& target = renderTargets[index];
  if (!target.surface) return;
  if (target.depthSurface) {
    device->SetDepthStencilSurface(target.savedDepthSurface);
    releaseCom(target.savedDepthSurface);
  }
  device->SetRenderTarget(DWORD(slot), target.savedTarget);
  ++frame.renderTargetSwitches;
  releaseCom(target.savedTarget);
  if (slot == 0) device->SetViewport(&target.savedViewport);
}

void RenderDeviceDX9::releaseRenderTarget(int index) {
  if (!validRenderTarget(index)) return;
  RenderTarget& target = renderTargets[index];
  releaseCom(target.texture);
  releaseCom(target.surface);
  releaseCom(target.depthSurface);
  releaseCom(target.savedTarget);
  releaseCom(target.savedDepthSurface);
  target.format = 0;
}

void RenderDeviceDX9::getRenderTargetSize(int index, uint32_t& targetWidth, uint32_t& targetHeight) {
  if (!validRenderTarget(index)) {
    targetWidth = 0;
    targetHeight = 0;
    return;
  }
  targetWidth = uint32_t(renderTargets[index].width);
  targetHeight = uint32_t(renderTargets[index].height);
}

void RenderDeviceDX9::setRenderTargetTexture(int stage, int index) {
  if (!device || stage < 0 || stage >= RENDER_CACHED_STAGES) return;
  if (index != -1 && !validRenderTarget(index)) return;
  device->SetTexture(DWORD(stage), index == -1 ? nullptr : renderTargets[index].texture);
  currentTextures[stage] = -1;
}

void RenderDeviceDX9::getBackbuffer(int index) {
  IDirect3DSurface9* targetSurface = nullptr;
  IDirect3DSurface9* backBuffer = nullptr;
  IDirect3DTexture9* texture = validRenderTarget(index) ? renderTargets[index].texture : nullptr;
  if (!device || !texture || FAILED(texture->GetSurfaceLevel(0, &targetSurface))) {
    logPrintf("RenderDeviceDX9::getBackbuffer: GetSurfaceLevel failed.");
  } else if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) {
    logPrintf("RenderDeviceDX9::getBackbuffer: GetBackBuffer failed.");
  } else if (FAILED(device->StretchRect(backBuffer, nullptr, targetSurface, nullptr, D3DTEXF_LINEAR))) {
    logPrintf("RenderDeviceDX9::getBackbuffer: StretchRect failed.");
  }
  releaseCom(backBuffer);
  releaseCom(targetSurface);
}
