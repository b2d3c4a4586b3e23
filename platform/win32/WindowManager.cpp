// Window classes and windows over SDL2. Handles are table keys, never
// pointers, so a stale or forged handle is simply not found.

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/win32/Win32Sdl.h"
#include "platform/win32/WindowState.h"

namespace win32 {

State& state() {
  static State* instance = new State;
  return *instance;
}

WindowObject* lookup(HWND window) {
  if (!window) return nullptr;
  auto& windows = state().windows;
  auto it = windows.find(reinterpret_cast<uintptr_t>(window));
  return it == windows.end() ? nullptr : it->second.get();
}

WindowObject* lookupSdl(Uint32 sdlWindowId) {
  if (!sdlWindowId) return nullptr;
  for (auto& entry : state().windows) {
    if (entry.second->sdlId == sdlWindowId) return entry.second.get();
  }
  return nullptr;
}

bool isChildOf(HWND child, HWND parent) {
  for (WindowObject* w = lookup(child); w && w->parent; w = lookup(w->parent)) {
    if (w->parent == parent) return true;
  }
  return false;
}

namespace {

WindowClass* findClass(LPCSTR name) {
  if (!name || IS_INTRESOURCE(name)) return nullptr;
  for (auto& c : state().classes) {
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  }
  return nullptr;
}

bool isTopLevel(const WindowObject* w) { return !(w->style & WS_CHILD); }

// An overlapped window (neither popup nor child) always has a caption, as on
// Windows; a popup has one only when asked.
bool hasFrame(DWORD style) {
  if (!(style & (WS_POPUP | WS_CHILD))) return true;
  return (style & WS_CAPTION) == WS_CAPTION || (style & (WS_THICKFRAME | WS_DLGFRAME | WS_BORDER));
}

void frameBorders(const WindowObject* w, int& left, int& top, int& right, int& bottom) {
  left = top = right = bottom = 0;
  if (w->sdl && hasFrame(w->style)) SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right);
}

// Applies the outer rectangle to the SDL window: the frame the window manager
// adds is taken from the client area, so the outer size is the one asked for.
void applyOuterRect(WindowObject* w) {
  if (!w->sdl) return;
  int left, top, right, bottom;
  frameBorders(w, left, top, right, bottom);
  int cw = std::max(1, int(w->rect.right - w->rect.left) - left - right);
  int ch = std::max(1, int(w->rect.bottom - w->rect.top) - top - bottom);
  SDL_SetWindowSize(w->sdl, cw, ch);
  SDL_SetWindowPosition(w->sdl, w->rect.left + left, w->rect.top + top);
}

Uint32 sdlFlags(DWORD style) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (!hasFrame(style)) flags |= SDL_WINDOW_BORDERLESS;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  return flags;
}

void removeFromParent(WindowObject* w) {
  WindowObject* parent = lookup(w->parent);
  if (!parent) return;
  auto& c = parent->children;
  c.erase(std::remove(c.begin(), c.end(), w->handle), c.end());
}

}  // namespace

