#pragma once
// Draws a dialog and its controls with Dear ImGui in the dialog's own SDL
// window (OpenGL), and turns clicks into the messages the controls answer.
// Without a GL-capable display it still measures the dialog font, so layout
// is the same whether or not anything is drawn.

#include <map>
#include <memory>

#include "platform/win32/WindowState.h"

struct ImGuiContext;
struct ImFont;

namespace win32 {

class DialogView {
 public:
  // Loads the template's font at the display's scale and measures it.
  static std::unique_ptr<DialogView> create(const DialogResource& resource);
  ~DialogView();

  // Dialog base units, as Windows derives them from the dialog font.
  int baseX() const { return unitX; }
  int baseY() const { return unitY; }
  // Height of a list or combo line in pixels.
  int itemHeight() const { return lineHeight; }

  // Creates the GL context and GUI backends on the dialog's window; false
  // when the window cannot be drawn (no GL), in which case the dialog runs
  // undrawn.
  bool attach(HWND dialog);
  bool drawing() const { return glContext != nullptr; }

  // Builds, draws and presents one frame. True while the GUI wants further
  // frames soon (an animation or an input still being handled).
  bool frame();

 private:
  DialogView() = default;
  struct ControlView {
    bool popupOpen = false;
    int appliedTop = -1;
    int hotItem = -1;
  };

  void drawControl(HWND control);
  void drawButton(WindowObject* w);
  void drawCheckBox(WindowObject* w);
  void drawStatic(WindowObject* w);
  void drawListBox(WindowObject* w);
  void drawComboBox(WindowObject* w);
  bool showsDefault(const WindowObject* w) const;

  ImGuiContext* context = nullptr;
  ImFont* font = nullptr;
  float scale = 1.0f;
  int unitX = 6, unitY = 13, lineHeight = 13;
  HWND dialog = nullptr;
  SDL_Window* window = nullptr;
  void* glContext = nullptr;
  bool backendsReady = false;
  int eventsSinceFrame = 0;
  std::map<HWND, ControlView> views;
  std::vector<std::function<void()>> actions;
};

}  // namespace win32
