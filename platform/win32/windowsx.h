#pragma once
// Message crackers, which Windows keeps apart from <windows.h>.

#include "platform/win32/windows.h"

#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
