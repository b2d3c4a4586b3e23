#include "engine/scene/SGScene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "engine/Log.h"
#include "engine/Memory.h"
#include "engine/scene/ASELoader.h"
#include "engine/scene/ScenePreload.h"
#include "engine/render/Material.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/BuiltInShaderTable.h"
#include "engine/scene/SGCamera.h"
#include "engine/scene/SGLight.h"
#include "engine/scene/SGMesh.h"
#include "engine/scene/SceneBitmaps.h"

const char* const sceneProjectorTexture = "./data/fajna.jpg";

namespace {

// Depth test and writes, counter-clockwise culling, solid, no blending.
const int32_t sceneRenderFlags = RF_DEPTH_WRITE | RF_CULL_CCW | RF_FILL_SOLID | RF_BLEND_OFF;
// A viewed scene's: the same without culling, in both passes.
const int32_t viewedRenderFlags = RF_DEPTH_WRITE | RF_CULL_NONE | RF_FILL_SOLID | RF_BLEND_OFF;
// What a mesh without a material or wireframe colour is drawn in.
const float neutralGrey[3] = {0.6f, 0.6f, 0.6f};
// Texture formats of the shadow map: one 32-bit float channel, D24S8 depth.
const int shadowColourFormat = 17;
const int shadowDepthFormat = 35;

}  // namespace

SGScene::SGScene()
    : light(nullptr),
      clearColor(0xFFF0F0F0u),
      camera(nullptr),
      depthMaterial(nullptr),
      shadowTarget(-1),
      shadowMapSize(1024),
      depthRange(nullptr) {
  for (int axis = 0; axis < 3; ++axis) {
    bounds.minimum[axis] = 99999.99f;
    bounds.maximum[axis] = -99999.99f;
  }
  // Defined before any load, so a frame after a failed load has a box.
  storeCorners();
  for (int i = 0; i < 4; ++i) depthBlurParams[i] = renderQueueDofParams[i];
}

SGScene::~SGScene() {
  for (SGMesh*& node : nodes) {
    delete node;
    node = nullptr;
  }
  nodes.clear();
  for (Material*& material : materials) releaseRef(material);
  materials.clear();
  for (Material*& material : partMaterials) releaseRef(material);
  partMaterials.clear();
  if (depthRange) TRACKED_FREE(depthRange);
  depthRange = nullptr;
  for (int32_t shader : viewedShaders)
    if (shader >= 0) getRenderDevice()->releaseShader(shader);
}

namespace {

// A viewed scene's bitmap, read straight from the disk (it is not in the
// demo's data source); -1 when it cannot be read or does not decode.
int loadTextureFile(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return -1;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || bytes.empty() || bytes.size() > UINT32_MAX) return -1;
  return getRenderDevice()->createTextureFromMemory(path, bytes.data(), uint32_t(bytes.size()));
}

}  // namespace

// What a viewed scene's parts are drawn with, as far as known: the
// materials made for sub-materials and for wireframe colours.
struct SGScene::ViewedKeys {
  const Array<ASEMaterial*>* fileMaterials;
  const char* fileName;
  std::vector<std::pair<const ASEMaterial*, uint32_t>> subMaterials;
  std::vector<std::pair<std::array<float, 3>, uint32_t>> colours;
  uint32_t unnamed = 0;  // meshes that name no material of the file
};

