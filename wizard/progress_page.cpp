// progress_page.cpp: publishes the page's progress display and tells the
// worker that the installation may start.
#include "wizard/progress_page.h"

#include "engine/setup_globals.h"
#include "engine/setup_state.h"
#include "resources/resource_ids.h"

CProgressPage::CProgressPage()
    : CTextPage(IDD_WIZ_PROGRESS, IDC_PROGRESS_TITLE, {IDC_PROGRESS_SUBTITLE, IDC_PROGRESS_DESCRIPTION}) {}

BOOL CProgressPage::OnInitDialog() {
  CTextPage::OnInitDialog();
  g_progressWindows.overallBar = GetDlgItem(IDC_PROGRESS_MAIN_BAR);
  g_progressWindows.statusLine = GetDlgItem(IDC_PROGRESS_STATUS);
  return TRUE;
}

bool CProgressPage::OnSetActive() {
  if (!CWizPropPage::OnSetActive()) return false;
  if (CSetupState* state = GetState()) state->Signal(ProgressStartedEvent);
  return true;
}
