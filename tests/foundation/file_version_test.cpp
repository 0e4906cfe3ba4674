// file_version_test.cpp: the versions read straight from the files are the
// ones the system's version functions give, for every DLL of the system
// folder and of the side-by-side folders (32- and 64-bit images); a 16-bit
// DLL, and one whose version comes in several languages, is read through
// those functions.
#include "foundation/file_version.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/pe_version_resource.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"

namespace {

bool VersionOfVersionFunctions(const std::wstring& path, std::wstring* text) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<BYTE> data(size ? size : 1);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info) {
    return false;
  }
  *text = Format(L"%hu.%hu.%hu.%hu", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                 HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return true;
}

struct CDirectReading {
  bool read = false;
  std::wstring version;
  bool sixteenBit = false;  // a new-executable ("NE") image, which holds no PE resources
  bool sixtyFourBit = false;
  bool severalLanguages = false;  // versions the system chooses among by the user's languages
};

BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

bool HasVersionInSeveralLanguages(const std::wstring& path) {
  HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!image) return false;
  int count = 0;
  EnumResourceLanguagesW(image, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), CountLanguage,
                         reinterpret_cast<LONG_PTR>(&count));
  FreeLibrary(image);
  return count > 1;
}

// Only the direct reading, without the version functions behind it.
CDirectReading ReadDirectly(const std::wstring& path) {
  CDirectReading result;
  CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  CImageReader read = [&file](uint64_t offset, void* buffer, uint32_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    DWORD done = 0;
    return ReadFile(file.Get(), buffer, size, &done, &at) && done == size;
  };
  DWORD headerOffset = 0;
  char signature[2] = {};
  uint16_t magic = 0;
  read(0x3C, &headerOffset, 4);
  read(headerOffset, signature, 2);
  read(headerOffset + 24, &magic, 2);
  result.sixteenBit = signature[0] == 'N' && signature[1] == 'E';
  result.sixtyFourBit = magic == 0x20B;
  uint16_t parts[4] = {};
  result.read = ReadPeFileVersion(read, parts);
  if (!result.read && !result.sixteenBit) result.severalLanguages = HasVersionInSeveralLanguages(path);
  if (result.read) result.version = Format(L"%hu.%hu.%hu.%hu", parts[0], parts[1], parts[2], parts[3]);
  return result;
}

}  // namespace

TEST(FileVersionTest, ReadsWhatTheVersionFunctionsReadForEverySystemDll) {
  wchar_t system[MAX_PATH] = {};
  wchar_t windows[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::vector<std::wstring> folders = {system};
  std::wstring sxs = std::wstring(windows) + L"\\WinSxS";
  for (const std::wstring& name : ListFolderEntries(sxs, L"*", true)) folders.push_back(sxs + L"\\" + name);
  int direct = 0;
  int direct64 = 0;
  int sixteenBit = 0;
  for (const std::wstring& folder : folders) {
    for (const std::wstring& name : ListFolderEntries(folder, L"*.dll", false)) {
      std::wstring path = folder + L"\\" + name;
      std::wstring expected;
      bool hasVersion = VersionOfVersionFunctions(path, &expected);
      CDirectReading reading = ReadDirectly(path);
      uint16_t parts[4] = {};
      EXPECT_EQ(hasVersion, ReadFileVersion(path, parts)) << WideToUtf8(path);
      if (!hasVersion) {
        EXPECT_FALSE(reading.read) << WideToUtf8(path);
        continue;
      }
      EXPECT_EQ(expected, Format(L"%hu.%hu.%hu.%hu", parts[0], parts[1], parts[2], parts[3])) << WideToUtf8(path);
      if (reading.read) {
        EXPECT_EQ(expected, reading.version) << WideToUtf8(path);
        ++direct;
        if (reading.sixtyFourBit) ++direct64;
      } else {
        EXPECT_TRUE(reading.sixteenBit || reading.severalLanguages)
            << "only a 16-bit DLL or one with versions in several languages needs the version functions: "
            << WideToUtf8(path);
        if (reading.sixteenBit) ++sixteenBit;
      }
    }
  }
  EXPECT_GT(direct, 150);
  EXPECT_GT(direct64, 0);
  EXPECT_GT(sixteenBit, 0);
}

TEST(FileVersionTest, AFileWithoutVersionLeavesThePartsAlone) {
  uint16_t parts[4] = {7, 7, 7, 7};
  EXPECT_FALSE(ReadFileVersion(L"", parts));
  EXPECT_FALSE(ReadFileVersion(L"C:\\no such folder\\no.dll", parts));
  EXPECT_EQ(7, parts[0]);
}
