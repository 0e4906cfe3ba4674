// quiet_program.cpp: exit_with.exe without a console window: a program
// that runs for a while and ends with a chosen code, for tests whose
// screenshots must show the wizard alone.
// Usage: quiet_program.exe CODE [MILLISECONDS to run first]
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count < 2) return 87;
  if (count > 2) Sleep(std::wcstoul(arguments[2], nullptr, 0));
  int code = static_cast<int>(std::wcstoul(arguments[1], nullptr, 0));
  LocalFree(arguments);
  return code;
}
