#pragma once
// The table of built-in shaders is compiled once by RenderDeviceDX9::init,
// as its last step, through compileBuiltInShaders. The scene library defines
// it (with the table beside it); the render library carries only a weak
// default that compiles nothing, so the device initialises on its own in
// tests and tools that do not link the scene.
//
// How the real definition wins: vantrel_engine_render asks the linker to
// treat this symbol as undefined from the start (--undefined), so every
// program extracts the first archive member defining it, and the scene
// library precedes the render library on every link line that has both. The
// scene developer only defines `void compileBuiltInShaders()` (global
// namespace, C++ linkage) in any source of vantrel_engine_scene.

void compileBuiltInShaders();
