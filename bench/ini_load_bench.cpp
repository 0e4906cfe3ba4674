// ini_load_bench.cpp: load time of a ~5 MB INI file and the rate of key
// lookups on it, with case-blind lookup as SETUP.DCF uses.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "foundation/kw_ini_file.h"
#include "platform/wide_string.h"

namespace {

const int kSections = 3150;
const int kKeysPerSection = 40;
const int kLoads = 7;
const int kLookups = 500000;

std::wstring BenchFilePath() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + Format(L"ini_load_bench_%lu.ini", GetCurrentProcessId());
}

bool WriteBenchFile(const std::wstring& path, size_t* size) {
  std::string text = "; generated for the INI load benchmark\r\n";
  char line[128];
  for (int s = 0; s < kSections; ++s) {
    snprintf(line, sizeof(line), "[Section%05d]\r\n", s);
    text += line;
    for (int k = 0; k < kKeysPerSection; ++k) {
      snprintf(line, sizeof(line), "Key%03d = value %05d-%03d of the setup\r\n", k, s, k);
      text += line;
    }
    text += "; end of section\r\n";
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size();
  CloseHandle(file);
  *size = text.size();
  return ok;
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace

int wmain() {
  std::wstring path = BenchFilePath();
  size_t size = 0;
  if (!WriteBenchFile(path, &size)) {
    fwprintf(stderr, L"cannot write %ls\n", path.c_str());
    return 1;
  }
  int result = 0;
  try {
    CKwIniFile file;
    file.Init(false);
    std::vector<double> times;
    for (int i = 0; i < kLoads; ++i) {
      auto start = std::chrono::steady_clock::now();
      file.LoadFrom(path);
      times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    }
    std::sort(times.begin(), times.end());

    std::vector<std::wstring> sectionNames;
    std::vector<std::wstring> keys;
    for (int s = 0; s < kSections; s += 37) sectionNames.push_back(Format(L"SECTION%05d", s));
    for (int k = 0; k < kKeysPerSection; k += 3) keys.push_back(Format(L"key%03d", k));
    size_t found = 0;
    std::wstring value;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLookups; ++i) {
      if (file.GetValue(sectionNames[i % sectionNames.size()], keys[i % keys.size()], &value, L"")) ++found;
    }
    double lookupMs = Milliseconds(std::chrono::steady_clock::now() - start);

    printf("ini_file_bytes: %u\n", static_cast<unsigned>(size));
    printf("ini_load_5mb_ms: %.1f\n", times[times.size() / 2]);
    printf("ini_lookups_per_s: %.0f\n", kLookups / (lookupMs / 1000.0));
    if (found != static_cast<size_t>(kLookups)) {
      printf("lookup misses: %u\n", static_cast<unsigned>(kLookups - found));
      result = 1;
    }
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> e(raw);
    fwprintf(stderr, L"load failed: %d %ls\n", e->GetCode(), e->GetMessageText().c_str());
    result = 1;
  }
  DeleteFileW(path.c_str());
  return result;
}
