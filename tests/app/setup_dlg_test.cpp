// setup_dlg_test.cpp: how the host dialog takes the worker's end of the run.
#include "app/setup_dlg.h"

#include <windows.h>

#include "gtest/gtest.h"

// The end message carries the full status and is queued before the finish
// event is set, so the end-session handler always finds it.
TEST(CSetupDlgTest, EndHostQueuesStatusThenSetsFinishEvent) {
  const DWORD kStatuses[] = {0, 13, 1603, 0x8004FFFF};
  for (DWORD status : kStatuses) {
    CSetupDlg dialog;
    MSG stale;
    while (PeekMessageW(&stale, nullptr, WM_ENDSETUPDIALOG, WM_ENDSETUPDIALOG, PM_REMOVE)) {
    }
    dialog.EndHost(status);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(dialog.GetFinishEvent(), 0));
    MSG message;
    // The dialog was never shown: a post to its null window lands in this
    // thread's queue.
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_ENDSETUPDIALOG, WM_ENDSETUPDIALOG, PM_REMOVE));
    EXPECT_EQ(status, static_cast<DWORD>(message.lParam));
    EXPECT_EQ(0u, message.wParam);
  }
}
