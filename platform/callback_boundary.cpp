// callback_boundary.cpp: the installed reporter of exceptions caught where
// Windows called us, and the default used before one is installed.
#include "platform/callback_boundary.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace {

DWORD DebuggerReporter(const wchar_t* boundary) {
  std::wstring text = L"Exception caught in ";
  text += boundary ? boundary : L"a callback";
  OutputDebugStringW((text + L"\n").c_str());
  return ERROR_INSTALL_FAILURE;
}

std::atomic<BoundaryReporter> g_reporter{DebuggerReporter};

}  // namespace

BoundaryReporter SetBoundaryReporter(BoundaryReporter reporter) {
  return g_reporter.exchange(reporter ? reporter : DebuggerReporter);
}

DWORD ReportBoundaryException(const wchar_t* boundary) {
  DWORD status = ERROR_INSTALL_FAILURE;
  try {
    status = g_reporter.load()(boundary);
  } catch (...) {
    // The reporter itself failed: the status still goes on.
  }
  // A boundary never turns an exception into success.
  return status != ERROR_SUCCESS ? status : ERROR_INSTALL_FAILURE;
}
