// verify_actions_test.cpp: the pre-install checks against the running Wine
// system, fake system facts, test programs and fake Uninstall entries.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/va_check_prompt.h"
#include "actions/va_custom.h"
#include "actions/va_is_qualified.h"
#include "actions/va_msi_correct_version.h"
#include "actions/va_setup_correct_version.h"
#include "actions/va_upgrade_condition.h"
#include "engine/message_box.h"
#include "engine/setup_aggregate.h"
#include "foundation/scoped_handle.h"
#include "platform/wide_string.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::wstring> g_boxes;

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
  g_boxes.push_back(std::wstring(caption) + L"|" + text);
  return IDCANCEL;
}

class CBoxRecorder {
 public:
  CBoxRecorder() {
    g_boxes.clear();
    SetMessageBoxImplementation(RecordBox);
  }
  ~CBoxRecorder() { SetMessageBoxImplementation(nullptr); }
};

COsFacts Nt(DWORD major, DWORD minor, DWORD servicePack) {
  COsFacts facts;
  facts.major = major;
  facts.minor = minor;
  facts.servicePackMajor = servicePack;
  return facts;
}

}  // namespace

TEST(CVAIsQualifiedTest, PlatformsAndAllowFlagsDecideFromTheFirstEntryOfTheFamily) {
  COsFacts xpSp1 = Nt(5, 1, 1);
  COsFacts xpSp3 = Nt(5, 1, 3);
  COsFacts xpHome = Nt(5, 1, 3);
  xpHome.xpHome = true;
  COsFacts server2003 = Nt(5, 2, 2);
  server2003.server = true;
  COsFacts win7Wow64 = Nt(6, 1, 1);
  win7Wow64.wow64 = true;
  COsFacts textOnly = Nt(5, 1, 0);
  textOnly.servicePackKnown = false;
  textOnly.servicePackText = L"Service Pack 2.1";
  COsFacts win98 = Nt(4, 10, 0);
  win98.platformId = VER_PLATFORM_WIN32_WINDOWS;
  COsFacts win32s = Nt(3, 1, 0);
  win32s.platformId = VER_PLATFORM_WIN32s;
  struct Case {
    const wchar_t* platforms;
    const wchar_t* allowWin64;
    const wchar_t* allowXpHome;
    const wchar_t* allowServer2003;
    COsFacts facts;
    DWORD expected;
  };
  const Case kCases[] = {
      {L"", L"", L"", L"", xpSp1, 0},
      {L"NT:5.1:2,NT:6.0", L"", L"", L"", xpSp3, 0},
      {L"NT:5.1:2,NT:6.0", L"", L"", L"", xpSp1, 1150},  // the second entry is never looked at
      {L"nt:5.1:2", L"", L"", L"", xpSp3, 0},
      {L"NT:5.1:3.1", L"", L"", L"", xpSp3, 1150},
      {L"NT:5.1:2.1", L"", L"", L"", textOnly, 0},       // numbers read from the CSD text
      {L"NT:5.1:2.2", L"", L"", L"", textOnly, 1150},
      {L"9X:4.10", L"", L"", L"", xpSp3, 1150},          // no entry of the family
      {L"NT5.1,9X:4.10", L"", L"", L"", win98, 0},       // an entry without ":" is passed over
      {L"9X:4.90", L"", L"", L"", win98, 1150},
      {L"NT:6.0", L"no", L"", L"", win7Wow64, 1150},
      {L"NT:6.0", L"yes", L"", L"", win7Wow64, 0},
      {L"", L"", L"0", L"", xpHome, 1150},
      {L"", L"", L"FALSE", L"", xpSp3, 0},
      {L"", L"", L"", L"No", server2003, 1150},
      {L"", L"", L"", L"1", server2003, 0},
      {L"", L"", L"", L"", win32s, 1150},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.platforms));
    CVAIsQualified check(0, L"*", L"VerifyActions.*.IsQualified", L"", row.platforms, row.allowWin64,
                         row.allowXpHome, row.allowServer2003);
    EXPECT_EQ(row.expected, check.Qualify(row.facts));
  }
}

// Wine reports Windows 7 SP1 in a 64-bit prefix. The caller's refusal box
// speaks for both checks.
TEST(CVAIsQualifiedTest, FailureEndsWith1150AndLeavesTheBoxToTheCaller) {
  CBoxRecorder boxes;
  CVAIsQualified suite(0, L"*", L"VerifyActions.*.IsQualified", L"", L"NT:10.0", L"", L"", L"");
  SetLastError(0);
  EXPECT_EQ(1247u, suite.Execute());
  EXPECT_EQ(1150u, GetLastError());
  CVAIsQualified product(0, L"P1", L"VerifyActions.P1.IsQualified", L"P1", L"NT:10.0", L"", L"", L"");
  EXPECT_EQ(1247u, product.Execute());
  EXPECT_EQ(0u, g_boxes.size());
  CVAIsQualified passes(0, L"*", L"VerifyActions.*.IsQualified", L"", L"NT:5.1,9X:4.0", L"", L"", L"");
  EXPECT_EQ(0u, passes.Execute());
}

TEST(CVACheckPromptTest, AWaitingDiscPromptGives1168) {
  EXPECT_EQ(0u, CVACheckPrompt(500).Execute());
  CScopedHandle mutex(CreateMutexW(nullptr, FALSE, L"__MsiPromptForCD"));
  ASSERT_TRUE(mutex.Get());
  EXPECT_EQ(1168u, CVACheckPrompt(500).Execute());
}