HWND createWindow(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                  int height, HWND parent, int id, LPVOID param, bool clientSize) {
  registerSystemClasses();
  WindowClass* wc = findClass(className);
  if (!wc) return nullptr;
  WindowObject* parentObject = nullptr;
  if (style & WS_CHILD) {
    parentObject = lookup(parent);
    if (!parentObject) return nullptr;
  }

  State& s = state();
  auto object = std::make_unique<WindowObject>();
  WindowObject* w = object.get();
  w->handle = reinterpret_cast<HWND>(s.nextHandle);
  s.nextHandle += 4;
  w->className = wc->name;
  w->proc = wc->info.lpfnWndProc;
  w->classStyle = wc->info.style;
  w->style = style;
  w->exStyle = exStyle;
  w->text = windowName ? windowName : "";
  w->parent = parent;
  w->id = id;
  w->enabled = !(style & WS_DISABLED);
  if (width == CW_USEDEFAULT) width = 640, height = 480;
  if (x == CW_USEDEFAULT) x = 0, y = 0;
  w->rect = {x, y, x + std::max(0, width), y + std::max(0, height)};

  if (!parentObject) {
    if (!initSdlVideo()) return nullptr;
    int cw = std::max(1, width), ch = std::max(1, height);
    int px = x, py = y;
    if ((style & DS_CENTER) && clientSize) px = py = SDL_WINDOWPOS_CENTERED;
    const char* title = w->text.c_str();
    // OpenGL-capable where the driver has GL, so a device can render into
    // the window later; drivers without GL (dummy) get a plain window.
    w->sdl = SDL_CreateWindow(title, px, py, cw, ch, sdlFlags(style) | SDL_WINDOW_OPENGL);
    if (!w->sdl) w->sdl = SDL_CreateWindow(title, px, py, cw, ch, sdlFlags(style));
    if (!w->sdl) return nullptr;
    w->sdlId = SDL_GetWindowID(w->sdl);
    if (clientSize) {
      int ax, ay;
      SDL_GetWindowPosition(w->sdl, &ax, &ay);
      w->rect = {ax, ay, ax + cw, ay + ch};
    }
  } else {
    parentObject->children.push_back(w->handle);
  }
  HWND handle = w->handle;
  s.windows.emplace(reinterpret_cast<uintptr_t>(handle), std::move(object));

  struct {
    LPVOID createParams;
    HINSTANCE instance;
    HMENU menu;
    HWND parent;
    int cy, cx, y, x;
    LONG style;
    LPCSTR name;
    LPCSTR className;
    DWORD exStyle;
  } create = {param, nullptr, nullptr, parent, height, width, y, x, LONG(style), windowName, className, exStyle};
  if (!SendMessageA(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) ||
      SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (style & WS_VISIBLE) {
    w = lookup(handle);
    if (!w) return nullptr;
    w->style &= ~DWORD(WS_VISIBLE);
    ShowWindow(handle, SW_SHOW);
  }
  return lookup(handle) ? handle : nullptr;
}

}  // namespace win32

using namespace win32;

SDL_Window* sdlWindowFromHandle(HWND window) {
  WindowObject* w = lookup(window);
  return w ? w->sdl : nullptr;
}

bool initSdlVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // Ctrl+C in a terminal ends the process as usual rather than becoming an
  // SDL quit event nobody asked for.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // No window system to show on and no driver named (a console session can
  // name kmsdrm): asking SDL would only print its drivers' complaints.
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (!(asked && *asked) && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return false;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  // Without a display SDL falls back to a driver that shows nothing; a window
  // there waits for input nobody can give. Such drivers serve only whoever
  // names them (tests, the capture tool).
  const char* driver = SDL_GetCurrentVideoDriver();
  bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
  if (invisible && !(asked && SDL_strcasestr(asked, driver))) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  return true;
}

void resetWindowState() {
  State& s = state();
  std::vector<HWND> topLevel;
  for (auto& entry : s.windows) {
    if (!entry.second->parent) topLevel.push_back(entry.second->handle);
  }
  for (HWND h : topLevel) DestroyWindow(h);
  s.windows.clear();
  s.classes.clear();
  s.systemClassesRegistered = false;
  s.queue.clear();
  s.input.clear();
  forgetDrops();
  s.quitPosted = false;
  s.quitCode = 0;
  s.focus = nullptr;
  if (s.cursorCount != 0 && SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_ENABLE);
  s.cursorCount = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  // Only the program's own module exists; 0x400000 is where Windows maps it.
  return moduleName ? nullptr : reinterpret_cast<HMODULE>(uintptr_t(0x400000));
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if (module || !fileName || size == 0) return 0;
  ssize_t length = readlink("/proc/self/exe", fileName, size);
  if (length < 0) return 0;
  // Windows truncates a path that does not fit and still terminates it.
  if (DWORD(length) >= size) {
    fileName[size - 1] = '\0';
    return size;
  }
  fileName[length] = '\0';
  return DWORD(length);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
  // The system cursors only; the arrow is SDL's default cursor as well.
  if (instance || !IS_INTRESOURCE(cursorName)) return nullptr;
  WORD id = LOWORD(cursorName);
  if (id < 32512 || id > 32515) return nullptr;
  return reinterpret_cast<HCURSOR>(uintptr_t(id));
}

