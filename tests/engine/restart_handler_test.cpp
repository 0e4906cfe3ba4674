// restart_handler_test.cpp: the restart decisions by REBOOT option, UI level
// and the user's answer, with the restart and the prompt recorded, never
// carried out.
#include "engine/restart_handler.h"

#include <windows.h>

#include <string>

#include "engine/setup_state.h"
#include "foundation/setup_language.h"
#include "gtest/gtest.h"

namespace {

int g_restarts = 0;
int g_prompts = 0;
int g_answer = IDYES;
std::wstring g_promptText;
std::wstring g_promptCaption;
UINT g_promptStyle = 0;

BOOL RecordRestart() {
  ++g_restarts;
  return TRUE;
}

int RecordPrompt(const std::wstring& text, const std::wstring& caption, UINT style) {
  ++g_prompts;
  g_promptText = text;
  g_promptCaption = caption;
  g_promptStyle = style;
  return g_answer;
}

const long kReturned = -1;
const int kNone = 0, kForce = 1, kSuppress = 2, kReallySuppress = 3;
const int kFull = 1, kReduced = 2, kBasic = 4, kBasicNoDialogs = 5, kNoneWithEnd = 7, kQuiet = 8;

class CRestartHandlerTest : public testing::Test {
 protected:
  void SetUp() override {
    g_restarts = g_prompts = 0;
    g_answer = IDYES;
    // The texts asserted are the English ones, whatever language an
    // earlier test chose.
    SetThreadUILanguageEx(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  }
};

}  // namespace

TEST_F(CRestartHandlerTest, InitiateRebootByOptionLevelAndAnswer) {
  struct Case {
    int rebootOption;
    int uiLevel;
    int answer;
    long status;  // kReturned: no restart, the run goes on
    int prompts;
    int restarts;
    LONG approvedAfter;
  };
  const Case kCases[] = {
      {kNone, kQuiet, IDYES, 1641, 0, 1, 1},
      {kForce, kBasic, IDYES, 1641, 0, 1, 1},
      {kNone, kBasicNoDialogs, IDNO, 1641, 0, 1, 1},
      {kSuppress, kQuiet, IDYES, kReturned, 0, 0, 1},
      {kReallySuppress, kFull, IDYES, kReturned, 0, 0, 1},
      // /qn+, /qr and /qf ask first.
      {kNone, kNoneWithEnd, IDYES, 1641, 1, 1, 1},
      {kNone, kReduced, IDNO, 1602, 1, 0, 0},
      {kForce, kFull, IDNO, 1602, 1, 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "REBOOT " << c.rebootOption << ", level " << c.uiLevel);
    SetUp();
    g_answer = c.answer;
    CSetupState state;
    state.SetShortProductName(L"Tamsa Suite");
    CRestartHandler handler(RecordRestart, RecordPrompt);
    long status = kReturned;
    try {
      handler.InitiateReboot(&state, c.rebootOption, c.uiLevel, nullptr);
    } catch (long thrown) {
      status = thrown;
    }
    EXPECT_EQ(c.status, status);
    EXPECT_EQ(c.prompts, g_prompts);
    EXPECT_EQ(c.restarts, g_restarts);
    EXPECT_EQ(c.approvedAfter, state.m_rebootApproved.load());
  }
}

TEST_F(CRestartHandlerTest, PromptNamesTheProduct) {
  CSetupState state;
  state.SetShortProductName(L"Tamsa Suite");
  g_answer = IDNO;
  CRestartHandler handler(RecordRestart, RecordPrompt);
  EXPECT_THROW(handler.InitiateReboot(&state, kNone, kFull, nullptr), long);
  EXPECT_EQ(L"You must restart your system for the configuration changes made to Tamsa Suite to take "
            L"effect. Click Yes to restart now or No if you plan to manually restart later.",
            g_promptText);
  EXPECT_EQ(L"Warning", g_promptCaption);
  EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST), g_promptStyle);
}

TEST_F(CRestartHandlerTest, RestartDuringPreparationByOptionAndLevel) {
  struct Case {
    int rebootOption;
    int uiLevel;
    bool throws;
    int restarts;
  };
  const Case kCases[] = {
      {kNone, kReduced, true, 0},       // the restart is left to the user
      {kForce, kNoneWithEnd, true, 0},
      {kNone, kBasic, true, 1},
      {kNone, kQuiet, true, 1},
      {kForce, kQuiet, false, 0},       // any REBOOT option, Force too, goes on
      {kReallySuppress, kBasicNoDialogs, false, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "REBOOT " << c.rebootOption << ", level " << c.uiLevel);
    SetUp();
    CRestartHandler handler(RecordRestart, RecordPrompt);
    bool threw = false;
    try {
      handler.HandleRebootDuringPreparation(c.rebootOption, c.uiLevel);
    } catch (unsigned long status) {
      threw = true;
      EXPECT_EQ(0x70669UL, status);
    }
    EXPECT_EQ(c.throws, threw);
    EXPECT_EQ(c.restarts, g_restarts);
    EXPECT_EQ(0, g_prompts);
  }
}
