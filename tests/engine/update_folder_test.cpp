// update_folder_test.cpp: an update folder prepared from a kit, the
// overwrite question, and the targets that are never replaced.
#include "engine/update_folder.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

void MakeFile(const std::wstring& path, const std::string& text) {
  CreateDirectoryTree(path.substr(0, path.find_last_of(L'\\')), nullptr);
  WriteFileBytes(path, text);
}

// A kit: setup files, a bin folder and two products.
std::wstring MakeKit(const CTestFolder& folder) {
  std::wstring kit = folder.File(L"kit\\");
  MakeFile(kit + L"setup.exe", "program");
  MakeFile(kit + L"SETUP.DCF", "[Setup]\r\n");
  MakeFile(kit + L"bin\\Helper.dll", "helper");
  MakeFile(kit + L"Alpha\\alpha.msi", "alpha");
  MakeFile(kit + L"Beta\\cab\\beta.cab", "beta");
  return kit;
}

}  // namespace

// No keeps the folder as it is; yes replaces everything in it.
TEST(CUpdateFolderTest, ExistingTargetIsReplacedOnlyWhenTheUserAgrees) {
  CTestFolder folder;
  std::wstring kit = MakeKit(folder);
  MakeFile(folder.File(L"update\\old.txt"), "old");
  CUpdateFolder keep(kit, kit, [](const std::wstring& text) {
    EXPECT_NE(text.find(L"already exist. Do you want to overwrite it?"), std::wstring::npos);
    return false;
  });
  // Kept: nothing written, which the code says.
  EXPECT_EQ(keep.Prepare(folder.File(L"update"), {L"Alpha"}), 183u);
  EXPECT_TRUE(FileExists(folder.File(L"update\\old.txt")));
  EXPECT_FALSE(FileExists(folder.File(L"update\\Setup.zip")));

  CUpdateFolder replace(kit, kit, [](const std::wstring&) { return true; });
  EXPECT_EQ(replace.Prepare(folder.File(L"update\\"), {L"Alpha"}), 0u);
  EXPECT_FALSE(FileExists(folder.File(L"update\\old.txt")));
  EXPECT_TRUE(FileExists(folder.File(L"update\\Setup.zip")));
}

// Targets whose removal would take the kit, a drive or the system with it,
// or that lie inside the kit or a folder it packs, are refused (5), no
// target is 3, a file is no folder (267), and a target
// nothing can be packed into ends with the folder's own error or 1603:
// never 0 for nothing written.
TEST(CUpdateFolderTest, NeverReplacesAFolderHoldingTheKitOrTheSystem) {
  CTestFolder folder;
  std::wstring kit = MakeKit(folder);
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  int questions = 0;
  CUpdateFolder update(kit, kit, [&questions](const std::wstring&) { return ++questions, true; });
  const struct {
    std::wstring target;
    DWORD code;
  } kTargets[] = {{folder.Path(), 5}, {kit, 5}, {folder.File(L"KIT"), 5}, {kit + L"Alpha", 5}, {kit + L"bin\\new", 5},
                  {L"C:\\", 5}, {L"C:", 5}, {windows, 5},
                  {L"", 3}, {kit + L"setup.exe\\update", 3}, {kit + L"setup.exe", 267}};
  for (const auto& row : kTargets) EXPECT_EQ(update.Prepare(row.target, {L"Alpha"}), row.code) << row.target.c_str();
  EXPECT_EQ(questions, 0);
  EXPECT_TRUE(FileExists(kit + L"setup.exe"));
  EXPECT_EQ("alpha", ReadFileBytes(kit + L"Alpha\\alpha.msi"));

  CUpdateFolder nothing(folder.File(L"missing\\"), folder.File(L"missing\\"), [](const std::wstring&) { return true; });
  EXPECT_EQ(nothing.Prepare(folder.File(L"empty"), {L"Alpha"}), 1603u);
}

TEST(CUpdateFolderTest, HistoryGivesItsFirstTwoLinesFitForAFileName) {
  const struct {
    const char* text;  // null: no file
    const wchar_t* first;
    const wchar_t* second;
  } kCases[] = {
      {"2.0.1\r\n305\r\n", L"2.0.1", L"305"},      {"\r\n 4.2.1 \r\n\r\nbuild:77\r\nx\r\n", L"4.2.1", L"build_77"},
      {"1.0", L"1.0", L"0"},                      {"", L"0", L"0"},
      {nullptr, L"0", L"0"},                      {"a/b\\c\n*?\n", L"a_b_c", L"__"},
  };
  CTestFolder folder;
  for (const auto& row : kCases) {
    std::wstring path = folder.File(L"HISTORY.BLD");
    DeleteFileW(path.c_str());
    if (row.text) WriteFileBytes(path, row.text);
    std::wstring first, second;
    CUpdateFolder::ReadHistory(path, &first, &second);
    EXPECT_EQ(first, row.first) << (row.text ? row.text : "<none>");
    EXPECT_EQ(second, row.second) << (row.text ? row.text : "<none>");
  }
}
