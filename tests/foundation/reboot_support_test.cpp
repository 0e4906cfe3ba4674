// reboot_support_test.cpp: the resume command's text, its registration on
// keys of the test's own, the queued renames' pairs, and waiting for a child
// that asks for a restart.
#include "foundation/reboot_support.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/registry_key.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

std::wstring RunOnceValue(HKEY root, const std::wstring& path, const std::wstring& name) {
  wchar_t data[512] = {};
  DWORD size = sizeof(data);
  if (RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data,
                   &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

void CreateKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr));
  RegCloseKey(key);
}

}  // namespace

TEST(CRebootSupportTest, ResumeCommandQuotesThePathAndSetsTheStage) {
  struct Case {
    const wchar_t* path;
    const wchar_t* arguments;
    int stage;
    const wchar_t* command;
  };
  const Case kCases[] = {
      {L"C:\\Setup\\setup.exe", L"/q", 2, L"\"C:\\Setup\\setup.exe\" /q /s2"},
      {L"  C:\\Setup\\setup.exe \t", L"", 0, L"\"C:\\Setup\\setup.exe\""},
      {L"\"C:\\My Setup\\setup.exe\"", L"/q", 0, L"\"C:\\My Setup\\setup.exe\" /q"},
      {L"C:\\s.exe", L"/q /s1 /x", 3, L"\"C:\\s.exe\" /q /s3 /x"},
      {L"C:\\s.exe", L"/q /s4001", 12, L"\"C:\\s.exe\" /q /s12"},
      // Only a whole "/s<digits>" is the stage switch.
      {L"C:\\s.exe", L"/silent", 3, L"\"C:\\s.exe\" /silent /s3"},
      {L"C:\\s.exe", L"/src=C:/src", 3, L"\"C:\\s.exe\" /src=C:/src /s3"},
      {L"C:\\s.exe", L"/S1 /s", 3, L"\"C:\\s.exe\" /S1 /s /s3"},
      {L"C:\\s.exe", L"/s1x /s7", 3, L"\"C:\\s.exe\" /s1x /s3"},
      {L"C:\\Установка\\setup.exe", L"/~", 4001, L"\"C:\\Установка\\setup.exe\" /~ /s4001"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.command, BuildRebootResumeCommand(c.path, c.arguments, c.stage)) << c.arguments;
  }
}

// The machine's RunOnce key is run by Wine's next start: only keys of the test.
// An entry is removed only by the run that wrote it; another setup's stays.
TEST(CRebootSupportTest, RegistersOnceInHklmAndUnregistersOnlyItsOwn) {
  CTestRegistryKey machine(HKEY_LOCAL_MACHINE);
  CTestRegistryKey user(HKEY_CURRENT_USER);
  ASSERT_EQ(machine.Path(), user.Path());
  CreateKey(HKEY_LOCAL_MACHINE, machine.Path());
  CreateKey(HKEY_CURRENT_USER, user.Path());
  CRebootSupport support(machine.Path(), L"unused");
  CRebootSupport other(machine.Path(), L"unused");

  EXPECT_TRUE(support.RegisterRebootResume(L"Suite.dcf", L"C:\\Кит\\setup.exe", L"/qn", 4001));
  EXPECT_EQ(L"\"C:\\Кит\\setup.exe\" /qn /s4001",
            RunOnceValue(HKEY_LOCAL_MACHINE, machine.Path(), L"Suite.dcf"));
  EXPECT_FALSE(other.RegisterRebootResume(L"Suite.dcf", L"C:\\other.exe", L"", 1));
  EXPECT_EQ(L"\"C:\\Кит\\setup.exe\" /qn /s4001",
            RunOnceValue(HKEY_LOCAL_MACHINE, machine.Path(), L"Suite.dcf"));
  EXPECT_FALSE(support.RegisterRebootResume(L"", L"C:\\other.exe", L"", 1));
  EXPECT_TRUE(support.ResumeEntryStartsIn(L"Suite.dcf", L"c:\\Кит\\"));
  EXPECT_FALSE(support.ResumeEntryStartsIn(L"Suite.dcf", L"C:\\Ки\\"));

  other.UnregisterRebootResume(L"Suite.dcf");
  EXPECT_NE(L"<missing>", RunOnceValue(HKEY_LOCAL_MACHINE, machine.Path(), L"Suite.dcf"));
  CRegistryKey userKey;
  userKey.Open(HKEY_CURRENT_USER, user.Path(), KEY_SET_VALUE | KEY_WOW64_32KEY, false);
  userKey.SetValueSZ(L"Suite.dcf", L"x");
  support.UnregisterRebootResume(L"Suite.dcf");
  EXPECT_EQ(L"<missing>", RunOnceValue(HKEY_LOCAL_MACHINE, machine.Path(), L"Suite.dcf"));
  EXPECT_EQ(L"x", RunOnceValue(HKEY_CURRENT_USER, user.Path(), L"Suite.dcf"));
}

