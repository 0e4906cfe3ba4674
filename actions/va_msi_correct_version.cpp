// va_msi_correct_version.cpp: the Windows Installer version check. When the
// installed version is too old, the configured installer runs (from the
// setup folder, or downloaded when only an address is configured) and the
// version is checked again.
#include "actions/va_msi_correct_version.h"

#include <windows.h>
#include <shlwapi.h>

#include "actions/check_download.h"
#include "actions/msi_dll.h"
#include "actions/windows_installer_command.h"
#include "engine/message_box.h"
#include "engine/version_info.h"
#include "foundation/internet.h"
#include "foundation/reboot_support.h"
#include "foundation/resource_strings.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kNetworkInstallerName[] = L"INSNTMSI.EXE";
const wchar_t kDefaultRequiredVersion[] = L"3.00";
const wchar_t kProductNameField[] = L"_PRODUCT_NAME_";
const wchar_t kShortProductNameField[] = L"_SHORT_PROD_NAME_";
const DWORD kRebootSkipped = 0x70669;

bool IsRestartResult(DWORD code) {
  return code == ERROR_SUCCESS_REBOOT_INITIATED || code == ERROR_SUCCESS_REBOOT_REQUIRED || code == kRebootSkipped;
}

}  // namespace

CVAMSICorrectVersion::CVAMSICorrectVersion(int sequence, const std::wstring& keyName,
                                           const std::wstring& actionName,
                                           const std::wstring& minimumVersion)
    : CVerifyAction(sequence, keyName, actionName, actionName), m_minimumVersion(minimumVersion) {}

void CVAMSICorrectVersion::SetProductNames(const std::wstring& productName,
                                           const std::wstring& shortProductName) {
  m_productName = productName;
  m_shortProductName = shortProductName;
}

void CVAMSICorrectVersion::SetInstaller(const std::wstring& setupFolder, const std::wstring& installer,
                                        const std::wstring& configuredMinimum) {
  m_setupFolder = setupFolder.empty() || EndsWith(setupFolder, L"\\") ? setupFolder : setupFolder + L"\\";
  m_installer = installer;
  m_configuredMinimum = configuredMinimum;
}

void CVAMSICorrectVersion::SetHost(HWND hostDialog, HANDLE rebootEvent) {
  m_hostDialog = hostDialog;
  m_rebootEvent = rebootEvent;
}

int CVAMSICorrectVersion::Need() const {
  WriteLog(L"   Checking if the Windows Installer is the correct version");
  CVersionInfo minimum;
  if (m_minimumVersion.empty() || !minimum.Parse(m_minimumVersion)) return 0;
  DLLVERSIONINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetMsiDllVersion(&info)) {
    WriteLog(L"   The version of the Windows Installer cannot be read; this suite requires %s",
             minimum.ToString().c_str());
    return 2;
  }
  CVersionInfo installed;
  installed.SetParts3(static_cast<uint16_t>(info.dwMajorVersion), static_cast<uint16_t>(info.dwMinorVersion),
                      static_cast<uint16_t>(info.dwBuildNumber));
  if (minimum.Compare(installed) <= 0) return 0;
  WriteLog(L"   The Windows Installer found is version %s; this suite requires %s", installed.ToString().c_str(),
           minimum.ToString().c_str());
  return 1;
}

DWORD CVAMSICorrectVersion::Execute() {
  if (Need() == 0) return ERROR_SUCCESS;
  if (!IsSilent()) {
    std::wstring text = ReplaceAll(LoadResourceString(IDS_INSTALL_MSI_PROMPT), kProductNameField, m_productName);
    text = ReplaceAll(text, kShortProductNameField, m_shortProductName);
    if (ShowMessageBox(m_hostDialog, text.c_str(), LoadResourceString(IDS_APP_NAME).c_str(),
                       MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND) != IDOK) {
      return ERROR_INSTALL_USEREXIT;
    }
  }
  DWORD result = InstallWindowsInstaller();
  if (IsRestartResult(result)) {
    WriteLog(L"Reboot detected in MSI installation action");
    return result;
  }
  if (result == kVerifyEndWithLastError) {
    WriteLog(L"Reboot skipped after MSI installation; aborting Setup");
    SetLastError(kRebootSkipped);
    return kVerifyEndWithLastError;
  }
  if (result != ERROR_SUCCESS) {
    WriteLog(L"Unable to install MSI");
    ShowFailure();
    return ERROR_INSTALL_FAILURE;
  }
  WriteLog(L"Checking to make sure MSI was properly installed");
  if (Need() == 0) return ERROR_SUCCESS;
  ShowFailure();
  return ERROR_INSTALL_FAILURE;
}

