// setup_globals.cpp: storage of the process-wide user-interface values.
#include "engine/setup_globals.h"

CProgressWindows g_progressWindows;
LANGID g_uiLanguageId = 0;
BYTE g_rightToLeft = 0;
HWND g_wizardSheetWindow = nullptr;
