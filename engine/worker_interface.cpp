// worker_interface.cpp: the interface thread, which runs the wizard while
// the worker waits for it to start the installation.
#include "engine/worker.h"

#include <windows.h>

#include "engine/install_group_info_map.h"
#include "engine/setup_wizard_entry.h"
#include "foundation/setup_log.h"

// The wizard needs the suite's own group for its texts and folders.
DWORD CWorker::RunInterface() {
  CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!group) {
    WriteLog(L"Default group information not found in RunInterface");
    return ERROR_INVALID_DATA;
  }
  CSetupWizardContext context;
  context.state = m_state.get();
  context.defaultGroupInfo = group;
  context.commandOptions = m_options.get();
  context.host = m_host;
  context.finishAsksForRestart = FinishPageAsksForRestart();
  context.expandMacros = [this](const std::wstring& text) { return ExpandMacros(text); };
  return CallSetupWizardEntry(context);
}

// Whatever the wizard throws ends here: the worker sees the thread end and
// takes its result.
unsigned __stdcall InterfaceThreadProc(void* parameter) {
  CWorker* worker = static_cast<CWorker*>(parameter);
  if (!worker) return ERROR_INVALID_HANDLE;
  try {
    return worker->RunInterface();
  } catch (unsigned long code) {
    WriteLog(L"The user interface thread ended with error %d", code);
    return code ? code : ERROR_INSTALL_FAILURE;
  } catch (...) {
    WriteLog(L"Unknown exception thrown in the user interface thread");
    return ERROR_INSTALL_FAILURE;
  }
}
