// wizard_bench.cpp: how long setup.exe takes from process start to the
// first wizard page painted, next to an empty comctl32 property sheet (the
// floor), in the same run. Both programs set a named event on their first
// page's first paint: the floor takes the name as its argument, setup.exe
// from TAMSA_FIRST_PAINT_EVENT. Prints the median milliseconds of each, the
// ratio of the medians and the median of each run's ratio.
// Usage: wizard_bench.exe SETUP_EXE [RUNS] (needs a display)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const wchar_t kEventName[] = L"TamsaWizardBenchFirstPaint";
const DWORD kPaintTimeoutMs = 120000;

std::wstring Folder() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

// Milliseconds from CreateProcess to the event, or -1. The program is ended
// once it has painted: what follows is not measured.
double TimeToPaint(const std::wstring& program, const std::wstring& arguments) {
  HANDLE painted = CreateEventW(nullptr, TRUE, FALSE, kEventName);
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  double result = -1;
  Clock::time_point start = Clock::now();
  if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    HANDLE handles[] = {painted, info.hProcess};
    DWORD wait = WaitForMultipleObjects(2, handles, FALSE, kPaintTimeoutMs);
    if (wait == WAIT_OBJECT_0) result = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (WaitForSingleObject(info.hProcess, 2000) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  CloseHandle(painted);
  return result;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: wizard_bench.exe SETUP_EXE [RUNS]\n");
    return 87;
  }
  std::wstring setup = argv[1];
  int runs = argc > 2 ? std::max(1, static_cast<int>(std::wcstol(argv[2], nullptr, 10))) : 7;
  SetEnvironmentVariableW(L"TAMSA_FIRST_PAINT_EVENT", kEventName);
  std::wstring floor = Folder() + L"empty_sheet.exe";
  // One of each first, unmeasured: the first start of a program loads the
  // DLLs from disk.
  TimeToPaint(floor, kEventName);
  TimeToPaint(setup, L"");
  std::vector<double> floorTimes, setupTimes, ratios;
  for (int run = 0; run < runs; ++run) {
    double floorMs = TimeToPaint(floor, kEventName);
    double setupMs = TimeToPaint(setup, L"");
    if (floorMs < 0 || setupMs < 0) {
      std::printf("run %d: no first paint (floor %.1f ms, setup %.1f ms)\n", run, floorMs, setupMs);
      return 1;
    }
    floorTimes.push_back(floorMs);
    setupTimes.push_back(setupMs);
    ratios.push_back(setupMs / floorMs);
  }
  double floorMedian = Median(floorTimes);
  double setupMedian = Median(setupTimes);
  std::printf("empty property sheet (floor), first page painted: %.1f ms (median of %d)\n", floorMedian, runs);
  std::printf("setup.exe, first wizard page painted: %.1f ms (median of %d)\n", setupMedian, runs);
  std::printf("ratio of the medians: %.2f\n", setupMedian / floorMedian);
  // The machine's load drifts less within one run's pair than across the runs.
  std::printf("median of each run's ratio: %.2f\n", Median(ratios));
  return 0;
}
