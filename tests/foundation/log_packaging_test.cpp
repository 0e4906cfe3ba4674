// log_packaging_test.cpp: log files, folder trees and folder files packed
// into archives that are then read back entry by entry.
#include "foundation/log_packaging.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "foundation/file_utils.h"
#include "foundation/folder.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

namespace {

// Entry name to contents; every entry's CRC is checked on the way. Empty
// when the archive does not open.
std::map<std::wstring, std::string> ReadArchive(const std::wstring& path) {
  std::map<std::wstring, std::string> entries;
  CZipArchive archive;
  try {
    archive.Open(path, CZipArchive::zipOpenReadOnly);
    for (int i = 0; i < archive.GetCount(); ++i) {
      CZipFileHeader header;
      archive.GetFileInfo(header, i);
      CZipMemFile data;
      EXPECT_TRUE(archive.ExtractFileTo(i, data));
      entries[header.GetFileName()] =
          std::string(reinterpret_cast<const char*>(data.GetData()), static_cast<size_t>(data.GetLength()));
    }
    archive.Close();
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    ADD_FAILURE() << "archive unreadable, code " << error->GetCode();
    entries.clear();
  }
  return entries;
}

void MakeFile(const CTestFolder& root, const std::wstring& relative, const std::string& text) {
  std::wstring path = root.File(relative);
  CFolder(path.substr(0, path.find_last_of(L'\\'))).Create();
  WriteFileBytes(path, text);
}

std::wstring OnlyArchive(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"LogFile *.zip").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring name = data.cFileName;
  bool more = FindNextFileW(find, &data) != 0;
  FindClose(find);
  return more ? std::wstring() : folder + name;
}

}  // namespace

TEST(LogPackagingTest, ZipLogFilesPacksOnlyLogFilesUnderRelativeLowerCaseNames) {
  CTestFolder root;
  MakeFile(root, L"VELL_SETUP.LOG", "setup log");
  MakeFile(root, L"a\\b\\product.LOG", "product log");
  MakeFile(root, L"TAM_{X}.log.old", "older log");
  MakeFile(root, L"notes.txt", "not a log");
  MakeFile(root, L".log", "hidden name");
  MakeFile(root, L"LogFile 11-12-13 14-05.zip", "an earlier archive");
  MakeFile(root, L"old.log.zip", "zipped log");
  MakeFile(root, L"\u65e5\u672c.log", "log under a name the code page lacks");
  MakeFile(root, L"\u0436\u0436.log", "another such name");
  MakeFile(root, L"z.log", "log after it");

  std::wstring archive;
  ASSERT_TRUE(ZipLogFiles(root.Path(), &archive));

  ASSERT_EQ(archive.size(), root.Path().size() + 26) << archive.c_str();
  EXPECT_EQ(archive.substr(0, root.Path().size() + 8), root.Path() + L"LogFile ");
  std::map<std::wstring, std::string> expected = {
      {L"vell_setup.log", "setup log"}, {L"a\\b\\product.log", "product log"},
      {L"tam_{x}.log.old", "older log"}, {L"\u65e5\u672c.log", "log under a name the code page lacks"},
      {L"\u0436\u0436.log", "another such name"},
      {L"z.log", "log after it"}};
  EXPECT_EQ(ReadArchive(archive), expected);
}

