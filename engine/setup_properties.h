#pragma once
// setup_properties.h: the suite-wide settings of SETUP.DCF, merged with the
// engine's command-line settings, and the dynamic properties of the suite
// and its products, which the command line's properties finally override.
#include <string>
#include <vector>

struct CEngineSettings;
class CKwIniFile;
class CReplacementMap;
class CSetupState;

class CSetupProperties {
 public:
  // All four must outlive the reader.
  CSetupProperties(const CKwIniFile& configuration, const CReplacementMap& macros,
                   CSetupState& state, CEngineSettings& settings);
  CSetupProperties(const CSetupProperties&) = delete;
  CSetupProperties& operator=(const CSetupProperties&) = delete;

  // `products` in the order of the product list, `mode` the command
  // options' mode, `processArguments` the arguments as the process got
  // them. False when a fixed install point has no folder to install to.
  bool Read(const std::vector<std::wstring>& products, int mode,
            const std::wstring& processArguments);

 private:
  std::wstring Value(const std::wstring& section, const std::wstring& key,
                     const std::wstring& defaultValue = std::wstring()) const;
  bool Flag(const std::wstring& section, const std::wstring& key,
            const std::wstring& defaultValue) const;
  void ReadProductTexts();
  void ReadProductNameFallback();
  bool ReadInstallSettings();
  void MergeOnlineSettings();
  void MergeRunSettings();
  void ReadOffers();
  void ReadReferenceCounting();
  void ReadDynamicProperties();
  void CopyCommandLineProperties();

  const CKwIniFile& m_configuration;
  const CReplacementMap& m_macros;
  CSetupState& m_state;
  CEngineSettings& m_settings;
  const std::vector<std::wstring>* m_products = nullptr;
  int m_mode = 0;
  std::wstring m_processArguments;
};
