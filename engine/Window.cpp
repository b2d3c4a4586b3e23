#include "engine/Window.h"

#include <cstdio>
#include <cstring>

#include "engine/Log.h"

namespace {

int32_t windowCounter = 0;

// Window styles by kind.
const DWORD popupStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;         // 0x96000000
const DWORD resizableStyle = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_THICKFRAME;  // 0x16040000
const DWORD plainStyle = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;                      // 0x16000000

void storePosition(Window* window, LPARAM lParam) {
  // Client coordinates, taken as the unsigned low and high words.
  window->mouseX = LOWORD(lParam);
  window->mouseY = HIWORD(lParam);
}

void setButton(Window* window, LPARAM lParam, uint32_t bit, bool down) {
  storePosition(window, lParam);
  if (down) window->mouseButtons |= bit;
  else window->mouseButtons &= ~bit;
}

}  // namespace

Window::Window()
    : mouseButtons(0),
      mouseX(0),
      mouseY(0),
      x(0),
      y(0),
      width(0),
      height(0),
      id(windowCounter++),
      handle(nullptr),
      procedure(nullptr) {
  std::memset(keys, 0, sizeof(keys));
}

Window::~Window() {
  if (handle && IsWindow(handle)) DestroyWindow(handle);
  handle = nullptr;
  procedure = nullptr;
}

void Window::create(int newX, int newY, int newWidth, int newHeight, int kind, WNDPROC newProcedure) {
  if (handle && IsWindow(handle)) {
    x = newX;
    y = newY;
    width = newWidth;
    height = newHeight;
    SetWindowPos(handle, nullptr, x, y, width, height, 0);
    logPrintf("Window::create: Window already created, resizing only.\n");
    return;
  }
  x = newX;
  y = newY;
  width = newWidth;
  height = newHeight;
  procedure = newProcedure ? newProcedure : defaultProcedure;

  HINSTANCE instance = GetModuleHandleA(nullptr);
  char className[16];
  std::snprintf(className, sizeof(className), "%d", id);
  WNDCLASSA windowClass;
  windowClass.style = 0;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = nullptr;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);  // an existing class is fine

  DWORD style = kind == 0 ? popupStyle : kind == 1 ? resizableStyle : plainStyle;
  handle = CreateWindowExA(WS_EX_APPWINDOW, className, "engine", style, x, y, width, height, nullptr, nullptr,
                           instance, nullptr);
  SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ShowCursor(TRUE);
}

LRESULT CALLBACK Window::defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_KEYDOWN:
      // Key codes beyond the table are not recorded.
      if (wParam < sizeof(self->keys)) self->keys[wParam] = 1;
      if (wParam == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_KEYUP:
      if (wParam < sizeof(self->keys)) self->keys[wParam] = 0;
      return 0;
    case WM_MOUSEMOVE:
      storePosition(self, lParam);
      return 0;
    case WM_LBUTTONDOWN: setButton(self, lParam, 1, true); return 0;
    case WM_LBUTTONUP: setButton(self, lParam, 1, false); return 0;
    case WM_RBUTTONDOWN: setButton(self, lParam, 2, true); return 0;
    case WM_RBUTTONUP: setButton(self, lParam, 2, false); return 0;
    case WM_MBUTTONDOWN: setButton(self, lParam, 4, true); return 0;
    case WM_MBUTTONUP: setButton(self, lParam, 4, false); return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
