// write_log_bench.cpp: how many log lines per second WriteLog appends (each
// line opens, locks, appends to and closes the file).
// Prints "write_log_lines_per_s: N" for a run of 20000 lines, best of 3.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "foundation/setup_log.h"

int wmain() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"write_log_bench";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring logTemplate = folder + L"\\TAM_{ProductID}.log";
  std::wstring logFile = folder + L"\\VELL_SETUP.LOG";
  SetEnvironmentVariableW(L"KWSETUP", logTemplate.c_str());

  const int kLines = 20000;
  double best = 0;
  for (int round = 0; round < 3; ++round) {
    DeleteFileW(logFile.c_str());
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLines; ++i) {
      WriteLog(L"   Action %s return code: %d", L"INSTALL_ACTIONS.Product", i);
    }
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    best = std::max(best, kLines / seconds.count());
  }
  DeleteFileW(logFile.c_str());
  RemoveDirectoryW(folder.c_str());
  wprintf(L"write_log_lines_per_s: %.0f\n", best);
  return 0;
}
