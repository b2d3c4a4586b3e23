// The thread's message queue. SDL input is translated into the window
// messages Windows would post: keys with virtual-key codes, mouse messages
// with client coordinates packed into lParam, the close box as WM_CLOSE.

#include <algorithm>

#include "platform/win32/WindowState.h"

namespace win32 {

namespace {

POINT lastCursor = {0, 0};

int virtualKey(const SDL_Keysym& key) {
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) return 'A' + (key.sym - SDLK_a);
  if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return '0' + (key.sym - SDLK_0);
  SDL_Scancode sc = key.scancode;
  // Layouts without Latin letters: the key's position decides, as on Windows.
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1);
  switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    default: return 0;
  }
}

WPARAM mouseKeys(Uint32 buttons) {
  WPARAM keys = 0;
  if (buttons & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
  SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_SHIFT) keys |= MK_SHIFT;
  if (mod & KMOD_CTRL) keys |= MK_CONTROL;
  return keys;
}

}  // namespace

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m = {window, message, wParam, lParam, SDL_GetTicks(), lastCursor};
  state().queue.push_back(m);
}

namespace {

void postInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m = {window, message, wParam, lParam, SDL_GetTicks(), lastCursor};
  state().input.push_back(m);
}

void trackCursor(WindowObject* w, int x, int y) {
  int wx = 0, wy = 0;
  if (w->sdl) SDL_GetWindowPosition(w->sdl, &wx, &wy);
  lastCursor = {wx + x, wy + y};
}

// Keyboard messages go to the window with the focus: inside a dialog that is
// the focused control.
HWND keyTarget(WindowObject* w) {
  if (w->dialog) {
    HWND focus = state().focus;
    if (focus && isChildOf(focus, w->handle)) return focus;
  }
  return w->handle;
}

void translateKey(WindowObject* w, const SDL_KeyboardEvent& key) {
  int vk = virtualKey(key.keysym);
  if (!vk) return;
  bool down = key.type == SDL_KEYDOWN;
  bool alt = (key.keysym.mod & KMOD_ALT) || vk == VK_MENU;
  LPARAM lParam = 1;
  if (alt) lParam |= LPARAM(1) << 29;
  if (!down || key.repeat) lParam |= LPARAM(1) << 30;
  if (!down) lParam |= LPARAM(1) << 31;
  UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  postInput(keyTarget(w), message, WPARAM(vk), lParam);
}

void translateButton(WindowObject* w, const SDL_MouseButtonEvent& button) {
  bool down = button.type == SDL_MOUSEBUTTONDOWN;
  UINT base;
  switch (button.button) {
    case SDL_BUTTON_LEFT: base = WM_LBUTTONDOWN; break;
    case SDL_BUTTON_RIGHT: base = WM_RBUTTONDOWN; break;
    case SDL_BUTTON_MIDDLE: base = WM_MBUTTONDOWN; break;
    default: return;
  }
  UINT message = base + (down ? 0 : 1);
  // Double clicks only for classes that ask for them.
  if (down && button.clicks == 2 && (w->classStyle & CS_DBLCLKS)) message = base + 2;
  trackCursor(w, button.x, button.y);
  postInput(w->handle, message, mouseKeys(SDL_GetMouseState(nullptr, nullptr)), MAKELPARAM(button.x, button.y));
}

void translateWindowEvent(WindowObject* w, const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      postInput(w->handle, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_MOVED:
      if (!w->dialog && (w->style & WS_VISIBLE)) {
        GetWindowRect(w->handle, &w->rect);
        postInput(w->handle, WM_MOVE, 0, MAKELPARAM(event.data1, event.data2));
      }
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (!w->dialog && (w->style & WS_VISIBLE)) {
        GetWindowRect(w->handle, &w->rect);
        postInput(w->handle, WM_SIZE, 0, MAKELPARAM(event.data1, event.data2));
      }
      break;
    default:
      break;
  }
}

Uint32 eventWindowId(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE: return e.drop.windowID;
    default: return 0;
  }
}

