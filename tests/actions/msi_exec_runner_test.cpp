// msi_exec_runner_test.cpp: the in-process runner: its reading of installer
// command lines, the progress messages it turns into bar moves, the busy
// check against a held installer mutex, and real installs and removals of a
// package on the runner's thread.
#include "actions/msi_exec_runner.h"

#include <windows.h>
#include <msi.h>

#include <string>
#include <vector>

#include "actions/msi_exec_command_line.h"
#include "actions/msi_external_ui.h"
#include "actions/msi_product_state.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/support/msi_fixtures.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t kDeltaProduct[] = L"{9E4C6A53-AF51-4A84-8F3D-41526D7E8F91}";

// Records what the installer's messages do to the bar, one text per call.
class CRecordingSink : public IInstallerProgressSink {
 public:
  std::vector<std::wstring> calls;
  bool HasBar() const override { return true; }
  void Show() override {}
  void SetRange(int total) override { calls.push_back(Format(L"range %d", total)); }
  void SetPosition(int position) override { calls.push_back(Format(L"pos %d", position)); }
  void SetStep(int step) override { calls.push_back(Format(L"step %d", step)); }
  void StepIt() override { calls.push_back(L"stepit"); }
  void SetStatusText(const std::wstring& text) override { calls.push_back(L"text " + text); }
};

class CScopedSink {
 public:
  explicit CScopedSink(IInstallerProgressSink* sink) {
    SetInstallerProgressSink(sink);
    ResetInstallerProgress();
  }
  ~CScopedSink() { SetInstallerProgressSink(nullptr); }
};

DWORD RunAndWait(const std::wstring& commandLine) {
  HANDLE thread = nullptr;
  DWORD result = RunMsiExecCommand(commandLine, &thread);
  if (result != ERROR_SUCCESS) return result;
  CScopedHandle owned(thread);
  if (WaitForSingleObject(owned.Get(), 300000) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
  DWORD code = 0xFFFFFFFF;
  GetExitCodeThread(owned.Get(), &code);
  return code;
}

int g_stops = 0;
int g_sleeps = 0;
void CountStop() { ++g_stops; }
void CountSleep(DWORD) { ++g_sleeps; }

}  // namespace

TEST(CMsiExecCommandLineTest, ReadsPackagePropertiesLogAndUILevel) {
  struct Case {
    const wchar_t* line;
    const wchar_t* package;
    const wchar_t* properties;
    int level;
    bool uninstall;
    bool repair;
    const wchar_t* message;  // the last line for the log, if any
  } const kCases[] = {
      {L"MSIEXEC.EXE /qb /I \"a.msi\" X=1", L"a.msi", L"X=1", 3, false, false, L""},
      {L"msiexec /qn /i a.msi", L"a.msi", L"", 2, false, false, L""},
      {L"msiexec /q /i a.msi", L"a.msi", L"", 2, false, false, L""},
      {L"msiexec /qb! /i a.msi", L"a.msi", L"", 3, false, false, L""},
      {L"msiexec /qr /i a.msi", L"a.msi", L"", 4, false, false, L""},
      {L"msiexec /i a.msi", L"a.msi", L"", 5, false, false, L""},
      {L"msiexec /qf /f {P} MPI_SILENT=1", L"{P}", L"MPI_SILENT=1", 2, false, true, L""},
      {L"msiexec /fvomus {P}", L"{P}", L"", 0x102, false, true, L""},
      {L"msiexec /qb /f {P}", L"{P}", L"", 0x23, false, true, L""},
      {L"msiexec /qz /i a.msi", L"a.msi", L"", 5, false, false,
       L"   Unknown UI level being passed to MsiExec: '/qz'; using full UI"},
      // Without REMOVE= the installer would report success and remove nothing.
      {L"msiexec /x {P}", L"{P}", L"REMOVE=ALL", 2, true, false, L""},
      {L"msiexec /qf /x {P} REMOVE=Docs,Help", L"{P}", L"REMOVE=Docs,Help", 2, true, false, L""},
      {L"msiexec /i a.msi =X", L"a.msi", L"", 5, false, false,
       L"   Unknown property being passed to MsiExec: '=X'"},
      {L"msiexec /i a.msi INSTALLDIR=\"C:\\msiexec-tools\\\"", L"a.msi",
       L"INSTALLDIR=\"C:\\msiexec-tools\\\"", 5, false, false, L""},
      {L"msiexec /z /i a.msi", L"a.msi", L"", 5, false, false,
       L"   Unsupported switch being passed to MsiExec: '/z'"},
      {L"msiexec /qn /i", L"", L"", 2, false, false,
       L"   No package specified in command line: 'msiexec /qn /i'"},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.line));
    CMsiExecCommandLine parsed(row.line);
    EXPECT_EQ(row.package, parsed.GetPackage());
    EXPECT_EQ(row.properties, parsed.GetProperties());
    EXPECT_EQ(row.level, parsed.GetUILevel());
    EXPECT_EQ(row.uninstall, parsed.IsUninstall());
    EXPECT_EQ(row.repair, parsed.IsRepair());
    std::wstring last = parsed.GetMessages().empty() ? L"" : parsed.GetMessages().back();
    EXPECT_EQ(row.message, last);
  }
  CMsiExecCommandLine logged(L"msiexec /i a.msi /L*v \"C:\\logs\\a b\\x.log\" /qn");
  EXPECT_EQ(L"C:\\logs\\a b\\x.log", logged.GetLogFile());
  EXPECT_EQ(2, logged.GetUILevel());
}

