// launch_point_test.cpp: the switch taken out of the command line, and the
// refusals without a setup folder, a link or a program. The shortcut itself
// is read back by the end-to-end test.
#include "engine/launch_point.h"

#include <windows.h>

#include <string>

#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

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

TEST(CLaunchPointTest, RefusesWithoutSetupFolderLinkOrProgram) {
  CTestFolder folder;
  CLaunchPointWorld noLink(folder, "LaunchPointDesc=Suite\r\n");
  EXPECT_EQ(noLink.Create(L"setup.exe /CreateLaunchPoint", folder.File(L"kit")), 13u);
  CLaunchPointWorld world(folder, "LaunchPointLink={Links}\\Suite.lnk\r\n");
  EXPECT_EQ(world.Create(L"setup.exe /CreateLaunchPoint", L""), 13u);
  EXPECT_EQ(world.Create(L"  /CreateLaunchPoint  ", folder.File(L"kit")), 1639u);
  EXPECT_EQ(GetFileAttributesW(folder.File(L"links").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A shortcut at the link's name is replaced; any other file there stays as it is.
TEST(CLaunchPointTest, ReplacesOnlyAShortcut) {
  CTestFolder folder;
  CLaunchPointWorld world(folder, "LaunchPointLink={Links}\\Suite.lnk\r\n");
  std::wstring link = folder.File(L"links\\Suite.lnk");
  CreateDirectoryW(folder.File(L"links").c_str(), nullptr);
  WriteFileBytes(link, "notes");
  EXPECT_EQ(world.Create(L"setup.exe /CreateLaunchPoint", folder.File(L"kit")), 13u);
  EXPECT_EQ("notes", ReadFileBytes(link));
  DeleteFileW(link.c_str());
  ASSERT_EQ(world.Create(L"setup.exe /CreateLaunchPoint", folder.File(L"kit")), 0u);
  EXPECT_EQ(world.Create(L"setup.exe /CreateLaunchPoint", folder.File(L"kit")), 0u);
}
