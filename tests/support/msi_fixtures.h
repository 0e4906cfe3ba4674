#pragma once
// msi_fixtures.h: the test packages the build makes from the WiX sources in
// tests/fixtures/msi_suite, installing one for a test, transforms made on
// the spot, and a capture of the package layer's trace.
#include <windows.h>

#include <string>
#include <vector>

// build\win\fixtures\msi\<name>, beside the test executable.
std::wstring MsiFixturePath(const std::wstring& name);

// Runs "msiexec <arguments>" and returns its exit code.
DWORD RunMsiexec(const std::wstring& arguments);

// A transform that changes nothing: an empty database whose storage carries
// the transform class. (This Wine cannot generate real transforms.)
bool MakeNoOpTransform(const std::wstring& path);

// Installs a package quietly for the lifetime of the object and removes the
// product again afterwards.
class CInstalledPackage {
 public:
  CInstalledPackage(const std::wstring& packagePath, const std::wstring& productCode);
  ~CInstalledPackage();
  DWORD InstallResult() const { return m_installResult; }

 private:
  std::wstring m_productCode;
  DWORD m_installResult;
};

// Collects the trace lines the package layer keeps while it lives.
class CMsiTraceCapture {
 public:
  CMsiTraceCapture();
  ~CMsiTraceCapture();
  // True when a kept line ends with ": " + text (its level and time ahead).
  bool Has(const std::wstring& text) const;
  const std::vector<std::wstring>& Lines() const;
  void Clear();
};
