#pragma once
// Gives back one reference to a COM-style object (anything with Release) and
// nulls the pointer, so that a slot released twice is released once.

template <typename T>
inline void releaseCom(T*& object) {
  if (object) {
    object->Release();
    object = nullptr;
  }
}
