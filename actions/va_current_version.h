#pragma once
// va_current_version.h: CVACurrentVersion, whether a product is installed
// already, and from this very package or another one.
#include <windows.h>

#include <string>

#include "actions/verify_action.h"

class CVACurrentVersion : public CVerifyAction {
 public:
  enum EResult : DWORD {
    kSamePackage = 0,
    kOtherPackage = 1,
    kBadCode = 2,
    kNotInstalled = 3,
  };

  CVACurrentVersion(int sequence, const std::wstring& keyName, const std::wstring& productCode,
                    const std::wstring& packageCode);
  // One of EResult.
  DWORD Execute() override;
  // The text the log gives a result; empty for any other code.
  static const wchar_t* ReasonText(DWORD result);

 private:
  std::wstring m_productCode;
  std::wstring m_packageCode;
};
