// internet_test.cpp: the download progress shown in a dialog's controls.
// The downloads themselves run against a local server in tests/e2e.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/internet.h"
#include "platform/wide_string.h"

namespace {

std::vector<int> g_positions;

LRESULT CALLBACK RecordingBar(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PBM_SETPOS) g_positions.push_back(static_cast<int>(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TEST(InternetTest, ProgressShowsTheFileAndAddsRoundedStepsToTheBar) {
  const std::wstring className = Format(L"ProgressBarTest%u", GetCurrentProcessId());
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = RecordingBar;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className.c_str();
  ASSERT_TRUE(RegisterClassW(&windowClass));
  HWND bar = CreateWindowExW(0, className.c_str(), L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  HWND text = CreateWindowExW(0, className.c_str(), L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (!bar || !text) GTEST_SKIP() << "no windows without a display here";
  g_positions.clear();
  CDownloadProgress progress;
  progress.fileName = L"setup.exe";
  progress.fileCount = 3;
  progress.fileIndex = 1;
  progress.totalSize = 1572864;  // 1.5 MB in three uneven reads
  progress.textControl = text;
  progress.progressBar = bar;
  for (DWORD read : {524288u, 524288u, 524288u}) {
    progress.bytesRead = read;
    UpdateDownloadProgress(&progress);
  }
  wchar_t shown[200] = L"";
  GetWindowTextW(text, shown, 200);
  EXPECT_STREQ(L"Downloading [2/3]: setup.exe (1.50 MB)", shown);
  // Each step rounds on its own, so three thirds make 99.
  EXPECT_EQ((std::vector<int>{33, 66, 99}), g_positions);
  progress.totalSize = 0;
  UpdateDownloadProgress(&progress);
  EXPECT_EQ(0, g_positions.back());
  DestroyWindow(text);
  DestroyWindow(bar);
  UnregisterClassW(className.c_str(), GetModuleHandleW(nullptr));
}