TEST(CMsiExternalUITest, ParsesProgressAndCommonDataRecords) {
  struct Case {
    const wchar_t* text;
    bool parsed;
    int fields[4];
  } const kCases[] = {
      {L"1: 0 2: 318183 3: 0 4: 0 ", true, {0, 318183, 0, 0}},
      {L"1: 1 2: 50 3: 1 4: 7 ", true, {1, 50, 1, 0}},  // type 1 ends at field 3
      {L"1: 2 2: 0 3: 9 ", true, {2, 0, 0, 0}},         // type 2 ends at field 2
      {L"1: 0 2: -5", true, {0, -5, 0, 0}},
      {L"", true, {0, 0, 0, 0}},
      {L"1: 0 5: 3 ", false, {0, 0, 0, 0}},
      {L"1: 0 2: x ", false, {0, 0, 0, 0}},
      {L"Message type: 0, Argument: 1033, 0", false, {0, 0, 0, 0}},
  };
  for (const Case& row : kCases) {
    int fields[4] = {9, 9, 9, 9};
    EXPECT_EQ(row.parsed, ParseProgressMessage(row.text, fields)) << WideToUtf8(row.text);
    if (row.parsed) {
      for (int i = 0; i < 4; ++i) EXPECT_EQ(row.fields[i], fields[i]) << WideToUtf8(row.text) << i;
    }
  }
  int type = 0;
  int value = 0;
  EXPECT_TRUE(ParseCommonDataMessage(L"1: 0 2: 1033 ", &type, &value));
  EXPECT_EQ(1033, value);
  EXPECT_FALSE(ParseCommonDataMessage(L"1: 1 2: 1033 ", &type, &value));
  EXPECT_FALSE(ParseCommonDataMessage(L"Message type: 0, Argument: 1033, 0", &type, &value));
  EXPECT_EQ(L"File: a\nFolder: b\nSize: 3", FormatActionData(L"File: a,  Folder: b; Size: 3"));
}

TEST(CMsiExternalUITest, ProgressMessagesMoveTheBarAndAnswerTheCancel) {
  CRecordingSink sink;
  CScopedSink scoped(&sink);
  const UINT kProgress = INSTALLMESSAGE_PROGRESS;
  const UINT kActionData = INSTALLMESSAGE_ACTIONDATA;
  const struct {
    UINT type;
    const wchar_t* text;
    int answer;
  } kMessages[] = {
      {INSTALLMESSAGE_ACTIONDATA, L"File: x", IDOK},  // no phase yet: nothing moves
      {kProgress, L"1: 0 2: 1000 3: 0 4: 1 ", IDOK},
      {kProgress, L"1: 1 2: 50 3: 1 ", IDOK},
      {kProgress, L"1: 2 2: 0 ", IDOK},  // advances by the announced step
      {kProgress, L"1: 2 2: 200 ", IDOK},
      {kActionData, L"File: a,  Size: 3", IDOK},
      {INSTALLMESSAGE_ACTIONSTART, L"InstallFiles", IDOK},
      {kActionData, L"File: b", IDOK},  // a new action: no step
      {kProgress, L"1: 0 2: 300 3: 1 4: 0 ", IDOK},  // runs backwards from the total
      {kProgress, L"1: 2 2: 100 ", IDOK},
      {kProgress, L"garbage", IDOK},
      {INSTALLMESSAGE_ERROR, L"error", 0},
      {INSTALLMESSAGE_COMMONDATA, L"Message type: 0, Argument: 1033, 0", IDOK},
      {INSTALLMESSAGE_INITIALIZE | MB_OKCANCEL, L"", IDOK},
  };
  for (const auto& message : kMessages) {
    EXPECT_EQ(message.answer, MsiExternalUIHandler(nullptr, message.type, message.text))
        << WideToUtf8(message.text);
  }
  EXPECT_EQ((std::vector<std::wstring>{L"range 1000", L"pos 0", L"step 50", L"pos 50", L"pos 250",
                                       L"text File: a\nSize: 3", L"stepit", L"text File: b",
                                       L"range 300", L"pos 300", L"pos -100"}),
            sink.calls);
  EXPECT_EQ(0, MsiExternalUIHandler(nullptr, kProgress, nullptr));
  SetUserCancelled(true);
  EXPECT_EQ(IDCANCEL, MsiExternalUIHandler(nullptr, kProgress, L"1: 2 2: 1 "));
  SetUserCancelled(false);
}

