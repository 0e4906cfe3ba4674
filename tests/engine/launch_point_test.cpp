// launch_point_test.cpp: the launch-point shortcut written and read back
// through the shell's link object; the refusals without a folder or a link.
#include "engine/launch_point.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/com_ptr.h"
#include "tests/support/test_support.h"

namespace {

struct CLink {
  std::wstring path, arguments, workingFolder, iconPath;
};

HRESULT ReadLink(const std::wstring& linkPath, CLink* contents) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CComPtr<IShellLinkW> link;
  HRESULT result = link.CreateInstance(CLSID_ShellLink);
  CComPtr<IPersistFile> file;
  if (SUCCEEDED(result)) result = link.QueryInterface(&file);
  if (SUCCEEDED(result)) result = file->Load(linkPath.c_str(), STGM_READ);
  wchar_t buffer[MAX_PATH * 2] = {};
  int icon = 0;
  if (SUCCEEDED(result)) result = link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
  contents->path = buffer;
  if (SUCCEEDED(result)) result = link->GetArguments(buffer, MAX_PATH * 2);
  contents->arguments = buffer;
  if (SUCCEEDED(result)) result = link->GetWorkingDirectory(buffer, MAX_PATH * 2);
  contents->workingFolder = buffer;
  buffer[0] = 0;
  if (SUCCEEDED(result)) link->GetIconLocation(buffer, MAX_PATH * 2, &icon);
  contents->iconPath = buffer;
  return result;
}

// The configuration's [Shortcut] section; {Links} expands to `links`.
class CLaunchPointWorld {
 public:
  CLaunchPointWorld(const CTestFolder& folder, const std::string& shortcut) : m_folder(folder) {
    WriteFileBytes(folder.File(L"SETUP.DCF"), "[Shortcut]\r\n" + shortcut);
    m_configuration.Init(false);
    m_configuration.LoadFrom(folder.File(L"SETUP.DCF"));
  }
  DWORD Create(const std::wstring& commandLine, const std::wstring& setupDir) {
    std::wstring links = m_folder.File(L"links");
    CLaunchPoint point(m_configuration, [links](const std::wstring& text) {
      std::wstring result = text;
      size_t at = result.find(L"{Links}");
      if (at != std::wstring::npos) result.replace(at, 7, links);
      return result;
    });
    return point.Create(commandLine, setupDir);
  }

 private:
  const CTestFolder& m_folder;
  CKwIniFile m_configuration;
};

}  // namespace

TEST(CLaunchPointTest, SwitchIsTakenOutInAnyCaseAsAWordOnly) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } kCases[] = {
      {L"setup.exe /CreateLaunchPoint /qn", L"setup.exe /qn"},
      {L"setup.exe /qn /createlaunchpoint", L"setup.exe /qn "},
      {L"setup.exe /CREATELAUNCHPOINT", L"setup.exe "},
      {L"setup.exe /CreateLaunchPointX /qn", L"setup.exe /CreateLaunchPointX /qn"},
      {L"\"C:\\a b\\setup.exe\" /CreateLaunchPoint A=1", L"\"C:\\a b\\setup.exe\" A=1"},
  };
  for (const auto& row : kCases) EXPECT_EQ(WithoutLaunchPointSwitch(row.in), row.out) << row.in;
}

// The link's folder does not exist yet; the icon names a missing file.
TEST(CLaunchPointTest, CreatesTheShortcutWithTheArgumentsAndNoMissingIcon) {
  CTestFolder folder;
  CLaunchPointWorld world(folder,
                          "LaunchPointLink={Links}\\deep\\Suite.lnk\r\nLaunchPointDesc=Suite {X}\r\n"
                          "LaunchPointIcon={Links}\\missing.ico\r\n");
  std::wstring setupDir = folder.File(L"kit");

  ASSERT_EQ(world.Create(L"\"Z:\\elsewhere\\Setup.exe\" /CreateLaunchPoint /qn A=\"x y\"", setupDir), 0u);

  CLink link;
  ASSERT_EQ(ReadLink(folder.File(L"links\\deep\\Suite.lnk"), &link), S_OK);
  EXPECT_EQ(link.path, setupDir + L"\\Setup.exe");
  EXPECT_EQ(link.arguments, L"/qn A=\"x y\"");
  EXPECT_EQ(link.workingFolder, setupDir);
  EXPECT_EQ(link.iconPath, L"");
}

TEST(CLaunchPointTest, RefusesWithoutSetupFolderLinkOrProgram) {
  CTestFolder folder;
  CLaunchPointWorld noLink(folder, "LaunchPointDesc=Suite\r\n");
  EXPECT_EQ(noLink.Create(L"setup.exe /CreateLaunchPoint", folder.File(L"kit")), 13u);
  CLaunchPointWorld world(folder, "LaunchPointLink={Links}\\Suite.lnk\r\n");
  EXPECT_EQ(world.Create(L"setup.exe /CreateLaunchPoint", L""), 13u);
  EXPECT_EQ(world.Create(L"  /CreateLaunchPoint  ", folder.File(L"kit")), 1639u);
  EXPECT_EQ(GetFileAttributesW(folder.File(L"links").c_str()), INVALID_FILE_ATTRIBUTES);
}
