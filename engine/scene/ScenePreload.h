#pragma once
// The scene file read while the window, the device and the shaders are made:
// scenePreloadStart reads it on a thread of its own; SGScene::load takes the
// result for that file. What the reading logs is held and written when the
// result is taken, and a fatal error raised then, so log.txt reads exactly as
// if the file had been read at that moment.

class ASELoader;

// Starts reading `fileName` as SGScene::load would (unsupported content fatal
// or refused). Another read still pending is taken and dropped first.
void scenePreloadStart(const char* fileName, bool unsupportedIsFatal);

// The loader that read `fileName`, waited for, with what its load returned in
// *loaded; nullptr when no read of that file was started. The caller owns it.
ASELoader* scenePreloadTake(const char* fileName, bool* loaded);
