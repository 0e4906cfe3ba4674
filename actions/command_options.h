#pragma once
// command_options.h: the command line in the Windows Installer tool's syntax
// (mode switch, interface level, log, properties, REBOOT), parsed into a model
// and built back into text for packages and for restarts of the setup.
#include <string>
#include <vector>

#include "actions/command_options_system.h"
#include "foundation/dcf_names.h"
#include "foundation/setup_config.h"

class CCommandOptions {
 public:
  // Values of GetMode().
  enum Mode {
    kModeNone = 0,
    kModeInstall = 1,               // /I
    kModeRepair = 2,                // /f
    kModeUninstall = 3,             // /x
    kModeAdvertise = 4,             // /j
    kModeAdministrative = 5,        // /a
    kModePatch = 6,                 // /p
    kModeAdministrativePatch = 7,   // /p and /a
  };
  // Values of GetUILevel(), in the order of growing silence.
  enum UILevel {
    kUILevelNotGiven = 0,
    kUILevelFull = 1,               // /qf
    kUILevelReduced = 2,            // /qr
    kUILevelBasicWithEndDialog = 3, // /qb+
    kUILevelBasic = 4,              // /qb
    kUILevelBasicNoDialogs = 5,     // /qb-
    kUILevelBasicNoCancel = 6,      // /qb!
    kUILevelNoneWithEndDialog = 7,  // /qn+
    kUILevelNone = 8,               // /qn and /q
  };
  // Values of GetRebootOption().
  enum RebootOption {
    kRebootNotGiven = 0,
    kRebootForce = 1,
    kRebootSuppress = 2,
    kRebootReallySuppress = 3,
    kRebootEmpty = 4,               // REBOOT=""
  };
  // Values of GetTildeSwitch().
  enum RestartMarker {
    kRestartMarkerNone = 0,
    kRestartMarkerWorkingCopy = 1,  // /~
    kRestartMarkerKeepCopy = 2,     // /~-
  };

  // The system object must outlive this one.
  explicit CCommandOptions(CCommandOptionsSystem* system);
  virtual ~CCommandOptions();
  CCommandOptions(const CCommandOptions&) = delete;
  CCommandOptions& operator=(const CCommandOptions&) = delete;

  // Parses the command line (without the program name) of the setup in
  // `setupFolder` (with its trailing backslash). On false the object is reset
  // and GetParseFailure() says why; the caller must not go on with it.
  bool Parse(const std::wstring& setupFolder, const std::wstring& commandLine);
  void Reset();
  // Loads the setup folder's configuration file `fileName` (quotes removed).
  bool LoadConfigurationFile(const std::wstring& fileName);

  // The whole command line: the quoted program (`programPath`, or SETUP.EXE
  // in the setup folder with the configuration file when it is not
  // SETUP.DCF), the switches and properties (named as given), and without a
  // program path the restart marker.
  void BuildCommandLine(std::wstring* out, const std::wstring& programPath) const;
  // Each adds its piece with a leading blank, or nothing when it is absent.
  void AppendMode(std::wstring* out) const;
  void AppendUILevel(std::wstring* out) const;
  void AppendLogSwitch(std::wstring* out) const;
  void AppendMifFile(std::wstring* out) const;
  void AppendPassThroughSwitches(std::wstring* out) const;
  // Whether the command line gave the property (its name in capitals).
  bool HasProperty(const std::wstring& name) const;
  // The properties with their names upper-cased, for the packages.
  void AppendProperties(std::wstring* out) const;
  // The properties with their names as the command line gave them.
  void AppendPropertiesAsGiven(std::wstring* out) const;
  void AppendRebootOption(std::wstring* out) const;
  void AppendRestartMarker(std::wstring* out) const;
  void AppendInstallSource(std::wstring* out) const;

  const CSetupConfig& GetSetupConfig() const { return m_setupConfig; }
  int GetRebootOption() const { return m_rebootOption; }
  int GetMode() const { return m_mode; }
  void SetMode(int mode) { m_mode = mode; }
  int GetUILevel() const { return m_uiLevel; }
  int GetTildeSwitch() const { return m_restartMarker; }
  void SetTildeSwitch(int marker) { m_restartMarker = marker; }
  int GetSSwitchValue() const { return m_startSequence; }
  const std::wstring& GetSetupFolder() const { return m_setupFolder; }
  const std::wstring& GetInstallSource() const { return m_installSource; }
  void SetInstallSource(const std::wstring& installSource) { m_installSource = installSource; }
  const std::wstring& GetSourceFolder() const { return m_sourceFolder; }
  void SetSourceFolder(const std::wstring& sourceFolder) { m_sourceFolder = sourceFolder; }
  const std::wstring& GetPackage() const { return m_package; }
  const std::wstring& GetReinstallMode() const { return m_reinstallMode; }
  // Without quotes, as it was loaded.
  std::wstring GetConfigurationFileName() const;
  const std::wstring& GetParseFailure() const { return m_parseFailure; }

 private:
  // /g and /t, read only with /j.
  enum AdvertiseOption { kAdvertiseNone = 0, kAdvertiseLanguage = 1, kAdvertiseTransforms = 2 };
  static constexpr const wchar_t* kDefaultConfigurationFile = kDcfFileName;
  static constexpr unsigned short kInternalErrorArea = 23;
  static constexpr unsigned long kNullArgument = 0x80004003;

  bool ParseText(std::wstring* rest);
  bool ParseWord(const std::wstring& token, bool firstWord, std::wstring* rest);
  bool UseConfigurationFile(const std::wstring& fileName);
  bool ParseSwitch(const std::wstring& token, std::wstring* rest);
  bool ParseModeSwitch(wchar_t letter, const std::wstring& token, std::wstring* rest);
  bool ParseAdvertiseSwitch(int option, const std::wstring& token, std::wstring* rest);
  bool ParseMifSwitch(const std::wstring& token, std::wstring* rest);
  bool ParseUILevel(const std::wstring& token, const std::wstring& level);
  bool ParseStartSequence(const std::wstring& token, const std::wstring& number);
  bool ParseRestartMarker(const std::wstring& token, const std::wstring& marker);
  bool RecordLogSwitch(std::wstring* rest);
  bool ParseProperty(const std::wstring& token, std::wstring* rest);
  bool StoreProperty(const std::wstring& givenName, const std::wstring& value);
  bool SetRebootOption(const std::wstring& value);
  bool TakeValue(const std::wstring& token, std::wstring* rest, std::wstring* value);
  bool Fail(const wchar_t* reason, const std::wstring& subject);

  CCommandOptionsSystem* m_system;
  CSetupConfig m_setupConfig;
  std::wstring m_configurationFileName;
  std::wstring m_setupFolder;
  std::wstring m_installSource;
  std::wstring m_sourceFolder;
  int m_mode = kModeNone;
  std::wstring m_modeOptions;
  std::wstring m_reinstallMode;
  std::wstring m_package;
  int m_advertiseOption = 0;
  std::wstring m_advertiseValue;
  int m_uiLevel = kUILevelNotGiven;
  int m_startSequence = 0;
  bool m_logGiven = false;
  std::wstring m_logOptions;
  std::wstring m_logFile;
  bool m_mifGiven = false;
  std::wstring m_mifFile;
  std::vector<std::wstring> m_passThroughSwitches;
  std::vector<std::wstring> m_properties;
  std::vector<std::wstring> m_givenProperties;
  int m_restartMarker = kRestartMarkerNone;
  int m_rebootOption = kRebootNotGiven;
  std::wstring m_parseFailure;
};
