#pragma once
// va_upgrade_condition.h: CVAUpgradeCondition, whether an earlier product
// that this suite upgrades is present.
#include <windows.h>

#include <string>

#include "actions/verify_action.h"

class CVAUpgradeCondition : public CVerifyAction {
 public:
  struct CValues {
    std::wstring uninstallKey;
    std::wstring validVersions;
    std::wstring type;
    std::wstring validTLAs;
    std::wstring tlaSearchKey;
    std::wstring tlaSearchParameter;
    std::wstring externalCommand;
    // The two parts of a search key when TLASearchKey is empty.
    std::wstring searchKeyFolder;
    std::wstring searchKeyName;
  };

  CVAUpgradeCondition(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                      const CValues& values);
  // 0 when the earlier product is present, else 2.
  DWORD Execute() override;

  // Type "remove", case-blind.
  bool IsRemoveType() const;
  const std::wstring& GetUninstallKey() const { return m_values.uninstallKey; }
  const CValues& GetValues() const { return m_values; }

 private:
  // 0 without a command or when it exits with 0; else 2.
  DWORD RunExternalCommand();

  CValues m_values;
};
