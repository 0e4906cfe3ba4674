#pragma once
// setup_wizard_entry.h: how the interface thread reaches the wizard. The
// wizard lives in a layer above the engine and installs its entry here at
// start-up; until then the thread has no wizard to run.
#include <windows.h>

class CSetupState;

using SetupWizardEntry = DWORD (*)(CSetupState* state);

// Null restores the entry that runs no wizard.
void SetSetupWizardEntry(SetupWizardEntry entry);

// Runs the wizard on the calling thread over the run's shared state and
// returns its result.
DWORD RunSetupWizard(CSetupState* state);
