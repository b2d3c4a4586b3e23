#pragma once
// The launcher: its process-wide choices and its dialog procedure for
// resource 101 (IDD_SETUP). Start-up fills modeList, sets selectedMode to
// findDefaultMode(modeList), shows the dialog with
//   DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupDialog, 0)
// and on a result of 1 reads the choices below (0 is Cancel; -1 means the
// dialog could not be shown).

#include "engine/Array.h"
#include "engine/render/DeviceTypes.h"
#include "platform/win32/windows.h"

// The modes offered, in the order the device listed them.
extern Array<DisplayMode> modeList;
// Index into modeList; always inside it after OK.
extern int selectedMode;
// Index into aspectRatios; always inside it after OK.
extern int selectedAspect;
extern bool fullscreen;
extern bool vsync;
extern bool antiAlias;
// Shown and remembered only: there is no audio.
extern bool noSound;

// Horizontal and vertical parts: 4:3, 16:10, 16:9, 5:4.
extern const float aspectRatios[4][2];

// The last 1024 x 768, 32-bit, 85 Hz entry, else 0.
int findDefaultMode(const Array<DisplayMode>& modes);

INT_PTR CALLBACK SetupDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
