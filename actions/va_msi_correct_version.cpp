// va_msi_correct_version.cpp: the Windows Installer version check with the
// configured minimum.
#include "actions/va_msi_correct_version.h"

CVAMSICorrectVersion::CVAMSICorrectVersion(int sequence, const std::wstring& keyName,
                                           const std::wstring& actionName,
                                           const std::wstring& minimumVersion)
    : CVerifyAction(sequence, keyName, actionName, actionName), m_minimumVersion(minimumVersion) {}

DWORD CVAMSICorrectVersion::Execute() { return NotBuiltYet(L"CVAMSICorrectVersion::Execute"); }

void CVAMSICorrectVersion::SetProductNames(const std::wstring& productName,
                                           const std::wstring& shortProductName) {
  m_productName = productName;
  m_shortProductName = shortProductName;
}
