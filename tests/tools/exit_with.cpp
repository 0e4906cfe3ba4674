// exit_with.cpp: a program that ends with the exit code its first argument
// names, so command runners can be tested against every code they map.
// Usage: exit_with.exe CODE [MILLISECONDS to run first]
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 87;
  if (argc > 2) Sleep(std::wcstoul(argv[2], nullptr, 0));
  return static_cast<int>(std::wcstoul(argv[1], nullptr, 0));
}