HGDIOBJ GetStockObject(int object) {
  if (object < WHITE_BRUSH || object > NULL_BRUSH) return nullptr;
  return reinterpret_cast<HGDIOBJ>(uintptr_t(0x00900000 | object));
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
      IS_INTRESOURCE(windowClass->lpszClassName) || !*windowClass->lpszClassName)
    return 0;
  registerSystemClasses();
  if (findClass(windowClass->lpszClassName)) return 0;
  State& s = state();
  WindowClass c;
  c.name = windowClass->lpszClassName;
  c.info = *windowClass;
  c.info.lpszClassName = nullptr;  // the name lives in c.name
  c.info.lpszMenuName = nullptr;
  c.atom = s.nextAtom++;
  s.classes.push_back(c);
  return c.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  State& s = state();
  WindowClass* c = findClass(className);
  if (!c) return FALSE;
  for (auto& entry : s.windows) {
    if (strcasecmp(entry.second->className.c_str(), c->name.c_str()) == 0) return FALSE;  // still in use
  }
  s.classes.erase(s.classes.begin() + (c - s.classes.data()));
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE, LPVOID param) {
  int id = (style & WS_CHILD) ? int(reinterpret_cast<uintptr_t>(menu)) : 0;
  return createWindow(exStyle, className, windowName, style, x, y, width, height, parent, id, param, false);
}

BOOL DestroyWindow(HWND window) {
  WindowObject* w = lookup(window);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  State& s = state();
  if (w->sdl) SDL_HideWindow(w->sdl);
  SendMessageA(window, WM_DESTROY, 0, 0);
  w = lookup(window);
  if (!w) return TRUE;
  std::vector<HWND> children = w->children;
  for (HWND child : children) DestroyWindow(child);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  w = lookup(window);
  if (!w) return TRUE;
  if (s.focus == window) s.focus = nullptr;
  for (auto* q : {&s.queue, &s.input}) {
    q->erase(std::remove_if(q->begin(), q->end(), [&](const MSG& m) { return m.hwnd == window; }), q->end());
  }
  removeFromParent(w);
  SDL_Window* sdl = w->sdl;
  s.windows.erase(reinterpret_cast<uintptr_t>(window));
  if (sdl) {
    SDL_DestroyWindow(sdl);
    // Events still queued for the destroyed window name an id nobody has.
  }
  return TRUE;
}

BOOL IsWindow(HWND window) { return lookup(window) != nullptr; }

