// startup_bench.cpp: how long setup.exe takes from process start to the
// worker's first step, and for a whole quiet run that ends early (no
// SETUP.DCF), next to a Win32 program that does nothing, in the same run.
// Prints median milliseconds of 15 runs each and the ratios.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::wstring Folder() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

bool LogHolds(const std::wstring& path, const std::wstring& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<wchar_t> buffer(64 * 1024);
  DWORD read = 0;
  ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size() * 2), &read, nullptr);
  CloseHandle(file);
  return std::wstring(buffer.data(), read / 2).find(text) != std::wstring::npos;
}

struct CTiming {
  double firstStepMs = 0;
  double totalMs = 0;
};

// Starts the program; with a log to watch, notes when the line appears.
CTiming Run(const std::wstring& program, const std::wstring& arguments, const std::wstring& log) {
  if (!log.empty()) DeleteFileW(log.c_str());
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  CTiming timing;
  Clock::time_point start = Clock::now();
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return timing;
  }
  bool seen = log.empty();
  while (WaitForSingleObject(info.hProcess, seen ? INFINITE : 1) == WAIT_TIMEOUT) {
    if (LogHolds(log, L"Worker thread starting...")) {
      timing.firstStepMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      seen = true;
    }
  }
  timing.totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return timing;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain() {
  const int kRuns = 15;
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring kit = std::wstring(temp) + L"startup_bench\\";
  CreateDirectoryW(kit.c_str(), nullptr);
  std::wstring setup = kit + L"setup.exe";
  CopyFileW((Folder() + L"setup.exe").c_str(), setup.c_str(), FALSE);
  std::wstring logTemplate = kit + L"logs\\TAM_{ProductID}.log";
  SetEnvironmentVariableW(L"KWSETUP", logTemplate.c_str());
  std::wstring log = kit + L"logs\\VELL_SETUP.LOG";

  std::vector<double> floor, firstStep, total;
  for (int i = 0; i < kRuns; ++i) {
    floor.push_back(Run(Folder() + L"trivial_program.exe", L"", L"").totalMs);
    CTiming timing = Run(setup, L"/qn", log);
    firstStep.push_back(timing.firstStepMs);
    total.push_back(timing.totalMs);
  }
  double floorMs = Median(floor);
  wprintf(L"trivial_program_ms: %.1f\n", floorMs);
  wprintf(L"setup_first_step_ms: %.1f\n", Median(firstStep));
  wprintf(L"setup_quiet_early_end_ms: %.1f\n", Median(total));
  if (floorMs > 0) {
    wprintf(L"first_step_ratio: %.2f\n", Median(firstStep) / floorMs);
    wprintf(L"early_end_ratio: %.2f\n", Median(total) / floorMs);
  }
  return 0;
}
