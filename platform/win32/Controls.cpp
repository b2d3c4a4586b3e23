// The predefined control classes a dialog template uses: Button (push
// buttons and check boxes), Static, ListBox and ComboBox (drop-down with an
// edit field). Their state lives here; the dialog view only draws it and
// turns clicks into the same messages.

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/win32/WindowState.h"

namespace win32 {

namespace {

ControlKind classify(const std::string& className, DWORD style) {
  if (strcasecmp(className.c_str(), WC_BUTTONA) == 0) {
    switch (style & BS_TYPEMASK) {
      case BS_DEFPUSHBUTTON: return ControlKind::DefPushButton;
      case BS_CHECKBOX: return ControlKind::CheckBox;
      case BS_AUTOCHECKBOX: return ControlKind::AutoCheckBox;
      default: return ControlKind::PushButton;
    }
  }
  if (strcasecmp(className.c_str(), WC_STATICA) == 0) return ControlKind::Static;
  if (strcasecmp(className.c_str(), WC_LISTBOXA) == 0) return ControlKind::ListBox;
  if (strcasecmp(className.c_str(), WC_COMBOBOXA) == 0) return ControlKind::ComboBox;
  return ControlKind::None;
}

// Common to every control: learn the kind at creation.
bool createControl(HWND window) {
  WindowObject* w = lookup(window);
  if (!w) return false;
  w->kind = classify(w->className, w->style);
  return true;
}

const char* stringParam(LPARAM lParam) { return lParam ? reinterpret_cast<const char*>(lParam) : ""; }

// Adds a line, in order or sorted (case-insensitive) when the style asks.
int addItem(WindowObject* w, const char* text, bool sorted) {
  auto& items = w->items;
  size_t at = items.size();
  if (sorted) {
    at = 0;
    while (at < items.size() && strcasecmp(items[at].c_str(), text) <= 0) ++at;
  }
  items.insert(items.begin() + long(at), text);
  if (w->curSel >= int(at)) ++w->curSel;
  return int(at);
}

LRESULT copyItem(const WindowObject* w, WPARAM index, LPARAM buffer) {
  int i = int(index);
  if (i < 0 || i >= int(w->items.size()) || !buffer) return LB_ERR;
  const std::string& s = w->items[size_t(i)];
  std::memcpy(reinterpret_cast<char*>(buffer), s.c_str(), s.size() + 1);
  return LRESULT(s.size());
}

LRESULT itemLength(const WindowObject* w, WPARAM index) {
  int i = int(index);
  if (i < 0 || i >= int(w->items.size())) return LB_ERR;
  return LRESULT(w->items[size_t(i)].size());
}

// The line a navigation key leads to from `current`, or `current`.
int navigate(int current, int count, int page, WPARAM key) {
  if (count == 0) return current;
  int next = current;
  switch (key) {
    case VK_UP: next = current < 0 ? 0 : current - 1; break;
    case VK_DOWN: next = current < 0 ? 0 : current + 1; break;
    case VK_PRIOR: next = current < 0 ? 0 : current - std::max(1, page - 1); break;
    case VK_NEXT: next = current < 0 ? 0 : current + std::max(1, page - 1); break;
    case VK_HOME: next = 0; break;
    case VK_END: next = count - 1; break;
    default: return current;
  }
  return std::clamp(next, 0, count - 1);
}

void comboSelect(WindowObject* w, int index) {
  if (index < 0 || index >= int(w->items.size())) {
    w->curSel = -1;
    w->text.clear();
  } else {
    w->curSel = index;
    w->text = w->items[size_t(index)];
  }
}

void showDropDown(HWND window, bool show) {
  WindowObject* w = lookup(window);
  if (!w || w->droppedDown == show) return;
  if (show) notifyParent(w, CBN_DROPDOWN);
  w = lookup(window);
  if (!w) return;
  w->droppedDown = show;
  if (!show) notifyParent(w, CBN_CLOSEUP);
}

}  // namespace

void notifyParent(WindowObject* control, WORD code) {
  if (!control || !control->parent) return;
  SendMessageA(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control->handle));
}

int visibleLines(const WindowObject* listBox) {
  int border = (listBox->style & WS_BORDER) ? 2 : 0;
  int height = int(listBox->rect.bottom - listBox->rect.top) - border;
  return std::max(1, height / std::max(1, listBox->itemHeight));
}

void scrollIntoView(WindowObject* listBox, int index) {
  if (index < 0) return;
  int lines = visibleLines(listBox);
  if (index < listBox->topIndex) listBox->topIndex = index;
  else if (index >= listBox->topIndex + lines) listBox->topIndex = index - lines + 1;
}

