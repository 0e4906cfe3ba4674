// source_redirection_test.cpp: source.ini's hand-over, the runs that make no
// working copy, the restart command and the folders no delete touches (the
// copy's making and removal are end-to-end, in test_source_redirection.py).
#include "engine/source_redirection.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "actions/command_options.h"
#include "foundation/text_utils.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/fake_command_options_system.h"
#include "tests/support/test_support.h"

namespace {

class CSourceRedirectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_setup = m_folder.File(L"kit\\");
    m_temp = m_folder.File(L"temp\\");
    CreateDirectoryTree(m_setup, nullptr);
    CreateDirectoryTree(m_temp, nullptr);
    WriteFileBytes(m_setup + L"setup.exe", "program");
    WriteFileBytes(m_setup + L"SETUP.DCF", "[Setup]\r\n");
    // The working folder is made under the temporary folder: this test's own.
    wchar_t old[MAX_PATH + 1] = {};
    m_hadTmp = GetEnvironmentVariableW(L"TMP", old, MAX_PATH) > 0;
    m_oldTmp = old;
    SetEnvironmentVariableW(L"TMP", m_temp.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TMP", m_hadTmp ? m_oldTmp.c_str() : nullptr);
  }

  bool Parse(const std::wstring& commandLine) { return m_options.Parse(m_setup, commandLine); }
  CSourceRedirection Redirection() {
    return CSourceRedirection(m_options, m_setup, L"setup.exe", L"SETUP.DCF");
  }
  std::wstring FindWorkFolder() {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((m_temp + L"ZOLM*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::wstring();
    FindClose(find);
    return m_temp + data.cFileName + L"\\";
  }

  CTestFolder m_folder;
  std::wstring m_setup;
  std::wstring m_temp;
  std::wstring m_oldTmp;
  bool m_hadTmp = false;
  CFakeCommandOptionsSystem m_system;
  CCommandOptions m_options{&m_system};
};

TEST_F(CSourceRedirectionTest, SourceIniHandsOverOrEndsWithItsCode) {
  std::wstring exitWith = FolderOfPath(TestExecutablePath()) + L"exit_with.exe";
  struct Case {
    const char* text;
    DWORD code;
    bool missing;
  } const kCases[] = {
      {nullptr, 13, false},  // no file at all
      {"", 13, false},
      {"[Other]\r\nInstallSourceProg=a\r\nInstallSourceCmd=b\r\nInstallSourceIni=c\r\n", 13, false},
      {"[All]\r\nInstallSourceCmd=b\r\nInstallSourceIni=c\r\n", 13, false},
      {"[All]\r\nInstallSourceProg=PROG\r\nInstallSourceCmd=\r\nInstallSourceIni=c\r\n", 13, false},
      {"[All]\r\nInstallSourceProg=PROG\r\nInstallSourceCmd=\"PROG\" 0\r\n", 13, false},
      {"[all]\r\ninstallsourceprog=C:\\gone\\setup.exe\r\nInstallSourceCmd=x\r\nInstallSourceIni=c\r\n",
       2, true},
      {"[All]\r\nInstallSourceProg=PROG\r\nInstallSourceCmd=\"PROG\" 0\r\nInstallSourceIni=SETUP.DCF\r\n",
       0, false},
      // Only the program named must exist; a start that fails gives its error
      // (the folder is missing: 3).
      {"[All]\r\nInstallSourceProg=PROG\r\nInstallSourceCmd=\"C:\\gone\\setup.exe\"\r\nInstallSourceIni=c\r\n",
       3, false},
      // This very program, by the file or by the command: a hand-over would loop.
      {"[All]\r\nInstallSourceProg=OWN\r\nInstallSourceCmd=\"OWN\" /qn\r\nInstallSourceIni=SETUP.DCF\r\n", 13, false},
      {"[All]\r\nInstallSourceProg=PROG\r\nInstallSourceCmd=\"OWN\"\r\nInstallSourceIni=SETUP.DCF\r\n", 13, false},
  };
  std::wstring path = m_setup + L"source.ini";
  for (const Case& c : kCases) {
    DeleteFileW(path.c_str());
    std::wstring text = c.text ? ReplaceAll(Utf8ToWide(c.text), L"PROG", exitWith) : std::wstring();
    if (c.text) WriteFileBytes(path, WideToUtf8(ReplaceAll(text, L"OWN", m_setup + L"SETUP.EXE")));
    m_options.SetSourceFolder(L"C:\\elsewhere\\");
    CSourceRedirection::CHandOver result = Redirection().ReadSourceIni(path);
    EXPECT_EQ(c.code, result.code) << (c.text ? c.text : "(no file)");
    EXPECT_EQ(c.missing, result.programMissing) << (c.text ? c.text : "(no file)");
    // Not started by setup: the run waits for the one that took over.
    EXPECT_EQ(c.code == 0, result.process.IsValid());
    EXPECT_EQ(m_setup, m_options.GetSourceFolder());
  }
}

TEST_F(CSourceRedirectionTest, NoCopyWhenMarkedOrWhenTheCopyFails) {
  struct Case {
    const wchar_t* commandLine;
    bool removeConfiguration;
    int marker;
    bool restarted;  // the setup folder is the copy the run works from
  } const kCases[] = {
      {L"/qn /~", false, 1, true},   // already works from a copy
      {L"/qn /~-", false, 2, true},
      {L"/qn", true, 2, false},      // the configuration cannot be copied
  };
  for (const Case& c : kCases) {
    if (c.removeConfiguration) DeleteFileW((m_setup + L"SETUP.DCF").c_str());
    ASSERT_TRUE(Parse(c.commandLine));
    m_options.SetSourceFolder(L"");
    CSourceRedirection redirection = Redirection();
    redirection.PrepareWorkingCopy();
    EXPECT_EQ(L"", FindWorkFolder()) << c.commandLine;
    EXPECT_EQ(c.marker, m_options.GetTildeSwitch()) << c.commandLine;
    EXPECT_EQ(c.restarted, redirection.IsRestartedRun()) << c.commandLine;
    EXPECT_EQ(c.restarted ? m_setup : L"", m_options.GetSourceFolder()) << c.commandLine;
    redirection.RemoveWorkingCopy();
    EXPECT_TRUE(FolderExists(m_setup)) << c.commandLine;
  }
}

TEST_F(CSourceRedirectionTest, RestartCommandCarriesOneMarker) {
  struct Case {
    int marker;
    const wchar_t* sourceFolder;
    const wchar_t* arguments;
    const wchar_t* program;
    const wchar_t* expected;
  } const kCases[] = {
      {1, L"C:\\work\\", L"/qn", L"C:\\work\\setup.exe", L"/qn /~"},
      {2, L"", L"/qn", L"KIT\\setup.exe", L"/qn /~-"},
      {0, L"", L"/qn", L"KIT\\setup.exe", L"/qn"},
      {1, L"C:\\work\\", L"/qn /~- /x", L"C:\\work\\setup.exe", L"/qn /~  /x"},
      {2, L"", L"/~ /qn", L"KIT\\setup.exe", L"/~ /qn"},
      {1, L"", L"/~-", L"KIT\\setup.exe", L"/~ "},
      {1, L"", L"", L"KIT\\setup.exe", L" /~"},
  };
  for (const Case& c : kCases) {
    m_options.SetTildeSwitch(c.marker);
    m_options.SetSourceFolder(c.sourceFolder);
    std::wstring program;
    std::wstring arguments;
    Redirection().BuildRestartCommand(c.arguments, &program, &arguments);
    EXPECT_EQ(ReplaceAll(c.program, L"KIT\\", m_setup), program) << c.arguments;
    EXPECT_EQ(c.expected, arguments) << c.arguments;
  }
}

TEST_F(CSourceRedirectionTest, DeletesRefuseRootsAndSystemFolders) {
  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  wchar_t system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  wchar_t profile[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, profile)));
  wchar_t programs[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programs)));
  std::wstring windowsFolder = windows;
  struct Case {
    std::wstring folder;
    bool refused;
  } const kCases[] = {
      {L"", true},
      {L"C:", true},
      {L"C:\\", true},
      {L"c:/", true},
      {L"Z:\\", true},
      {L"work\\ZOLM0001\\", true},
      {L"\\\\server\\share", true},
      {L"\\\\server\\share\\", true},
      {L"\\\\?\\C:\\", true},
      {windowsFolder + L"\\", true},
      {windowsFolder + L"\\..\\" + windowsFolder.substr(FolderOfPath(windowsFolder).size()), true},
      {system, true},
      {programs, true},
      {profile, true},
      {FolderOfPath(profile, false), true},  // the folder of every user's profile
      {m_temp, true},
      {m_temp + L"ZOLM1234\\", false},
      {L"\\\\server\\share\\ZOLM1234\\", false},
      {windowsFolder + L"\\Temp\\ZOLM1234\\", false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.refused, CSourceRedirection::IsProtectedFolder(c.folder)) << WideToUtf8(c.folder);
  }
}

