// The launcher's dialog procedure driven through the dialog manager without
// drawing (SDL's dummy driver): a "user" acts on the dialog right after
// WM_INITDIALOG through the same messages the controls get from the view and
// the keyboard, and the modal loop runs until the dialog ends.

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "demo/SetupDialog.h"
#include "demo/resource.h"
#include "platform/win32/Resources.h"
#include "platform/win32/Win32Sdl.h"
#include "support/SdlInput.h"

namespace {

std::function<void(HWND)> user;
std::vector<std::pair<int, int>> notifications;  // (control id, code)
const UINT noteFocus = WM_USER + 7;
HWND notedFocus = nullptr;

INT_PTR CALLBACK scriptedProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) notifications.push_back({LOWORD(wParam), HIWORD(wParam)});
  if (message == noteFocus) notedFocus = GetFocus();
  INT_PTR result = SetupDialog(dialog, message, wParam, lParam);
  if (message == WM_INITDIALOG && user) user(dialog);
  return result;
}

INT_PTR runLauncher(std::function<void(HWND)> script) {
  user = std::move(script);
  notifications.clear();
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETUP), nullptr, scriptedProcedure, 0);
}

void key(HWND dialog, WPARAM vk) {
  // Keyboard messages go to the focused control, as the queue routes them.
  HWND target = GetFocus() ? GetFocus() : dialog;
  PostMessageA(target, WM_KEYDOWN, vk, 1);
}

// The lines of a list or combo box.
std::vector<std::string> linesOf(HWND dialog, int id, UINT getCount, UINT getText) {
  std::vector<std::string> lines;
  for (LRESULT i = 0, count = SendDlgItemMessageA(dialog, id, getCount, 0, 0); i < count; ++i) {
    char text[256] = {};
    SendDlgItemMessageA(dialog, id, getText, WPARAM(i), reinterpret_cast<LPARAM>(text));
    lines.push_back(text);
  }
  return lines;
}

bool notified(int id, int code) {
  return std::find(notifications.begin(), notifications.end(), std::pair{id, code}) != notifications.end();
}

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    resetWindowState();
    modeList.clear();
    const DisplayMode modes[] = {
        {640, 480, 32, 60}, {1024, 768, 32, 85}, {800, 600, 32, 75}, {1024, 768, 16, 85}, {1024, 768, 32, 85}};
    for (const DisplayMode& m : modes) modeList.append(m);
    selectedMode = findDefaultMode(modeList);
    selectedAspect = 0;
    fullscreen = vsync = antiAlias = true;
    noSound = false;
  }
  void TearDown() override {
    user = nullptr;
    modeList.clear();
    resetWindowState();
  }
};

