#include "engine/assets/SGNode.h"

#include <cstring>

#include "engine/Memory.h"

namespace {

void copyText(Array<char>& to, const char* text) {
  if (!text) text = "";
  size_t length = std::strlen(text);
  to.resize(uint32_t(length + 1), false);
  std::memcpy(to.items, text, length + 1);
}

const char* textOf(const Array<char>& text) { return text.count ? text.items : ""; }

}  // namespace

SGNode::SGNode() { D3DXMatrixIdentity(&transform); }

SGNode::~SGNode() {
  for (uint32_t i = 0; i < children.count; ++i) delete children[i];
}

void SGNode::addChild(SGNode* node) {
  if (node) children.append(node);
}

uint32_t SGNode::childCount() const { return children.count; }

SGNode* SGNode::childAt(uint32_t index) const { return index < children.count ? children.items[index] : nullptr; }

void SGNode::removeChild(uint32_t index) {
  if (index >= children.count) return;
  std::memmove(children.items + index, children.items + index + 1, sizeof(SGNode*) * (children.count - index - 1));
  --children.count;
}

void SGNode::setName(const char* text) { copyText(name, text); }

const char* SGNode::getName() const { return textOf(name); }

void SGNode::setParentName(const char* text) { copyText(parentName, text); }

const char* SGNode::getParentName() const { return textOf(parentName); }

void SGNode::setTag(int32_t value) { tag = value; }

int32_t SGNode::getTag() const { return tag; }

void SGNode::setTransform(const D3DXMATRIX* matrix) { transform = *matrix; }

const D3DXMATRIX* SGNode::getTransform() const { return &transform; }

void* SGNode::operator new(size_t size) noexcept { return TRACKED_ALLOC(size); }

void SGNode::operator delete(void* pointer) noexcept {
  if (pointer) TRACKED_FREE(pointer);
}