BOOL ShowWindow(HWND window, int command) {
  WindowObject* w = lookup(window);
  if (!w) return FALSE;
  BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  bool show = command != SW_HIDE;
  if (show == bool(wasVisible)) return wasVisible;
  if (show) w->style |= WS_VISIBLE;
  else w->style &= ~DWORD(WS_VISIBLE);
  w->visible = show;
  SendMessageA(window, WM_SHOWWINDOW, show, 0);
  w = lookup(window);
  if (!w) return wasVisible;
  if (w->sdl) {
    if (show) {
      SDL_ShowWindow(w->sdl);
      // The frame is known once the window manager has framed the window.
      if (!w->dialog) applyOuterRect(w);
    } else {
      SDL_HideWindow(w->sdl);
    }
  }
  return wasVisible;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags) {
  WindowObject* w = lookup(window);
  if (!w) return FALSE;
  RECT r = w->rect;
  if (!(flags & SWP_NOMOVE)) {
    r.right = x + (r.right - r.left);
    r.bottom = y + (r.bottom - r.top);
    r.left = x;
    r.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(0, width);
    r.bottom = r.top + std::max(0, height);
  }
  bool moved = r.left != w->rect.left || r.top != w->rect.top;
  bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) || (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
  w->rect = r;
  if (isTopLevel(w)) applyOuterRect(w);
  if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
  w = lookup(window);
  if (!w) return TRUE;
  if (w->sdl && !(flags & SWP_NOZORDER) && (w->style & WS_VISIBLE)) SDL_RaiseWindow(w->sdl);
  RECT client;
  GetClientRect(window, &client);
  if (moved) SendMessageA(window, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
  if (sized) SendMessageA(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  WindowObject* w = lookup(window);
  if (!w || !rect) return FALSE;
  if (isTopLevel(w)) {
    *rect = w->rect;
    if (w->sdl && (w->style & WS_VISIBLE)) {
      int x, y, cw, ch, left, top, right, bottom;
      SDL_GetWindowPosition(w->sdl, &x, &y);
      SDL_GetWindowSize(w->sdl, &cw, &ch);
      frameBorders(w, left, top, right, bottom);
      *rect = {x - left, y - top, x + cw + right, y + ch + bottom};
    }
    return TRUE;
  }
  RECT parent;
  GetWindowRect(w->parent, &parent);
  int left, top, right, bottom;
  WindowObject* p = lookup(w->parent);
  frameBorders(p, left, top, right, bottom);
  *rect = {parent.left + left + w->rect.left, parent.top + top + w->rect.top, parent.left + left + w->rect.right,
           parent.top + top + w->rect.bottom};
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  WindowObject* w = lookup(window);
  if (!w || !rect) return FALSE;
  int cw = w->rect.right - w->rect.left, ch = w->rect.bottom - w->rect.top;
  if (w->sdl) SDL_GetWindowSize(w->sdl, &cw, &ch);
  *rect = {0, 0, cw, ch};
  return TRUE;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  WindowObject* w = lookup(window);
  if (!w) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_USERDATA:
      previous = w->userData;
      w->userData = value;
      break;
    case GWLP_WNDPROC:
      if (!value) return 0;
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWL_ID:
      previous = w->id;
      w->id = int(value);
      break;
    case GWL_STYLE:
      // Kept; the SDL window is not re-created for a changed frame.
      previous = LONG_PTR(w->style);
      w->style = DWORD(value);
      break;
    case GWL_EXSTYLE:
      previous = LONG_PTR(w->exStyle);
      w->exStyle = DWORD(value);
      break;
    default:
      return 0;
  }
  return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  WindowObject* w = lookup(window);
  if (!w) return 0;
  switch (index) {
    case GWLP_USERDATA: return w->userData;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_ID: return w->id;
    case GWL_STYLE: return LONG_PTR(w->style);
    case GWL_EXSTYLE: return LONG_PTR(w->exStyle);
    default: return 0;
  }
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  return LONG(SetWindowLongPtrA(window, index, LONG_PTR(value)));
}

LONG GetWindowLongA(HWND window, int index) { return LONG(GetWindowLongPtrA(window, index)); }

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return IsWindow(window) && SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (!IsWindow(window) || !buffer || size <= 0) return 0;
  return int(SendMessageA(window, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

BOOL EnableWindow(HWND window, BOOL enable) {
  WindowObject* w = lookup(window);
  if (!w) return FALSE;
  BOOL wasDisabled = !w->enabled;
  if (bool(enable) != w->enabled) {
    w->enabled = enable;
    if (enable) w->style &= ~DWORD(WS_DISABLED);
    else w->style |= WS_DISABLED;
    // A disabled window cannot keep the keyboard focus.
    if (!enable && state().focus == window) SetFocus(nullptr);
    SendMessageA(window, WM_ENABLE, enable, 0);
  }
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  WindowObject* w = lookup(window);
  return w && w->enabled;
}

HWND SetFocus(HWND window) {
  State& s = state();
  HWND previous = s.focus;
  if (window && !IsWindow(window)) return nullptr;
  if (window == previous) return previous;
  s.focus = window;
  if (previous && IsWindow(previous)) SendMessageA(previous, WM_KILLFOCUS, WPARAM(window), 0);
  if (window && IsWindow(window) && s.focus == window) SendMessageA(window, WM_SETFOCUS, WPARAM(previous), 0);
  return previous;
}

HWND GetFocus() { return state().focus; }

HWND GetParent(HWND window) {
  WindowObject* w = lookup(window);
  return w ? w->parent : nullptr;
}

int ShowCursor(BOOL show) {
  State& s = state();
  s.cursorCount += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(s.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return s.cursorCount;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = lookup(window);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 closes, as the system menu would.
      if (wParam == VK_F4 && (lParam & (1 << 29))) SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETTEXT: {
      const char* text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      w->text = text;
      if (w->sdl) SDL_SetWindowTitle(w->sdl, text);
      return TRUE;
    }
    case WM_GETTEXT: {
      if (!wParam || !lParam) return 0;
      size_t n = std::min(size_t(wParam) - 1, w->text.size());
      std::memcpy(reinterpret_cast<char*>(lParam), w->text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = 0;
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(w->text.size());
    default:
      return 0;
  }
}
