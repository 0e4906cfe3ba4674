// va_is_qualified.cpp: the platform check with the configuration's values.
#include "actions/va_is_qualified.h"

CVAIsQualified::CVAIsQualified(int sequence, const std::wstring& keyName,
                               const std::wstring& actionName, const std::wstring& productName,
                               const std::wstring& platforms, const std::wstring& allowWin64,
                               const std::wstring& allowWinXPHome,
                               const std::wstring& allowWinServer2k3)
    : CVerifyAction(sequence, keyName, actionName, productName),
      m_platforms(platforms),
      m_productName(productName),
      m_allowWin64(allowWin64),
      m_allowWinXPHome(allowWinXPHome),
      m_allowWinServer2k3(allowWinServer2k3) {}

DWORD CVAIsQualified::Execute() { return NotBuiltYet(L"CVAIsQualified::Execute"); }
