// file_utils_test.cpp: folder paths and trees, checked deletes and copies,
// temporary work folders, long paths and the shell launch.
#include "foundation/file_utils.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "foundation/scoped_handle.h"
#include "foundation/tree_deletion.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenamesValue[] = L"PendingFileRenameOperations";

void MakeFile(const std::wstring& path, const std::string& bytes, DWORD attributes = 0) {
  WriteFileBytes(path, bytes);
  if (attributes) SetFileAttributesW(path.c_str(), attributes);
}

void MakeFolder(const std::wstring& path, DWORD attributes = 0) {
  CreateDirectoryW(path.c_str(), nullptr);
  if (attributes) SetFileAttributesW(path.c_str(), attributes);
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry = {};
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

// Deletes scheduled for the restart are real registry entries: this keeps
// the value as it was before the test and puts it back afterwards.
class CPendingRenames {
 public:
  CPendingRenames() { m_existed = Read(&m_saved); }
  ~CPendingRenames() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key)) return;
    if (m_existed) {
      RegSetValueExW(key, kPendingRenamesValue, 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(m_saved.data()),
                     static_cast<DWORD>(m_saved.size() * sizeof(wchar_t)));
    } else {
      RegDeleteValueW(key, kPendingRenamesValue);
    }
    RegCloseKey(key);
  }

  // True when a delete of `path` is scheduled ("\??\path" and an empty target).
  static bool HasDelete(const std::wstring& path) {
    std::vector<wchar_t> data;
    if (!Read(&data)) return false;
    std::vector<std::wstring> items;
    for (size_t start = 0; start < data.size();) {
      std::wstring item(data.data() + start);
      items.push_back(item);
      start += item.size() + 1;
    }
    for (size_t i = 0; i + 1 < items.size(); ++i) {
      if (EqualsNoCase(items[i], L"\\??\\" + path) && items[i + 1].empty()) return true;
    }
    return false;
  }

 private:
  static bool Read(std::vector<wchar_t>* data) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue,
                     RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size)) {
      return false;
    }
    data->assign(size / sizeof(wchar_t) + 1, L'\0');
    return RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue,
                        RRF_RT_REG_MULTI_SZ, nullptr, data->data(), &size) == ERROR_SUCCESS;
  }

  bool m_existed = false;
  std::vector<wchar_t> m_saved;
};

