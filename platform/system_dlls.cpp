// system_dlls.cpp: the process's DLL search restricted to the system folder,
// and the loader of the DLLs the program imports lazily: a DLL that is not one
// of Windows' known DLLs would otherwise be taken from the program's own folder
// before the restriction could be made.
#include "platform/system_dlls.h"

#include <windows.h>
#include <delayimp.h>

#include <string>

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD flags);

// Set once, on the main thread, before any other thread starts.
bool g_searchRestricted = false;

bool IsRedirectedByActivationContext(const std::wstring& name) {
  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof(data);
  return FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name.c_str(),
                                  &data) != FALSE;
}

// The delay-load helper's hook: every lazily imported DLL comes from here, so
// the helper's own load by bare name never runs.
FARPROC WINAPI LoadDelayedImport(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  std::wstring name;
  for (const char* c = info->szDll; *c; ++c) name += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  HMODULE module = LoadSystemDll(name);
  if (!module) {
    // What the helper raises itself for a DLL it cannot load; falling back to
    // its search by name could find a copy beside the program.
    info->dwLastError = GetLastError();
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
    RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
  }
  return reinterpret_cast<FARPROC>(module);
}

}  // namespace

// Declared extern "C" by <delayimp.h>; the helper reads it on every first call.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedImport;

void RestrictDllSearchToSystemFolder() {
  // Windows 7 and older without the update that brought it lack the function.
  HMODULE kernel32 = LoadLibraryW(SystemFolderPath(L"kernel32.dll").c_str());
  auto setDefaultDllDirectories = kernel32 ? reinterpret_cast<SetDefaultDllDirectoriesFunction>(
                                                 GetProcAddress(kernel32, "SetDefaultDllDirectories"))
                                           : nullptr;
  if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    g_searchRestricted = true;
    return;
  }
  // The program's folder stays first in this search: what the program itself
  // loads from the system goes by full path (LoadSystemDll).
  SetDllDirectoryW(L"");
}

std::wstring SystemFolderPath(const std::wstring& name) {
  wchar_t folder[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return std::wstring(folder, length) + L"\\" + name;
}

HMODULE LoadSystemDll(const std::wstring& name) {
  // A DLL the activation context redirects is never searched for in folders;
  // by its system path it would be an older copy (common controls 5).
  if (IsRedirectedByActivationContext(name)) return LoadLibraryW(name.c_str());
  std::wstring path = SystemFolderPath(name);
  if (path.empty()) return nullptr;
  // Without the restriction, the altered search puts the DLL's own folder (the
  // system folder) in the program folder's place for the DLLs it imports.
  return LoadLibraryExW(path.c_str(), nullptr, g_searchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}
