// windows_command_options_system_test.cpp: the command-line model on the real
// system: configuration files on disk, KWSETUP and the log-name expansion, and
// the internal-error report.
#include "actions/windows_command_options_system.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/command_options.h"
#include "foundation/error.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

int WINAPI SilentMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

std::wstring TempFolderWithoutSlash() {
  wchar_t buffer[MAX_PATH + 1] = {};
  std::wstring folder(buffer, GetTempPathW(MAX_PATH, buffer));
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::wstring LogSwitchOf(const CCommandOptions& options) {
  std::wstring logSwitch;
  options.AppendLogSwitch(&logSwitch);
  return logSwitch;
}

}  // namespace

TEST(CWindowsCommandOptionsSystemTest, LoadsTheConfigurationTheFirstWordNames) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"SETUP.DCF"), "[Setup]\r\nMinimumMSIVersion=3.1\r\n");
  WriteFileBytes(folder.File(L"my other.dcf"), "[Setup]\r\nMinimumMSIVersion=4.5\r\n");
  CCommandOptions options(CWindowsCommandOptionsSystem::Instance());

  ASSERT_TRUE(options.Parse(folder.Path(), L""));
  ASSERT_TRUE(options.GetSetupConfig().IsLoaded());
  EXPECT_EQ(L"3.1", options.GetSetupConfig().GetMinimumMSIVersion());

  ASSERT_TRUE(options.Parse(folder.Path(), L"\"my other.dcf\" /qn"));
  ASSERT_TRUE(options.GetSetupConfig().IsLoaded());
  EXPECT_EQ(L"4.5", options.GetSetupConfig().GetMinimumMSIVersion());

  // A missing file is not a command-line error: the run reports it when it
  // first needs the configuration.
  ASSERT_TRUE(options.Parse(folder.Path(), L"missing.dcf /qn"));
  EXPECT_FALSE(options.GetSetupConfig().IsLoaded());
}

TEST(CWindowsCommandOptionsSystemTest, LogFileIsExpandedLikeTheSetupLog) {
  CTestFolder folder;
  CCommandOptions options(CWindowsCommandOptionsSystem::Instance());
  ASSERT_TRUE(options.Parse(folder.Path(), L"/L*v {TEMP_FOLDER}\\x.log"));
  EXPECT_EQ(L" /L*v \"" + TempFolderWithoutSlash() + L"\\x_{ProductID}.log\"", LogSwitchOf(options));
  ASSERT_TRUE(options.Parse(folder.Path(), L"/L \"D:\\my logs\""));
  EXPECT_EQ(L" /L*v \"D:\\my logs\\TAM_{ProductID}.log\"", LogSwitchOf(options));
}

// KWSETUP also turns the process's own log on, so it is set in a child only.
TEST_CHILD(CommandOptionsLogFromKwsetup) {
  CCommandOptions options(CWindowsCommandOptionsSystem::Instance());
  if (!options.Parse(args.at(0), args.at(1))) return 2;
  return LogSwitchOf(options) == args.at(2) ? 0 : 1;
}

TEST(CWindowsCommandOptionsSystemTest, LogFileComesFromKwsetupWhenNoneIsGiven) {
  CTestFolder folder;
  WriteFileBytes(folder.File(L"SETUP.DCF"), "[Setup]\r\nMinimumMSIVersion=3.1\r\n");
  std::wstring logFile = folder.Path() + L"logs\\kw.log";
  std::vector<CEnvironmentChange> kwsetup = {{L"KWSETUP", logFile}};
  std::wstring expected = L" /L*v \"" + folder.Path() + L"logs\\kw_{ProductID}.log\"";
  EXPECT_EQ(0u, RunChild(L"CommandOptionsLogFromKwsetup", {folder.Path(), L"/qn", expected}, kwsetup));
  EXPECT_EQ(0u, RunChild(L"CommandOptionsLogFromKwsetup", {folder.Path(), L"/L", expected}, kwsetup));
  EXPECT_EQ(0u, RunChild(L"CommandOptionsLogFromKwsetup",
                         {folder.Path(), L"/L D:\\x.log", L" /L*v \"D:\\x_{ProductID}.log\""}, kwsetup));
  std::vector<CEnvironmentChange> noKwsetup = {{L"KWSETUP", L"", true}};
  EXPECT_EQ(2u, RunChild(L"CommandOptionsLogFromKwsetup", {folder.Path(), L"/L", L""}, noKwsetup));
}

TEST(CWindowsCommandOptionsSystemTest, MissingSetupFolderThrowsInternalError) {
  SetErrorMessageBoxFunction(SilentMessageBox);
  CCommandOptions options(CWindowsCommandOptionsSystem::Instance());
  DWORD thrown = 0;
  try {
    options.Parse(L"", L"/qn");
  } catch (unsigned long code) {
    thrown = code;
  }
  SetErrorMessageBoxFunction(nullptr);
  EXPECT_EQ(0x80004003u, thrown);
}
