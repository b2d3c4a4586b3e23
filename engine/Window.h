#pragma once
// The application's single top-level window: registers its own class,
// creates the window with a style for fullscreen or windowed use, records
// keyboard and mouse state from its messages, and turns Escape or closing the
// window into the quit message that ends the main loop.

#include <cstdint>

#include "platform/win32/windows.h"

class Window {
 public:
  Window();
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // kind 0: fullscreen-style popup; 1: bordered, resizable; others: bordered.
  // x, y, width and height are the outer rectangle. Null procedure: the
  // default one below. A second call only moves and resizes the window.
  void create(int x, int y, int width, int height, int kind, WNDPROC procedure);

  HWND getHandle() const { return handle; }

  static LRESULT CALLBACK defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Input state, recorded for input handling.
  uint8_t keys[256];
  uint32_t mouseButtons;  // bit 1 left, bit 2 right, bit 4 middle
  int32_t mouseX;
  int32_t mouseY;
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  int32_t id;  // names the window class
  HWND handle;
  WNDPROC procedure;
};
