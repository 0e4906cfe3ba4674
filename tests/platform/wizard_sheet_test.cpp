// wizard_sheet_test.cpp: the thin layer over comctl32's wizard sheet: a
// page refusing its activation is passed in the direction of travel, a
// page's "stay" keeps it, commands of the sheet's own buttons reach the
// active page, and the cancel query decides whether the sheet closes.
#include "platform/wizard_sheet.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>

#include "foundation/scoped_handle.h"
#include "platform/thread.h"
#include "platform/wizard_page.h"
#include "gtest/gtest.h"

namespace {

const UINT kPageTemplate = 60010;  // tests/foundation/language_strings.rc
const int kExtraButton = 777;

class CRecordingPage : public CWizardPage {
 public:
  explicit CRecordingPage(bool shown) : CWizardPage(kPageTemplate), m_shown(shown) {}

  std::atomic<int> m_activations{0};
  std::atomic<int> m_lastCommand{0};
  std::atomic<bool> m_stayOnNext{false};
  std::atomic<bool> m_allowCancel{false};

 protected:
  bool OnSetActive() override {
    ++m_activations;
    return m_shown;
  }
  LRESULT OnWizardNext() override { return m_stayOnNext ? -1 : 0; }
  bool OnQueryCancel() override { return m_allowCancel; }
  bool OnCommand(int id, int) override {
    m_lastCommand = id;
    return true;
  }

 private:
  bool m_shown;
};

class CButtonSheet : public CWizardSheet {
 protected:
  void OnInitialized() override {
    CreateWindowExW(0, L"BUTTON", L"Extra", WS_CHILD | WS_VISIBLE, 0, 0, 60, 20, GetSafeHwnd(),
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kExtraButton)), nullptr, nullptr);
  }
};

struct CSheetRun {
  CButtonSheet sheet;
  CRecordingPage first{true};
  CRecordingPage hidden{false};
  CRecordingPage last{true};
  INT_PTR result = 0;
};

unsigned __stdcall RunSheet(void* parameter) {
  CSheetRun* run = static_cast<CSheetRun*>(parameter);
  run->result = run->sheet.DoModal(nullptr);
  return 0;
}

struct CMirrorRun {
  CWizardSheet sheet;
  CRecordingPage page{true};
  INT_PTR result = 0;
};

unsigned __stdcall RunMirror(void* parameter) {
  CMirrorRun* run = static_cast<CMirrorRun*>(parameter);
  run->result = run->sheet.DoModal(nullptr);
  return 0;
}

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 300 && !condition(); ++i) Sleep(50);
  return condition();
}

}  // namespace

TEST(CWizardSheetTest, SkipsRefusedPagesForwardsCommandsAndAsksBeforeClosing) {
  CSheetRun run;
  run.sheet.SetTitle(L"Layer Test Sheet");
  run.sheet.AddPage(&run.first);
  run.sheet.AddPage(&run.hidden);
  run.sheet.AddPage(&run.last);
  run.sheet.AddPage(nullptr);
  run.sheet.ForwardCommand(kExtraButton);
  ASSERT_EQ(3u, run.sheet.GetPageCount());
  DWORD error = 0;
  CScopedHandle thread(StartThread(RunSheet, &run, &error));
  ASSERT_TRUE(thread.IsValid());
  ASSERT_TRUE(WaitFor([&] { return run.sheet.GetSafeHwnd() && run.first.GetSafeHwnd(); }));
  HWND sheet = run.sheet.GetSafeHwnd();
  EXPECT_TRUE(WaitFor([&] { return run.sheet.GetActiveIndex() == 0; }));

  run.first.m_stayOnNext = true;
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kNext);
  Sleep(300);
  EXPECT_EQ(0, run.sheet.GetActiveIndex());
  run.first.m_stayOnNext = false;
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kNext);
  EXPECT_TRUE(WaitFor([&] { return run.sheet.GetActiveIndex() == 2; }));
  EXPECT_EQ(1, run.hidden.m_activations);
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kBack);
  EXPECT_TRUE(WaitFor([&] { return run.sheet.GetActiveIndex() == 0; }));
  EXPECT_EQ(2, run.hidden.m_activations);

  SendMessageW(GetDlgItem(sheet, kExtraButton), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return run.first.m_lastCommand == kExtraButton; }));
  EXPECT_EQ(0, run.last.m_lastCommand);

  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kCancel);
  Sleep(300);
  EXPECT_TRUE(IsWindow(sheet));
  run.first.m_allowCancel = true;
  CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kCancel);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  EXPECT_EQ(0, run.result);
  EXPECT_EQ(nullptr, run.sheet.GetSafeHwnd());
}

// A language written right to left lays its page templates out mirrored
// (tests/foundation/language_strings.rc: 60013 in Arabic): the sheet follows
// its first page, so its buttons and title bar read right to left too.
TEST(CWizardSheetTest, MirrorsTheSheetWhenItsPagesAreRightToLeft) {
  struct Case {
    LANGID language;
    bool mirrored;
  };
  const Case kCases[] = {
      {MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA), true},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), false},
  };
  for (const Case& c : kCases) {
    CMirrorRun run;
    run.page.SetTemplateId(60013);
    run.sheet.SetLanguage(c.language);
    run.sheet.SetTitle(L"Mirror Test Sheet");
    run.sheet.AddPage(&run.page);
    DWORD error = 0;
    CScopedHandle thread(StartThread(RunMirror, &run, &error));
    ASSERT_TRUE(thread.IsValid());
    ASSERT_TRUE(WaitFor([&] { return run.sheet.GetSafeHwnd() && run.page.GetSafeHwnd(); }));
    HWND sheet = run.sheet.GetSafeHwnd();
    EXPECT_EQ(c.mirrored, (GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0) << c.language;
    EXPECT_EQ(c.mirrored, (GetWindowLongPtrW(run.page.GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0);
    run.page.m_allowCancel = true;
    CWizardSheet::PressButtonFromOtherThread(sheet, CWizardSheet::kCancel);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  }
}