bool SGScene::load(const char* fileName) {
  loadError[0] = '\0';
  bool loaded = false;
  ASELoader* loader = scenePreloadTake(fileName, &loaded);
  if (!loader) {
    loader = TRACKED_NEW(ASELoader);
    loader->unsupportedIsFatal = !viewed;
    loaded = loader->load(fileName);
  }
  if (!loaded) {
    if (loader->refusal && loader->refusalLine)
      std::snprintf(loadError, sizeof loadError, "%s (line %u)", loader->refusal, loader->refusalLine);
    else
      std::snprintf(loadError, sizeof loadError, "%s", loader->refusal ? loader->refusal : "cannot be opened");
    TRACKED_DELETE(loader);
    return false;
  }

  loader->getNodes(nodes);
  firstFrame = loader->firstFrame;
  lastFrame = loader->lastFrame;
  frameSpeed = loader->frameSpeed;
  ticksPerFrame = loader->ticksPerFrame;

  RenderDeviceDX9* device = getRenderDevice();
  Array<ASEMaterial*> fileMaterials;
  loader->getMaterials(fileMaterials);
  for (const ASEMaterial* source : fileMaterials) {
    Material* material = newMaterial(source->ambient, source->diffuse, source->specular);
    if (viewed) {
      viewedMaterial(material, source, fileName, std::to_string(materials.count).c_str());
    } else {
      // Every material projects the same slide; the file's own bitmaps are not used.
      material->textures[1] = device->createTexture(sceneProjectorTexture);
      material->samplerFlags[1] = SAMPLER_LINEAR | SAMPLER_MIPMAP | SAMPLER_BORDER;
      material->samplerFlags[0] = SAMPLER_BORDER;
      material->shader = builtInShaders[SHADER_SPOT_LIGHT_SHADOW];
    }
    device->compileRenderStates(material);
    materials.append(material);
  }

  BoundingBox box;
  ViewedKeys known{&fileMaterials, fileName, {}, {}};
  Array<uint32_t> faceKeys;
  uint32_t drawnMeshes = 0;
  for (SGMesh* node : nodes) {
    if (viewed) {
      viewedFaceKeys(node, known, faceKeys);
      node->buildGeometry(faceKeys.items);
    } else {
      node->buildGeometry();
    }
    // A node without positions has only the sentinel bounds, which would
    // stretch the box (and the far plane) to a hundred thousand units.
    if (node->getImportMesh().positions.count != 0) {
      D3DXVECTOR3 lo, hi;
      node->computeBounds(&lo, &hi);
      BoundingBox nodeBox;
      for (int axis = 0; axis < 3; ++axis) {
        nodeBox.minimum[axis] = lo[axis];
        nodeBox.maximum[axis] = hi[axis];
      }
      box.merge(nodeBox);
    }
    if (node->drawCall() && !drawable(node))
      logPrintf("SGScene::load: Node '%s' names material %d of %u, not drawn.\n", node->getName(),
                node->getMaterialIndex(), materials.count);
    if (drawable(node)) ++drawnMeshes;
  }
  bounds = box;
  storeCorners();
  if (known.unnamed)
    logPrintf("SGScene::load: %u of %u meshes name no material of the file: drawn in their wireframe colours "
              "(grey where they have none).\n",
              known.unnamed, drawnMeshes);

  bool any = drawnMeshes != 0;
  if (!any && viewed) {
    // Say what the file held, so that a refusal is never a mystery.
    char held[128];
    if (loader->objectsRead == 0)
      std::snprintf(held, sizeof held, "%s",
                    loader->sawHeader ? "the file holds no geometry object"
                                      : "no geometry object (is it an ASE export? it has no *3DSMAX_ASCIIEXPORT line)");
    else if (loader->skippedObjects)
      std::snprintf(held, sizeof held, "%u of its %u objects could not be used (log.txt says why), the rest have no faces",
                    loader->skippedObjects, loader->objectsRead);
    else
      std::snprintf(held, sizeof held, "none of its %u objects has faces", loader->objectsRead);
    if (std::snprintf(loadError, sizeof loadError, "no drawable mesh: %s%s%s", held, loader->damage[0] ? "; " : "",
                      loader->damage) < 0)
      std::snprintf(loadError, sizeof loadError, "no drawable mesh");
  }
  fileMaterials.clear();
  TRACKED_DELETE(loader);
  if (!any && viewed) return false;
  // The frame will be empty; say so rather than leave it unexplained.
  if (!any) logPrintf("SGScene::load: Scene '%s' has no drawable mesh.\n", fileName);
  return true;
}

