// The stand-in for the scene library's compileBuiltInShaders (see
// BuiltInShaders.h): weak, and alone in its object file, so that any real
// definition linked into the program takes its place.

#include "engine/render/BuiltInShaders.h"

__attribute__((weak)) void compileBuiltInShaders() {}