TEST(CRebootSupportTest, QueuedOperationsStayInPairs) {
  CTestRegistryKey machine(HKEY_LOCAL_MACHINE);
  CreateKey(HKEY_LOCAL_MACHINE, machine.Path());
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, machine.Path(), KEY_ALL_ACCESS, false);
  key.SetValueMultiSZ(L"PendingFileRenameOperations", {L"\\??\\C:\\odd"});
  CRebootSupport support(L"unused", machine.Path());

  EXPECT_TRUE(support.MarkForDeletionAtReboot(L"C:\\a.tmp"));
  EXPECT_TRUE(support.MoveFileAtReboot(L"C:\\b.new", L"C:\\b.dll", MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_FALSE(support.MoveFileAtReboot(nullptr, L"C:\\c", MOVEFILE_DELAY_UNTIL_REBOOT));
  std::vector<std::wstring> operations;
  key.GetValueMultiSZ(L"PendingFileRenameOperations", &operations);
  // The registry keeps no trailing empty string, so the last deletion's
  // target is read back only when an entry follows it.
  const std::vector<std::wstring> expected = {L"\\??\\C:\\odd", L"", L"\\??\\C:\\a.tmp", L"",
                                              L"\\??\\C:\\b.new", L"!\\??\\C:\\b.dll"};
  EXPECT_EQ(expected, operations);
}

TEST_CHILD(ExitWith) { return static_cast<int>(std::stoul(args.at(0))); }

TEST(CRebootSupportTest, ChildExitCodesAndTheEventDecideTheRestart) {
  struct Case {
    const wchar_t* exitCode;
    bool signalEvent;
    BOOL restart;
  };
  const Case kCases[] = {
      {L"3010", false, TRUE},
      {L"1641", false, TRUE},
      {L"460393", false, TRUE},
      {L"0", false, FALSE},
      {L"1603", false, FALSE},
      {L"0", true, TRUE},  // signalled before the wait: seen at once
  };
  for (const Case& c : kCases) {
    CScopedHandle event(CreateEventW(nullptr, TRUE, c.signalEvent ? TRUE : FALSE, nullptr));
    CScopedHandle child(StartChild(L"ExitWith", {c.exitCode}));
    ASSERT_TRUE(child.IsValid());
    WaitForSingleObject(child.Get(), INFINITE);
    DWORD exitCode = 0xDEAD;
    EXPECT_EQ(c.restart, WaitForProcessWithRebootDetection(child.Get(), event.Get(), c.signalEvent, &exitCode))
        << c.exitCode;
    EXPECT_EQ(std::stoul(c.exitCode), exitCode);
  }
}

// Tools read the value's presence alone as a restart pending: a list left
// without an operation goes whole.
TEST(CRebootSupportTest, EmptiedListOfRenamesIsDeleted) {
  CTestRegistryKey machine(HKEY_LOCAL_MACHINE);
  CreateKey(HKEY_LOCAL_MACHINE, machine.Path());
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, machine.Path(), KEY_ALL_ACCESS, false);
  key.SetValueMultiSZ(L"PendingFileRenameOperations", {L"\\??\\C:\\copy\\setup.exe", L"", L"\\??\\C:\\copy"});
  CRebootSupport support(L"unused", machine.Path());

  support.DropPendingDeletionsUnder(L"C:\\copy\\");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExW(key.GetHandle(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr, nullptr));
  key.SetValueMultiSZ(L"PendingFileRenameOperations", {L"\\??\\C:\\other.tmp", L""});
  support.DropPendingDeletionsUnder(L"C:\\copy\\");
  EXPECT_EQ(std::vector<std::wstring>{L"C:\\other.tmp"}, support.PendingDeletions());
}
