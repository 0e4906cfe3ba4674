#pragma once
// va_is_qualified.h: CVAIsQualified, whether the operating system is one the
// suite, or one product, may be installed on.
#include <windows.h>

#include <string>

#include "actions/verify_action.h"

// What the platform check asks of the running system.
struct COsFacts {
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD major = 0;
  DWORD minor = 0;
  bool servicePackKnown = true;  // from the extended version structure
  DWORD servicePackMajor = 0;
  DWORD servicePackMinor = 0;
  std::wstring servicePackText;  // read when the numbers are not known
  bool wow64 = false;
  bool xpHome = false;           // the product suite "Personal" is present
  bool server = false;           // a server product type
};

class CVAIsQualified : public CVerifyAction {
 public:
  // An empty product name makes the suite-wide check, whose failure has a
  // box of its own.
  CVAIsQualified(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                 const std::wstring& productName, const std::wstring& platforms,
                 const std::wstring& allowWin64, const std::wstring& allowWinXPHome,
                 const std::wstring& allowWinServer2k3);
  // 0, or 1247 with the last error 1150.
  DWORD Execute() override;
  // 0 when the system described qualifies, else 1150; logs as Execute does.
  // A bad number in Platforms or an unknown platform ends through
  // ReportInternalError.
  DWORD Qualify(const COsFacts& facts) const;
  // The running system's facts.
  static COsFacts ReadOsFacts();

  const std::wstring& GetProductName() const { return m_productName; }
  const std::wstring& GetPlatforms() const { return m_platforms; }
  const std::wstring& GetAllowWin64() const { return m_allowWin64; }
  const std::wstring& GetAllowWinXPHome() const { return m_allowWinXPHome; }
  const std::wstring& GetAllowWinServer2k3() const { return m_allowWinServer2k3; }

 private:
  DWORD MatchPlatforms(const wchar_t* family, const COsFacts& facts) const;

  std::wstring m_platforms;
  std::wstring m_productName;
  std::wstring m_allowWin64;
  std::wstring m_allowWinXPHome;
  std::wstring m_allowWinServer2k3;
};

// Whether an entry of HKLM's ProductOptions ProductSuite contains the name.
bool IsProductSuitePresent(const std::wstring& name);
// Whether HKLM's ProductOptions ProductType is "ServerNT" or "LanmanNT".
bool IsServerProductType();
