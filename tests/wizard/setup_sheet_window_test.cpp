// setup_sheet_window_test.cpp: the real wizard sheet on a made-up run,
// driven from the test thread the way a user (and the worker) would: the
// first page's texts, the View button, Next and Back over a skipped page,
// and a confirmed cancel that ends on the user-exit page.
#include "wizard/setup_sheet.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/setup_globals.h"
#include "engine/setup_state.h"
#include "foundation/setup_language.h"
#include "platform/thread.h"
#include "platform/window_text.h"
#include "platform/wizard_sheet.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t kSheetTitle[] = L"Tamsa Office Setup";

// The suite's own sequence: the pages these tests walk, without the pages
// the built-in install sequence adds before Verify.
const char kSequenceDcf[] =
    "[Interface]\r\nSequences=Install\r\n"
    "[Interface.Install]\r\nPages=Welcome,Verify,Progress,UserExit,Finish\r\nStart=Welcome\r\n"
    "[Interface.Install.Welcome]\r\nNext=Verify\r\nDisableBack=1\r\nDisableNext=0\r\nDisplayCondition=\r\n"
    "[Interface.Install.Verify]\r\nNext=Progress\r\nDisableBack=0\r\nDisableNext=0\r\nDisplayCondition=\r\n"
    "[Interface.Install.Progress]\r\nNext=UserExit\r\nDisableBack=1\r\nDisableNext=1\r\nDisplayCondition=\r\n"
    "[Interface.Install.UserExit]\r\nNext=Finish\r\nDisableBack=1\r\nDisableNext=1\r\n"
    "DisplayCondition=UserCanceled, FailedInstall\r\n"
    "[Interface.Install.Finish]\r\nNext=0\r\nDisableBack=1\r\nDisableNext=1\r\nDisplayCondition=\r\n";

struct CWizardRun {
  CTestFolder folder;
  CSetupState state;
  CSetupWizardContext context;
  DWORD result = 0xFFFFFFFF;
};

unsigned __stdcall WizardThread(void* parameter) {
  CWizardRun* run = static_cast<CWizardRun*>(parameter);
  run->result = RunSetupWizard(run->context);
  return 0;
}

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 15000) {
  for (DWORD waited = 0; waited < milliseconds; waited += 50) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

std::wstring ItemText(HWND window, int id) { return GetWindowTextString(GetDlgItem(window, id)); }

// The page whose control `id` reads `text`.
bool PageShows(HWND sheet, int id, const std::wstring& text) {
  return WaitFor([&] { return ItemText(CurrentPage(sheet), id) == text; });
}

struct CFoundDialog {
  DWORD thread;
  HWND dialog;
};

BOOL CALLBACK FindCancelQuestion(HWND window, LPARAM parameter) {
  CFoundDialog* found = reinterpret_cast<CFoundDialog*>(parameter);
  if (GetWindowThreadProcessId(window, nullptr) != found->thread) return TRUE;
  if (!GetDlgItem(window, 11017)) return TRUE;
  found->dialog = window;
  return FALSE;
}

}  // namespace

HWND StartWizard(CWizardRun* run, CScopedHandle* thread, const wchar_t* title = kSheetTitle) {
  run->state.SetProductName(L"Tamsa Office");
  // As the worker's construction leaves it: a cancel is allowed.
  run->state.m_cancelAllowed = 1;
  run->state.m_configurationPath = run->folder.File(L"SETUP.DCF");
  WriteFileBytes(run->state.m_configurationPath, kSequenceDcf);
  run->context.state = &run->state;
  DWORD error = 0;
  thread->Reset(StartThread(WizardThread, run, &error));
  if (!thread->IsValid()) return nullptr;
  HWND sheet = nullptr;
  WaitFor([&] { return (sheet = FindWindowW(nullptr, title)) != nullptr; });
  return sheet;
}

TEST(CSetupSheetWindowTest, WalksTheFirstPagesAndEndsOnUserExitAfterACancel) {
  CWizardRun run;
  CScopedHandle thread;
  HWND sheet = StartWizard(&run, &thread);
  ASSERT_NE(nullptr, sheet) << "no window titled Tamsa Office Setup";
  EXPECT_TRUE(PageShows(sheet, 11001, L"Welcome to the Setup Wizard for Tamsa Office"));
  EXPECT_EQ(L"The Wizard will install Tamsa Office on your computer. This may take several minutes.\n\n"
            L"Click Next to continue or Cancel to exit the Wizard.",
            ItemText(CurrentPage(sheet), 11003));
  HWND view = GetDlgItem(sheet, 60000);
  ASSERT_NE(nullptr, view);
  EXPECT_EQ(L"&View...", GetWindowTextString(view));
  EXPECT_FALSE(IsWindowEnabled(view));
  // Welcome offers Next only; Back is withdrawn.
  EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(GetDlgItem(sheet, 12323)); }));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(sheet, 12324)));

  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kNext);
  EXPECT_TRUE(PageShows(sheet, 11041, L"Ready to Install"));
  EXPECT_EQ(kSheetTitle, GetWindowTextString(sheet));
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kNext);
  EXPECT_TRUE(PageShows(sheet, 11036, L"Installing Tamsa Office"));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(run.state.GetEvent(ProgressStartedEvent), 5000));
  // UserExit's condition is false: Next passes it on the way to Finish,
  // and Back passes it on the way back.
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kNext);
  EXPECT_TRUE(PageShows(sheet, 11013, L"Setup Wizard Completed"));
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kBack);
  EXPECT_TRUE(PageShows(sheet, 11036, L"Installing Tamsa Office"));

  // A confirmed cancel on the progress page tells the worker; the run's
  // end then leads to the user-exit page.
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kCancel);
  CFoundDialog question = {GetThreadId(thread.Get()), nullptr};
  ASSERT_TRUE(WaitFor([&] {
    EnumWindows(FindCancelQuestion, reinterpret_cast<LPARAM>(&question));
    return question.dialog != nullptr;
  }));
  EXPECT_EQ(L"Are you sure you want to cancel Tamsa Office installation?", ItemText(question.dialog, 11017));
  EXPECT_EQ(L"&Yes", ItemText(question.dialog, IDYES));
  PostMessageW(question.dialog, WM_COMMAND, IDYES, 0);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(run.state.GetEvent(CancelRequestEvent), 5000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(run.state.GetEvent(CancelConfirmedEvent), 5000));
  SetEvent(run.state.GetEvent(FinishEvent));
  EXPECT_TRUE(PageShows(sheet, 11061, L"Tamsa Office Wizard was interrupted"));
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(sheet, 12325)) != FALSE; }));

  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kFinish);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), run.result);
  EXPECT_EQ(nullptr, FindWindowW(nullptr, kSheetTitle));
}

