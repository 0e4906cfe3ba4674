#pragma once
// va_msi_correct_version.h: CVAMSICorrectVersion, whether the Windows
// Installer is at least the version the suite needs, installing it when not.
#include <windows.h>

#include <string>

#include "actions/verify_action.h"

class CVAMSICorrectVersion : public CVerifyAction {
 public:
  // An empty minimum asks for no version.
  CVAMSICorrectVersion(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                       const std::wstring& minimumVersion);
  // 0; 1602 when the user declines; 1603; a restart code (1641, 3010,
  // 0x70669); or 1247 with the last error 0x70669 when a needed restart
  // was declined.
  DWORD Execute() override;

  // The names its message gives the suite.
  void SetProductNames(const std::wstring& productName, const std::wstring& shortProductName);
  // Where the installer is: the setup folder (with its backslash), the
  // configuration's NTMsiInstaller and MinimumMSIVersion.
  void SetInstaller(const std::wstring& setupFolder, const std::wstring& installer,
                    const std::wstring& configuredMinimum);
  // The owner of its boxes and of the download progress controls, and the
  // event that tells of a restart started meanwhile.
  void SetHost(HWND hostDialog, HANDLE rebootEvent);
  const std::wstring& GetMinimumVersion() const { return m_minimumVersion; }
  const std::wstring& GetProductName() const { return m_productName; }
  const std::wstring& GetShortProductName() const { return m_shortProductName; }

 private:
  // 0 new enough, 1 too old, 2 the version could not be read.
  int Need() const;
  DWORD InstallWindowsInstaller();
  bool RunInstaller(const std::wstring& path);
  bool DownloadInstaller(const std::wstring& url, std::wstring* path);
  void ShowFailure();

  std::wstring m_minimumVersion;
  std::wstring m_productName;
  std::wstring m_shortProductName;
  std::wstring m_setupFolder;
  std::wstring m_installer;
  std::wstring m_configuredMinimum;
  HWND m_hostDialog = nullptr;
  HANDLE m_rebootEvent = nullptr;
};
