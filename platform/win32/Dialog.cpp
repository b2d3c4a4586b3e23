// The dialog manager: modal dialogs from registered templates, the default
// dialog procedure and the dialog keyboard interface (Tab, Enter, Escape).

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/win32/DialogView.h"
#include "platform/win32/Win32Sdl.h"
#include "platform/win32/WindowState.h"

namespace win32 {

namespace {

std::vector<const DialogResource*>& resources() {
  static auto* table = new std::vector<const DialogResource*>;
  return *table;
}

int mulDiv(int value, int numerator, int denominator) {
  long long product = (long long)value * numerator;
  long long half = denominator / 2;
  return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

DialogData* dialogData(HWND dialog) {
  WindowObject* w = lookup(dialog);
  return w ? w->dialog.get() : nullptr;
}

bool isPushButton(const WindowObject* w) {
  return w && (w->kind == ControlKind::PushButton || w->kind == ControlKind::DefPushButton);
}

bool canTakeFocus(const WindowObject* w) {
  return w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && w->enabled;
}

HWND firstTabStop(HWND dialog) {
  WindowObject* d = lookup(dialog);
  if (!d) return nullptr;
  for (HWND child : d->children) {
    if (canTakeFocus(lookup(child))) return child;
  }
  return nullptr;
}

HWND nextTabStop(HWND dialog, HWND from, bool backwards) {
  WindowObject* d = lookup(dialog);
  if (!d || d->children.empty()) return nullptr;
  const auto& c = d->children;
  int n = int(c.size());
  int start = int(std::find(c.begin(), c.end(), from) - c.begin());
  if (start >= n) start = backwards ? 0 : n - 1;
  for (int step = 1; step <= n; ++step) {
    int i = ((start + (backwards ? -step : step)) % n + n) % n;
    if (canTakeFocus(lookup(c[size_t(i)]))) return c[size_t(i)];
  }
  return nullptr;
}

// Presses a button as Enter or Escape would: nothing when it is disabled.
void pressButton(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control && !IsWindowEnabled(control)) return;
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

}  // namespace

LRESULT CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogData* data = dialogData(window);
  if (data && data->proc) {
    INT_PTR handled = data->proc(window, message, wParam, lParam);
    if (handled || message == WM_INITDIALOG) return handled;
  }
  return DefDlgProcA(window, message, wParam, lParam);
}

}  // namespace win32

using namespace win32;

bool registerDialogResource(const DialogResource* resource) {
  if (!resource || findDialogResource(resource->id)) return false;
  resources().push_back(resource);
  return true;
}

