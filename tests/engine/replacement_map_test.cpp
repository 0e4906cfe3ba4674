// replacement_map_test.cpp: the replacement map as Wine reports the folders,
// and macro expansion from several threads at once.
#include "engine/replacement_map.h"

#include <windows.h>

#include <string>

#include "actions/command_options.h"
#include "actions/windows_command_options_system.h"
#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "platform/thread.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

class CReplacementMapTest : public ::testing::Test {
 protected:
  CReplacementMapTest() : m_options(CWindowsCommandOptionsSystem::Instance()), m_map(m_state) {}
  // The program sits in the test's folder.
  void Create(const std::wstring& arguments) {
    ASSERT_TRUE(m_options.Parse(m_folder.Path(), arguments));
    m_map.Create(m_options, m_folder.File(L"setup.exe"), false);
  }
  std::wstring FolderWithoutBackslash() const {
    return m_folder.Path().substr(0, m_folder.Path().size() - 1);
  }
  CTestFolder m_folder;
  CCommandOptions m_options;
  CSetupState m_state;
  CReplacementMap m_map;
};

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  GetSystemDirectoryW(buffer, MAX_PATH);
  return buffer;
}

}  // namespace

// Wine's WoW64 prefix keeps both registry views apart, like 64-bit Windows.
TEST_F(CReplacementMapTest, HoldsTheSystemFolders) {
  Create(L"/qn X=1");
  const MacroMap& map = m_map.Map();
  auto value = [&](const wchar_t* key) {
    auto found = map.find(key);
    return found == map.end() ? std::wstring(L"<absent>") : found->second;
  };
  EXPECT_EQ(L"C:\\Program Files (x86)", value(L"{ProgramFilesFolder}"));
  EXPECT_EQ(L"C:\\Program Files", value(L"{ProgramFilesFolder64}"));
  EXPECT_EQ(L"C:\\Program Files (x86)\\Common Files", value(L"{CommonFilesFolder}"));
  EXPECT_EQ(L"C:\\ProgramData", value(L"{AllUsersAppData}"));
  EXPECT_EQ(L"C:\\users\\Public\\Desktop", value(L"{AllUsersDesktop}"));
  EXPECT_TRUE(EndsWith(value(L"{UsersAppDataLocal}"), L"\\AppData\\Local"));
  EXPECT_TRUE(EndsWith(value(L"{AllUsersProgramsMenu}"), L"\\Start Menu\\Programs"));
  EXPECT_EQ(SystemFolder() + L"\\MSIEXEC.EXE", value(L"{msiexec}"));
  EXPECT_EQ(L" /qn X=1 REBOOT=ReallySuppress", value(L"{setupparams}"));
  EXPECT_EQ(FolderWithoutBackslash(), value(L"{SetupDir}"));
  EXPECT_EQ(L"", value(L"{SkippedProducts}"));
  EXPECT_EQ(L"\"" + m_folder.Path() + L"\"", value(L"{InstallerDir}"));
  EXPECT_EQ(L"\n", value(L"{NL}"));
}

namespace {

struct CExpansionRun {
  const CReplacementMap* map;
  std::wstring expected;
  int mismatches;
};

unsigned __stdcall ExpandRepeatedly(void* parameter) {
  CExpansionRun* run = static_cast<CExpansionRun*>(parameter);
  for (int i = 0; i < 500; ++i) {
    if (run->map->Expand(L"{Key_{lang}}|{A}|{SetupDir}") != run->expected) ++run->mismatches;
  }
  return 0;
}

}  // namespace

// The wizard expands texts while the worker and the wizard write
// properties: every call keeps its own cycle state and reads a copy.
TEST_F(CReplacementMapTest, ExpansionIsSafeFromOtherThreads) {
  Create(L"/qn");
  m_state.SetProperty(L"lang", L"ENU");
  m_state.SetProperty(L"Key_ENU", L"x");
  m_state.SetProperty(L"A", L"a{B}");
  m_state.SetProperty(L"B", L"b{A}");
  const std::wstring expected = L"x|ab{A}|" + FolderWithoutBackslash();
  CExpansionRun runs[3] = {{&m_map, expected, 0}, {&m_map, expected, 0}, {&m_map, expected, 0}};
  HANDLE threads[3] = {};
  for (int i = 0; i < 3; ++i) {
    DWORD error = 0;
    threads[i] = StartThread(ExpandRepeatedly, &runs[i], &error);
    ASSERT_NE(nullptr, threads[i]) << error;
  }
  for (int i = 0; i < 2000; ++i) m_state.SetProperty(Format(L"Other%d", i % 50), L"v");
  WaitForMultipleObjects(3, threads, TRUE, INFINITE);
  for (int i = 0; i < 3; ++i) {
    CloseHandle(threads[i]);
    EXPECT_EQ(0, runs[i].mismatches);
  }
  EXPECT_EQ(expected, m_map.Expand(L"{Key_{lang}}|{A}|{SetupDir}"));
}