TEST(LogPackagingTest, ProtectedFoldersAreNeverPacked) {
  wchar_t windows[MAX_PATH] = {}, system[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  GetSystemDirectoryW(system, MAX_PATH);
  GetTempPathW(MAX_PATH, temp);
  wchar_t profile[MAX_PATH] = {};
  GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
  CTestFolder root;
  const struct {
    std::wstring folder;
    bool isProtected;
  } kCases[] = {
      {L"C:\\", true},  {L"C:", true},      {windows, true},   {std::wstring(windows) + L"\\", true},
      {system, true},   {temp, true},       {profile, true},   {L"C:\\no such folder\\", false},
      // The 64-bit program folder, the public and the system's temporary
      // folders, and one that holds the user's application data folders.
      {L"C:\\Program Files", true}, {L"C:\\users\\Public", true},
      {std::wstring(windows) + L"\\Temp", true}, {std::wstring(profile) + L"\\AppData", true},
  };
  for (const auto& row : kCases) {
    EXPECT_EQ(IsProtectedFolder(row.folder), row.isProtected) << row.folder.c_str();
    EXPECT_FALSE(ZipLogFiles(row.folder)) << row.folder.c_str();
  }
  EXPECT_FALSE(IsProtectedFolder(root.Path()));
  EXPECT_TRUE(OnlyArchive(std::wstring(windows) + L"\\").empty());
}

TEST(LogPackagingTest, ZipFolderTreeNamesEntriesFromTheBaseAndCreatesTheTarget) {
  CTestFolder root;
  MakeFile(root, L"Alpha\\Alpha.msi", "package");
  MakeFile(root, L"Alpha\\Data\\Cab1.CAB", "cabinet");
  std::wstring archive = root.File(L"out\\deep\\Alpha_1_2.zip");

  ASSERT_TRUE(ZipFolderTree(root.File(L"Alpha"), L"Alpha", archive));

  std::map<std::wstring, std::string> expected = {{L"Alpha\\alpha.msi", "package"},
                                                  {L"Alpha\\Data\\cab1.cab", "cabinet"}};
  EXPECT_EQ(ReadArchive(archive), expected);
  EXPECT_FALSE(ZipFolderTree(root.File(L"Missing"), L"Missing", root.File(L"out\\m.zip")));
}

// The second call reopens the archive the first made and appends to it.
TEST(LogPackagingTest, ZipFolderFilesCreatesThenAppendsWithoutSubFolders) {
  CTestFolder root;
  MakeFile(root, L"kit\\bin\\Helper.dll", "helper");
  MakeFile(root, L"kit\\bin\\sub\\skipped.txt", "below");
  MakeFile(root, L"kit\\Setup.exe", "program");
  std::wstring archive = root.File(L"update\\Setup.zip");

  ASSERT_TRUE(ZipFolderFiles(root.File(L"kit\\bin"), L"bin", archive, true, true));
  ASSERT_TRUE(ZipFolderFiles(root.File(L"kit"), L"kit", archive, false, false));

  std::map<std::wstring, std::string> expected = {{L"bin\\helper.dll", "helper"}, {L"Setup.exe", "program"}};
  EXPECT_EQ(ReadArchive(archive), expected);
}

// A file that cannot be opened ends the append: the entries before it stay
// and the archive still opens. Appending to what is no archive leaves it be.
TEST(LogPackagingTest, FailedAppendLeavesAReadableArchive) {
  CTestFolder root;
  MakeFile(root, L"first\\a.log", "first");
  MakeFile(root, L"second\\b.log", "second");
  std::wstring archive = root.File(L"out\\logs.zip");
  ASSERT_TRUE(ZipFolderFiles(root.File(L"first"), std::wstring(), archive, true, false));

  HANDLE held = CreateFileW(root.File(L"second\\b.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  BOOL appended = ZipFolderFiles(root.File(L"second"), std::wstring(), archive, false, false);
  CloseHandle(held);

  EXPECT_FALSE(appended);
  std::map<std::wstring, std::string> expected = {{L"a.log", "first"}};
  EXPECT_EQ(ReadArchive(archive), expected);

  MakeFile(root, L"out\\text.zip", "no archive");
  EXPECT_FALSE(ZipFolderFiles(root.File(L"first"), std::wstring(), root.File(L"out\\text.zip"), false, false));
  EXPECT_EQ(ReadFileBytes(root.File(L"out\\text.zip")), "no archive");
}

// A log that cannot be read ends the packing: the archive it began goes, so
// no part of it passes for the logs packed.
TEST(LogPackagingTest, FailedPackingRemovesTheArchiveItBegan) {
  CTestFolder root;
  MakeFile(root, L"a.log", "first");
  MakeFile(root, L"b.log", "held");
  HANDLE held = CreateFileW(root.File(L"b.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::wstring archive;
  BOOL packed = ZipLogFiles(root.Path(), &archive);
  CloseHandle(held);

  EXPECT_FALSE(packed);
  EXPECT_FALSE(FileExists(archive)) << archive.c_str();
}
