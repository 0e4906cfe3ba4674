// setup_app.cpp: start-up: the log, the context block, the choice between
// the quiet inline path and the host dialog, and the exit code.
#include "app/setup_app.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "actions/msi_exec_runner.h"
#include "actions/windows_installer_command.h"
#include "app/setup_dlg.h"
#include "engine/files_in_use.h"
#include "engine/language_dialog.h"
#include "engine/message_box.h"
#include "engine/setup_aggregate.h"
#include "engine/setup_wizard_entry.h"
#include "engine/worker.h"
#include "foundation/caught_exception.h"
#include "foundation/file_utils.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/callback_boundary.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "wizard/files_in_use_dlg.h"
#include "wizard/message_box.h"
#include "wizard/select_lang_dlg.h"
#include "wizard/setup_sheet.h"

namespace {

const wchar_t kLicenseTemplate[] = L"bin\\license.{lang}";

// The host dialog's language: the user's, or the language of the licence
// texts the kit holds.
void InitDialogLanguage() {
  InitSetupLanguage();
  InitSetupLanguageFromFile(GetSetupLanguageId(), FolderOfPath(GetModuleFilePath()) + kLicenseTemplate);
  LANGID requested = GetRequestedLanguageId();
  SetThreadUILanguageEx(requested != 0 ? requested : GetSetupLanguageId());
}

}  // namespace

bool IsInlineRun(const std::wstring& commandLine) {
  std::wstring lower = ToLower(commandLine);
  bool quiet = lower.find(L"/q") != std::wstring::npos && lower.find(L"/qf") == std::wstring::npos &&
               lower.find(L"/qr") == std::wstring::npos && lower.find(L"/qb") == std::wstring::npos;
  return quiet || lower.find(L"/createlaunchpoint") != std::wstring::npos;
}

std::wstring GetInstallerVersion() {
  std::wstring path = GetModuleFilePath();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::wstring();
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::wstring();
  wchar_t* version = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                      reinterpret_cast<void**>(&version), &length) || !version) {
    return std::wstring();
  }
  return std::wstring(version, length > 0 ? length - 1 : 0);
}

BOOL CSetupApp::InitInstance() {
  SetAppName(LoadResourceString(IDS_APP_NAME));
  std::wstring commandLine = GetCommandLineW();
  InitializeLogging(commandLine);
  // Threads and the dialog report what they catch into the setup log.
  SetBoundaryReporter(LogCaughtException);
  // Installer command lines run in this process, so their progress is ours.
  SetWindowsInstallerRunner(RunMsiExecCommand);
  // The interface thread of an interactive run shows the wizard.
  SetSetupWizardEntry(RunSetupWizard);
  // Every question and error box of the run is the program's own.
  SetMessageBoxImplementation(CMessageBox::ShowMessageBox);
  // A windowed run asks its questions about open applications and the
  // language in the wizard's dialogs.
  SetFilesInUseImplementation(CFilesInUseDlg::Ask);
  SetLanguageDialogImplementation(SelectSetupLanguage);
  // Its own version resource is read only for the log's line.
  if (IsLoggingEnabled(nullptr)) WriteLog(L"Installer version: %s", GetInstallerVersion().c_str());

  std::unique_ptr<CSetupAggregate> aggregate(new CSetupAggregate());
  aggregate->writeLog = WriteLog;
  g_setupAggregate = aggregate.get();

  DWORD exitCode = ERROR_SUCCESS;
  if (IsInlineRun(commandLine)) {
    CWorker worker(nullptr);
    exitCode = worker.StartWorker(nullptr);
    if (exitCode != ERROR_SUCCESS) WriteLog(L"Worker routine returned error code = %d", exitCode);
  } else {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    InitDialogLanguage();
    CSetupDlg dialog;
    INT_PTR result = dialog.DoModal();
    if (result == -1) {
      exitCode = GetLastError();
      WriteLog(L"Failed to show the setup dialog. Error code = %d", exitCode);
      if (exitCode == ERROR_SUCCESS) exitCode = ERROR_INVALID_WINDOW_HANDLE;
    } else {
      exitCode = static_cast<DWORD>(result);
    }
  }

  // A package still installing on a runner thread would be cut off in the
  // middle of its transaction when the process ends.
  WaitForWindowsInstallerThreads();
  g_setupAggregate = nullptr;
  aggregate.reset();
  if (exitCode != ERROR_SUCCESS) ExitProcess(exitCode);
  return FALSE;
}
