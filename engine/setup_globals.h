#pragma once
// setup_globals.h: process-wide values that the worker, the host dialog and
// the wizard share besides the context block and the setup state.
#include <windows.h>

// Windows moved by the progress sink: the host dialog's until the wizard
// takes over.
struct CProgressWindows {
  HWND overallBar = nullptr;
  HWND packageBar = nullptr;
  HWND statusLine = nullptr;
  // The installer's own action texts, beside the package bar; without it
  // they go to the status line.
  HWND detailText = nullptr;
};

extern CProgressWindows g_progressWindows;
extern LANGID g_uiLanguageId;
extern BYTE g_rightToLeft;
// The wizard's sheet while it runs, for the parts of the run that reach
// the wizard's window (set and cleared by the wizard).
extern HWND g_wizardSheetWindow;
