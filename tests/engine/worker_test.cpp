// worker_test.cpp: how a run ends: the handlers for each thrown kind, the
// abort message, Cleanup's end of the host, the wizard handshake
// that must not hang, and the compatibility-mode check.
#include "engine/worker.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/shutdown_action.h"
#include "engine/files_in_use.h"
#include "engine/language_dialog.h"
#include "engine/install_group_info.h"
#include "engine/message_box.h"
#include "engine/setup_host.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/registry_key.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

std::wstring ModulePath() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return path;
}

class CTestWorker : public CWorker {
 public:
  explicit CTestWorker(ISetupHost* host = nullptr) : CWorker(host) {}

  std::function<DWORD()> steps;
  DWORD RunSteps() override { return steps ? steps() : CWorker::RunSteps(); }

  // The command-line step with arguments of the test's own; the program is
  // the test executable.
  bool ParseOptions(const std::wstring& arguments) {
    try {
      ParseCommandLineText(L"\"" + ModulePath() + L"\" " + arguments, ModulePath());
    } catch (unsigned long) {
      return false;
    }
    return true;
  }
  void EnterSuiteMode() { m_suiteMode = TRUE; }
  void AddDefaultGroup() {
    m_installGroups.SetAt(CInstallGroupInfoMap::kDefaultGroup, std::unique_ptr<CInstallGroupInfo>(new CInstallGroupInfo()));
  }
  using CWorker::CheckAppCompatMode;
  using CWorker::CreateReplacementMap;
  using CWorker::ParseSetupProperties;
  using CWorker::RunWizardHandshake;
  using CWorker::ExecuteShutdownActions;
  void AddShutdownAction(const std::wstring& className) {
    std::unique_ptr<CShutdownAction> action(
        new CShutdownAction(0, nullptr, className, L"", L"", 0, 0, 0, 0));
    action->SetActionName(L"ShutdownApplications.Alpha." + className);
    action->SetSilent(true);
    CSetupActionList::GetOrCreate(&m_actionLists, L"SHUTDOWN_ACTIONS")->Append(std::move(action));
  }
  bool InterfaceStarted() const { return m_interfaceThread.IsValid(); }
  // Where a failed run puts its shortcut to the logs.
  void SetDesktop(const std::wstring& folder) { m_replacements->SetMacro(L"{AllUsersDesktop}", folder); }
  using CWorker::TestConnection;
  using CWorker::ChooseInstallLanguage;
  void AllowLanguageDialog(const std::wstring& current) {
    m_settings.languageDialogAllowed = true;
    m_installLanguage = current;
  }
  const std::wstring& InstallLanguageCode() const { return m_installLanguage; }
  void AskForOnlineUpdates() { m_settings.onlineUpdatesAllowed = true; }
  bool OnlineUpdatesAllowed() const { return m_settings.onlineUpdatesAllowed; }
};

class CFakeHost : public ISetupHost {
 public:
  void EndHost(DWORD status) override { ended.push_back(status); }
  HWND GetOwnerWindow() const override { return nullptr; }
  CProgressWindows GetProgressWindows() const override { return CProgressWindows(); }
  void ShowHostWindow(bool show) override { shown.push_back(show); }
  void OfferCancel(HANDLE) override {}
  std::vector<DWORD> ended;
  std::vector<bool> shown;
};

struct CBox {
  int count = 0;
  std::wstring text;
  std::wstring caption;
  UINT style = 0;
  int answer = IDOK;
};
CBox g_box;

int WINAPI FakeBox(HWND, LPCWSTR text, LPCWSTR caption, UINT style) {
  ++g_box.count;
  g_box.text = text;
  g_box.caption = caption;
  g_box.style = style;
  return g_box.answer;
}

class CWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_box = CBox();
    SetMessageBoxImplementation(FakeBox);
  }
  void TearDown() override { SetMessageBoxImplementation(nullptr); }
  CTestFolder m_folder;
};

const wchar_t kLayersKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

}  // namespace