// The wizard closed before the installation started (here through a
// Finish that Wine presses even on the first page): the worker, waiting
// for a start or a cancel, is told that the run is cancelled.
TEST(CSetupSheetWindowTest, ASheetEndedBeforeTheInstallationCancelsTheRun) {
  CWizardRun run;
  CScopedHandle thread;
  HWND sheet = StartWizard(&run, &thread);
  ASSERT_NE(nullptr, sheet);
  ASSERT_TRUE(PageShows(sheet, 11001, L"Welcome to the Setup Wizard for Tamsa Office"));
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kFinish);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), run.result);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(run.state.GetEvent(CancelRequestEvent), 0));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(run.state.GetEvent(ProgressStartedEvent), 0));
}

// The run's interface language names the pages and strings (Wine ignores
// the thread's language for resources); a language the program lacks
// gets the English ones.
TEST(CSetupSheetWindowTest, PagesAndTitleComeInTheInterfaceLanguage) {
  struct Case {
    LANGID language;
    const wchar_t* title;
    const wchar_t* welcome;
  };
  const Case kCases[] = {
      // tests/wizard/wizard_languages.rc
      {MAKELANGID(LANG_ICELANDIC, SUBLANG_DEFAULT), L"Tamsa Office Uppsetning",
       L"Velkomin \u00ed Uppsetningarlei\u00f0arv\u00edsir fyrir Tamsa Office"},
      {MAKELANGID(LANG_SWAHILI, SUBLANG_DEFAULT), kSheetTitle, L"Welcome to the Setup Wizard for Tamsa Office"},
  };
  for (const Case& c : kCases) {
    g_uiLanguageId = c.language;
    CWizardRun run;
    CScopedHandle thread;
    HWND sheet = StartWizard(&run, &thread, c.title);
    EXPECT_NE(nullptr, sheet) << c.title;
    if (sheet) {
      EXPECT_TRUE(PageShows(sheet, 11001, c.welcome)) << c.language;
      CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kFinish);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  }
  g_uiLanguageId = 0;
  SetThreadUILanguageEx(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
}

namespace {

struct CSheetOnly {
  CSetupState state;
  std::unique_ptr<CSetupSheet> sheet;
};

unsigned __stdcall RunSheetOnly(void* parameter) {
  static_cast<CSheetOnly*>(parameter)->sheet->DoModal(nullptr);
  return 0;
}

}  // namespace

// A sequence without the user-exit page: a confirmed cancel closes the
// sheet rather than leaving the user on a page with no way out.
TEST(CSetupSheetWindowTest, ConfirmedCancelClosesASequenceWithoutUserExit) {
  CSheetOnly run;
  run.state.SetProductName(L"Tamsa Office");
  CSetupWizardContext context;
  context.state = &run.state;
  run.sheet.reset(new CSetupSheet(context));
  for (int kind : {kPageWelcome, kPageVerify, kPageFinish}) {
    run.sheet->AddWizardPage(run.sheet->GetPageByKind(kind));
  }
  DWORD error = 0;
  CScopedHandle thread(StartThread(RunSheetOnly, &run, &error));
  HWND sheet = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (sheet = FindWindowW(nullptr, kSheetTitle)) != nullptr; }));
  ASSERT_TRUE(PageShows(sheet, 11001, L"Welcome to the Setup Wizard for Tamsa Office"));
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kCancel);
  CFoundDialog question = {GetThreadId(thread.Get()), nullptr};
  ASSERT_TRUE(WaitFor([&] {
    EnumWindows(FindCancelQuestion, reinterpret_cast<LPARAM>(&question));
    return question.dialog != nullptr;
  }));
  PostMessageW(question.dialog, WM_COMMAND, IDYES, 0);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(run.state.GetEvent(CancelRequestEvent), 0));
  EXPECT_EQ(L"true", run.sheet->GetProperty(L"FailedInstall"));
}
