// wow64.cpp: the cached WOW64 answer and run-time lookups of system
// functions that older Windows versions may lack.
#include "foundation/wow64.h"

#include <windows.h>

#include <string>

#include "platform/system_dlls.h"

namespace {

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, PBOOL wow64);

BOOL QueryWow64() {
  auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(
      GetProcAddressFromFile(SystemFolderPath(L"kernel32.dll"), "IsWow64Process"));
  if (!isWow64Process) return FALSE;
  BOOL wow64 = FALSE;
  if (!isWow64Process(GetCurrentProcess(), &wow64)) return FALSE;
  return wow64 ? TRUE : FALSE;
}

}  // namespace

BOOL IsWow64() {
  static const BOOL wow64 = QueryWow64();
  return wow64;
}

FARPROC GetProcAddressFromFile(const std::wstring& dllPath, const char* exportName) {
  if (dllPath.empty() || !exportName) return nullptr;
  DWORD attributes = GetFileAttributesW(dllPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return nullptr;
  }
  HMODULE module = LoadLibraryW(dllPath.c_str());
  if (!module) return nullptr;
  return GetProcAddress(module, exportName);
}