// Each thrown kind, one worker each, with the desktop in the test's folder
// (args[0]); the exit code tells which statuses came out wrong.
TEST_CHILD(WorkerHandlers) {
  const std::vector<std::pair<std::function<DWORD()>, DWORD>> kRuns = {
      {[]() -> DWORD { throw static_cast<long>(5); }, 5},
      {[]() -> DWORD { throw 1; }, 1},
      {[]() -> DWORD { throw static_cast<unsigned long>(1603); }, 1603},
      {[]() -> DWORD { throw CError(L"Open key 'X'", 5); }, 5},
      {[]() -> DWORD { throw std::runtime_error("other"); }, 0x8004FFFF},
  };
  int wrong = 0;
  for (size_t i = 0; i < kRuns.size(); ++i) {
    CTestWorker worker;
    if (!args.empty()) worker.SetDesktop(args[0]);
    worker.steps = kRuns[i].first;
    if (worker.WorkerRoutine() != kRuns[i].second || static_cast<DWORD>(worker.GetStatus()) != kRuns[i].second) {
      wrong |= 1 << i;
    }
  }
  return wrong;
}

TEST_F(CWorkerTest, EachThrownKindGivesItsLineAndStatus) {
  std::wstring desktop = m_folder.File(L"desktop");
  CreateDirectoryW(desktop.c_str(), nullptr);
  ASSERT_EQ(0u, RunChild(L"WorkerHandlers", {desktop}, {{L"KWSETUP", m_folder.File(L"TAM_{ProductID}.log")}}));
  // Every failure leaves the way to the logs (a plain link under Wine, whose
  // shell has no folder shortcut).
  EXPECT_TRUE(FileExists(desktop + L"\\Installation Log Files.lnk") || FileExists(desktop + L"\\Installation Log Files"));
  std::wstring log = ReadUtf16File(m_folder.File(L"VELL_SETUP.LOG"));
  const std::wstring kExpected[] = {
      L" - Caught thrown long 5\r\n",
      L" - Worker exiting with status code: 00000005, ResultCode = 5\r\n",
      L" - Caught thrown bool 1\r\n",
      L" - Caught thrown dword 1603\r\n",
      L" - Worker exiting with status code: 00000643, ResultCode = 1603\r\n",
      L" - Caught generic exception in worker routine: 5, 'Open key 'X'. System error code: 5.",
      L" - Unknown exception thrown during install\r\n",
      L" - Worker exiting with status code: 8004FFFF, ResultCode = -2147155969\r\n",
  };
  size_t position = 0;
  for (const std::wstring& line : kExpected) {
    size_t found = log.find(line, position);
    ASSERT_NE(std::wstring::npos, found) << "missing or out of order: " << WideToUtf8(line);
    position = found + line.size();
  }
}

TEST_F(CWorkerTest, AbortShowsCodeInHexUnlessSilent) {
  struct Case {
    const wchar_t* commandLine;
    bool show;
    int boxes;
  };
  const Case kCases[] = {
      {L"", true, 1}, {L"/qb", true, 1}, {L"/qb", false, 0},
      {L"/qb-", true, 0}, {L"/qb!", true, 0}, {L"/qn+", true, 0}, {L"/qn", true, 0},
  };
  for (const Case& c : kCases) {
    g_box = CBox();
    CTestWorker worker;
    ASSERT_TRUE(worker.ParseOptions(c.commandLine)) << WideToUtf8(c.commandLine);
    DWORD thrown = 0;
    try {
      worker.AbortOnError(13, c.show);
    } catch (unsigned long code) {
      thrown = code;
    }
    EXPECT_EQ(13u, thrown);
    EXPECT_EQ(c.boxes, g_box.count) << WideToUtf8(c.commandLine);
    if (g_box.count) {
      EXPECT_EQ(L"Setup encountered an error during installation.\n\nError Code: 000D", g_box.text);
      EXPECT_EQ(L"Error", g_box.caption);
      EXPECT_EQ(static_cast<UINT>(MB_ICONERROR | MB_SETFOREGROUND), g_box.style);
    }
  }
}

// However the steps end, the host is ended exactly once, with the status.
TEST_F(CWorkerTest, CleanupEndsTheHostOnceWithTheStatus) {
  const std::vector<std::pair<std::function<DWORD()>, DWORD>> kRuns = {
      {[]() -> DWORD { throw static_cast<unsigned long>(13); }, 13},
      {[]() -> DWORD { throw static_cast<long>(0); }, 0},
      {[]() -> DWORD { throw std::runtime_error("other"); }, 0x8004FFFF},
  };
  for (const auto& run : kRuns) {
    CFakeHost host;
    {
      CTestWorker worker(&host);
      worker.steps = run.first;
      EXPECT_EQ(run.second, worker.WorkerRoutine());
    }
    EXPECT_EQ(std::vector<DWORD>{run.second}, host.ended);
  }
}

TEST_F(CWorkerTest, NoConfigurationNoMaps) {
  CTestWorker worker;
  ASSERT_TRUE(worker.ParseOptions(L"/qn"));
  EXPECT_FALSE(worker.CreateReplacementMap());
  EXPECT_FALSE(worker.ParseSetupProperties());
}

