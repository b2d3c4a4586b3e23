// Display modes of the primary display, from SDL.

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

#include "platform/win32/Win32Sdl.h"
#include "platform/win32/WindowState.h"
#include "platform/win32/windows.h"

// Last: Xlib defines macros (None, Bool, Status) that clash with names above.
#include <X11/Xlib.h>

namespace {

struct Mode {
  int width, height, refresh;
  bool operator<(const Mode& o) const {
    return std::tie(width, height, refresh) < std::tie(o.width, o.height, o.refresh);
  }
  bool operator==(const Mode& o) const {
    return width == o.width && height == o.height && refresh == o.refresh;
  }
};

bool desktopMode(Mode& mode) {
  SDL_DisplayMode desktop;
  if (!initSdlVideo() || SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
  // Virtual displays often report no rate; 60 Hz is what they refresh at.
  mode = {desktop.w, desktop.h, desktop.refresh_rate > 0 ? desktop.refresh_rate : 60};
  return true;
}

std::vector<Mode> listModes() {
  std::vector<Mode> modes;
  Mode desktop;
  if (!desktopMode(desktop)) return modes;
  int n = SDL_GetNumDisplayModes(0);
  bool usable = n > 1;
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
    if (m.refresh_rate <= 0) usable = false;
    modes.push_back({m.w, m.h, m.refresh_rate});
  }
  if (!usable) {
    // No real list: offer the usual sizes that fit the desktop, so a window
    // of any of them can be opened.
    static const int sizes[][2] = {{640, 480},   {800, 600},   {1024, 768},  {1152, 864},  {1280, 720},
                                   {1280, 800},  {1280, 960},  {1280, 1024}, {1366, 768},  {1440, 900},
                                   {1600, 900},  {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200},
                                   {2560, 1440}, {2560, 1600}, {3840, 2160}};
    modes.clear();
    for (const auto& s : sizes) {
      if (s[0] <= desktop.width && s[1] <= desktop.height) modes.push_back({s[0], s[1], desktop.refresh});
    }
    modes.push_back(desktop);
  }
  std::sort(modes.begin(), modes.end());
  modes.erase(std::unique(modes.begin(), modes.end()), modes.end());
  return modes;
}

// The logical dots per inch an X desktop asks for: the Xft.dpi resource its
// settings daemon publishes, else the screen's own size.
float x11Dpi() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 0;
  float dpi = 0;
  if (const char* resources = XResourceManagerString(display)) {
    const char* at = std::strstr(resources, "Xft.dpi:");
    if (at) dpi = std::strtof(at + 8, nullptr);
  }
  if (!(dpi > 0)) {
    int screen = DefaultScreen(display);
    int millimetres = DisplayHeightMM(display, screen);
    if (millimetres > 0) dpi = float(DisplayHeight(display, screen)) * 25.4f / float(millimetres);
  }
  XCloseDisplay(display);
  return dpi;
}

}  // namespace

namespace win32 {

float dialogDisplayScale() {
  // Windows scales dialogs in steps of a quarter from 96 dots per inch.
  if (!initSdlVideo()) return 1.0f;
  float dpi = 0, horizontal = 0, vertical = 0;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) dpi = x11Dpi();
  if (!(dpi > 0) && SDL_GetDisplayDPI(0, &dpi, &horizontal, &vertical) == 0) dpi = vertical;
  if (!(dpi > 0)) return 1.0f;
  return std::clamp(std::round(dpi / 96.0f * 4.0f) / 4.0f, 1.0f, 4.0f);
}

}  // namespace win32

int GetSystemMetrics(int index) {
  Mode desktop;
  switch (index) {
    case SM_CXSCREEN: return desktopMode(desktop) ? desktop.width : 0;
    case SM_CYSCREEN: return desktopMode(desktop) ? desktop.height : 0;
    case SM_CMONITORS: return initSdlVideo() ? SDL_GetNumVideoDisplays() : 0;
    default: return 0;
  }
}

BOOL EnumDisplaySettingsA(LPCSTR, DWORD modeNumber, DEVMODEA* mode) {
  if (!mode) return FALSE;
  Mode m;
  if (modeNumber == ENUM_CURRENT_SETTINGS) {
    if (!desktopMode(m)) return FALSE;
  } else {
    std::vector<Mode> modes = listModes();
    if (modeNumber >= modes.size()) return FALSE;
    m = modes[modeNumber];
  }
  mode->dmSize = sizeof(DEVMODEA);
  mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  mode->dmBitsPerPel = 32;
  mode->dmPelsWidth = DWORD(m.width);
  mode->dmPelsHeight = DWORD(m.height);
  mode->dmDisplayFlags = 0;
  mode->dmDisplayFrequency = DWORD(m.refresh);
  return TRUE;
}
