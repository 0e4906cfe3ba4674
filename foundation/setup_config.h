#pragma once
// setup_config.h: the [Setup] settings that travel with the setup program:
// the Windows Installer version it needs, its platforms and its update source.
#include <string>

class CSetupConfig {
 public:
  CSetupConfig() = default;
  virtual ~CSetupConfig() = default;

  void Reset();
  // Always 0: a file that cannot be loaded is logged and leaves the object unloaded.
  int Load(const std::wstring& folder, const std::wstring& fileName);
  bool IsLoaded() const { return m_loaded; }

  // Read before a successful load, these end the operation through the
  // internal-error report (area 24): they never return an unloaded value.
  std::wstring GetMinimumMSIVersion() const;
  std::wstring GetNTMsiInstaller() const;
  std::wstring GetSetupUpdateURL() const;

  const std::wstring& GetPlatforms() const { return m_platforms; }
  const std::wstring& GetAllowNTServer() const { return m_allowNTServer; }

 private:
  const std::wstring& LoadedValue(const std::wstring& value) const;

  bool m_loaded = false;
  std::wstring m_minimumMsiVersion;
  std::wstring m_platforms;
  std::wstring m_allowNTServer;
  std::wstring m_ntMsiInstaller;
  std::wstring m_setupUpdateUrl;
};
