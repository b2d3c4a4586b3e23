// The Window and the message queue under SDL's dummy video driver: styles,
// the window procedure's rules, and Escape or the close box ending the main
// loop through WM_DESTROY and WM_QUIT.

#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

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
    // Kind 0 is borderless, kind 1 resizable.
    Uint32 flags = SDL_GetWindowFlags(sdlWindowFromHandle(handle));
    EXPECT_EQ(bool(flags & SDL_WINDOW_BORDERLESS), c.kind == 0);
    EXPECT_EQ(bool(flags & SDL_WINDOW_RESIZABLE), c.kind == 1);
    EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
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
  EXPECT_EQ(window.x, 10);
  EXPECT_EQ(window.height, 768);
  EXPECT_EQ(TestDir::read("log.txt"),
            "Vantrel Engine Log\n\nWindow::create: Window already created, resizing only.\n");
}

TEST_F(WindowTest, EscapeAndTheCloseBoxEndTheLoopThroughDestroy) {
  {
    Window window;
    window.create(50, 50, 640, 480, 1, nullptr);
    ASSERT_TRUE(pushKey(window.getHandle(), SDLK_ESCAPE, SDL_SCANCODE_ESCAPE));
    WPARAM code = 99;
    EXPECT_GE(runMainLoop(10, &code), 0);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(window.keys[VK_ESCAPE], 1);
    EXPECT_FALSE(IsWindow(window.getHandle()));
    EXPECT_EQ(runMainLoop(3), -1) << "the quit message comes once";
  }
  // The close box, and Alt+F4 through the default processing, take the same path.
  for (bool closeBox : {true, false}) {
    Window window;
    window.create(50, 50, 640, 480, closeBox ? 1 : 2, nullptr);
    ASSERT_TRUE(closeBox ? pushClose(window.getHandle())
                         : pushKey(window.getHandle(), SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT));
    EXPECT_GE(runMainLoop(10), 0) << closeBox;
    EXPECT_FALSE(IsWindow(window.getHandle())) << closeBox;
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

  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-2, 40));
  EXPECT_EQ((std::pair{window.mouseX, window.mouseY}), (std::pair{0xFFFE, 40}));  // the unsigned low word
  SendMessageA(h, WM_RBUTTONDOWN, 0, MAKELPARAM(5, 6));
  SendMessageA(h, WM_MBUTTONDOWN, 0, MAKELPARAM(7, 8));
  EXPECT_EQ(window.mouseButtons, 1u | 2u | 4u);
  SendMessageA(h, WM_RBUTTONUP, 0, MAKELPARAM(9, 10));
  EXPECT_EQ(window.mouseButtons, 1u | 4u);
  EXPECT_EQ(window.mouseX, 9);
  // Double clicks go to the default processing and change nothing.
  SendMessageA(h, WM_LBUTTONDBLCLK, 0, MAKELPARAM(100, 100));
  EXPECT_EQ(window.mouseX, 9);
  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
  EXPECT_EQ((std::pair{window.mouseX, window.mouseY}), (std::pair{300, 200}));
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

  const WPARAM any = WPARAM(-1);
  struct Expected {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;  // -1: not checked
  } expected[] = {{WM_KEYDOWN, 'A', -1},          {WM_CHAR, 'a', -1},
                  {WM_KEYDOWN, VK_F1, -1},        {WM_KEYUP, VK_DOWN, -1},
                  {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 34)}, {WM_RBUTTONDOWN, any, MAKELPARAM(56, 78)}};
  for (const Expected& x : expected) {
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << std::hex << x.message;
    EXPECT_EQ(msg.hwnd, h);
    EXPECT_EQ(msg.message, x.message);
    EXPECT_TRUE(x.wParam == any || msg.wParam == x.wParam) << std::hex << x.message << " " << msg.wParam;
    EXPECT_TRUE(x.lParam == -1 || msg.lParam == x.lParam) << std::hex << x.message << " " << msg.lParam;
    EXPECT_TRUE(msg.message != WM_KEYUP || (msg.lParam & (LPARAM(1) << 31))) << "a release has its transition bit";
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(window.keys[unsigned('A')], 1);
  EXPECT_EQ(window.mouseButtons, 2u);
}

TEST_F(WindowTest, QueueOrderFiltersAndStaleHandles) {
  Window window;
  window.create(0, 0, 100, 100, 1, nullptr);
  HWND h = window.getHandle();
  PostQuitMessage(3);
  ASSERT_TRUE(PostMessageA(h, WM_USER + 1, 1, 2));
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 0, 0));
  MSG msg;
  // PM_NOREMOVE looks without taking.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, UINT(WM_USER + 1));
  // A range filter skips ahead; the rest stays in order.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_TRUE(PeekMessageA(&msg, h, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_USER + 1));
  // The quit message comes last, once.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
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