// A wizard thread that ends without signalling either event used to leave
// the worker waiting for ever: without the suite's group it ends with 13,
// which ends the run; a wizard that ends with 0 ends it quietly.
TEST_F(CWorkerTest, WizardThreadThatEndsDoesNotHangTheWorker) {
  CTestWorker worker;
  ASSERT_TRUE(worker.ParseOptions(L""));
  worker.EnterSuiteMode();
  DWORD thrown = 0;
  try {
    worker.RunWizardHandshake();
  } catch (unsigned long code) {
    thrown = code;
  }
  EXPECT_EQ(13u, thrown);

  CTestWorker withGroup;
  ASSERT_TRUE(withGroup.ParseOptions(L""));
  withGroup.EnterSuiteMode();
  withGroup.AddDefaultGroup();
  EXPECT_FALSE(withGroup.RunWizardHandshake());
}

TEST_F(CWorkerTest, CompatibilityModeCheck) {
  std::wstring program = ModulePath();
  auto setLayer = [&]() {
    CRegistryKey key;
    key.Open(HKEY_CURRENT_USER, kLayersKey, KEY_ALL_ACCESS, true);
    key.SetValueSZ(program, L"WINXPSP3");
  };
  auto hasLayer = [&]() {
    try {
      CRegistryKey key;
      key.Open(HKEY_CURRENT_USER, kLayersKey, KEY_READ, false);
      return !key.GetValueSZ(program).empty();
    } catch (const CError&) {
      return false;
    }
  };
  struct Case {
    const wchar_t* commandLine;
    int answer;
    int result;
    int boxes;
    bool layerKept;
  };
  const Case kCases[] = {
      {L"/qn", IDYES, 0, 0, true},
      {L"/qn+", IDYES, 0, 0, true},
      {L"/qb", IDNO, 0, 1, true},
      {L"/qb", IDYES, 1, 1, false},
  };
  for (const Case& c : kCases) {
    setLayer();
    g_box = CBox();
    g_box.answer = c.answer;
    CTestWorker worker;
    ASSERT_TRUE(worker.ParseOptions(c.commandLine));
    EXPECT_EQ(c.result, worker.CheckAppCompatMode()) << WideToUtf8(c.commandLine);
    EXPECT_EQ(c.boxes, g_box.count) << WideToUtf8(c.commandLine);
    EXPECT_EQ(c.layerKept, hasLayer()) << WideToUtf8(c.commandLine);
  }
  CRegistryKey key;
  key.Open(HKEY_CURRENT_USER, kLayersKey, KEY_ALL_ACCESS, false);
  key.DeleteValue(program);
  // No value at all: nothing to ask.
  CTestWorker worker;
  ASSERT_TRUE(worker.ParseOptions(L"/qb"));
  g_box = CBox();
  EXPECT_EQ(0, worker.CheckAppCompatMode());
  EXPECT_EQ(0, g_box.count);
}

namespace {

std::vector<int> g_filesInUseAnswers;
int g_filesInUseAsked = 0;

int FakeFilesInUse(HWND, const std::wstring&, const CSetupState*) {
  int answer = g_filesInUseAsked < static_cast<int>(g_filesInUseAnswers.size())
                   ? g_filesInUseAnswers[g_filesInUseAsked] : IDIGNORE;
  ++g_filesInUseAsked;
  return answer;
}

struct FilesInUseCase {
  const char* name;
  std::vector<int> answers;
  int asked;
  DWORD thrown;  // 0: none
};

}  // namespace

