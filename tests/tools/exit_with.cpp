// exit_with.cpp: a program that ends with the exit code its first argument
// names, so command runners can be tested against every code they map.
// Usage: exit_with.exe CODE [MILLISECONDS to run first]
// A copy named "<anything>_<CODE>.exe" ends with that code whatever its
// arguments, for callers that pass switches of their own.
#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace {

bool CodeFromOwnName(unsigned long* code) {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* underscore = std::wcsrchr(path, L'_');
  if (!underscore || !std::iswdigit(underscore[1])) return false;
  *code = std::wcstoul(underscore + 1, nullptr, 0);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  unsigned long code = 0;
  if (CodeFromOwnName(&code)) return static_cast<int>(code);
  if (argc < 2) return 87;
  if (argc > 2) Sleep(std::wcstoul(argv[2], nullptr, 0));
  return static_cast<int>(std::wcstoul(argv[1], nullptr, 0));
}