Material* SGScene::newMaterial(const float* ambient, const float* diffuse, const float* specular) {
  Material* material = TRACKED_NEW(Material);
  material->renderFlags = viewed ? viewedRenderFlags : sceneRenderFlags;
  for (int c = 0; c < 3; ++c) {
    material->ambient[c] = ambient[c];
    material->diffuse[c] = diffuse[c];
    material->specular[c] = specular[c];
  }
  material->ambient[3] = material->diffuse[3] = material->specular[3] = 1.0f;
  return material;
}

uint32_t SGScene::addPartMaterial(Material* material) {
  getRenderDevice()->compileRenderStates(material);
  partMaterials.append(material);
  return materials.count + partMaterials.count - 1;
}

void SGScene::viewedFaceKeys(const SGMesh* node, ViewedKeys& known, Array<uint32_t>& keys) {
  const ImportMesh& mesh = node->getImportMesh();
  const uint32_t faceCount = mesh.faces.count / 3;
  keys.resize(faceCount, false);
  if (!node->namesMaterial() || uint32_t(node->getMaterialIndex()) >= materials.count) {
    // The colour the modelling tool shows the object in; one material per colour.
    const float* colour = node->getWireframeColour();
    std::array<float, 3> rgb{};
    for (int c = 0; c < 3; ++c) rgb[c] = colour ? std::clamp(colour[c], 0.0f, 1.0f) : neutralGrey[c];
    uint32_t key = 0;
    auto found = std::find_if(known.colours.begin(), known.colours.end(), [&](const auto& e) { return e.first == rgb; });
    if (found != known.colours.end()) {
      key = found->second;
    } else {
      const float none[3] = {0.0f, 0.0f, 0.0f};
      Material* material = newMaterial(rgb.data(), rgb.data(), none);
      viewedMaterial(material, nullptr, known.fileName, nullptr);
      key = addPartMaterial(material);
      known.colours.emplace_back(rgb, key);
    }
    for (uint32_t f = 0; f < faceCount; ++f) keys.items[f] = key;
    if (faceCount) ++known.unnamed;
    return;
  }

  const uint32_t index = uint32_t(node->getMaterialIndex());
  const ASEMaterial* top = known.fileMaterials->items[index];
  for (uint32_t f = 0; f < faceCount; ++f) {
    // Each level of a multi-material takes the id modulo its count.
    const int64_t id = f < mesh.faceMaterials.count ? mesh.faceMaterials.items[f] : 0;
    const ASEMaterial* leaf = top;
    std::string label = std::to_string(index);
    while (leaf->subMaterials.count) {
      const int64_t count = leaf->subMaterials.count;
      const uint32_t pick = uint32_t(((id % count) + count) % count);
      leaf = leaf->subMaterials.items[pick];
      label.push_back('.');
      label.append(std::to_string(pick));
    }
    if (leaf == top) {
      keys.items[f] = index;
      continue;
    }
    auto found = std::find_if(known.subMaterials.begin(), known.subMaterials.end(),
                              [&](const auto& e) { return e.first == leaf; });
    if (found != known.subMaterials.end()) {
      keys.items[f] = found->second;
      continue;
    }
    Material* material = newMaterial(leaf->ambient, leaf->diffuse, leaf->specular);
    viewedMaterial(material, leaf, known.fileName, label.c_str());
    keys.items[f] = addPartMaterial(material);
    known.subMaterials.emplace_back(leaf, keys.items[f]);
  }
}

