// Shows the launcher exactly as start-up does and prints what it returned.
// Modes come from the arguments as WIDTHxHEIGHTxHZ; arguments starting with
// -- are the demo's own options, which preselect the controls as they do in
// the demo. Before the
// dialog runs, the caption and the controls it was created with are printed,
// one line each.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo/DemoOptions.h"
#include "demo/SetupDialog.h"
#include "demo/resource.h"
#include "platform/win32/windows.h"

namespace {

const int controlIds[] = {IDOK,       IDCANCEL,         IDC_FULLSCREEN, IDC_NOSOUND,   IDC_RESOLUTION_LABEL,
                          IDC_ASPECT, IDC_ASPECT_LABEL, IDC_MODELIST,   IDC_ANTIALIAS, IDC_VSYNC};

INT_PTR CALLBACK describingProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR result = SetupDialog(dialog, message, wParam, lParam);
  if (message == WM_INITDIALOG) {
    char text[256];
    GetWindowTextA(dialog, text, sizeof(text));
    RECT client;
    GetClientRect(dialog, &client);
    std::printf("caption=%s client=%ldx%ld\n", text, long(client.right), long(client.bottom));
    for (int id : controlIds) {
      HWND control = GetDlgItem(dialog, id);
      if (!control) continue;
      GetWindowTextA(control, text, sizeof(text));
      std::printf("control id=%d text=%s visible=%d\n", id, text, (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) ? 1 : 0);
    }
    std::fflush(stdout);
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> optionArgs = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    DisplayMode mode = {0, 0, 32, 0};
    if (std::strncmp(argv[i], "--", 2) == 0) optionArgs.push_back(argv[i]);
    else if (std::sscanf(argv[i], "%dx%dx%d", &mode.width, &mode.height, &mode.refreshRate) == 3) modeList.append(mode);
  }
  selectedMode = findDefaultMode(modeList);
  DemoOptions options;
  std::string error;
  if (!parseDemoOptions(int(optionArgs.size()), optionArgs.data(), options, error) ||
      !applyDemoOptions(options, 1280, 1024, error)) {
    std::printf("error=%s\n", error.c_str());
    return 2;
  }
  INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETUP), nullptr, describingProcedure, 0);
  std::printf("result=%d mode=%d aspect=%d fullscreen=%d vsync=%d antialias=%d nosound=%d modes=%u\n", int(result),
              selectedMode, selectedAspect, fullscreen, vsync, antiAlias, noSound, modeList.count);
  return 0;
}
