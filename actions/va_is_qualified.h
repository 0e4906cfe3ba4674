#pragma once
// va_is_qualified.h: CVAIsQualified, whether the operating system is one the
// suite, or one product, may be installed on.
#include <windows.h>

#include <string>

#include "actions/verify_action.h"

class CVAIsQualified : public CVerifyAction {
 public:
  // An empty product name makes the suite-wide check, whose failure has a
  // box of its own.
  CVAIsQualified(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                 const std::wstring& productName, const std::wstring& platforms,
                 const std::wstring& allowWin64, const std::wstring& allowWinXPHome,
                 const std::wstring& allowWinServer2k3);
  DWORD Execute() override;

  const std::wstring& GetProductName() const { return m_productName; }
  const std::wstring& GetPlatforms() const { return m_platforms; }
  const std::wstring& GetAllowWin64() const { return m_allowWin64; }
  const std::wstring& GetAllowWinXPHome() const { return m_allowWinXPHome; }
  const std::wstring& GetAllowWinServer2k3() const { return m_allowWinServer2k3; }

 private:
  std::wstring m_platforms;
  std::wstring m_productName;
  std::wstring m_allowWin64;
  std::wstring m_allowWinXPHome;
  std::wstring m_allowWinServer2k3;
};
