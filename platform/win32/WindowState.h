#pragma once
// The Win32 layer's own bookkeeping, shared by its source files only: the
// window table, the classes, the thread queue and the dialog data.

#include <SDL.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Resources.h"
#include "platform/win32/windows.h"

namespace win32 {

enum class ControlKind { None, PushButton, DefPushButton, CheckBox, AutoCheckBox, Static, ListBox, ComboBox };

class DialogView;

struct DialogData {
  DLGPROC proc = nullptr;
  const DialogResource* resource = nullptr;
  bool ended = false;
  INT_PTR result = 0;
  // Dialog base units in pixels: one horizontal unit is baseX / 4 pixels, one
  // vertical unit baseY / 8 pixels.
  int baseX = 6;
  int baseY = 13;
  int itemHeight = 13;  // list and combo lines, pixels
  DialogView* view = nullptr;
};

struct WindowObject {
  HWND handle = nullptr;
  std::string className;
  WNDPROC proc = nullptr;
  UINT classStyle = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  HWND parent = nullptr;
  std::vector<HWND> children;
  int id = 0;
  LONG_PTR userData = 0;
  bool enabled = true;
  bool visible = false;
  bool destroying = false;
  // Children: rectangle in the parent's client pixels. Top-level windows:
  // the requested outer rectangle in screen pixels.
  RECT rect = {0, 0, 0, 0};
  SDL_Window* sdl = nullptr;
  Uint32 sdlId = 0;
  // Extra SDL events for this window (the dialog view feeds its GUI with them).
  std::function<void(const SDL_Event&)> eventHook;

  // Controls.
  ControlKind kind = ControlKind::None;
  std::vector<std::string> items;
  int curSel = -1;
  int topIndex = 0;
  int itemHeight = 13;
  bool checked = false;
  bool droppedDown = false;
  bool editSelectAll = false;  // the edit field's text is selected: typing replaces it

  // Dialogs.
  std::shared_ptr<DialogData> dialog;  // the modal loop holds it too
};

struct WindowClass {
  std::string name;
  WNDCLASSA info;
  ATOM atom;
};

struct State {
  std::map<uintptr_t, std::unique_ptr<WindowObject>> windows;
  uintptr_t nextHandle = 0x10010;
  std::vector<WindowClass> classes;
  ATOM nextAtom = 0xC000;
  bool systemClassesRegistered = false;
  // Posted messages come before input, as on Windows.
  std::deque<MSG> queue;
  std::deque<MSG> input;
  bool quitPosted = false;
  int quitCode = 0;
  int cursorCount = 0;
  HWND focus = nullptr;
};

// Lives for the whole process (never destroyed), so static objects of the
// program may still destroy their windows at exit.
State& state();

WindowObject* lookup(HWND window);
WindowObject* lookupSdl(Uint32 sdlWindowId);
bool isChildOf(HWND child, HWND parent);

// Registers Button, Static, ListBox, ComboBox and the dialog class once.
void registerSystemClasses();

// Creates a window; for top-level windows `clientSize` says the size given is
// the client area (dialogs) rather than the outer size.
HWND createWindow(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                  int height, HWND parent, int id, LPVOID param, bool clientSize);

// Translates waiting SDL events into posted window messages.
void pumpSdlEvents();
void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// SDL's drop events for a window (DropFiles.cpp); forgetDrops drops any
// drop still in progress.
void translateDrop(WindowObject* w, const SDL_DropEvent& event);
void forgetDrops();

// Window procedures of the predefined control classes and of dialogs.
LRESULT CALLBACK buttonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK staticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK listBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK comboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK dialogProc(HWND, UINT, WPARAM, LPARAM);

// Tells the control's parent about a user action (WM_COMMAND with the code).
void notifyParent(WindowObject* control, WORD code);

// The dialog scale for the primary display: its DPI over 96, in quarters.
float dialogDisplayScale();

// Lines of a list box that fit its client height.
int visibleLines(const WindowObject* listBox);
// Keeps `index` inside the visible lines of a list box.
void scrollIntoView(WindowObject* listBox, int index);

}  // namespace win32
