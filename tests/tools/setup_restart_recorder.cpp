// setup_restart_recorder.cpp: setup.exe itself, with the finish page's
// restart request replaced: instead of restarting the machine it writes
// "<its own path>.restart" and reports the request as accepted. The
// end-to-end tests copy it into a kit as setup.exe.
#include <windows.h>

#include <string>
#include <vector>

#include "app/setup_app.h"
#include "platform/win_application.h"
#include "wizard/exit_restart.h"

namespace {

CSetupApp g_theApp;

BOOL RecordRestart() {
  std::vector<wchar_t> path(32768);
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return FALSE;
  std::wstring target = std::wstring(path.data(), length) + L".restart";
  HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  WriteFile(file, "EWX_REBOOT", 10, &written, nullptr);
  CloseHandle(file);
  return TRUE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  SetExitRestartImplementation(RecordRestart);
  return RunApplication();
}
