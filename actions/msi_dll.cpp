// msi_dll.cpp: loading MSI.DLL by its full path and asking its version.
#include "actions/msi_dll.h"

#include <windows.h>
#include <shlwapi.h>

#include "actions/msi_trace.h"
#include "platform/system_dlls.h"

namespace {

const wchar_t kMsiDllName[] = L"MSI.DLL";

// Published with an interlocked exchange: two threads that race to load it
// keep one copy and free the other.
HMODULE volatile g_msiDll = nullptr;

}  // namespace

bool LoadMsiDll() {
  if (g_msiDll) return true;
  MsiTrace(MsiTraceInformation, L"Attempting to load MSI.DLL");
  HMODULE module = LoadSystemDll(kMsiDllName);
  if (!module) {
    MsiTrace(MsiTraceError, L"Failed to load MSI.DLL");
    return false;
  }
  if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_msiDll), module,
                                        nullptr) != nullptr) {
    FreeLibrary(module);
  }
  return true;
}

bool GetMsiDllVersion(DLLVERSIONINFO* info) {
  if (!LoadMsiDll()) return false;
  MsiTrace(MsiTraceInformation, L"Attempting to determine the version of MSI.DLL");
  DLLGETVERSIONPROC getVersion =
      reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(g_msiDll, "DllGetVersion"));
  if (!getVersion) {
    MsiTrace(MsiTraceError, L"Failed to load function pointers from MSI.DLL");
    return false;
  }
  DLLVERSIONINFO version = {};
  version.cbSize = sizeof(version);
  HRESULT result = getVersion(&version);
  if (FAILED(result)) {
    MsiTrace(MsiTraceError, L"Failed to get version information from MSI.DLL, Return code = %08X",
             static_cast<unsigned>(result));
    return false;
  }
  if (info) *info = version;
  return true;
}

void UnloadMsiDll() {
  HMODULE module = static_cast<HMODULE>(
      InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&g_msiDll), nullptr));
  if (!module) return;
  MsiTrace(MsiTraceInformation, L"Unloading MSI.DLL");
  FreeLibrary(module);
}
