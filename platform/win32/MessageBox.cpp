#include <SDL.h>

#include <cstdio>

#include "platform/win32/windows.h"

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  if (!text) text = "";
  if (!caption) caption = "";
  // Without a display (CI, the capture tool) the text still has to reach a
  // person: it goes to stderr, and the box is skipped.
  const char* driver = SDL_getenv("SDL_VIDEODRIVER");
  bool headless = (driver && (SDL_strcmp(driver, "dummy") == 0 || SDL_strcmp(driver, "offscreen") == 0)) ||
                  (!SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY"));
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  if (!headless) {
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0) == MB_ICONSTOP) flags = SDL_MESSAGEBOX_ERROR;
    else if ((type & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
  }
  return IDOK;
}
