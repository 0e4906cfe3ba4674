#pragma once
// setup_wizard_entry.h: how the interface thread reaches the wizard. The
// wizard lives in a layer above the engine and installs its entry here at
// start-up; until then the thread has no wizard to run.
#include <windows.h>

#include <functional>
#include <string>

class CCommandOptions;
class CInstallGroupInfo;
class CSetupState;
class ISetupHost;

// What the wizard gets from the run; everything stays the run's.
struct CSetupWizardContext {
  CSetupState* state = nullptr;
  // The install location page moves the suite's base folder.
  CInstallGroupInfo* defaultGroupInfo = nullptr;
  const CCommandOptions* commandOptions = nullptr;
  // The run's host, whose window the wizard stands for once it is shown;
  // null in a run without one.
  ISetupHost* host = nullptr;
  // The finish page may ask for a restart the run leaves pending; when it
  // may not, the end of the run settles the restart.
  bool finishAsksForRestart = false;
  // The run's {Name} macros expanded in a text; safe on any thread. Empty
  // when the run has none.
  std::function<std::wstring(const std::wstring& text)> expandMacros;
};

using SetupWizardEntry = DWORD (*)(const CSetupWizardContext& context);

// Null restores the entry that runs no wizard.
void SetSetupWizardEntry(SetupWizardEntry entry);

// Runs the wizard on the calling thread over the run's shared state and
// returns its result.
DWORD CallSetupWizardEntry(const CSetupWizardContext& context);
