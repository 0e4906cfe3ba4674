// zip_bench.cpp: packing a folder of setup logs (UTF-16 setup logs and
// verbose package logs, about 60 MB, generated) with the ZIP library at the
// default level, against Info-ZIP's `zip -6` on the same files where it is
// installed (the native build). Prints "zip_library_ms", "zip_library_bytes"
// and, with Info-ZIP, "info_zip_ms", "info_zip_bytes" and the two ratios;
// times are the best of 3. An optional argument names the folder to use.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "zip/zip_archive.h"
#include "zip/zip_exception.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// A small generator, so every run packs the same bytes.
class CLines {
 public:
  unsigned Next(unsigned range) {
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(m_state >> 33) % range;
  }

 private:
  unsigned long long m_state = 15;
};

std::string SetupLogLine(CLines& random, int line) {
  static const char* kTexts[] = {
      "Executing setup action: INSTALL_%04u",     "   Action %u return code: 0",
      "Product {6A1F3C20-7B2E-4D51-9C0A-%012u} is not installed",
      "Reading configuration key ProductCode%u", "Checking free space on C:\\ for %u KB",
      "Stage %u of the worker finished",
  };
  char text[200];
  int n = snprintf(text, sizeof text, "12/07/2026 %02d:%02d:%02d.%03u  ", line / 3600 % 24, line / 60 % 60,
                   line % 60, random.Next(1000));
  snprintf(text + n, sizeof text - n, kTexts[random.Next(6)], random.Next(100000));
  return std::string(text) + "\r\n";
}

std::string PackageLogLine(CLines& random, int line) {
  static const char* kTexts[] = {
      "MSI (s) (1C:%02X) [08:%02u:%02u:%03u]: Component: C_File%u; Installed: Absent;   Request: Local;   Action: Local",
      "MSI (s) (1C:%02X) [08:%02u:%02u:%03u]: Executing op: FileCopy(SourceName=file%u.dll,DestName=file.dll,Attributes=512,FileSize=41472)",
      "Action start 08:%02u:%02u: InstallFiles.%u %u %u",
      "MSI (c) (A4:%02X) [08:%02u:%02u:%03u]: PROPERTY CHANGE: Adding INSTALLDIR property. Its value is 'C:\\Program Files\\Tamsa\\Product%u\\'.",
  };
  char text[300];
  snprintf(text, sizeof text, kTexts[random.Next(4)], random.Next(256), random.Next(60), random.Next(60),
           random.Next(1000), random.Next(5000));
  (void)line;
  return std::string(text) + "\r\n";
}

void WriteLogs(const fs::path& folder) {
  CLines random;
  fs::create_directories(folder / "packages");
  for (int file = 0; file < 6; ++file) {
    std::ofstream out(folder / ("setup_" + std::to_string(file) + ".log"), std::ios::binary);
    std::string bytes = "\xFF\xFE";
    for (int line = 0; line < 45000; ++line) {
      for (char c : SetupLogLine(random, line)) {
        bytes += c;
        bytes += '\0';
      }
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  for (int file = 0; file < 12; ++file) {
    std::ofstream out(folder / "packages" / ("TAM_" + std::to_string(file) + ".log"), std::ios::binary);
    for (int line = 0; line < 30000; ++line) out << PackageLogLine(random, line);
  }
}

std::vector<fs::path> FilesOf(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

double PackWithLibrary(const fs::path& folder, const fs::path& archivePath) {
  Clock::time_point start = Clock::now();
  CZipArchive archive;
  archive.Open(archivePath.wstring(), CZipArchive::zipCreate);
  archive.SetRootPath(folder.wstring());
  for (const fs::path& file : FilesOf(folder)) archive.AddFile(file.wstring(), -1, false);
  archive.Close();
  return Milliseconds(Clock::now() - start);
}

int RunBench(const fs::path& folder) {
  if (!fs::exists(folder)) WriteLogs(folder);
  uintmax_t total = 0;
  for (const fs::path& file : FilesOf(folder)) total += fs::file_size(file);
  printf("input_bytes: %ju\n", total);

  fs::path ours = fs::temp_directory_path() / "zip_bench_library.zip";
  double best = 1e12;
  for (int round = 0; round < 3; ++round) best = std::min(best, PackWithLibrary(folder, ours));
  uintmax_t oursSize = fs::file_size(ours);
  printf("zip_library_ms: %.0f\nzip_library_bytes: %ju\n", best, oursSize);
#ifndef _WIN32
  fs::path theirs = fs::temp_directory_path() / "zip_bench_infozip.zip";
  std::string command = "cd '" + folder.string() + "' && zip -6 -q -r -X '" + theirs.string() + "' .";
  double bestTheirs = 1e12;
  for (int round = 0; round < 3; ++round) {
    fs::remove(theirs);
    Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) return 1;
    bestTheirs = std::min(bestTheirs, Milliseconds(Clock::now() - start));
  }
  uintmax_t theirsSize = fs::file_size(theirs);
  printf("info_zip_ms: %.0f\ninfo_zip_bytes: %ju\n", bestTheirs, theirsSize);
  printf("time_ratio: %.2f\nsize_ratio: %.3f\n", best / bestTheirs,
         static_cast<double>(oursSize) / static_cast<double>(theirsSize));
  fs::remove(theirs);
#endif
  fs::remove(ours);
  return 0;
}

int Run(const fs::path& folder) {
  try {
    return RunBench(folder);
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    fprintf(stderr, "zip error %d\n", error->GetCode());
    return 2;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return Run(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "zip_bench_logs");
}
#else
int main(int argc, char** argv) {
  return Run(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "zip_bench_logs");
}
#endif