void translate(const SDL_Event& e) {
  // A drop's file name is the receiver's to free, whoever turns out to be.
  struct DropName {
    char* file;
    ~DropName() { SDL_free(file); }
  } dropName{(e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) ? e.drop.file : nullptr};
  Uint32 id = eventWindowId(e);
  WindowObject* w = lookupSdl(id);
  if (!w) {
    // Keys with no window named (synthetic input) go to the focus window.
    if ((e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) && id == 0) {
      WindowObject* f = lookup(state().focus);
      while (f && f->parent) f = lookup(f->parent);
      if (f) translateKey(f, e.key);
    }
    return;
  }
  if (w->eventHook) {
    HWND handle = w->handle;
    w->eventHook(e);
    w = lookup(handle);
    if (!w) return;
  }
  switch (e.type) {
    case SDL_WINDOWEVENT:
      translateWindowEvent(w, e.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      translateKey(w, e.key);
      break;
    case SDL_MOUSEMOTION:
      // A dialog's controls are driven by its view, which has the mouse.
      if (w->dialog) break;
      trackCursor(w, e.motion.x, e.motion.y);
      postInput(w->handle, WM_MOUSEMOVE, mouseKeys(e.motion.state), MAKELPARAM(e.motion.x, e.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (!w->dialog) translateButton(w, e.button);
      break;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPCOMPLETE:
      translateDrop(w, e.drop);
      break;
    case SDL_MOUSEWHEEL:
      if (!w->dialog && e.wheel.y) {
        int delta = (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y) * WHEEL_DELTA;
        postInput(w->handle, WM_MOUSEWHEEL, MAKEWPARAM(mouseKeys(SDL_GetMouseState(nullptr, nullptr)), delta),
             MAKELPARAM(lastCursor.x, lastCursor.y));
      }
      break;
    default:
      break;
  }
}

bool matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
  if (window == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd) return false;
  } else if (window && m.hwnd != window && !isChildOf(m.hwnd, window)) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) return true;
  return m.message >= filterMin && m.message <= filterMax;
}

char characterFor(int vk, bool shift, bool caps) {
  static const char shiftedDigits[] = ")!@#$%^&*(";
  if (vk >= 'A' && vk <= 'Z') return char((shift != caps) ? vk : vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') return shift ? shiftedDigits[vk - '0'] : char(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return char('0' + vk - VK_NUMPAD0);
  struct Oem {
    int vk;
    char plain, shifted;
  };
  static const Oem oem[] = {{VK_OEM_1, ';', ':'},      {VK_OEM_PLUS, '=', '+'},  {VK_OEM_COMMA, ',', '<'},
                            {VK_OEM_MINUS, '-', '_'},  {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
                            {VK_OEM_3, '`', '~'},      {VK_OEM_4, '[', '{'},     {VK_OEM_5, '\\', '|'},
                            {VK_OEM_6, ']', '}'},      {VK_OEM_7, '\'', '"'},    {VK_MULTIPLY, '*', '*'},
                            {VK_ADD, '+', '+'},        {VK_SUBTRACT, '-', '-'},  {VK_DECIMAL, '.', '.'},
                            {VK_DIVIDE, '/', '/'},     {VK_SPACE, ' ', ' '},     {VK_RETURN, '\r', '\r'},
                            {VK_ESCAPE, 0x1B, 0x1B},   {VK_BACK, 0x08, 0x08},    {VK_TAB, '\t', '\t'}};
  for (const Oem& o : oem) {
    if (o.vk == vk) return shift ? o.shifted : o.plain;
  }
  return 0;
}

}  // namespace

void pumpSdlEvents() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) translate(e);
}

}  // namespace win32

using namespace win32;

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!message) return FALSE;
  pumpSdlEvents();
  State& s = state();
  for (std::deque<MSG>* q : {&s.queue, &s.input}) {
    for (auto it = q->begin(); it != q->end(); ++it) {
      if (!matches(*it, window, filterMin, filterMax)) continue;
      *message = *it;
      if (removeFlags & PM_REMOVE) q->erase(it);
      return TRUE;
    }
  }
  // The quit message comes once nothing else is waiting.
  bool wantsQuit = (filterMin == 0 && filterMax == 0) || (filterMin <= WM_QUIT && WM_QUIT <= filterMax);
  if (s.quitPosted && wantsQuit && (!window || window == reinterpret_cast<HWND>(-1))) {
    *message = {nullptr, WM_QUIT, WPARAM(s.quitCode), 0, SDL_GetTicks(), lastCursor};
    if (removeFlags & PM_REMOVE) s.quitPosted = false;
    return TRUE;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* message) {
  if (!message || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)) return FALSE;
  SDL_Keymod mod = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetModState() : KMOD_NONE;
  int vk = int(message->wParam);
  char c = characterFor(vk, mod & KMOD_SHIFT, mod & KMOD_CAPS);
  if ((mod & KMOD_CTRL) && vk >= 'A' && vk <= 'Z') c = char(vk - 'A' + 1);
  if (!c) return FALSE;
  post(message->hwnd, message->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, WPARAM(Uint8(c)), message->lParam);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return FALSE;
  post(window, message, wParam, lParam);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = lookup(window);
  if (!w) return 0;
  WNDPROC proc = w->proc ? w->proc : DefWindowProcA;
  return proc(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  State& s = state();
  s.quitPosted = true;
  s.quitCode = exitCode;
}
