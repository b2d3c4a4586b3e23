// The demo's resources: the launcher dialog, as its DIALOGEX statement
// declares it.

#include "demo/resource.h"
#include "platform/win32/Resources.h"

namespace {

const DWORD child = WS_CHILD | WS_VISIBLE;

const DialogItemResource setupItems[] = {
    {IDOK, WC_BUTTONA, "OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 137, 77, 50, 14},
    {IDCANCEL, WC_BUTTONA, "Cancel", child | BS_PUSHBUTTON | WS_TABSTOP, 0, 198, 77, 50, 14},
    {IDC_FULLSCREEN, WC_BUTTONA, "Fullscreen", child | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 138, 44, 54, 12},
    {IDC_NOSOUND, WC_BUTTONA, "No sound", child | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 138, 59, 57, 13},
    {IDC_RESOLUTION_LABEL, WC_STATICA, "Resolution", child | SS_LEFT | WS_GROUP, 0, 7, 7, 52, 16},
    {IDC_ASPECT, WC_COMBOBOXA, "", child | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 0, 187, 22, 58, 56},
    {IDC_ASPECT_LABEL, WC_STATICA, "Aspect Ratio", child | SS_LEFT | WS_GROUP, 0, 138, 23, 44, 14},
    {IDC_MODELIST, WC_LISTBOXA, "", child | LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 0, 7, 20, 117, 72},
    {IDC_ANTIALIAS, WC_BUTTONA, "Anti-Alias", child | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 194, 60, 53, 11},
    {IDC_VSYNC, WC_BUTTONA, "VSync", child | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 194, 44, 54, 13},
};

const DialogResource setupDialog = {
    IDD_SETUP,
    DS_SHELLFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    0, 0, 255, 102,
    "Vantrel demo",
    8, "MS Shell Dlg",
    setupItems, sizeof(setupItems) / sizeof(setupItems[0]),
};

}  // namespace

// Registered with the module's resources before main runs. The symbol is
// what programs linking the demo shell pull in, since nothing calls here.
extern "C" const bool vantrelDemoResources = registerDialogResource(&setupDialog);
