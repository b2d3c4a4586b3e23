#pragma once
// Resource ids of the demo: the launcher dialog and its controls.

#define IDD_SETUP 101

#define IDC_FULLSCREEN 1001
#define IDC_NOSOUND 1002
#define IDC_MODELIST 1006
#define IDC_RESOLUTION_LABEL 1007
#define IDC_ASPECT 1009
#define IDC_ASPECT_LABEL 1010
#define IDC_ANTIALIAS 1012
#define IDC_VSYNC 1013