// The controls sit where the template puts them, in dialog units mapped to
// pixels, and show the choices they start with.
TEST_F(SetupDialogTest, InitialisationPlacesAndFillsTheControlsAndEnterAcceptsThem) {
  const DialogResource* resource = findDialogResource(IDD_SETUP);
  ASSERT_NE(resource, nullptr);
  fullscreen = false;
  noSound = true;
  INT_PTR result = runLauncher([&](HWND dialog) {
    EXPECT_EQ(linesOf(dialog, IDC_MODELIST, LB_GETCOUNT, LB_GETTEXT),
              (std::vector<std::string>{"640x480 60 Hz", "1024x768 85 Hz", "800x600 75 Hz", "1024x768 85 Hz",
                                        "1024x768 85 Hz"}));
    EXPECT_EQ(linesOf(dialog, IDC_ASPECT, CB_GETCOUNT, CB_GETLBTEXT),
              (std::vector<std::string>{"4:3", "16:10", "16:9", "5:4"}));
    // The list's and the combo box's selections, and the combo box's text.
    char text[32];
    GetWindowTextA(GetDlgItem(dialog, IDC_ASPECT), text, sizeof(text));
    EXPECT_EQ((std::tuple{SendDlgItemMessageA(dialog, IDC_MODELIST, LB_GETCURSEL, 0, 0),
                          SendDlgItemMessageA(dialog, IDC_ASPECT, CB_GETCURSEL, 0, 0), std::string(text)}),
              (std::tuple{LRESULT(4), LRESULT(0), std::string("4:3")}));
    std::vector<UINT> checks;
    for (int id : {IDC_FULLSCREEN, IDC_VSYNC, IDC_ANTIALIAS, IDC_NOSOUND}) checks.push_back(IsDlgButtonChecked(dialog, id));
    EXPECT_EQ(checks, (std::vector<UINT>{BST_UNCHECKED, BST_CHECKED, BST_CHECKED, BST_CHECKED}));
    // Enter through SDL, as a key press on the dialog's window.
    pushKey(dialog, SDLK_RETURN, SDL_SCANCODE_RETURN);

    RECT size = {0, 0, 255, 102};
    MapDialogRect(dialog, &size);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ((std::pair{client.right, client.bottom}), (std::pair{size.right, size.bottom}));
    RECT dialogRect;
    GetWindowRect(dialog, &dialogRect);
    for (int i = 0; i < resource->itemCount; ++i) {
      const DialogItemResource& item = resource->items[i];
      HWND control = GetDlgItem(dialog, item.id);
      ASSERT_NE(control, nullptr) << item.id;
      RECT expected = {item.x, item.y, item.x + item.cx, item.y + item.cy};
      MapDialogRect(dialog, &expected);
      RECT actual;
      GetWindowRect(control, &actual);
      EXPECT_EQ((std::array{actual.left - dialogRect.left, actual.top - dialogRect.top, actual.right - actual.left}),
                (std::array{expected.left, expected.top, expected.right - expected.left})) << item.id;
      const LONG height = actual.bottom - actual.top, laidOut = expected.bottom - expected.top;
      if (item.id == IDC_MODELIST)  // whole lines only: the list may be a little shorter than laid out
        EXPECT_TRUE(height <= laidOut && height > laidOut - height / 4) << height << " of " << laidOut;
      else
        EXPECT_EQ(height, laidOut) << item.id;
    }
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ((std::pair{selectedMode, selectedAspect}), (std::pair{4, 0}));
  EXPECT_EQ((std::pair{fullscreen, noSound}), (std::pair{false, true}));
}

// Cancel, Escape and the close box leave the choices alone; OK takes them.
TEST_F(SetupDialogTest, CancelEscapeAndCloseBoxLeaveTheChoicesAloneAndOkReadsThem) {
  auto changeThenLeave = [](std::function<void(HWND)> leave) {
    return [leave](HWND dialog) {
      SendDlgItemMessageA(dialog, IDC_MODELIST, LB_SETCURSEL, 0, 0);
      SendMessageA(GetDlgItem(dialog, IDC_VSYNC), BM_CLICK, 0, 0);
      leave(dialog);
    };
  };
  EXPECT_EQ(runLauncher(changeThenLeave([](HWND d) { PostMessageA(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); })), 0);
  EXPECT_EQ(runLauncher(changeThenLeave([](HWND d) { key(d, VK_ESCAPE); })), 0);
  EXPECT_EQ(runLauncher(changeThenLeave([](HWND d) { pushClose(d); })), 0);
  EXPECT_EQ(selectedMode, 4);
  EXPECT_TRUE(vsync);

  INT_PTR result = runLauncher([](HWND dialog) {
    // What clicks in the view send.
    SendDlgItemMessageA(dialog, IDC_MODELIST, LB_SETCURSEL, 2, 0);
    SendDlgItemMessageA(dialog, IDC_ASPECT, CB_SETCURSEL, 2, 0);
    for (int id : {IDC_FULLSCREEN, IDC_VSYNC, IDC_ANTIALIAS, IDC_NOSOUND}) SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ((std::pair{selectedMode, selectedAspect}), (std::pair{2, 2}));
  EXPECT_EQ((std::array{fullscreen, vsync, antiAlias, noSound}), (std::array{false, false, false, true}));
  // Each auto check box told the procedure it was clicked.
  for (int id : {IDC_FULLSCREEN, IDC_VSYNC, IDC_ANTIALIAS, IDC_NOSOUND}) EXPECT_TRUE(notified(id, BN_CLICKED)) << id;
}

TEST_F(SetupDialogTest, NoSelectionComesBackAsDefaultModeAndFourToThree) {
  INT_PTR result = runLauncher([](HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_MODELIST, LB_SETCURSEL, WPARAM(-1), 0);
    // Typing into the combo box's edit field leaves no ratio selected.
    SendDlgItemMessageA(dialog, IDC_ASPECT, CB_SETCURSEL, 2, 0);
    HWND combo = GetDlgItem(dialog, IDC_ASPECT);
    SetFocus(combo);
    for (char c : std::string("21:9")) PostMessageA(combo, WM_CHAR, WPARAM(c), 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ((std::pair{selectedMode, selectedAspect}), (std::pair{4, 0}));
  EXPECT_TRUE(notified(IDC_ASPECT, CBN_EDITCHANGE));
}

// The default mode is the last exact match, else the first; without modes
// only Cancel is left.
TEST_F(SetupDialogTest, DefaultModeIsTheLastExactMatchElseTheFirstAndNoModesLeaveOnlyCancel) {
  EXPECT_EQ(selectedMode, 4);  // 16 bits at index 3 does not count
  Array<DisplayMode> none;
  for (DisplayMode m : {DisplayMode{1024, 768, 32, 60}, DisplayMode{1280, 1024, 32, 85}}) none.append(m);
  modeList.clear();
  EXPECT_EQ((std::pair{findDefaultMode(none), findDefaultMode(modeList)}), (std::pair{0, 0}));
  selectedMode = 0;
  INT_PTR result = runLauncher([&](HWND dialog) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    key(dialog, VK_RETURN);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(result, 0);
}

TEST_F(SetupDialogTest, KeyboardAloneChoosesAMode) {
  selectedMode = 1;
  HWND okButton = nullptr;
  INT_PTR result = runLauncher([&](HWND dialog) {
    okButton = GetDlgItem(dialog, IDOK);
    PostMessageA(dialog, noteFocus, 0, 0);
    // Tab order follows the template: Cancel, Fullscreen, No sound, combo, list.
    for (int i = 0; i < 5; ++i) PostMessageA(dialog, WM_KEYDOWN, VK_TAB, 1);
    PostMessageA(GetDlgItem(dialog, IDC_MODELIST), WM_KEYDOWN, VK_DOWN, 1);
    PostMessageA(GetDlgItem(dialog, IDC_MODELIST), WM_KEYDOWN, VK_RETURN, 1);
  });
  // WM_INITDIALOG answered TRUE: the first tab stop (OK) had the focus.
  EXPECT_EQ(notedFocus, okButton);
  EXPECT_EQ((std::pair{result, selectedMode}), (std::pair{INT_PTR(1), 2}));
  EXPECT_TRUE(notified(IDC_MODELIST, LBN_SELCHANGE));
}

TEST_F(SetupDialogTest, MissingTemplateOrProcedureFails) {
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4242), nullptr, SetupDialog, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SETUP), nullptr, nullptr, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, "named", nullptr, SetupDialog, 0), -1);
}

}  // namespace
