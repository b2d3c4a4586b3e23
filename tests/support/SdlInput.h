#pragma once
// Input as a person gives it, pushed into SDL's queue for a window of the
// Win32 stand-in (null: no window in particular): key presses and releases,
// and the close box.

#include <SDL.h>

#include "platform/win32/Win32Sdl.h"

inline Uint32 sdlId(HWND window) {
  SDL_Window* sdl = window ? sdlWindowFromHandle(window) : nullptr;
  return sdl ? SDL_GetWindowID(sdl) : 0;
}

inline bool pushKey(HWND window, SDL_Keycode key, SDL_Scancode scancode, Uint16 mod = KMOD_NONE, bool down = true) {
  SDL_Event e = {};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = sdlId(window);
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = key;
  e.key.keysym.scancode = scancode;
  e.key.keysym.mod = mod;
  return SDL_PushEvent(&e) == 1;
}

inline bool pushClose(HWND window) {
  SDL_Event e = {};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = sdlId(window);
  return SDL_PushEvent(&e) == 1;
}
