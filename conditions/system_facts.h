#pragma once
// system_facts.h: what the built-in condition variables read from the
// machine, behind an interface so that tests can pose as another Windows
// version, edition, architecture or language.

#include <cstdint>
#include <string>

struct COsVersionInfo {
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
  uint32_t servicePackMajor = 0;
  uint32_t servicePackMinor = 0;
  uint32_t suiteMask = 0;
  bool extended = false;  // service pack and suite mask are known
};

class ISystemFacts {
 public:
  virtual ~ISystemFacts() = default;

  // The running system's version: the extended information, or only major
  // and minor when just the basic query worked. False when both failed.
  virtual bool GetOsVersion(COsVersionInfo* info) const = 0;
  // The ProductType value of the system's ProductOptions key; false when the
  // key or the value is missing.
  virtual bool GetProductType(std::wstring* type) const = 0;
  virtual bool IsMediaCenter() const = 0;
  // This 32-bit process runs on 64-bit Windows.
  virtual bool IsWow64() const = 0;
  virtual uint16_t GetSystemDefaultLanguageId() const = 0;
  virtual uint16_t GetUserDefaultLanguageId() const = 0;
};
