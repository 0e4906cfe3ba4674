// import_floor.cpp: the floor of the start-up benchmark: a program that
// imports the same fourteen system DLLs as setup.exe, initialises COM on
// its thread as the worker does, and ends. What setup.exe takes beyond this
// is its own work.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <msi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>

#include <cstdlib>

namespace {

// One function of each DLL, taken by address so the linker imports the DLL
// and the loader maps it at start, as it does for setup.exe.
const void* const kImports[] = {
    reinterpret_cast<const void*>(&RegCloseKey),            // advapi32
    reinterpret_cast<const void*>(&InitCommonControlsEx),   // comctl32
    reinterpret_cast<const void*>(&GetStockObject),         // gdi32
    reinterpret_cast<const void*>(&Gdiplus::GdiplusShutdown),  // gdiplus
    reinterpret_cast<const void*>(&GetTickCount),           // kernel32
    reinterpret_cast<const void*>(&MsiCloseHandle),         // msi
    reinterpret_cast<const void*>(&std::getenv),            // msvcrt
    reinterpret_cast<const void*>(&CoInitializeEx),         // ole32
    reinterpret_cast<const void*>(&SysFreeString),          // oleaut32
    reinterpret_cast<const void*>(&SHGetFolderPathW),       // shell32
    reinterpret_cast<const void*>(&PathFileExistsW),        // shlwapi
    reinterpret_cast<const void*>(&GetDesktopWindow),       // user32
    reinterpret_cast<const void*>(&GetFileVersionInfoSizeW),  // version
    reinterpret_cast<const void*>(&InternetCloseHandle),    // wininet
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const void* volatile keep = kImports[GetTickCount() % (sizeof(kImports) / sizeof(kImports[0]))];
  (void)keep;
  if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) CoUninitialize();
  return 0;
}