void SGScene::viewedMaterial(Material* material, const ASEMaterial* source, const char* fileName, const char* label) {
  RenderDeviceDX9* device = getRenderDevice();
  int base = -1;
  const char* bitmap = source ? source->getBitmap() : "";
  if (*bitmap) {
    std::string found = findSceneBitmap(fileName, bitmap);
    if (!found.empty()) base = loadTextureFile(found.c_str());
    if (base < 0)
      logPrintf("SGScene::load: Material %s '%s': bitmap '%s' %s, drawn in its colour.\n", label, source->getName(),
                bitmap, found.empty() ? "not found" : "does not decode");
  }
  material->textures[1] = slide ? device->createTexture(sceneProjectorTexture) : whiteTexture();
  material->samplerFlags[1] = SAMPLER_LINEAR | SAMPLER_MIPMAP | SAMPLER_BORDER;
  material->samplerFlags[0] = SAMPLER_BORDER;
  if (base >= 0) {
    material->textures[2] = base;
    material->samplerFlags[2] = SAMPLER_LINEAR | SAMPLER_MIPMAP;
  }
  material->shader = viewedShader(base >= 0);
}

int SGScene::viewedShader(bool textured) {
  int32_t& shader = viewedShaders[textured ? 1 : 0];
  if (shader < 0) shader = createViewedSceneShader(textured);
  return shader;
}

int SGScene::whiteTexture() {
  // One white texel as a TGA file (uncompressed true colour, 24 bits).
  static const uint8_t white[18 + 3] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0x20, 255, 255, 255};
  return getRenderDevice()->createTextureFromMemory("(white)", white, sizeof white);
}

void SGScene::storeCorners() {
  const float* lo = bounds.minimum;
  const float* hi = bounds.maximum;
  for (int corner = 0; corner < 8; ++corner) {
    boxCorners[corner][0] = (corner & 1) ? hi[0] : lo[0];
    boxCorners[corner][1] = (corner & 4) ? hi[1] : lo[1];
    boxCorners[corner][2] = (corner & 2) ? hi[2] : lo[2];
  }
}

void SGScene::createShadowResources() {
  RenderDeviceDX9* device = getRenderDevice();
  shadowTarget = device->createRenderTarget(shadowColourFormat, shadowMapSize, shadowMapSize, shadowDepthFormat);
  if (!depthMaterial) depthMaterial = TRACKED_NEW(Material);
  depthMaterial->renderFlags = viewed ? viewedRenderFlags : sceneRenderFlags;
  depthMaterial->shader = builtInShaders[SHADER_DEPTH];
  for (int c = 0; c < 4; ++c) {
    depthMaterial->ambient[c] = 0.0f;
    depthMaterial->diffuse[c] = 0.0f;
    depthMaterial->specular[c] = 0.0f;
  }
  device->compileRenderStates(depthMaterial);
}

void SGScene::releaseShadowResources() {
  if (shadowTarget != -1) getRenderDevice()->releaseRenderTarget(shadowTarget);
  shadowTarget = -1;
  releaseRef(depthMaterial);
}

bool SGScene::drawable(const SGMesh* node) const {
  // A viewed node's parts each have a material by construction.
  if (viewed) return node->drawCall() != nullptr;
  int32_t index = node->getMaterialIndex();
  return node->drawCall() && index >= 0 && uint32_t(index) < materials.count;
}

Material* SGScene::partMaterial(const SGMesh* node, uint32_t part) const {
  uint32_t key = viewed ? node->partKey(part) : uint32_t(node->getMaterialIndex());
  return key < materials.count ? materials[key] : partMaterials[key - materials.count];
}

void SGScene::addNodes(RenderQueue& queue) {
  for (SGMesh* node : nodes) {
    if (!drawable(node)) continue;
    const D3DXMATRIX world = node->worldMatrix();
    // The demo's own scene draws each node's first part, as it has only one.
    const uint32_t parts = viewed ? node->partCount() : 1;
    for (uint32_t part = 0; part < parts; ++part) {
      RenderItem item;
      item.drawable = node->partDrawCall(part);
      item.material = partMaterial(node, part);
      item.world = world;
      queue.addItem(item);
    }
  }
}