const DialogResource* findDialogResource(WORD id) {
  for (const DialogResource* r : resources()) {
    if (r->id == id) return r;
  }
  return nullptr;
}

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE: {
      // The close box and Alt+F4 act as the Cancel button.
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (cancel && !IsWindowEnabled(cancel)) return 0;
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case DM_GETDEFID: {
      WindowObject* d = lookup(dialog);
      if (!d) return 0;
      for (HWND child : d->children) {
        WindowObject* c = lookup(child);
        if (c && c->kind == ControlKind::DefPushButton) return MAKELONG(c->id, DC_HASDEFID);
      }
      return 0;
    }
    case WM_INITDIALOG:
    case WM_COMMAND:
      return FALSE;
    default:
      return DefWindowProcA(dialog, message, wParam, lParam);
  }
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  DialogData* data = dialogData(dialog);
  if (!data || !rect) return FALSE;
  rect->left = mulDiv(rect->left, data->baseX, 4);
  rect->right = mulDiv(rect->right, data->baseX, 4);
  rect->top = mulDiv(rect->top, data->baseY, 8);
  rect->bottom = mulDiv(rect->bottom, data->baseY, 8);
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  WindowObject* d = lookup(dialog);
  if (!d) return nullptr;
  for (HWND child : d->children) {
    WindowObject* c = lookup(child);
    if (c && c->id == id) return child;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND control) {
  WindowObject* c = lookup(control);
  return c && (c->style & WS_CHILD) ? c->id : 0;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return FALSE;
  SendMessageA(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return UINT(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  DialogData* data = dialogData(dialog);
  if (!data) return FALSE;
  data->ended = true;
  data->result = result;
  return TRUE;
}

BOOL IsDialogMessageA(HWND dialog, MSG* message) {
  if (!message || !dialogData(dialog)) return FALSE;
  if (message->hwnd != dialog && !isChildOf(message->hwnd, dialog)) return FALSE;
  if (message->message == WM_KEYDOWN) {
    HWND focus = GetFocus();
    WindowObject* f = isChildOf(focus, dialog) ? lookup(focus) : nullptr;
    bool dropped = f && f->kind == ControlKind::ComboBox && f->droppedDown;
    switch (message->wParam) {
      case VK_TAB: {
        bool back = SDL_WasInit(SDL_INIT_VIDEO) && (SDL_GetModState() & KMOD_SHIFT);
        HWND next = nextTabStop(dialog, f ? focus : nullptr, back);
        if (next) SetFocus(next);
        return TRUE;
      }
      case VK_RETURN:
        if (dropped) {
          SendMessageA(focus, CB_SHOWDROPDOWN, FALSE, 0);
        } else if (isPushButton(f)) {
          pressButton(dialog, f->id);
        } else {
          LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
          pressButton(dialog, HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK);
        }
        return TRUE;
      case VK_ESCAPE:
        if (dropped) SendMessageA(focus, CB_SHOWDROPDOWN, FALSE, 0);
        else pressButton(dialog, IDCANCEL);
        return TRUE;
      default:
        break;
    }
  }
  // Everything else goes to its window, characters included.
  TranslateMessage(message);
  DispatchMessageA(message);
  return TRUE;
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam) {
  if (!procedure || !IS_INTRESOURCE(templateName)) return -1;
  const DialogResource* resource = findDialogResource(LOWORD(templateName));
  if (!resource) return -1;
  if (!initSdlVideo()) return -1;

  std::unique_ptr<DialogView> view = DialogView::create(*resource);
  auto data = std::make_shared<DialogData>();
  data->proc = procedure;
  data->resource = resource;
  data->baseX = view->baseX();
  data->baseY = view->baseY();
  data->itemHeight = view->itemHeight();

  int width = mulDiv(resource->cx, data->baseX, 4);
  int height = mulDiv(resource->cy, data->baseY, 8);
  // Desktops place, decorate and stack dialog windows as dialogs.
  SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE_DIALOG");
  HWND dialog = createWindow(resource->exStyle, "#32770", resource->caption,
                             DWORD(resource->style) & ~DWORD(WS_VISIBLE | WS_CHILD), mulDiv(resource->x, data->baseX, 4),
                             mulDiv(resource->y, data->baseY, 8), width, height, nullptr, 0, nullptr, true);
  SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE_NORMAL");
  if (!dialog) return -1;
  DialogData* d = data.get();
  lookup(dialog)->dialog = data;
  bool drawn = view->attach(dialog);
  d->view = drawn ? view.get() : nullptr;

  for (WORD i = 0; i < resource->itemCount; ++i) {
    const DialogItemResource& item = resource->items[i];
    RECT r = {item.x, item.y, item.x + item.cx, item.y + item.cy};
    MapDialogRect(dialog, &r);
    int h = r.bottom - r.top;
    bool listBox = strcasecmp(item.windowClass, WC_LISTBOXA) == 0;
    if (listBox && !(item.style & LBS_NOINTEGRALHEIGHT)) {
      // Whole lines only, as a list box without LBS_NOINTEGRALHEIGHT shows.
      int border = (item.style & WS_BORDER) ? 2 : 0;
      h = std::max(1, (h - border) / d->itemHeight) * d->itemHeight + border;
    }
    HWND control = createWindow(item.exStyle, item.windowClass, item.text, item.style | WS_CHILD, r.left, r.top,
                                r.right - r.left, h, dialog, item.id, nullptr, false);
    if (WindowObject* c = lookup(control)) c->itemHeight = d->itemHeight;
  }

  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);

  HWND first = firstTabStop(dialog);
  if (SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam) && first) SetFocus(first);

  bool quit = false;
  if (!d->ended && IsWindow(dialog)) {
    ShowWindow(dialog, SW_SHOW);
    if (SDL_Window* sdl = sdlWindowFromHandle(dialog)) SDL_RaiseWindow(sdl);
    int quietFrames = 0;
    while (IsWindow(dialog) && !d->ended && !quit) {
      MSG msg;
      bool busy = false;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        busy = true;
        if (msg.message == WM_QUIT) {
          // Leave the quit message for the caller's loop.
          PostQuitMessage(int(msg.wParam));
          quit = true;
          break;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
        if (!IsWindow(dialog) || d->ended) break;
      }
      if (quit || !IsWindow(dialog) || d->ended) break;
      if (d->view && d->view->frame()) busy = true;
      quietFrames = busy ? 0 : quietFrames + 1;
      // Redraw promptly while something happens, then idle at a slow tick
      // that still blinks the caret.
      if (state().queue.empty() && state().input.empty()) SDL_WaitEventTimeout(nullptr, quietFrames < 6 ? 16 : 250);
    }
  }

  INT_PTR result = quit ? 0 : d->result;
  view.reset();
  if (IsWindow(dialog)) DestroyWindow(dialog);
  if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  return result;
}
