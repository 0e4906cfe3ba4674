// window_holder.cpp: an application with one top-level window of a chosen
// class and title, for the tests that close applications. It writes a ready
// file once the window exists; "close" ends when asked to close, "refuse"
// declines the close and the quit message and stays until killed.
// Usage: window_holder.exe CLASS TITLE close|refuse READY_FILE
#include <windows.h>

#include <cwchar>

namespace {

bool g_refuse = false;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE && g_refuse) return 0;
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 87;
  g_refuse = std::wcscmp(argv[3], L"refuse") == 0;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = argv[1];
  if (!RegisterClassW(&windowClass)) return 2;
  HWND window = CreateWindowExW(0, argv[1], argv[2], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
  if (!window) return 3;
  ShowWindow(window, SW_SHOWNORMAL);
  HANDLE ready = CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 4;
  CloseHandle(ready);
  MSG message;
  for (;;) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) return 5;
    if (got == 0) {
      if (g_refuse) continue;  // a refusing application outlives the quit message too
      return 0;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
