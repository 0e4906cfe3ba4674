#pragma once
// va_msi_correct_version.h: CVAMSICorrectVersion, whether the Windows
// Installer is at least the version the suite needs.
#include <windows.h>

#include <string>

#include "actions/verify_action.h"

class CVAMSICorrectVersion : public CVerifyAction {
 public:
  // An empty minimum asks for no version.
  CVAMSICorrectVersion(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                       const std::wstring& minimumVersion);
  DWORD Execute() override;

  // The names its message gives the suite.
  void SetProductNames(const std::wstring& productName, const std::wstring& shortProductName);
  const std::wstring& GetMinimumVersion() const { return m_minimumVersion; }
  const std::wstring& GetProductName() const { return m_productName; }
  const std::wstring& GetShortProductName() const { return m_shortProductName; }

 private:
  std::wstring m_minimumVersion;
  std::wstring m_productName;
  std::wstring m_shortProductName;
};
