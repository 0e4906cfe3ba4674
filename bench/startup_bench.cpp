// startup_bench.cpp: how long a whole setup.exe /qn run takes that ends
// early (no SETUP.DCF beside it), without a log and with one, next to two
// floors started in the same rounds, interleaved: a program that imports the
// same system DLLs and initialises COM (the import floor), and a Win32
// program that does nothing. Prints the median milliseconds of each, the
// median of each round's ratio to the import floor (the machine's load
// drifts less within a round than across the run) and the lines the logged
// run writes.
// Usage: startup_bench.exe [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const wchar_t kLogVariable[] = L"KWSETUP";

std::wstring Folder() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

// Milliseconds from CreateProcess to the process's end; the child inherits
// this process's environment, KWSETUP included or not.
double Run(const std::wstring& program, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  Clock::time_point start = Clock::now();
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return ms;
}

size_t CountLines(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  std::vector<wchar_t> text(1 << 20);
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
  CloseHandle(file);
  return std::count(text.begin(), text.begin() + read / sizeof(wchar_t), L'\n');
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int rounds = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 21;
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring kit = std::wstring(temp) + L"startup_bench\\";
  CreateDirectoryW(kit.c_str(), nullptr);
  std::wstring setup = kit + L"setup.exe";
  CopyFileW((Folder() + L"setup.exe").c_str(), setup.c_str(), FALSE);
  DeleteFileW((kit + L"SETUP.DCF").c_str());
  std::wstring logTemplate = kit + L"logs\\TAM_{ProductID}.log";
  std::wstring log = kit + L"logs\\VELL_SETUP.LOG";
  std::wstring trivial = Folder() + L"trivial_program.exe";
  std::wstring floor = Folder() + L"import_floor.exe";

  // Once each, unmeasured: the first start of a program reads it from disk.
  SetEnvironmentVariableW(kLogVariable, nullptr);
  Run(trivial, L"");
  Run(floor, L"");
  Run(setup, L"/qn");
  std::vector<double> trivialMs, floorMs, quietMs, loggedMs, quietRatios, loggedRatios;
  size_t lines = 0;
  for (int round = 0; round < rounds; ++round) {
    SetEnvironmentVariableW(kLogVariable, nullptr);
    trivialMs.push_back(Run(trivial, L""));
    floorMs.push_back(Run(floor, L""));
    quietMs.push_back(Run(setup, L"/qn"));
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(kLogVariable, logTemplate.c_str());
    loggedMs.push_back(Run(setup, L"/qn"));
    lines = CountLines(log);
    if (floorMs.back() > 0) {
      quietRatios.push_back(quietMs.back() / floorMs.back());
      loggedRatios.push_back(loggedMs.back() / floorMs.back());
    }
  }
  std::printf("rounds: %d\n", rounds);
  std::printf("trivial_program_ms: %.1f\n", Median(trivialMs));
  std::printf("import_floor_ms: %.1f\n", Median(floorMs));
  std::printf("setup_quiet_early_end_no_log_ms: %.1f\n", Median(quietMs));
  std::printf("setup_quiet_early_end_log_ms: %.1f\n", Median(loggedMs));
  std::printf("setup_log_lines: %u\n", static_cast<unsigned>(lines));
  std::printf("no_log_ratio: %.2f\n", Median(quietRatios));
  std::printf("log_ratio: %.2f\n", Median(loggedRatios));
  return 0;
}
