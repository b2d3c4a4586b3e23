#include "demo/SetupDialog.h"

#include <cstdio>

#include "demo/resource.h"

Array<DisplayMode> modeList;
int selectedMode = 0;
int selectedAspect = 0;
bool fullscreen = true;
bool vsync = true;
bool antiAlias = true;
bool noSound = false;

const float aspectRatios[4][2] = {{4.0f, 3.0f}, {16.0f, 10.0f}, {16.0f, 9.0f}, {5.0f, 4.0f}};

namespace {

const int aspectCount = sizeof(aspectRatios) / sizeof(aspectRatios[0]);

UINT checkState(bool on) { return on ? BST_CHECKED : BST_UNCHECKED; }

bool isChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

}  // namespace

int findDefaultMode(const Array<DisplayMode>& modes) {
  int found = 0;
  for (uint32_t i = 0; i < modes.count; ++i) {
    const DisplayMode& m = modes[i];
    if (m.width == 1024 && m.height == 768 && m.bitsPerPixel == 32 && m.refreshRate == 85) found = int(i);
  }
  return found;
}

INT_PTR CALLBACK SetupDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  char line[256];
  switch (message) {
    case WM_INITDIALOG:
      SetFocus(GetDlgItem(dialog, IDC_MODELIST));
      CheckDlgButton(dialog, IDC_FULLSCREEN, checkState(fullscreen));
      CheckDlgButton(dialog, IDC_VSYNC, checkState(vsync));
      CheckDlgButton(dialog, IDC_ANTIALIAS, checkState(antiAlias));
      CheckDlgButton(dialog, IDC_NOSOUND, checkState(noSound));
      for (const DisplayMode& mode : modeList) {
        std::snprintf(line, sizeof(line), "%dx%d %d Hz", mode.width, mode.height, mode.refreshRate);
        SendDlgItemMessageA(dialog, IDC_MODELIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
      }
      SendDlgItemMessageA(dialog, IDC_MODELIST, LB_SETCURSEL, WPARAM(selectedMode), 0);
      for (const auto& ratio : aspectRatios) {
        std::snprintf(line, sizeof(line), "%d:%d", int(ratio[0]), int(ratio[1]));
        SendDlgItemMessageA(dialog, IDC_ASPECT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
      }
      SendDlgItemMessageA(dialog, IDC_ASPECT, CB_SETCURSEL, WPARAM(selectedAspect), 0);
      // With no mode to start in, OK has nothing to give back.
      if (modeList.count == 0) EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
      return TRUE;

    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          if (modeList.count == 0) return TRUE;
          // No line selected (nothing clicked, or text typed into the combo
          // box): the default mode and the first ratio.
          int mode = int(SendDlgItemMessageA(dialog, IDC_MODELIST, LB_GETCURSEL, 0, 0));
          int aspect = int(SendDlgItemMessageA(dialog, IDC_ASPECT, CB_GETCURSEL, 0, 0));
          selectedMode = (mode >= 0 && mode < int(modeList.count)) ? mode : findDefaultMode(modeList);
          selectedAspect = (aspect >= 0 && aspect < aspectCount) ? aspect : 0;
          fullscreen = isChecked(dialog, IDC_FULLSCREEN);
          noSound = isChecked(dialog, IDC_NOSOUND);
          vsync = isChecked(dialog, IDC_VSYNC);
          antiAlias = isChecked(dialog, IDC_ANTIALIAS);
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }

    default:
      return FALSE;
  }
}
