// shell_shortcut_test.cpp: shortcuts written, then read back through the
// shell's own link object.
#include "foundation/shell_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

#include "gtest/gtest.h"
#include "platform/com_ptr.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

struct CLinkContents {
  std::wstring path;
  std::wstring arguments;
  std::wstring description;
  std::wstring workingFolder;
  std::wstring iconPath;
  int iconIndex = -1;
};

class CComScope {
 public:
  CComScope() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~CComScope() { CoUninitialize(); }
};

HRESULT ReadLink(const std::wstring& linkPath, CLinkContents* contents) {
  CComPtr<IShellLinkW> link;
  HRESULT result = link.CreateInstance(CLSID_ShellLink);
  if (FAILED(result)) return result;
  CComPtr<IPersistFile> file;
  result = link.QueryInterface(&file);
  if (FAILED(result)) return result;
  result = file->Load(linkPath.c_str(), STGM_READ);
  if (FAILED(result)) return result;
  wchar_t text[INFOTIPSIZE] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  contents->path = text;
  text[0] = L'\0';
  link->GetArguments(text, INFOTIPSIZE);
  contents->arguments = text;
  text[0] = L'\0';
  link->GetDescription(text, INFOTIPSIZE);
  contents->description = text;
  text[0] = L'\0';
  link->GetWorkingDirectory(text, MAX_PATH);
  contents->workingFolder = text;
  text[0] = L'\0';
  link->GetIconLocation(text, MAX_PATH, &contents->iconIndex);
  contents->iconPath = text;
  return S_OK;
}

}  // namespace

TEST(ShellShortcutTest, CreateShellShortcutExIsReadBackWithEveryField) {
  CTestFolder folder;
  CComScope com;
  std::wstring target = TestExecutablePath();
  std::wstring link = folder.File(L"Setup.lnk");
  ASSERT_EQ(S_OK, CreateShellShortcutEx(link, target, L"/x \"C:\\a b\" /qn", L"Run the setup",
                                        target, 2, folder.Path()));

  CLinkContents contents;
  ASSERT_EQ(S_OK, ReadLink(link, &contents));
  EXPECT_TRUE(EqualsNoCase(target, contents.path)) << WideToUtf8(contents.path);
  EXPECT_EQ(L"/x \"C:\\a b\" /qn", contents.arguments);
  EXPECT_EQ(L"Run the setup", contents.description);
  EXPECT_TRUE(EqualsNoCase(folder.Path(), contents.workingFolder))
      << WideToUtf8(contents.workingFolder);
  EXPECT_TRUE(EqualsNoCase(target, contents.iconPath)) << WideToUtf8(contents.iconPath);
  EXPECT_EQ(2, contents.iconIndex);
}

TEST(ShellShortcutTest, CreateShellShortcutExReportsAnUnwritableLink) {
  CTestFolder folder;
  HRESULT result = CreateShellShortcutEx(folder.File(L"missing\\Setup.lnk"), TestExecutablePath(),
                                         L"", L"", L"", 0, L"");
  EXPECT_TRUE(FAILED(result)) << std::hex << result;
  EXPECT_FALSE(FileExists(folder.File(L"missing\\Setup.lnk")));
}

TEST(ShellShortcutTest, CreateShellShortcutReportsFailureOrWritesAReadableShortcut) {
  CTestFolder folder;
  CComScope com;
  std::wstring link = folder.File(L"Logs.lnk");
  HRESULT result = CreateShellShortcut(link, folder.Path(), L"Setup logs");
  if (FAILED(result)) {
    // Wine's folder shortcut object offers no IShellLinkW (E_NOINTERFACE).
    EXPECT_FALSE(FileExists(link));
    return;
  }
  // Windows saves a folder shortcut as a folder holding a target.lnk.
  CLinkContents contents;
  ASSERT_EQ(S_OK, ReadLink(FileExists(link) ? link : link + L"\\target.lnk", &contents));
  std::wstring target = folder.Path().substr(0, folder.Path().size() - 1);
  EXPECT_TRUE(StartsWithNoCase(contents.path, target)) << WideToUtf8(contents.path);
}
