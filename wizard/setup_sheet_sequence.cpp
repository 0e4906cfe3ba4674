// setup_sheet_sequence.cpp: the page sequence the sheet shows.
#include "wizard/setup_sheet.h"

#include "wizard/wiz_prop_page.h"

// The built-in install sequence without its conditional pages, until the
// sequences of the configuration are read.
void CSetupSheet::LoadUiSequence() {
  struct CStep {
    int kind;
    const wchar_t* next;
    bool disableBack;
    bool disableNext;
    const wchar_t* displayCondition;
  };
  const CStep kSteps[] = {
      {kPageWelcome, L"", true, false, L""},
      {kPageVerify, L"", false, false, L""},
      {kPageProgress, L"", true, true, L""},
      {kPageUserExit, L"", true, true, L"UserCanceled, FailedInstall"},
      {kPageFinish, L"0", true, true, L""},
  };
  for (const CStep& step : kSteps) {
    CWizPropPage* page = GetPageByKind(step.kind);
    CWizPageSettings settings = page->GetSettings();
    settings.next = step.next;
    settings.disableBack = step.disableBack;
    settings.disableNext = step.disableNext;
    settings.displayCondition = step.displayCondition;
    page->SetSettings(settings);
    AddWizardPage(page);
  }
}
