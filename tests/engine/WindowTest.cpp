// The Window and the message queue under SDL's dummy video driver: styles,
// the window procedure's rules, and Escape or the close box ending the main
// loop through WM_DESTROY and WM_QUIT.

#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "engine/Log.h"
#include "engine/Window.h"
#include "platform/win32/Win32Sdl.h"
#include "support/SdlInput.h"
#include "support/TestDir.h"

namespace {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    resetWindowState();
  }
  void TearDown() override { resetWindowState(); }
};

// The main loop as start-up runs it (one message per iteration), bounded.
// Returns the iterations taken until WM_QUIT, or -1.
int runMainLoop(int limit, WPARAM* exitCode = nullptr) {
  for (int i = 0; i < limit; ++i) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        if (exitCode) *exitCode = msg.wParam;
        return i;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return -1;
}

void expectOuterRect(HWND handle, LONG x, LONG y, LONG width, LONG height) {
  RECT r;
  ASSERT_TRUE(GetWindowRect(handle, &r));
  EXPECT_EQ((std::array{r.left, r.top, r.right - r.left, r.bottom - r.top}), (std::array{x, y, width, height}));
}

TEST_F(WindowTest, KindsGiveTheirStylesAtTheOuterRectangle) {
  struct Case {
    int kind;
    DWORD style;
  } cases[] = {{0, 0x96000000}, {1, 0x16040000}, {2, 0x16000000}, {7, 0x16000000}};
  for (const Case& c : cases) {
    Window window;
    window.create(50, 50, 640, 480, c.kind, nullptr);
    HWND handle = window.getHandle();
    ASSERT_TRUE(IsWindow(handle)) << "kind " << c.kind;
    EXPECT_EQ(DWORD(GetWindowLongA(handle, GWL_STYLE)), c.style) << "kind " << c.kind;
    EXPECT_EQ(DWORD(GetWindowLongA(handle, GWL_EXSTYLE)), DWORD(WS_EX_APPWINDOW));
    EXPECT_EQ(GetWindowLongPtrA(handle, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    // As on 64-bit Windows, the 32-bit call cannot carry the pointer.
    EXPECT_NE(LONG_PTR(GetWindowLongA(handle, GWLP_USERDATA)), reinterpret_cast<LONG_PTR>(&window));
    char title[32];
    GetWindowTextA(handle, title, sizeof(title));
    EXPECT_STREQ(title, "engine");
    expectOuterRect(handle, 50, 50, 640, 480);
    // Kind 0 is borderless, kind 1 resizable; all are shown.
    Uint32 flags = SDL_GetWindowFlags(sdlWindowFromHandle(handle));
    EXPECT_EQ((std::array{bool(flags & SDL_WINDOW_BORDERLESS), bool(flags & SDL_WINDOW_RESIZABLE),
                          bool(flags & SDL_WINDOW_SHOWN)}),
              (std::array{c.kind == 0, c.kind == 1, true}));
  }
}

TEST_F(WindowTest, SecondCreateOnlyMovesResizesAndLogs) {
  TestDir dir("window-twice");
  logOpen();
  Window window;
  window.create(50, 50, 800, 600, 1, nullptr);
  HWND handle = window.getHandle();
  window.create(10, 20, 1024, 768, 0, nullptr);
  EXPECT_EQ(window.getHandle(), handle);
  EXPECT_EQ(DWORD(GetWindowLongA(handle, GWL_STYLE)), DWORD(0x16040000));  // not re-created as kind 0
  expectOuterRect(handle, 10, 20, 1024, 768);
  EXPECT_EQ((std::pair{window.x, window.height}), (std::pair{10, 768}));
  EXPECT_EQ(TestDir::read("log.txt"),
            "Vantrel Engine Log\n\nWindow::create: Window already created, resizing only.\n");
}

// Escape, the close box, and Alt+F4 through the default processing.
TEST_F(WindowTest, EscapeTheCloseBoxAndAltF4EndTheLoopThroughDestroy) {
  for (int way = 0; way < 3; ++way) {
    Window window;
    window.create(50, 50, 640, 480, way == 2 ? 2 : 1, nullptr);
    HWND h = window.getHandle();
    ASSERT_TRUE(way == 0   ? pushKey(h, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE)
                : way == 1 ? pushClose(h)
                           : pushKey(h, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT));
    WPARAM code = 99;
    EXPECT_GE(runMainLoop(10, &code), 0) << way;
    EXPECT_EQ(code, 0u) << way;
    EXPECT_FALSE(IsWindow(h)) << way;
    EXPECT_EQ(runMainLoop(3), -1) << "the quit message comes once";
  }
}

TEST_F(WindowTest, KeyAndMouseStateFollowTheMessages) {
  Window window;
  window.create(0, 0, 320, 240, 1, nullptr);
  HWND h = window.getHandle();
  // Key-up for a key never pressed just records 0.
  for (auto [message, held] : {std::pair{WM_KEYUP, 0}, {WM_KEYDOWN, 1}, {WM_KEYUP, 0}}) {
    SendMessageA(h, UINT(message), 'Q', 0);
    EXPECT_EQ(window.keys[unsigned('Q')], held) << std::hex << message;
  }
  // A code past the table is ignored rather than written out of bounds.
  SendMessageA(h, WM_KEYDOWN, 0x1234, 0);
  EXPECT_EQ(window.mouseButtons, 0u);

  // Buttons and position after each message; the position is the unsigned
  // low and high word, and double clicks go to the default processing.
  const std::tuple<UINT, LPARAM, uint32_t, int, int> steps[] = {
      {WM_LBUTTONDOWN, MAKELPARAM(-2, 40), 1, 0xFFFE, 40}, {WM_RBUTTONDOWN, MAKELPARAM(5, 6), 3, 5, 6},
      {WM_MBUTTONDOWN, MAKELPARAM(7, 8), 7, 7, 8},         {WM_RBUTTONUP, MAKELPARAM(9, 10), 5, 9, 10},
      {WM_LBUTTONDBLCLK, MAKELPARAM(100, 100), 5, 9, 10},  {WM_MOUSEMOVE, MAKELPARAM(300, 200), 5, 300, 200}};
  for (auto [message, position, buttons, x, y] : steps) {
    SendMessageA(h, message, 0, position);
    EXPECT_EQ((std::tuple{window.mouseButtons, window.mouseX, window.mouseY}), (std::tuple{buttons, x, y}))
        << std::hex << message;
  }
}

TEST_F(WindowTest, SdlInputBecomesWindowMessages) {
  Window window;
  window.create(0, 0, 320, 240, 1, nullptr);
  HWND h = window.getHandle();
  ASSERT_TRUE(pushKey(h, SDLK_a, SDL_SCANCODE_A) && pushKey(h, SDLK_F1, SDL_SCANCODE_F1) &&
              pushKey(h, SDLK_DOWN, SDL_SCANCODE_DOWN, KMOD_NONE, false));
  SDL_Event e = {};
  e.motion = {SDL_MOUSEMOTION, 0, sdlId(h), 0, SDL_BUTTON_LMASK, 12, 34, 0, 0};
  SDL_PushEvent(&e);
  // Clicks 2: the class has no CS_DBLCLKS, so a plain press.
  e.button = {SDL_MOUSEBUTTONDOWN, 0, sdlId(h), 0, SDL_BUTTON_RIGHT, 0, 2, 0, 56, 78};
  SDL_PushEvent(&e);

  // Message, wParam and lParam; -1: not checked.
  const WPARAM any = WPARAM(-1);
  const std::tuple<UINT, WPARAM, LPARAM> expected[] = {
      {WM_KEYDOWN, 'A', -1},   {WM_CHAR, 'a', -1}, {WM_KEYDOWN, VK_F1, -1}, {WM_KEYUP, VK_DOWN, -1},
      {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 34)}, {WM_RBUTTONDOWN, any, MAKELPARAM(56, 78)}};
  for (auto [message, wParam, lParam] : expected) {
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << std::hex << message;
    EXPECT_EQ((std::pair{msg.hwnd, msg.message}), (std::pair{h, message}));
    EXPECT_TRUE(wParam == any || msg.wParam == wParam) << std::hex << message << " " << msg.wParam;
    EXPECT_TRUE(lParam == -1 || msg.lParam == lParam) << std::hex << message << " " << msg.lParam;
    EXPECT_TRUE(msg.message != WM_KEYUP || (msg.lParam & (LPARAM(1) << 31))) << "a release has its transition bit";
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(window.keys[unsigned('A')], 1);
  EXPECT_EQ(window.mouseButtons, 2u);
}

TEST_F(WindowTest, QuitComesLastWithItsCodeAndDestroyedWindowsTakeNoMessages) {
  Window window;
  window.create(0, 0, 100, 100, 1, nullptr);
  HWND h = window.getHandle();
  PostQuitMessage(3);
  ASSERT_TRUE(PostMessageA(h, WM_USER + 1, 1, 2));
  WPARAM code = 0;
  EXPECT_EQ(runMainLoop(5, &code), 1);
  EXPECT_EQ(code, 3u);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

  // Destroyed windows take no messages and their queued ones are dropped.
  PostMessageA(h, WM_USER + 3, 0, 0);
  DestroyWindow(h);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
  EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 0);
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_USERDATA), 0);
  MSG stale = {h, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
  EXPECT_EQ(DispatchMessageA(&stale), 0);
}

}  // namespace
