// exit_restart_test.cpp: the finish page's restart request through its
// replaceable call: what a request and a failure leave in the state.
#include "wizard/exit_restart.h"

#include <windows.h>

#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "gtest/gtest.h"

namespace {

int g_requests = 0;

BOOL AcceptRestart() {
  ++g_requests;
  return TRUE;
}

BOOL RefuseRestart() {
  ++g_requests;
  SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return FALSE;
}

}  // namespace

TEST(CExitRestartTest, RequestOrFailureDecidesTheApprovalAndTheBox) {
  struct Case {
    ExitRestartFunction restart;
    bool requested;
    LONG approvedAfter;
    size_t boxes;
  };
  const Case kCases[] = {
      {AcceptRestart, true, 1, 0},
      // A failed restart is shown, and the run no longer waits for it.
      {RefuseRestart, false, 0, 1},
  };
  for (const Case& c : kCases) {
    g_requests = 0;
    CSetupState state;
    state.m_rebootPending = 1;
    state.m_rebootApproved = 1;
    std::vector<std::wstring> shown;
    CExitRestart restart(c.restart, [&shown](const std::wstring& text) { shown.push_back(text); });
    EXPECT_EQ(c.requested, restart.Run(&state));
    EXPECT_EQ(1, g_requests);
    EXPECT_EQ(c.approvedAfter, state.m_rebootApproved.load());
    ASSERT_EQ(c.boxes, shown.size());
    if (!shown.empty()) {
      EXPECT_EQ(L"The Setup program was unable to automatically restart Windows\u2122. Please restart Windows\u2122 to "
                L"complete the installation.",
                shown[0]);
    }
  }
}

// The replacement set for the process is what a page without its own call
// uses; null brings the system's back.
TEST(CExitRestartTest, ProcessWideReplacementIsTaken) {
  g_requests = 0;
  SetExitRestartImplementation(AcceptRestart);
  CSetupState state;
  EXPECT_TRUE(CExitRestart(nullptr, nullptr).Run(&state));
  EXPECT_EQ(1, g_requests);
  SetExitRestartImplementation(nullptr);
}
