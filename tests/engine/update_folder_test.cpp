// update_folder_test.cpp: an update folder prepared from a kit, the
// overwrite question, and the targets that are never replaced.
#include "engine/update_folder.h"

#include <windows.h>

#include <memory>
#include <set>
#include <string>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"

namespace {

std::set<std::wstring> EntryNames(const std::wstring& path) {
  std::set<std::wstring> names;
  CZipArchive archive;
  try {
    archive.Open(path, CZipArchive::zipOpenReadOnly);
    for (int i = 0; i < archive.GetCount(); ++i) {
      CZipFileHeader header;
      archive.GetFileInfo(header, i);
      EXPECT_TRUE(archive.TestFile(i));
      names.insert(header.GetFileName());
    }
    archive.Close();
  } catch (CZipException* raw) {
    std::unique_ptr<CZipException> error(raw);
    names.insert(L"<unreadable>");
  }
  return names;
}

void MakeFile(const std::wstring& path, const std::string& text) {
  CreateDirectoryTree(path.substr(0, path.find_last_of(L'\\')), nullptr);
  WriteFileBytes(path, text);
}

// A kit: setup files, a bin folder and two products, one with a history.
std::wstring MakeKit(const CTestFolder& folder) {
  std::wstring kit = folder.File(L"kit\\");
  MakeFile(kit + L"setup.exe", "program");
  MakeFile(kit + L"SETUP.DCF", "[Setup]\r\n");
  MakeFile(kit + L"bin\\Helper.dll", "helper");
  MakeFile(kit + L"Alpha\\alpha.msi", "alpha");
  MakeFile(kit + L"Alpha\\HISTORY.BLD", "\r\n 4.2.1 \r\nbuild:77\r\nlater\r\n");
  MakeFile(kit + L"Beta\\cab\\beta.cab", "beta");
  return kit;
}

}  // namespace

TEST(CUpdateFolderTest, PacksEachProductAndTheSetupFiles) {
  CTestFolder folder;
  std::wstring kit = MakeKit(folder);
  int questions = 0;
  CUpdateFolder update(kit, kit, [&questions](const std::wstring&) { return ++questions, true; });

  ASSERT_TRUE(update.Prepare(folder.File(L"update"), {L"Alpha", L"Beta"}));

  EXPECT_EQ(questions, 0);
  EXPECT_EQ(EntryNames(folder.File(L"update\\Alpha_4.2.1_build_77.zip")),
            (std::set<std::wstring>{L"Alpha\\alpha.msi", L"Alpha\\history.bld"}));
  EXPECT_EQ(EntryNames(folder.File(L"update\\Beta_0_0.zip")), (std::set<std::wstring>{L"Beta\\cab\\beta.cab"}));
  EXPECT_EQ(EntryNames(folder.File(L"update\\Setup.zip")),
            (std::set<std::wstring>{L"bin\\helper.dll", L"setup.exe", L"SETUP.DCF"}));
}

// No keeps the folder as it is; yes replaces everything in it.
TEST(CUpdateFolderTest, ExistingTargetIsReplacedOnlyWhenTheUserAgrees) {
  CTestFolder folder;
  std::wstring kit = MakeKit(folder);
  MakeFile(folder.File(L"update\\old.txt"), "old");
  CUpdateFolder keep(kit, kit, [](const std::wstring& text) {
    EXPECT_NE(text.find(L"already exist. Do you want to overwrite it?"), std::wstring::npos);
    return false;
  });
  EXPECT_FALSE(keep.Prepare(folder.File(L"update"), {L"Alpha"}));
  EXPECT_TRUE(FileExists(folder.File(L"update\\old.txt")));
  EXPECT_FALSE(FileExists(folder.File(L"update\\Setup.zip")));

  CUpdateFolder replace(kit, kit, [](const std::wstring&) { return true; });
  EXPECT_TRUE(replace.Prepare(folder.File(L"update\\"), {L"Alpha"}));
  EXPECT_FALSE(FileExists(folder.File(L"update\\old.txt")));
  EXPECT_TRUE(FileExists(folder.File(L"update\\Setup.zip")));
}

// Targets whose removal would take the kit, a drive or the system with it.
TEST(CUpdateFolderTest, NeverReplacesAFolderHoldingTheKitOrTheSystem) {
  CTestFolder folder;
  std::wstring kit = MakeKit(folder);
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  int questions = 0;
  CUpdateFolder update(kit, kit, [&questions](const std::wstring&) { return ++questions, true; });
  const std::wstring kTargets[] = {folder.Path(), kit, folder.File(L"KIT"), L"C:\\", L"C:", windows, L""};
  for (const std::wstring& target : kTargets) EXPECT_FALSE(update.Prepare(target, {L"Alpha"})) << target.c_str();
  EXPECT_EQ(questions, 0);
  EXPECT_TRUE(FileExists(kit + L"setup.exe"));
}
