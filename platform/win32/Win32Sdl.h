#pragma once
// What the other stand-ins (the Direct3D device) and tests need to see of the
// Win32 layer's SDL side. Nothing in engine/ or demo/ includes this.

#include "platform/win32/windows.h"

struct SDL_Window;

// The SDL window behind a top-level window or dialog; null for controls and
// unknown handles.
SDL_Window* sdlWindowFromHandle(HWND window);

// Starts SDL's video subsystem once (signal handlers left to the process);
// false when no video driver could start.
bool initSdlVideo();

// Destroys every window, forgets classes, posted messages and the quit flag,
// and restores the cursor count: a fresh state for the next test.
void resetWindowState();
