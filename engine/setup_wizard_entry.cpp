// setup_wizard_entry.cpp: the wizard's entry as the interface thread sees it.
#include "engine/setup_wizard_entry.h"

#include <atomic>

#include "foundation/setup_log.h"

namespace {

// A program that registers no wizard (the engine's own tests) ends the
// interface thread at once; the worker then ends the run as cancelled.
DWORD NoWizard(const CSetupWizardContext&) {
  WriteLog(L"No setup wizard is registered in this program");
  return ERROR_SUCCESS;
}

std::atomic<SetupWizardEntry> g_wizardEntry{NoWizard};

}  // namespace

void SetSetupWizardEntry(SetupWizardEntry entry) { g_wizardEntry = entry ? entry : NoWizard; }

DWORD CallSetupWizardEntry(const CSetupWizardContext& context) { return g_wizardEntry.load()(context); }
