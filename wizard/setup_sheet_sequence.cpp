// setup_sheet_sequence.cpp: the sheet takes the page sequence of the run
// (configured or built in) and adds its pages in order.
#include "wizard/setup_sheet.h"

#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "wizard/ui_sequence_choice.h"
#include "wizard/wiz_prop_page.h"

namespace {

const wchar_t kProductInformationProperty[] = L"ProductInformation";

}  // namespace

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
  // The product information page shows the file its setup property names.
  facts.productInformationHasContent = [this, state]() {
    std::wstring file;
    if (!state->GetProperty(kProductInformationProperty, &file) || file.empty()) return false;
    return FileExists(ExpandMacros(file));
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
