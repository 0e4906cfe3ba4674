// setup_state_test.cpp: the shared state's events, defaults and name fields.
#include "engine/setup_state.h"

#include <windows.h>

#include <set>

#include "gtest/gtest.h"

TEST(CSetupStateTest, NineManualResetEventsStartUnsignalled) {
  CSetupState state;
  EXPECT_EQ(nullptr, state.GetEvent(0));
  EXPECT_EQ(nullptr, state.GetEvent(9));
  std::set<HANDLE> distinct;
  for (int i = 1; i < CSetupState::kEventCount; ++i) {
    HANDLE event = state.GetEvent(i);
    ASSERT_NE(nullptr, event) << i;
    distinct.insert(event);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(event, 0)) << i;
    SetEvent(event);
    // Manual reset: a wait does not consume the signal.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0)) << i;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0)) << i;
  }
  EXPECT_EQ(8u, distinct.size());
}

TEST(CSetupStateTest, SignalResetsThenSetsAndPulseLeavesNothingBehind) {
  CSetupState state;
  state.Signal(CancelRequestEvent);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(state.GetEvent(CancelRequestEvent), 0));
  state.Signal(CancelRequestEvent);  // already set: still set afterwards
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(state.GetEvent(CancelRequestEvent), 0));
  state.Pulse(InstallProgressEvent);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(state.GetEvent(InstallProgressEvent), 0));
}

TEST(CSetupStateTest, DefaultsAndEmptyNames) {
  CSetupState state;
  EXPECT_EQ(SetupTypeComplete, state.m_setupType);
  EXPECT_EQ(0, state.m_rebootPending);
  EXPECT_EQ(1, state.m_rebootApproved);
  EXPECT_EQ(0, state.m_maintenanceMode);
  EXPECT_EQ(L"", state.GetShortProductName());
  state.SetShortProductName(L"Suite");
  EXPECT_EQ(L"Suite", state.GetShortProductName());
  state.SetShortProductName(L"");
  EXPECT_EQ(L"", state.GetShortProductName());
  state.SetProductName(nullptr);
  EXPECT_EQ(L"", state.GetProductName());
  state.SetUserName(L"Ann");
  state.SetCompanyName(L"@EMPTY");  // the marker itself reads as empty
  EXPECT_EQ(L"Ann", state.GetUserName());
  EXPECT_EQ(L"", state.GetCompanyName());
}