// The question is asked while an application of the list is open: Ignore
// goes on untouched, OK closes and asks again when one stayed open, Cancel
// ends with 1223 and starts no wizard to cancel.
TEST_F(CWorkerTest, FilesInUseAnswers) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;  // nobody reads its messages: it stays open
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TamsaBusyWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, L"TamsaBusyWindow", L"Busy", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  SetFilesInUseImplementation(FakeFilesInUse);
  const FilesInUseCase kCases[] = {
      {"ignore", {IDIGNORE}, 1, 0},
      {"ok, then ignore", {IDOK, IDIGNORE}, 2, 0},
      {"cancel", {IDCANCEL}, 1, ERROR_CANCELLED},
      {"ok, then cancel", {IDOK, IDCANCEL}, 2, ERROR_CANCELLED},
      // A question nobody saw closes nothing (closing would have failed
      // and asked again).
      {"could not open", {-1}, 1, 0},
  };
  for (const FilesInUseCase& c : kCases) {
    g_filesInUseAnswers = c.answers;
    g_filesInUseAsked = 0;
    CTestWorker worker;
    ASSERT_TRUE(worker.ParseOptions(L"/qb")) << c.name;
    worker.AddShutdownAction(L"TamsaBusyWindow");
    DWORD thrown = 0;
    try {
      worker.ExecuteShutdownActions();
    } catch (unsigned long value) {
      thrown = value;
    }
    EXPECT_EQ(c.thrown, thrown) << c.name;
    EXPECT_EQ(c.asked, g_filesInUseAsked) << c.name;
    EXPECT_FALSE(worker.InterfaceStarted()) << c.name;
  }
  // A quiet run never asks.
  g_filesInUseAsked = 0;
  CTestWorker quiet;
  ASSERT_TRUE(quiet.ParseOptions(L"/qn"));
  quiet.AddShutdownAction(L"TamsaBusyWindow");
  quiet.ExecuteShutdownActions();
  EXPECT_EQ(0, g_filesInUseAsked);
  SetFilesInUseImplementation(nullptr);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  DestroyWindow(window);
  UnregisterClassW(L"TamsaBusyWindow", windowClass.hInstance);
}

// Escape or closing a Yes/No box answers Cancel (2): only Yes may go on,
// with the removal of the suite (whose Enter answers No) as with the search
// for updates.
TEST_F(CWorkerTest, YesNoQuestionsGoOnOnlyOnYes) {
  for (int answer : {IDNO, IDCANCEL, IDOK}) {
    g_box = CBox();
    g_box.answer = answer;
    CTestWorker remover;
    ASSERT_TRUE(remover.ParseOptions(L"/qb /x suite.msi"));
    remover.EnterSuiteMode();
    EXPECT_FALSE(remover.RunWizardHandshake()) << answer;
    EXPECT_EQ(1, g_box.count) << answer;
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2), g_box.style & 0xFFF) << answer;

    g_box = CBox();
    g_box.answer = answer;
    CTestWorker updater;
    ASSERT_TRUE(updater.ParseOptions(L""));
    updater.AskForOnlineUpdates();
    updater.TestConnection();
    EXPECT_FALSE(updater.OnlineUpdatesAllowed()) << answer;
    EXPECT_EQ(1, g_box.count) << answer;
  }
}

namespace {

const wchar_t* g_languageAnswer = nullptr;  // null: the dialog failed
std::wstring g_languageOffered;

bool FakeLanguageDialog(const std::vector<std::wstring>*, std::wstring* selected, HWND) {
  g_languageOffered = *selected;
  if (!g_languageAnswer) return false;
  *selected = g_languageAnswer;
  return true;
}

}  // namespace

// The language question's three outcomes: a chosen language becomes the
// install language, a cancel ends the run quietly, a failed dialog aborts
// with 13. A quiet run is never asked.
TEST_F(CWorkerTest, LanguageDialogAnswers) {
  SetLanguageDialogImplementation(FakeLanguageDialog);
  const struct {
    const char* name;
    const wchar_t* options;
    const wchar_t* answer;
    bool goesOn;
    DWORD thrown;
    const wchar_t* language;
  } kCases[] = {
      {"chosen", L"/qb", L"DEU", true, 0, L"DEU"},
      {"cancelled", L"/qb", L"", false, 0, L""},
      {"failed", L"/qb", nullptr, false, ERROR_INVALID_DATA, L"FRA"},
      {"quiet", L"/qb-", nullptr, true, 0, L"FRA"},
  };
  for (const auto& c : kCases) {
    g_languageAnswer = c.answer;
    g_languageOffered.clear();
    CTestWorker worker;
    ASSERT_TRUE(worker.ParseOptions(c.options)) << c.name;
    worker.AllowLanguageDialog(L"FRA");
    bool goesOn = false;
    DWORD thrown = 0;
    try {
      goesOn = worker.ChooseInstallLanguage();
    } catch (unsigned long value) {
      thrown = value;
    }
    EXPECT_EQ(c.goesOn, goesOn) << c.name;
    EXPECT_EQ(c.thrown, thrown) << c.name;
    EXPECT_EQ(c.language, worker.InstallLanguageCode()) << c.name;
    EXPECT_EQ(std::wstring(c.options) == L"/qb" ? L"FRA" : L"", g_languageOffered) << c.name;
  }
  SetLanguageDialogImplementation(nullptr);
}
