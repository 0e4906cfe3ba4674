// setup_sheet_sequence.cpp: the sheet takes the page sequence of the run
// (configured or built in) and adds its pages in order.
#include "wizard/setup_sheet.h"

#include "engine/setup_state.h"
#include "wizard/product_information_dlg.h"
#include "wizard/ui_sequence_choice.h"
#include "wizard/wiz_prop_page.h"

void CSetupSheet::LoadUiSequence() {
  CSetupState* state = GetState();
  if (!state) return;
  CUiSequenceFacts facts;
  facts.uiLevel = GetUiLevel();
  facts.maintenance = state->m_maintenanceMode != 0;
  facts.setupType = state->m_setupType;
  facts.configurationPath = state->m_configurationPath;
  facts.eulaAccepted = state->m_eulaAccepted != 0;
  facts.toolbarOffer = state->m_toolbarOffer != 0;
  facts.browserOffer = state->m_browserOffer != 0;
  facts.productInformationHasContent = [this]() {
    auto* page = dynamic_cast<CProductInformationDlg*>(GetPageByKind(kPageProductInformation));
    return page && page->HasContent(*this);
  };

  for (const CIniPage& chosen : CUiSequenceChoice(facts).Choose(&Properties())) {
    CWizPropPage* page = GetPageByName(chosen.GetName());
    if (!page) continue;
    CWizPageSettings settings;
    settings.name = chosen.GetName();
    settings.next = chosen.GetNext();
    settings.disableBack = chosen.IsBackDisabled();
    settings.disableNext = chosen.IsNextDisabled();
    settings.enableView = chosen.IsViewEnabled();
    settings.displayCondition = chosen.GetDisplayCondition();
    page->SetSettings(settings);
    AddWizardPage(page);
  }
}