// A tree with one file of each protective attribute, a read-only folder and
// a hidden one:  a.txt(ro) sub\b.txt(hidden) sub\deep\c.txt(system)
// sub\deep\d.txt ro-folder\e.txt hidden-folder\ (empty)
void MakeProtectedTree(const std::wstring& root) {
  MakeFile(root + L"a.txt", "a", FILE_ATTRIBUTE_READONLY);
  MakeFolder(root + L"sub");
  MakeFile(root + L"sub\\b.txt", "b", FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(root + L"sub\\deep");
  MakeFile(root + L"sub\\deep\\c.txt", "c", FILE_ATTRIBUTE_SYSTEM);
  MakeFile(root + L"sub\\deep\\d.txt", "d", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  MakeFolder(root + L"ro-folder");
  MakeFile(root + L"ro-folder\\e.txt", "e");
  SetFileAttributesW((root + L"ro-folder").c_str(), FILE_ATTRIBUTE_READONLY);
  MakeFolder(root + L"hidden-folder", FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace

TEST(FileUtilsTest, IsValidFolderPathChecksOnlyTheFolderPart) {
  const struct {
    const wchar_t* path;
    BOOL valid;
  } kCases[] = {
      {L"C:\\a b\\x.txt", TRUE},     {L"C:\\a*b\\x.txt", FALSE},    {L"C:\\a\\\\b\\x.txt", FALSE},
      {L"C:\\a?b\\x.txt", FALSE},    {L"C:\\a\"b\\x.txt", FALSE},   {L"C:\\a<b\\x.txt", FALSE},
      {L"C:\\a>b\\x.txt", FALSE},    {L"C:\\a|b\\x.txt", FALSE},    {L"C:\\a:b\\x.txt", FALSE},
      {L"C:\\a/b\\x.txt", FALSE},    {L"C:\\x.txt", TRUE},          {L"C:\\Program Files\\", TRUE},
      {L"C:\\dir\\x*y?.txt", TRUE},  // the file name is not the folder part
      {L"x.txt", TRUE},              {L"", TRUE},                   {L"C:", TRUE},
      {L"\\\\server\\share\\x", FALSE},  // no UNC: it starts with a double backslash
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.valid, IsValidFolderPath(c.path)) << WideToUtf8(c.path);
  }
}

TEST(FileUtilsTest, IsPlainFileNameRefusesNamesOfAnotherPlace) {
  for (const wchar_t* name : {L"Beta", L"Suite One", L"{3F1A2B3C-4D5E}", L"COM10", L"CONSOLE", L"a.b"}) {
    EXPECT_TRUE(IsPlainFileName(name)) << WideToUtf8(name);
  }
  for (const wchar_t* name : {L"", L"..\\victim\\Beta", L"a/b", L"C:Beta", L"..", L" . ", L"a*b", L"a\tb", L"NUL",
                              L"nul.dcf", L"COM1", L"Lpt9 ", L"CONOUT$", L"aux .x"}) {
    EXPECT_FALSE(IsPlainFileName(name)) << WideToUtf8(name);
  }
}

TEST(FileUtilsTest, CreateDirectoryTreeReportsErrorCodes) {
  CTestFolder folder;
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryTree(L"", nullptr));
  EXPECT_EQ(87u, GetLastError());

  EXPECT_FALSE(CreateDirectoryTree(folder.Path(), nullptr));
  EXPECT_EQ(183u, GetLastError());

  EXPECT_TRUE(CreateDirectoryTree(folder.File(L"a\\b\\c\\\\"), nullptr));
  EXPECT_TRUE(FolderExists(folder.File(L"a\\b\\c")));
  EXPECT_FALSE(CreateDirectoryTree(folder.File(L"a\\b\\c"), nullptr));
  EXPECT_EQ(183u, GetLastError());

  // A file where a parent folder should be.
  MakeFile(folder.File(L"file"), "x");
  EXPECT_FALSE(CreateDirectoryTree(folder.File(L"file\\sub"), nullptr));
  EXPECT_FALSE(FolderExists(folder.File(L"file\\sub")));
}

TEST(FileUtilsTest, CreateDirectoryTreeOnMissingDriveGivesInvalidDrive) {
  DWORD drives = GetLogicalDrives();
  wchar_t letter = 0;
  for (wchar_t c = L'Y'; c >= L'G'; --c) {
    if (!(drives & (1u << (c - L'A')))) {
      letter = c;
      break;
    }
  }
  if (!letter) GTEST_SKIP() << "every drive letter is in use";
  std::wstring drive(1, letter);
  drive += L':';
  EXPECT_FALSE(CreateDirectoryTree(drive, nullptr));
  EXPECT_EQ(15u, GetLastError());
  // Wine says 2 for the first folder of a missing drive and stops there.
  EXPECT_FALSE(CreateDirectoryTree(drive + L"\\setup\\tree", nullptr));
}

TEST(FileUtilsTest, FindFileRecursiveFindsNestedFileByNameOrPattern) {
  CTestFolder folder;
  MakeFolder(folder.File(L"a"));
  MakeFolder(folder.File(L"a\\b"));
  MakeFolder(folder.File(L"c"));
  MakeFile(folder.File(L"a\\b\\msxml6.dll"), "x");
  MakeFile(folder.File(L"c\\readme.txt"), "x");
  MakeFolder(folder.File(L"c\\target.dll"));  // a folder of that name is not a match
  MakeFile(folder.File(L"a\\b\\target.dll"), "x");

  std::wstring found;
  ASSERT_TRUE(FindFileRecursive(folder.Path(), L"msxml*.dll", &found));
  EXPECT_TRUE(EqualsNoCase(folder.File(L"a\\b\\msxml6.dll"), found)) << WideToUtf8(found);
  ASSERT_TRUE(FindFileRecursive(folder.File(L"c"), L"readme.txt", &found));
  EXPECT_TRUE(EqualsNoCase(folder.File(L"c\\readme.txt"), found)) << WideToUtf8(found);
  ASSERT_TRUE(FindFileRecursive(folder.File(L"a"), L"target.dll", &found));
  EXPECT_TRUE(EqualsNoCase(folder.File(L"a\\b\\target.dll"), found)) << WideToUtf8(found);
  EXPECT_FALSE(FindFileRecursive(folder.Path(), L"missing.dll", &found));
  EXPECT_FALSE(FindFileRecursive(folder.File(L"no-such-folder"), L"*", &found));
}

TEST(FileUtilsTest, DeleteFileCheckedClearsReadOnly) {
  CTestFolder folder;
  SetLastError(0);
  EXPECT_FALSE(DeleteFileChecked(folder.File(L"missing.txt"), TRUE));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

  MakeFile(folder.File(L"ro.txt"), "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(DeleteFileChecked(folder.File(L"ro.txt"), FALSE));
  EXPECT_FALSE(FileExists(folder.File(L"ro.txt")));

  // A folder is not deleted, nor scheduled, through the file route.
  CPendingRenames pending;
  MakeFolder(folder.File(L"dir"));
  EXPECT_FALSE(DeleteFileChecked(folder.File(L"dir"), TRUE));
  EXPECT_TRUE(FolderExists(folder.File(L"dir")));
  EXPECT_FALSE(CPendingRenames::HasDelete(folder.File(L"dir")));
}

TEST(FileUtilsTest, DeleteFileCheckedSchedulesALockedFileOnlyWhenAsked) {
  CTestFolder folder;
  CPendingRenames pending;
  std::wstring path = folder.File(L"locked.txt");
  MakeFile(path, "x", FILE_ATTRIBUTE_READONLY);
  CScopedHandle lock(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.IsValid());

  EXPECT_FALSE(DeleteFileChecked(path, FALSE));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  EXPECT_FALSE(CPendingRenames::HasDelete(path));
  // Not deleted and not scheduled: the file keeps its read-only attribute.
  EXPECT_TRUE(Attributes(path) & FILE_ATTRIBUTE_READONLY);

  EXPECT_FALSE(DeleteFileChecked(path, TRUE));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  EXPECT_TRUE(CPendingRenames::HasDelete(path));
  EXPECT_TRUE(FileExists(path));
}

TEST(FileUtilsTest, ForcedRemoveDirectoryCheckedKeepsContentsAndSchedulesOnlyWhatGoes) {
  CTestFolder folder;
  CPendingRenames pending;
  std::wstring path = folder.File(L"in-use");
  // Hidden rather than read-only: Wine keeps no read-only flag on folders.
  MakeFolder(path, FILE_ATTRIBUTE_HIDDEN);
  MakeFile(path + L"\\keep.txt", "still used");

  // A file that outlives the restart would keep the folder then too.
  EXPECT_FALSE(RemoveDirectoryChecked(path, TRUE));
  EXPECT_EQ(ERROR_DIR_NOT_EMPTY, GetLastError());
  EXPECT_EQ("still used", ReadFileBytes(path + L"\\keep.txt"));
  EXPECT_FALSE(CPendingRenames::HasDelete(path));
  // Retried without its attributes, then given them back.
  EXPECT_TRUE(Attributes(path) & FILE_ATTRIBUTE_HIDDEN);

  // A file in use goes at the restart, and its folders after it.
  MakeFolder(path + L"\\bin");
  std::wstring locked = path + L"\\bin\\running.exe";
  MakeFile(locked, "x");
  CScopedHandle lock(CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.IsValid());
  EXPECT_FALSE(DeleteFolderTree(path, TRUE));
  EXPECT_FALSE(FileExists(path + L"\\keep.txt"));
  EXPECT_TRUE(FileExists(locked));
  EXPECT_TRUE(CPendingRenames::HasDelete(locked));
  EXPECT_TRUE(CPendingRenames::HasDelete(path + L"\\bin"));
  EXPECT_FALSE(RemoveDirectoryChecked(path, TRUE));
  EXPECT_TRUE(CPendingRenames::HasDelete(path));
}

TEST(FileUtilsTest, RemoveDirectoryCheckedSchedulesOnlyWhenForced) {
  CTestFolder folder;
  CPendingRenames pending;
  std::wstring path = folder.File(L"full");
  MakeFolder(path);
  MakeFile(path + L"\\x.txt", "x");
  EXPECT_FALSE(RemoveDirectoryChecked(path, FALSE));
  EXPECT_TRUE(FileExists(path + L"\\x.txt"));
  EXPECT_FALSE(CPendingRenames::HasDelete(path));

  // Nothing to schedule for a folder that is not there.
  EXPECT_FALSE(RemoveDirectoryChecked(folder.File(L"missing"), TRUE));
  EXPECT_FALSE(CPendingRenames::HasDelete(folder.File(L"missing")));

  MakeFolder(folder.File(L"empty"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(RemoveDirectoryChecked(folder.File(L"empty"), TRUE));
  EXPECT_FALSE(FolderExists(folder.File(L"empty")));
}

TEST(FileUtilsTest, RemoveEmptyFolderTreeStopsAtAFile) {
  CTestFolder folder;
  std::wstring empty = folder.File(L"empty");
  MakeFolder(empty);
  MakeFolder(empty + L"\\a");
  MakeFolder(empty + L"\\a\\b");
  MakeFolder(empty + L"\\c");
  EXPECT_TRUE(RemoveEmptyFolderTree(empty));
  EXPECT_FALSE(FolderExists(empty));

  std::wstring used = folder.File(L"used");
  MakeFolder(used);
  MakeFolder(used + L"\\a");
  MakeFolder(used + L"\\a\\b");
  MakeFile(used + L"\\a\\b\\file.txt", "x");
  EXPECT_FALSE(RemoveEmptyFolderTree(used));
  EXPECT_EQ("x", ReadFileBytes(used + L"\\a\\b\\file.txt"));

  EXPECT_FALSE(RemoveEmptyFolderTree(folder.File(L"missing")));
}

TEST(FileUtilsTest, DeleteFolderTreeRemovesProtectedFilesAndKeepsTheRoot) {
  CTestFolder folder;
  std::wstring root = folder.File(L"tree\\");
  MakeFolder(root);
  MakeProtectedTree(root);

  EXPECT_TRUE(DeleteFolderTree(root));
  EXPECT_TRUE(FolderExists(root));
  EXPECT_TRUE(FolderEntries(root).empty());
  // Without the trailing backslash too, and on an already empty folder.
  MakeProtectedTree(root);
  EXPECT_TRUE(DeleteFolderTree(folder.File(L"tree")));
  EXPECT_TRUE(FolderEntries(root).empty());
  EXPECT_TRUE(DeleteFolderTree(root));
  EXPECT_FALSE(DeleteFolderTree(folder.File(L"missing")));
}

TEST(FileUtilsTest, DeleteFolderTreeGoesOnPastAFileInUse) {
  CTestFolder folder;
  MakeFile(folder.File(L"a.txt"), "a");
  MakeFolder(folder.File(L"sub"));
  MakeFile(folder.File(L"sub\\locked.txt"), "locked");
  MakeFile(folder.File(L"sub\\z.txt"), "z");
  MakeFile(folder.File(L"z.txt"), "z", FILE_ATTRIBUTE_READONLY);
  CScopedHandle lock(CreateFileW(folder.File(L"sub\\locked.txt").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.IsValid());

  EXPECT_FALSE(DeleteFolderTree(folder.Path()));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  EXPECT_EQ(std::vector<std::wstring>{L"sub"}, FolderEntries(folder.Path()));
  EXPECT_EQ(std::vector<std::wstring>{L"locked.txt"}, FolderEntries(folder.File(L"sub\\")));
}

TEST(FileUtilsTest, CopyFolderTreeCopiesEveryFileAndOverwritesReadOnly) {
  CTestFolder folder;
  std::wstring source = folder.File(L"source\\");
  std::wstring target = folder.File(L"target\\");
  MakeFolder(source);
  MakeProtectedTree(source);
  MakeFolder(target);
  MakeFile(target + L"a.txt", "old", FILE_ATTRIBUTE_READONLY);

  ASSERT_TRUE(CopyFolderTree(folder.File(L"source"), folder.File(L"target")));
  for (const wchar_t* name : {L"a.txt", L"sub\\b.txt", L"sub\\deep\\c.txt", L"sub\\deep\\d.txt",
                              L"ro-folder\\e.txt"}) {
    EXPECT_EQ(ReadFileBytes(source + name), ReadFileBytes(target + name)) << WideToUtf8(name);
  }
  EXPECT_TRUE(FolderExists(target + L"hidden-folder"));

  EXPECT_FALSE(CopyFolderTree(folder.File(L"missing"), folder.File(L"elsewhere")));
  EXPECT_FALSE(FolderExists(folder.File(L"elsewhere")));
}

TEST(FileUtilsTest, CopyFileClearReadOnlyRefusedCopyLeavesTargetAlone) {
  CTestFolder folder;
  MakeFile(folder.File(L"new.txt"), "new");
  MakeFile(folder.File(L"old.txt"), "old", FILE_ATTRIBUTE_READONLY);

  EXPECT_FALSE(CopyFileClearReadOnly(folder.File(L"new.txt"), folder.File(L"old.txt"), TRUE));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_EQ("old", ReadFileBytes(folder.File(L"old.txt")));
  EXPECT_TRUE(Attributes(folder.File(L"old.txt")) & FILE_ATTRIBUTE_READONLY);

  EXPECT_TRUE(CopyFileClearReadOnly(folder.File(L"new.txt"), folder.File(L"old.txt"), FALSE));
  EXPECT_EQ("new", ReadFileBytes(folder.File(L"old.txt")));

  // A failed copy gives the target its read-only attribute back.
  SetFileAttributesW(folder.File(L"old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(CopyFileClearReadOnly(folder.File(L"missing.txt"), folder.File(L"old.txt"), FALSE));
  EXPECT_TRUE(Attributes(folder.File(L"old.txt")) & FILE_ATTRIBUTE_READONLY);
}

TEST(FileUtilsTest, CreateTempWorkFolderMakesFreshFoldersUnderTemp) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring first;
  std::wstring second;
  ASSERT_TRUE(CreateTempWorkFolder(&first));
  ASSERT_TRUE(CreateTempWorkFolder(&second));
  for (const std::wstring& path : {first, second}) {
    ASSERT_EQ(std::wcslen(temp) + 9, path.size()) << WideToUtf8(path);
    EXPECT_TRUE(StartsWithNoCase(path, temp)) << WideToUtf8(path);
    EXPECT_EQ(L"ZOLM", path.substr(path.size() - 9, 4));
    EXPECT_EQ(std::wstring::npos, path.substr(path.size() - 5, 4).find_first_not_of(L"0123456789ABCDEF"));
    EXPECT_EQ(L'\\', path.back());
    EXPECT_TRUE(FolderExists(path));
  }
  EXPECT_NE(first, second);
  for (const std::wstring& path : {first, second}) {
    EXPECT_TRUE(FolderEntries(path).empty()) << WideToUtf8(path);
    DeleteFolderTree(path);
    RemoveDirectoryW(path.c_str());
  }
}

// A second hard link, or a link Windows opens through, names another
// owner's file: neither is opened, and the next numbered name is claimed.
TEST(FileUtilsTest, OpenPlainFileTakesOnlyAFileOfItsOwn) {
  CTestFolder root;
  MakeFile(root.File(L"plain.log"), "plain");
  MakeFile(root.File(L"other.txt"), "another's");
  ASSERT_TRUE(CreateHardLinkW(root.File(L"hard.log").c_str(), root.File(L"other.txt").c_str(), nullptr));
  // Wine 8 answers success and makes no link.
  bool symbolic = CreateSymbolicLinkW(root.File(L"symbolic.log").c_str(), root.File(L"plain.log").c_str(), 0) &&
                  GetFileAttributesW(root.File(L"symbolic.log").c_str()) != INVALID_FILE_ATTRIBUTES;
  const struct {
    const wchar_t* name;
    bool create;
    DWORD error;  // 0: opened
  } kCases[] = {
      {L"plain.log", false, 0},         {L"new.log", true, 0},
      {L"missing.log", false, ERROR_FILE_NOT_FOUND}, {L"hard.log", true, kNotPlainFileError},
      {L"other.txt", false, kNotPlainFileError},  {L"symbolic.log", true, kNotPlainFileError},
  };
  for (const auto& row : kCases) {
    if (!symbolic && std::wstring(row.name) == L"symbolic.log") continue;
    CScopedHandle file(OpenPlainFile(root.File(row.name), GENERIC_READ, FILE_SHARE_READ, row.create));
    EXPECT_EQ(file.IsValid() ? 0u : GetLastError(), row.error) << WideToUtf8(row.name);
  }
  EXPECT_EQ(ReadFileBytes(root.File(L"other.txt")), "another's");
  EXPECT_EQ(ClaimPlainFile(root.File(L"hard.log")), root.File(L"hard (2).log"));
  EXPECT_EQ(ReadFileBytes(root.File(L"hard (2).log")), "");
  // Opened again only while the name leads where it led, to a file of one name.
  std::wstring plainPath = FinalPathOfOpenFile(CScopedHandle(OpenPlainFile(root.File(L"plain.log"), GENERIC_READ,
                                                                           FILE_SHARE_READ, false)).Get());
  ASSERT_FALSE(plainPath.empty());
  EXPECT_TRUE(CScopedHandle(ReopenPlainFile(root.File(L"plain.log"), plainPath, GENERIC_WRITE, 0)).IsValid());
  EXPECT_FALSE(CScopedHandle(ReopenPlainFile(root.File(L"new.log"), plainPath, GENERIC_WRITE, 0)).IsValid());
  ASSERT_TRUE(CreateHardLinkW(root.File(L"second.log").c_str(), root.File(L"plain.log").c_str(), nullptr));
  EXPECT_FALSE(CScopedHandle(ReopenPlainFile(root.File(L"plain.log"), plainPath, GENERIC_WRITE, 0)).IsValid());
  EXPECT_EQ(NumberedName(L"C:\\a.b\\LogFile 1.zip", 3), L"C:\\a.b\\LogFile 1 (3).zip");
  EXPECT_EQ(NumberedName(L"C:\\a.b\\name", 2), L"C:\\a.b\\name (2)");
}

TEST(FileUtilsTest, SafeCreateFileKeepsAPathLongerThan260Characters) {
  CTestFolder folder;
  std::wstring segment(100, L's');
  std::wstring base = L"\\\\?\\" + folder.Path() + L"long";
  std::wstring deepest = base + L"\\" + segment + L"\\" + segment;
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((base + L"\\" + segment).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(deepest.c_str(), nullptr));
  std::wstring name = std::wstring(120, L'f') + L".txt";
  std::wstring path = deepest + L"\\" + name;
  ASSERT_GT(path.size(), 300u);

  {
    CScopedHandle file(SafeCreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid()) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), "abc", 3, &written, nullptr));
  }
  // The same path without the prefix may fail, but never reaches another file.
  CScopedHandle plain(SafeCreateFile(path.substr(4).c_str(), GENERIC_WRITE, 0, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  plain.Reset();

  EXPECT_EQ(std::vector<std::wstring>{name}, FolderEntries(deepest + L"\\"));
  CScopedHandle file(SafeCreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file.IsValid());
  char bytes[8] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(file.Get(), bytes, sizeof(bytes), &read, nullptr));
  EXPECT_EQ("abc", std::string(bytes, read));
  file.Reset();

  EXPECT_EQ(INVALID_HANDLE_VALUE, SafeCreateFile(nullptr, GENERIC_READ, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
  // The test folder's own clean-up stops at 260 characters.
  EXPECT_TRUE(DeleteFolderTree(base));
  EXPECT_TRUE(RemoveDirectoryW(base.c_str()));
}

TEST_CHILD(ShellExecuteExitCode) { return args.empty() ? 1 : 42; }

TEST(FileUtilsTest, SafeShellExecuteExStartsAProgram) {
  std::wstring program = TestExecutablePath();
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program.c_str();
  info.lpParameters = L"--child ShellExecuteExitCode x";
  info.nShow = SW_HIDE;
  ASSERT_TRUE(SafeShellExecuteEx(&info)) << GetLastError();
  CScopedHandle process(info.hProcess);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.Get(), 60000));
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  EXPECT_EQ(42u, code);

  EXPECT_FALSE(SafeShellExecuteEx(nullptr));
}
