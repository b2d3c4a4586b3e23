// ASELoader, materials: the material list, each material's colours and
// diffuse bitmap, and the sub-materials of multi-materials.

#include <cstring>

#include "engine/Memory.h"
#include "engine/scene/ASELoader.h"

namespace {

void copyText(Array<char>& to, const char* text) {
  size_t length = std::strlen(text);
  to.resize(uint32_t(length + 1), false);
  std::memcpy(to.items, text, length + 1);
}

}  // namespace

ASEMaterial::ASEMaterial() : ambient{0, 0, 0}, diffuse{0, 0, 0}, specular{0, 0, 0}, shine(0) {}

ASEMaterial::~ASEMaterial() {
  for (ASEMaterial* sub : subMaterials) delete sub;
}

void ASEMaterial::setBitmap(const char* text) { copyText(bitmap, text); }

void ASEMaterial::setName(const char* text) { copyText(name, text); }

void* ASEMaterial::operator new(size_t size) noexcept { return TRACKED_ALLOC(size); }

void ASEMaterial::operator delete(void* pointer) noexcept {
  if (pointer) TRACKED_FREE(pointer);
}

void ASELoader::readMaterialList() {
  Block block(*this);
  for (;;) {
    if (!nextLine()) return;
    if (isKeyword("*MATERIAL_COUNT")) {
      int32_t count = 0;
      scanInt(&count);
      for (int32_t i = 0; i < count; ++i) {
        // The material's own header line, not examined (but a top-level
        // object there means the list was never closed).
        if (!nextLine()) return;
        if (atEnd && lineLength == 0) break;
        ASEMaterial* material = new ASEMaterial();
        if (!atEnd) readMaterial(material, 0);
        materials.append(material);
        if (stopped()) break;
      }
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      return;
    }
    if (stopped()) return;
  }
}

void ASELoader::readMaterial(ASEMaterial* material, uint32_t depth) {
  Block block(*this);
  for (;;) {
    if (!nextLine()) return;
    if (isKeyword("*MAP_DIFFUSE")) {
      readMapDiffuse(material);
    } else if (isKeyword("*MATERIAL_NAME")) {
      material->setName(quotedText());
    } else if (isKeyword("*MATERIAL_SHINE")) {
      scanFloats(&material->shine, 1);
    } else if (isKeyword("*MATERIAL_SHINESTRENGTH")) {
      // A strength line without a number leaves the specular colour alone.
      float strength = 1.0f;
      scanFloats(&strength, 1);
      if (strength > 1.0f) strength = 1.0f;
      if (strength < 0.0f) strength = 0.0f;
      for (float& c : material->specular) c *= strength;
    } else if (isKeyword("*MATERIAL_AMBIENT")) {
      scanFloats(material->ambient, 3);
    } else if (isKeyword("*MATERIAL_DIFFUSE")) {
      scanFloats(material->diffuse, 3);
    } else if (isKeyword("*MATERIAL_SPECULAR")) {
      scanFloats(material->specular, 3);
    } else if (isKeyword("*SUBMATERIAL") && depth < maxMaterialDepth) {
      // In file order: the exporter numbers them from 0 without gaps.
      ASEMaterial* sub = new ASEMaterial();
      readMaterial(sub, depth + 1);
      material->subMaterials.append(sub);
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      return;
    }
    if (stopped()) return;
  }
}

void ASELoader::readMapDiffuse(ASEMaterial* material) {
  Block block(*this);
  for (;;) {
    if (!nextLine()) return;
    if (isKeyword("*BITMAP")) {
      material->setBitmap(quotedText());
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      return;
    }
    if (stopped()) return;
  }
}
