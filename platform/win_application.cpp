// win_application.cpp: registration of the one application object and the
// start of its InitInstance.
#include "platform/win_application.h"

namespace {
CWinApplication* g_application = nullptr;
}

CWinApplication::CWinApplication() { g_application = this; }

CWinApplication::~CWinApplication() {
  if (g_application == this) g_application = nullptr;
}

CWinApplication* CWinApplication::Current() { return g_application; }

int RunApplication() {
  if (!g_application) return ERROR_INVALID_FUNCTION;
  // The application keeps no message loop of its own: its dialogs run modal
  // loops, and a true answer only means "nothing more to do".
  g_application->InitInstance();
  return 0;
}
