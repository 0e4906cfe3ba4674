// va_upgrade_condition.cpp: an upgrade condition with its configured values.
#include "actions/va_upgrade_condition.h"

#include "platform/wide_string.h"

CVAUpgradeCondition::CVAUpgradeCondition(int sequence, const std::wstring& keyName,
                                         const std::wstring& actionName, const CValues& values)
    : CVerifyAction(sequence, keyName, actionName, actionName), m_values(values) {}

DWORD CVAUpgradeCondition::Execute() { return NotBuiltYet(L"CVAUpgradeCondition::Execute"); }

bool CVAUpgradeCondition::IsRemoveType() const { return EqualsNoCase(m_values.type, L"remove"); }