// The installer counts as busy while another process holds its mutex; each
// attempt asks the service to stop and waits, through the replaced functions.
TEST(CMsiExecRunnerTest, BusyInstallerRefusesToStartAfterThirteenAttempts) {
  g_stops = 0;
  g_sleeps = 0;
  SetInstallerBusyFunctions(CountStop, CountSleep);
  EXPECT_FALSE(IsWindowsInstallerBusy());
  EXPECT_EQ(0, g_sleeps);

  CTestFolder folder;
  std::wstring stopFile = folder.File(L"stop");
  std::wstring line = Format(L"\"%smutex_holder.exe\" _MSIExecute \"%s\" 60", ToolFolder().c_str(),
                             stopFile.c_str());
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  CScopedHandle holder(info.hProcess);
  CScopedHandle holderThread(info.hThread);
  // Until the holder has the mutex.
  for (int i = 0; i < 100; ++i) {
    CScopedHandle probe(OpenMutexW(SYNCHRONIZE, FALSE, L"_MSIExecute"));
    if (probe.IsValid()) break;
    Sleep(50);
  }
  HANDLE thread = reinterpret_cast<HANDLE>(1);
  EXPECT_EQ(1618u, RunMsiExecCommand(L"MSIEXEC.EXE /qn /i x.msi", &thread));
  EXPECT_EQ(nullptr, thread);
  EXPECT_EQ(13, g_stops);
  EXPECT_EQ(13, g_sleeps);
  WriteFileBytes(stopFile, "x");
  WaitForSingleObject(holder.Get(), 30000);
  SetInstallerBusyFunctions(nullptr, nullptr);
}

// Installs and removes a real package on the runner's thread: a failing
// launch condition gives its 1603, progress reaches the sink, the nested log
// folder is made, and /x without REMOVE= really removes the product.
TEST(CMsiExecRunnerTest, InstallsAndRemovesAPackageInProcess) {
  CRecordingSink sink;
  CScopedSink scoped(&sink);
  CTestFolder folder;
  std::wstring package = MsiFixturePath(L"delta.msi");
  std::wstring log = folder.File(L"logs\\nested\\delta.log");

  EXPECT_EQ(1603u, RunAndWait(L"MSIEXEC.EXE /qn /I \"" + package + L"\" FAILME=1"));
  EXPECT_FALSE(IsProductInstalled(kDeltaProduct));

  sink.calls.clear();
  EXPECT_EQ(0u, RunAndWait(L"MSIEXEC.EXE /qb /I \"" + package + L"\" /L*v \"" + log + L"\""));
  EXPECT_TRUE(IsProductInstalled(kDeltaProduct));
  EXPECT_TRUE(FileExists(log));
  bool sawRange = false;
  for (const std::wstring& call : sink.calls) sawRange = sawRange || StartsWith(call, L"range ");
  EXPECT_TRUE(sawRange) << sink.calls.size();

  EXPECT_EQ(0u, RunAndWait(L"MSIEXEC.EXE /qn /x " + std::wstring(kDeltaProduct)));
  EXPECT_FALSE(IsProductInstalled(kDeltaProduct));
  EXPECT_EQ(1605u, RunAndWait(L"MSIEXEC.EXE /qn /x " + std::wstring(kDeltaProduct)));
  EXPECT_EQ(3u, RunAndWait(L"MSIEXEC.EXE /qn"));
  WaitForWindowsInstallerThreads();
  if (IsProductInstalled(kDeltaProduct)) RunMsiexec(L"/x " + std::wstring(kDeltaProduct) + L" /qn");
}

// Starts an install that is not waited for and ends as setup.exe does.
TEST_CHILD(InstallAndLeave) {
  HANDLE thread = nullptr;
  DWORD result = RunMsiExecCommand(L"MSIEXEC.EXE /qn /I \"" + args.at(0) + L"\"", &thread);
  CScopedHandle owned(thread);
  WaitForWindowsInstallerThreads();
  return static_cast<int>(result);
}

// The process ending must not cut an installation off in the middle.
TEST(CMsiExecRunnerTest, ProcessEndWaitsForARunningInstallation) {
  if (IsProductInstalled(kDeltaProduct)) RunMsiexec(L"/x " + std::wstring(kDeltaProduct) + L" /qn");
  EXPECT_EQ(0u, RunChild(L"InstallAndLeave", {MsiFixturePath(L"delta.msi")}));
  EXPECT_TRUE(IsProductInstalled(kDeltaProduct));
  EXPECT_EQ(0u, RunMsiexec(L"/x " + std::wstring(kDeltaProduct) + L" /qn"));
}