LRESULT CALLBACK buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = lookup(window);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE:
      return createControl(window);
    case BM_GETCHECK:
      return w->checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      w->checked = wParam == BST_CHECKED;
      return 0;
    case BM_CLICK:
      if (!w->enabled) return 0;
      if (w->kind == ControlKind::AutoCheckBox) w->checked = !w->checked;
      notifyParent(w, BN_CLICKED);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) SendMessageA(window, BM_CLICK, 0, 0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) return createControl(window);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = lookup(window);
  if (!w) return 0;
  int count = int(w->items.size());
  switch (message) {
    case WM_NCCREATE:
      return createControl(window);
    case LB_ADDSTRING:
      return addItem(w, stringParam(lParam), w->style & LBS_SORT);
    case LB_RESETCONTENT:
      w->items.clear();
      w->curSel = -1;
      w->topIndex = 0;
      return 0;
    case LB_SETCURSEL: {
      // -1 clears the selection and, as on Windows, still answers LB_ERR.
      int i = int(wParam);
      if (i < 0 || i >= count) {
        w->curSel = -1;
        return LB_ERR;
      }
      w->curSel = i;
      scrollIntoView(w, i);
      return i;
    }
    case LB_GETCURSEL:
      return w->curSel;
    case LB_GETTEXT:
      return copyItem(w, wParam, lParam);
    case LB_GETTEXTLEN:
      return itemLength(w, wParam);
    case LB_GETCOUNT:
      return count;
    case LB_GETTOPINDEX:
      return w->topIndex;
    case LB_SETTOPINDEX: {
      int i = int(wParam);
      if (i < 0 || (i >= count && count > 0)) return LB_ERR;
      w->topIndex = std::max(0, std::min(i, count - visibleLines(w)));
      return LB_OKAY;
    }
    case WM_KEYDOWN: {
      int next = navigate(w->curSel, count, visibleLines(w), wParam);
      if (next != w->curSel) {
        w->curSel = next;
        scrollIntoView(w, next);
        if (w->style & LBS_NOTIFY) notifyParent(w, LBN_SELCHANGE);
      }
      return 0;
    }
    case WM_CHAR: {
      // Type-ahead: the next line starting with the character.
      unsigned char c = static_cast<unsigned char>(wParam);
      if (c < 32 || !count) return 0;
      for (int step = 1; step <= count; ++step) {
        int i = ((w->curSel < 0 ? -1 : w->curSel) + step) % count;
        const std::string& s = w->items[size_t(i)];
        if (!s.empty() && std::tolower(static_cast<unsigned char>(s[0])) == std::tolower(c)) {
          if (i != w->curSel) {
            w->curSel = i;
            scrollIntoView(w, i);
            if (w->style & LBS_NOTIFY) notifyParent(w, LBN_SELCHANGE);
          }
          break;
        }
      }
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK comboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = lookup(window);
  if (!w) return 0;
  int count = int(w->items.size());
  switch (message) {
    case WM_NCCREATE:
      if (!createControl(window)) return FALSE;
      w->text.clear();  // the edit field starts empty
      return TRUE;
    case CB_ADDSTRING:
      return addItem(w, stringParam(lParam), w->style & CBS_SORT);
    case CB_RESETCONTENT:
      w->items.clear();
      comboSelect(w, -1);
      return CB_OKAY;
    case CB_SETCURSEL: {
      int i = int(wParam);
      comboSelect(w, i);
      return (i < 0 || i >= count) ? CB_ERR : i;
    }
    case CB_GETCURSEL:
      return w->curSel;
    case CB_GETLBTEXT:
      return copyItem(w, wParam, lParam);
    case CB_GETLBTEXTLEN:
      return itemLength(w, wParam);
    case CB_GETCOUNT:
      return count;
    case CB_SHOWDROPDOWN:
      showDropDown(window, wParam != 0);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return w->droppedDown;
    case WM_SETFOCUS:
      w->editSelectAll = true;
      return 0;
    case WM_KILLFOCUS:
      w->editSelectAll = false;
      showDropDown(window, false);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_DOWN || wParam == VK_UP) {
        showDropDown(window, !w->droppedDown);
        return 0;
      }
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_KEYDOWN: {
      if (wParam == VK_F4) {
        showDropDown(window, !w->droppedDown);
        return 0;
      }
      if (wParam != VK_UP && wParam != VK_DOWN && wParam != VK_PRIOR && wParam != VK_NEXT) return 0;
      int next = navigate(w->curSel, count, count, wParam);
      if (next != w->curSel && next >= 0) {
        comboSelect(w, next);
        w->editSelectAll = true;
        notifyParent(w, CBN_SELCHANGE);
      }
      return 0;
    }
    case WM_CHAR: {
      // The edit field: typing replaces a selected text or appends, and
      // leaves no line of the list selected.
      unsigned char c = static_cast<unsigned char>(wParam);
      if (c == 0x08) {
        if (w->editSelectAll) w->text.clear();
        else if (!w->text.empty()) w->text.pop_back();
      } else if (c >= 32 && c != 127) {
        if (w->editSelectAll) w->text.clear();
        if (w->text.size() < 255) w->text.push_back(char(c));
      } else {
        return 0;
      }
      w->editSelectAll = false;
      w->curSel = -1;
      notifyParent(w, CBN_EDITCHANGE);
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void registerSystemClasses() {
  State& s = state();
  if (s.systemClassesRegistered) return;
  s.systemClassesRegistered = true;
  struct {
    const char* name;
    WNDPROC proc;
    UINT style;
  } classes[] = {{WC_BUTTONA, buttonProc, 0},
                 {WC_STATICA, staticProc, 0},
                 {WC_LISTBOXA, listBoxProc, CS_DBLCLKS},
                 {WC_COMBOBOXA, comboBoxProc, CS_DBLCLKS},
                 {"#32770", dialogProc, 0}};
  for (auto& c : classes) {
    WNDCLASSA wc = {};
    wc.style = c.style;
    wc.lpfnWndProc = c.proc;
    wc.lpszClassName = c.name;
    RegisterClassA(&wc);
  }
}

}  // namespace win32