TEST(CVACustomTest, CommandResultsBecomeCodesAndTheDllSeesWhichCheckRuns) {
  CSetupAggregate aggregate;
  CSetupAggregate* saved = g_setupAggregate;
  g_setupAggregate = &aggregate;
  struct Case {
    const wchar_t* command;  // null: none set
    DWORD expected;
    DWORD lastError;
  };
  const Case kCases[] = {
      {nullptr, 1, 0},
      {L"PROGRAM,exit_with.exe,0", 0, 0},
      {L"PROGRAM,exit_with.exe,5", 1247, 1150},
      {L"DLL,verify_check.dll,NoSuchEntry", 1247, 1150},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(row.command ? WideToUtf8(row.command) : std::string("none"));
    CVACustom check(501, L"P1", L"VerifyActions.P1.Custom", L"Product One");
    check.SetSourceFolder(ToolFolder(), false);
    if (row.command) check.SetCommand(row.command);
    SetLastError(0);
    EXPECT_EQ(row.expected, check.Execute());
    if (row.expected == 1247) {
      EXPECT_EQ(row.lastError, GetLastError());
    }
  }
  EXPECT_STREQ(L"P1", aggregate.actionName);
  EXPECT_STREQ(L"Product One", aggregate.verifyActionDisplayName);
  // Longer texts are cut to the field, still terminated.
  CVACustom longName(501, L"P1", L"VerifyActions.P1.Custom", std::wstring(3000, L'x'));
  longName.SetCommand(L"PROGRAM,\"" + ToolFolder() + L"exit_with.exe\",0");
  EXPECT_EQ(0u, longName.Execute());
  EXPECT_EQ(1023u, wcslen(aggregate.verifyActionDisplayName));
  g_setupAggregate = saved;
}

TEST(CVAUpgradeConditionTest, PresenceVersionCommandAndRegistryListDecide) {
  CUninstallFixture entry;
  ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Earlier Product"},
                                            {L"UninstallString", L"remove.exe"},
                                            {L"DisplayVersion", L"2.5.100"}}));
  CTestRegistryKey searchRoot(HKEY_LOCAL_MACHINE);
  std::wstring searchKey = searchRoot.Path().substr(wcslen(L"Software\\"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (searchRoot.Path() + L"\\Edition").c_str(), 0,
                                           nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
  RegSetValueExW(key, L"BuildOEM", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"PRO"), 8);
  RegCloseKey(key);
  struct Case {
    std::wstring uninstallKey;
    const wchar_t* validVersions;
    std::wstring command;
    const wchar_t* validTlas;
    DWORD expected;
  };
  const Case kCases[] = {
      {entry.Id(), L"", L"", L"", 0},
      {L"SetupTests.NoSuchProduct", L"", L"", L"", 2},
      {entry.Id(), L"2.0-2.9", L"", L"", 0},
      {entry.Id(), L"1.0-2.4;3.0", L"", L"", 2},
      {entry.Id(), L"", L"", L"STD;PRO", 0},
      {entry.Id(), L"", L"", L"~PRO", 2},
      {entry.Id(), L"", L"", L"STD", 2},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.validVersions) + " " + WideToUtf8(row.command) + " " + WideToUtf8(row.validTlas));
    CVAUpgradeCondition::CValues values;
    values.uninstallKey = row.uninstallKey;
    values.validVersions = row.validVersions;
    values.externalCommand = row.command;
    values.validTLAs = row.validTlas;
    values.tlaSearchKey = searchKey;
    values.tlaSearchParameter = L"BuildOEM";
    CVAUpgradeCondition condition(0, L"P1", L"UpgradeConditions.Earlier", values);
    EXPECT_EQ(row.expected, condition.Execute());
  }
}

// The installer's exit codes are covered end to end (test_verify_actions.py).
TEST(CVAMSICorrectVersionTest, CancelAtThePromptInstallsNothing) {
  CBoxRecorder boxes;
  CVAMSICorrectVersion asked(0, L"P1", L"VerifyActions.P1.MSICorrectVersion", L"5.0");
  asked.SetProductNames(L"Suite", L"S");
  EXPECT_EQ(1602u, asked.Execute());
  ASSERT_EQ(1u, g_boxes.size());
  EXPECT_EQ(0u, g_boxes[0].find(L"Setup|Suite needs a newer version")) << WideToUtf8(g_boxes[0]);
}

TEST(CVASetupCorrectVersionTest, OffersThatAreEmptyOldOrUnsafeDownloadNothing) {
  CTestFolder folder;
  auto offer = [&](const std::string& version, const std::string& files) {
    WriteFileBytes(folder.File(L"offer.xml"),
                   "<update><version>" + version + "</version><files>" + files + "</files></update>");
    return folder.File(L"offer.xml");
  };
  struct Case {
    std::string version;
    std::string files;
    const wchar_t* ownVersion;
    DWORD expected;
  };
  const Case kCases[] = {
      {"2.0", "", L"", 2},
      {"2.0", "<f>http://127.0.0.1:1/a/setup.exe</f>", L"2.0", 2},   // not newer than the running setup
      {"1.5", "<f>http://127.0.0.1:1/a/setup.exe</f>", L"2.0", 2},
      {"3.0", "<f>http://127.0.0.1:1/a/..</f>", L"2.0", 1603},        // a name that leaves the folder
      {"3.0", "<f>http://127.0.0.1:1/a\\..\\..\\x.exe</f>", L"", 1603},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(row.files);
    CVASetupCorrectVersion check(0, folder.Path() + L"copy", nullptr, offer(row.version, row.files));
    check.SetOwnVersion(row.ownVersion);
    EXPECT_EQ(row.expected, check.Execute());
    EXPECT_TRUE(check.GetDownloadedFiles().empty());
  }
  CVASetupCorrectVersion missing(0, folder.Path(), nullptr, folder.File(L"missing.xml"));
  EXPECT_EQ(2u, missing.Execute());
}
