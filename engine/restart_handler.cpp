// restart_handler.cpp: the restart prompt, the restart thread and the
// statuses with which a run ends for a restart.
#include "engine/restart_handler.h"

#include <windows.h>

#include <string>

#include "actions/command_options.h"
#include "engine/message_box.h"
#include "engine/setup_host.h"
#include "engine/setup_state.h"
#include "foundation/reboot_support.h"
#include "foundation/resource_strings.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "platform/thread.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const unsigned long kRestartDuringPreparation = 0x70669;
// The thread returns right after ExitWindowsEx; this only bounds a hang.
const DWORD kRebootThreadWaitMilliseconds = 30000;
const wchar_t kProductNameToken[] = L"_PRODUCT_NAME_";

BOOL SystemRestart() { return ExitWindowsEx(EWX_REBOOT, 0); }

// The engine's one box function, without owner: unattended runs answer it.
int EnginePrompt(const std::wstring& text, const std::wstring& caption, UINT style) {
  return ShowMessageBox(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace

CRestartHandler::CRestartHandler(RestartFunction restart, PromptFunction prompt)
    : m_restart(restart ? restart : SystemRestart), m_prompt(prompt ? prompt : EnginePrompt) {}

bool CRestartHandler::FinishPageAsks(int rebootOption, bool returnRebootRequest, int uiLevel) {
  if (rebootOption == CCommandOptions::kRebootSuppress || rebootOption == CCommandOptions::kRebootReallySuppress) {
    return false;
  }
  return !returnRebootRequest && uiLevel < CCommandOptions::kUILevelBasicNoDialogs;
}

bool CRestartHandler::IsQuietLevel(int uiLevel) {
  return uiLevel == CCommandOptions::kUILevelBasic || uiLevel == CCommandOptions::kUILevelBasicNoDialogs ||
         uiLevel == CCommandOptions::kUILevelBasicNoCancel || uiLevel == CCommandOptions::kUILevelNone;
}

bool CRestartHandler::PreparationRestartEndsRun(int rebootOption, int uiLevel) {
  return !IsQuietLevel(uiLevel) || rebootOption == CCommandOptions::kRebootNotGiven;
}

void CRestartHandler::HandleRebootDuringPreparation(int rebootOption, int uiLevel) {
  WriteLog(L"Reboot signalled during setup preparation");
  if (!PreparationRestartEndsRun(rebootOption, uiLevel)) return;
  if (!IsQuietLevel(uiLevel)) {
    WriteLog(L"Exiting due to reboot during setup preparation");
  } else {
    WriteLog(L"Initiating a reboot, so the Windows Installer will be functional");
    StartRebootThreadAndWait();
  }
  throw kRestartDuringPreparation;
}

void CRestartHandler::InitiateReboot(CSetupState* state, int rebootOption, int uiLevel, ISetupHost* host) {
  if (rebootOption == CCommandOptions::kRebootSuppress ||
      rebootOption == CCommandOptions::kRebootReallySuppress) {
    return;
  }
  WriteLog(L"Initiating reboot so the product will be functional");
  if (IsQuietLevel(uiLevel)) {
    WriteLog(L"Skipping reboot prompt for silent install");
  } else {
    if (host) host->ShowHostWindow(false);
    WriteLog(L"Prompting for reboot");
    std::wstring text = ReplaceAll(LoadResourceString(IDS_RESTART_PROMPT), kProductNameToken,
                                   state ? state->GetShortProductName() : std::wstring());
    WriteLog(L"Displaying reboot prompt in InitiateReboot");
    int answer = m_prompt(text, LoadResourceString(IDS_WARNING_CAPTION),
                          MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST);
    if (answer != IDYES) {
      WriteLog(L"Setting reboot approved flag to FALSE in InitiateReboot");
      if (state) state->m_rebootApproved = 0;
      throw static_cast<long>(ERROR_INSTALL_USEREXIT);
    }
  }
  WriteLog(L"Rebooting computer from InitiateReboot");
  StartRebootThreadAndWait();
  throw static_cast<long>(ERROR_SUCCESS_REBOOT_INITIATED);
}

void CRestartHandler::StartRebootThreadAndWait() {
  DWORD error = ERROR_SUCCESS;
  CScopedHandle thread(StartThread(RebootThreadProc, this, &error));
  if (!thread.IsValid()) {
    WriteLog(L"Failed to start the reboot thread. Error code = %d", error);
    return;
  }
  WaitForSingleObject(thread.Get(), kRebootThreadWaitMilliseconds);
}

unsigned __stdcall CRestartHandler::RebootThreadProc(void* parameter) {
  try {
    CRestartHandler* handler = static_cast<CRestartHandler*>(parameter);
    EnableShutdownPrivilege();
    WriteLog(L"Initiating Reboot...");
    if (!handler->m_restart()) {
      DWORD error = GetLastError();
      WriteLog(L"ExitWindowsEx() failed with error code: %d", error);
    }
    WriteLog(L"Reboot initiated.");
  } catch (...) {
    // A thread procedure lets nothing escape; the run ends on its own path.
    WriteLog(L"Unknown exception thrown during reboot");
  }
  return 0;
}