void SGScene::setDepthBlurFocus(float focus, float reach) {
  depthBlurParams[0] = focus - reach;
  depthBlurParams[1] = focus;
  depthBlurParams[2] = focus + reach;
  depthBlurParams[3] = renderQueueDofParams[3];
  mainQueue.dofParams = depthBlurParams;
  shadowQueue.dofParams = depthBlurParams;
}

void SGScene::animate(double seconds) {
  const double start = double(firstFrame) * ticksPerFrame;
  const double span = double(lastFrame - firstFrame) * ticksPerFrame;
  const double ticksPerSecond = double(frameSpeed) * ticksPerFrame;
  double tick = start;
  if (span > 0.0 && ticksPerSecond > 0.0 && seconds > 0.0) tick += std::fmod(seconds * ticksPerSecond, span);
  // A file's range may reach past what a tick can hold; the tracks end there.
  tick = std::clamp(tick, double(INT32_MIN), double(INT32_MAX));
  for (SGMesh* node : nodes) node->animate(int32_t(tick));
}

void SGScene::render(float) {
  if (!camera || !light) {
    logPrintf("SGScene::render: No camera or light linked.\n");
    return;
  }
  RenderDeviceDX9* device = getRenderDevice();
  device->beginScene();

  // The far plane follows the scene box: the deepest corner in view space.
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &camera->eye, &camera->target, &camera->up);
  float farthest = 0.0f;
  for (const float* corner : boxCorners) {
    float depth = corner[0] * view._13 + corner[1] * view._23 + corner[2] * view._33 + view._43;
    if (depth > farthest) farthest = depth;
  }
  if (depthRange) TRACKED_FREE(depthRange);
  depthRange = static_cast<float*>(TRACKED_ALLOC(2 * sizeof(float)));
  depthRange[0] = camera->nearPlane;
  depthRange[1] = farthest + camera->nearPlane;

  device->clear(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, clearColor, 0);
  light->update();

  // Shadow pass: light-space depth of every node.
  device->beginRenderTarget(shadowTarget, 0);
  device->clear(BUFFER_COLOR | BUFFER_DEPTH, 0xFFFFFFFFu, 0);
  shadowQueue.reset();
  shadowQueue.clearFlags = 0;
  shadowQueue.setProjection(light->projection);
  shadowQueue.setView(light->view);
  shadowQueue.setEyePosition(light->position);
  addNodes(shadowQueue);
  shadowQueue.drawQueue(depthMaterial);
  device->endRenderTarget(shadowTarget, 0);

  // World to shadow-map texture space, half a texel in.
  const float offset = 0.5f + 0.5f / float(shadowMapSize);
  D3DXMATRIX bias(0.5f, 0.0f, 0.0f, 0.0f,
                  0.0f, -0.5f, 0.0f, 0.0f,
                  0.0f, 0.0f, 1.0f, 0.0f,
                  offset, offset, 0.0f, 1.0f);
  D3DXMATRIX lightViewProjection;
  D3DXMatrixMultiply(&lightViewProjection, &light->view, &light->projection);
  D3DXMatrixMultiply(&light->shadowMatrix, &lightViewProjection, &bias);

  // Main pass from the camera, the shadow map on stage 0.
  D3DXMATRIX projection;
  D3DXMatrixPerspectiveFovLH(&projection, camera->fov * 0.017453292f, device->settings.aspectRatio, depthRange[0],
                             depthRange[1]);
  device->setRenderTargetTexture(0, shadowTarget);
  device->setSamplerFlags(0, SAMPLER_BORDER);
  mainQueue.reset();
  mainQueue.clearFlags = 0;
  mainQueue.setProjection(projection);
  mainQueue.setView(view);
  mainQueue.setEyePosition(camera->eye);
  mainQueue.addLight(light);
  addNodes(mainQueue);
  mainQueue.drawQueue(nullptr);
  device->setRenderTargetTexture(0, -1);
  device->setSamplerFlags(0, SAMPLER_LINEAR | SAMPLER_MIPMAP);

  device->endScene();
}
