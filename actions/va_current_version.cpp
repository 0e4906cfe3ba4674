// va_current_version.cpp: asks the Windows Installer whether the product is
// installed, and from which package.
#include "actions/va_current_version.h"

#include "actions/msi_product_state.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kSectionFormat[] = L"VerifyActions.%s.CurrentVersion";
const wchar_t* const kReasons[] = {
    L"The same package is currently installed",
    L"A different package is currently installed",
    L"A bad package code was passed in",
    L"The package is not installed",
};

}  // namespace

CVACurrentVersion::CVACurrentVersion(int sequence, const std::wstring& keyName,
                                     const std::wstring& productCode,
                                     const std::wstring& packageCode)
    : CVerifyAction(sequence, keyName, Format(kSectionFormat, keyName.c_str()),
                    Format(kSectionFormat, keyName.c_str())),
      m_productCode(productCode),
      m_packageCode(packageCode) {}

DWORD CVACurrentVersion::Execute() {
  if (m_productCode.empty() || m_packageCode.empty()) return kBadCode;
  if (!IsProductInstalled(m_productCode)) return kNotInstalled;
  return IsSamePackageInstalled(m_productCode, m_packageCode) ? kSamePackage : kOtherPackage;
}

const wchar_t* CVACurrentVersion::ReasonText(DWORD result) {
  return result < sizeof(kReasons) / sizeof(kReasons[0]) ? kReasons[result] : L"";
}
