#pragma once
// fake_system_facts.h: system facts a test sets freely, so that conditions
// can be evaluated as if on another Windows version, edition, architecture
// or language. By default: 5.1 SP3, a workstation, on 64-bit Windows, English
// system and German user language.

#include <stdexcept>
#include <string>

#include "conditions/system_facts.h"

class CFakeSystemFacts : public ISystemFacts {
 public:
  CFakeSystemFacts() {
    version.majorVersion = 5;
    version.minorVersion = 1;
    version.servicePackMajor = 3;
    version.suiteMask = 0x100;
    version.extended = true;
  }

  // Windows 7 SP1 on 64-bit Windows, English system and user language.
  static CFakeSystemFacts Windows7() {
    CFakeSystemFacts facts;
    facts.version = COsVersionInfo();
    facts.version.majorVersion = 6;
    facts.version.minorVersion = 1;
    facts.version.servicePackMajor = 1;
    facts.version.extended = true;
    facts.userLanguage = 0x0409;
    return facts;
  }

  bool GetOsVersion(COsVersionInfo* info) const override {
    if (throwOnVersion) throw std::runtime_error("version query");
    if (!versionWorks) return false;
    *info = version;
    return true;
  }
  bool GetProductType(std::wstring* type) const override {
    if (!hasProductType) return false;
    *type = productType;
    return true;
  }
  bool IsMediaCenter() const override { return mediaCenter; }
  bool IsWow64() const override { return wow64; }
  uint16_t GetSystemDefaultLanguageId() const override { return systemLanguage; }
  uint16_t GetUserDefaultLanguageId() const override { return userLanguage; }

  COsVersionInfo version;
  bool versionWorks = true;
  bool throwOnVersion = false;
  bool hasProductType = true;
  std::wstring productType = L"WinNT";
  bool mediaCenter = false;
  bool wow64 = true;
  uint16_t systemLanguage = 0x0409;
  uint16_t userLanguage = 0x0407;
};
