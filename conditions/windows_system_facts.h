#pragma once
// windows_system_facts.h: the system facts of the running Windows, for the
// built-in condition variables.

#include "conditions/system_facts.h"

class CWindowsSystemFacts : public ISystemFacts {
 public:
  bool GetOsVersion(COsVersionInfo* info) const override;
  bool GetProductType(std::wstring* type) const override;
  bool IsMediaCenter() const override;
  bool IsWow64() const override;
  uint16_t GetSystemDefaultLanguageId() const override;
  uint16_t GetUserDefaultLanguageId() const override;
};
