#pragma once
// Base of the scene-graph nodes: a named node with a parent name, owned
// children, a tag and a node transform. The mesh node (engine/scene/SGMesh)
// is the one concrete kind; the ASE reader and the scene talk to nodes
// through this interface. The order of the virtual operations is part of the
// class layout that the mesh node extends.

#include <cstddef>
#include <cstdint>

#include "engine/Array.h"
#include "platform/d3dx/d3dx9math.h"

class SGNode {
 public:
  SGNode();
  SGNode(const SGNode&) = delete;
  SGNode& operator=(const SGNode&) = delete;

  // Deletes every child (a whole subtree goes with its root).
  virtual ~SGNode();

  // Time in ticks of the scene file.
  virtual void animate(int32_t time) = 0;

  // Appends the node, which becomes owned; null is ignored.
  virtual void addChild(SGNode* node);
  virtual uint32_t childCount() const;
  // Null when the index is not less than the count.
  virtual SGNode* childAt(uint32_t index) const;
  // Takes the entry out of the list without deleting the child; an index
  // not less than the count does nothing.
  virtual void removeChild(uint32_t index);

  virtual void setName(const char* text);
  virtual const char* getName() const;
  virtual void setParentName(const char* text);
  virtual const char* getParentName() const;

  virtual void setTag(int32_t value);
  virtual int32_t getTag() const;

  virtual void setTransform(const D3DXMATRIX* matrix);
  virtual const D3DXMATRIX* getTransform() const;

  // Nodes live in tracked storage whether made with new or TRACKED_NEW; new
  // answers null when the heap is exhausted.
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* pointer) noexcept;

 protected:
  Array<SGNode*> children;
  Array<char> name;        // NUL-terminated when not empty
  Array<char> parentName;  // NUL-terminated when not empty
  int32_t tag = 0;
  D3DXMATRIX transform;
};