void CVAMSICorrectVersion::ShowFailure() {
  if (IsSilent()) return;
  std::wstring version = m_configuredMinimum.empty() ? kDefaultRequiredVersion : m_configuredMinimum;
  std::wstring text = Format(LoadResourceString(IDS_MSI_VERSION_REQUIRED).c_str(), version.c_str());
  ShowMessageBox(m_hostDialog, text.c_str(), LoadResourceString(IDS_WARNING_CAPTION).c_str(),
                 MB_ICONERROR | MB_SETFOREGROUND);
}

DWORD CVAMSICorrectVersion::InstallWindowsInstaller() {
  WriteLog(L"Installing Windows installer");
  UnloadMsiDll();
  if (m_installer.empty()) WriteLog(L"   No Windows Installer package is named in NTMsiInstaller");
  std::wstring path = m_installer;
  std::wstring downloaded;
  if (path.find(L"://") != std::wstring::npos) {
    path = m_setupFolder + kNetworkInstallerName;
    // The installer on the medium wins; the address is used only without it.
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !IsNoDownload()) {
      if (!DownloadInstaller(m_installer, &downloaded)) return ERROR_INSTALL_FAILURE;
      path = downloaded;
    }
  } else if (StartsWith(path, L"\\")) {
    path = m_setupFolder.substr(0, 2) + path;
  } else if (path.find(L':') == std::wstring::npos) {
    path = m_setupFolder + path;
  }
  bool ran = RunInstaller(path);
  DWORD error = ran ? ERROR_SUCCESS : GetLastError();
  // The downloaded copy has done its work; the temporary folder keeps nothing.
  if (!downloaded.empty()) DeleteFileChecked(downloaded, FALSE);
  if (ran) return ERROR_SUCCESS;
  if (!IsRestartResult(error) && error != kVerifyEndWithLastError) {
    WriteLog(L"Unable to launch MSI installer from '%s'. Error code = %08X", path.c_str(), error);
  }
  return error;
}

// False with the last error set when the installer failed or needs a restart.
bool CVAMSICorrectVersion::RunInstaller(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  // A folder (the setup folder, when no installer is named) would be opened
  // in a window, not run, and the wait for it would never end.
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  std::wstring commandLine = L"\"" + path + L"\"";
  if (IsSilent()) commandLine += L" /Q";
  WriteLog(L"Command Line = %s", commandLine.c_str());
  HANDLE started = nullptr;
  if (!CreateShellProcess(commandLine, L"", &started) || !started) {
    DWORD error = GetLastError();
    SetLastError(error ? error : ERROR_GEN_FAILURE);
    return false;
  }
  CScopedHandle process(started);
  DWORD exitCode = 0;
  BOOL restart = WaitForProcessWithRebootDetection(process.Get(), m_rebootEvent, FALSE, &exitCode);
  if (exitCode == ERROR_SUCCESS_REBOOT_REQUIRED) {
    WriteLog(L"The MSI install process finished, but the user selected No when prompted to reboot. Setup is aborting...");
    SetLastError(kVerifyEndWithLastError);
    return false;
  }
  if (exitCode != 0) {
    WriteLog(L"Failed installing the Windows Installer; error code = %d", static_cast<int>(exitCode));
    SetLastError(exitCode);
    return false;
  }
  if (restart) {
    WriteLog(L"MSI install process triggered reboot");
    SetLastError(kRebootSkipped);
    return false;
  }
  return true;
}

// Into a temporary file, then renamed to an executable name beside it.
bool CVAMSICorrectVersion::DownloadInstaller(const std::wstring& url, std::wstring* path) {
  wchar_t folder[MAX_PATH] = L"";
  if (!GetTempPathW(MAX_PATH, folder)) {
    WriteLog(L"   Unable to retrieve temp folder path '%s'", folder);
    return false;
  }
  wchar_t temporary[MAX_PATH] = L"";
  if (!GetTempFileNameW(folder, L"msi", 0, temporary)) {
    WriteLog(L"   Unable to create temporary file '%s'", folder);
    return false;
  }
  WriteLog(L"   Downloading '%s' from '%s'", temporary, url.c_str());
  CDownloadProgress progress;
  progress.fileName = url.substr(url.find_last_of(L'/') + 1);
  if (!DownloadForCheck(url, temporary, temporary, progress, m_hostDialog)) return false;
  std::wstring executable = std::wstring(temporary) + L".exe";
  if (!MoveFileExW(temporary, executable.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DWORD error = GetLastError();
    WriteLog(L"Failed to convert downloaded file '%s' to an executable; error code = %d", temporary,
             static_cast<int>(error));
    DeleteFileChecked(temporary, FALSE);
    return false;
  }
  *path = executable;
  return true;
}
