#pragma once
// The module's resources. On Windows the resource compiler links dialog
// templates into the executable; here a program declares each template as data
// (the same fields a DIALOGEX statement has) and registers it at static
// initialisation, and DialogBoxParamA finds it by id.

#include "platform/win32/windows.h"

// Predefined control classes of dialog items.
#define WC_BUTTONA "Button"
#define WC_STATICA "Static"
#define WC_EDITA "Edit"
#define WC_LISTBOXA "ListBox"
#define WC_COMBOBOXA "ComboBox"

struct DialogItemResource {
  WORD id;
  LPCSTR windowClass;  // one of the WC_ names above
  LPCSTR text;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
};

struct DialogResource {
  WORD id;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
  LPCSTR caption;
  WORD pointSize;
  LPCSTR typeface;
  const DialogItemResource* items;
  WORD itemCount;
};

// Adds a template to the module's resources; false (and nothing replaced) when
// one with the same id exists. The template must stay alive for the process.
bool registerDialogResource(const DialogResource* resource);
const DialogResource* findDialogResource(WORD id);