// Only a folder a record names as a working copy is removed, with its
// record: "/~" given to a setup run from its kit must not delete the kit,
// nor a copy said to be the temporary folder, nor a user's folder of a
// working copy's name, whatever marker anyone wrote into it.
TEST_F(CSourceRedirectionTest, RemovalDeletesOnlyARecordedWorkingCopy) {
  CTestRegistryKey recordsKey(HKEY_LOCAL_MACHINE);
  CWorkingCopyRecords records(recordsKey.Path());
  struct Case {
    std::wstring folder;
    bool recorded;
    bool removed;
  } const kCases[] = {
      {m_temp, true, false},
      {m_setup, true, false},
      {m_temp + L"ZOLM12345\\", true, false},
      {m_temp + L"ZOLMWXYZ\\", true, false},
      {m_temp + L"ZOLM1A2B\\", true, true},
      {m_setup + L"zolm00ff\\", true, true},
      {m_temp + L"ZOLMBEEF\\", false, false},
  };
  for (const Case& c : kCases) {
    CreateDirectoryTree(c.folder + L"sub\\", nullptr);
    WriteFileBytes(c.folder + L"sub\\keep.txt", "keep");
    WriteFileBytes(c.folder + L"setup.working-copy", "4294967280.01D0000000000001");
    if (c.recorded) records.Record(c.folder);
    m_options.SetTildeSwitch(CCommandOptions::kRestartMarkerWorkingCopy);
    m_options.SetSourceFolder(c.folder);
    CSourceRedirection(m_options, m_setup, L"setup.exe", L"SETUP.DCF", L"", false, records).RemoveWorkingCopy();
    EXPECT_EQ(c.removed, !FolderExists(c.folder)) << WideToUtf8(c.folder);
    EXPECT_EQ(c.removed, !FileExists(c.folder + L"sub\\keep.txt")) << WideToUtf8(c.folder);
    EXPECT_EQ(c.recorded && !c.removed, records.Names(c.folder)) << WideToUtf8(c.folder);
  }
}

}  // namespace
