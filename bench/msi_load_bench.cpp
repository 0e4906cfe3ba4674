// msi_load_bench.cpp: time to load a suite of 20 real packages as the run
// does for its products: open (with the transform lookup), run the costing
// actions and read the feature tree with each feature's own cost.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "actions/msi_package.h"
#include "platform/wide_string.h"

namespace {

const int kPackages = 20;
const int kRounds = 5;

std::wstring BenchFolder() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring folder = path;
  folder.erase(folder.find_last_of(L'\\') + 1);
  return folder + L"fixtures\\msi\\bench\\";
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// One pass over the suite; false when a package does not load.
bool LoadSuite(const std::vector<std::wstring>& paths, size_t* features) {
  *features = 0;
  for (const std::wstring& path : paths) {
    CMSIPackage package(path, L"");
    if (!package.LoadAndCost() || !package.GetFeatures()) {
      fwprintf(stderr, L"cannot load %ls\n", path.c_str());
      return false;
    }
    *features += package.GetFeatures()->GetCount();
  }
  return true;
}

}  // namespace

int wmain() {
  std::vector<std::wstring> paths;
  for (int i = 1; i <= kPackages; ++i) paths.push_back(BenchFolder() + Format(L"bench_%02d.msi", i));
  std::vector<double> times;
  size_t features = 0;
  // The first pass also loads msi.dll's own parts: reported apart.
  auto start = std::chrono::steady_clock::now();
  if (!LoadSuite(paths, &features)) return 1;
  double first = Milliseconds(std::chrono::steady_clock::now() - start);
  for (int round = 0; round < kRounds; ++round) {
    start = std::chrono::steady_clock::now();
    if (!LoadSuite(paths, &features)) return 1;
    times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  }
  std::sort(times.begin(), times.end());
  double median = times[times.size() / 2];
  wprintf(L"suite of %d packages, %u features: first load %.0f ms, median of %d %.0f ms "
          L"(%.1f ms per package)\n",
          kPackages, static_cast<unsigned>(features), first, kRounds, median, median / kPackages);
  return 0;
}
