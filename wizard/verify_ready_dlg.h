#pragma once
// verify_ready_dlg.h: CVerifyReadyDlg, the last page before the installation
// runs: it names the action about to run and refuses to go on when the
// install folder's disk lacks the space.
#include <string>

#include "wizard/text_page.h"

class CVerifyReadyDlg : public CTextPage {
 public:
  CVerifyReadyDlg();

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  LRESULT OnWizardNext() override;
  LRESULT OnWizardBack() override;

 private:
  void ForceSelections(bool selected) const;
  void SetTexts();
  // False when the user must free space first.
  bool CheckDiskSpace();

  std::wstring m_titleText;
  std::wstring m_subtitleText;
  std::wstring m_bodyText;
};
