// measure_route_test.cpp: a dialog answers WM_MEASUREITEM that its template's
// owner-drawn list box sends before WM_INITDIALOG.
#include <windows.h>

#include "gtest/gtest.h"
#include "platform/modal_dialog.h"

namespace {

const UINT kDialog = 31001;
const int kList = 31002;
const UINT kHeight = 37;

class CMeasuringDialog : public CModalDialog {
 public:
  CMeasuringDialog() : CModalDialog(kDialog, nullptr) {}
  bool measuredBeforeInit = false;
  bool initialised = false;
  LRESULT heightSeen = 0;

 protected:
  BOOL OnInitDialog() override {
    initialised = true;
    heightSeen = SendMessageW(GetDlgItem(kList), LB_GETITEMHEIGHT, 0, 0);
    EndDialog(IDOK);
    return TRUE;
  }
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
    if (message != WM_MEASUREITEM) return CModalDialog::OnMessage(message, wParam, lParam, result);
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (!initialised) measuredBeforeInit = true;
    measure->itemHeight = kHeight;
    *result = TRUE;
    return true;
  }
};

}  // namespace

TEST(CModalDialogTest, MeasureItemBeforeInitDialogReachesTheDialog) {
  CMeasuringDialog dialog;
  ASSERT_EQ(IDOK, dialog.DoModal());
  EXPECT_TRUE(dialog.measuredBeforeInit);
  EXPECT_EQ(static_cast<LRESULT>(kHeight), dialog.heightSeen);
}
