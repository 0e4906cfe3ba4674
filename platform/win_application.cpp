// win_application.cpp: registration of the one application object and the
// start of its InitInstance.
#include "platform/win_application.h"

#include <windows.h>

#include "platform/callback_boundary.h"
#include "platform/system_dlls.h"

namespace {
CWinApplication* g_application = nullptr;
}

CWinApplication::CWinApplication() { g_application = this; }

CWinApplication::~CWinApplication() {
  if (g_application == this) g_application = nullptr;
}

CWinApplication* CWinApplication::Current() { return g_application; }

int RunApplication() {
  // Before anything of the application runs: no DLL the program loads later,
  // nor one a system DLL loads for it, may come from the program's folder.
  RestrictDllSearchToSystemFolder();
  if (!g_application) return ERROR_INVALID_FUNCTION;
  // The application keeps no message loop of its own: its dialogs run modal
  // loops, and a true answer only means "nothing more to do".
  try {
    g_application->InitInstance();
  } catch (...) {
    // Nothing may leave the program's entry: the exception would end the
    // process without a word. It becomes the exit code instead.
    return static_cast<int>(ReportBoundaryException(L"the application's start-up"));
  }
  return 0;
}
