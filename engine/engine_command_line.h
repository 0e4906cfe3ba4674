#pragma once
// engine_command_line.h: the process command line of a run: the program's
// own path and version, the engine's settings taken out of it, and the rest
// parsed into the command options that the packages' command lines follow.
#include <string>

#include "foundation/dcf_names.h"

struct CEngineSettings;
class CCommandOptions;
class CReplacementMap;
class CSetupState;

class CEngineCommandLine {
 public:
  // The state gets what the command line decides for the wizard and the
  // packages; the macros expand the base path.
  CEngineCommandLine(CSetupState& state, const CReplacementMap& macros)
      : m_state(state), m_macros(macros) {}
  CEngineCommandLine(const CEngineCommandLine&) = delete;
  CEngineCommandLine& operator=(const CEngineCommandLine&) = delete;

  // False, after a line that says why, when no program name can be taken or
  // the options refuse what is left.
  bool Parse(const std::wstring& commandLine, const std::wstring& modulePath,
             CCommandOptions* options, CEngineSettings* settings);

  const std::wstring& ProgramPath() const { return m_programPath; }
  // As the process received them, program name excepted.
  const std::wstring& ProcessArguments() const { return m_processArguments; }
  // What is left for the command options once the engine took its settings.
  const std::wstring& OptionsText() const { return m_optionsText; }
  // The program's folder, with its trailing backslash.
  const std::wstring& SetupFolder() const { return m_setupFolder; }
  const std::wstring& ConfigurationName() const { return m_configurationName; }
  std::wstring ConfigurationPath() const { return m_setupFolder + m_configurationName; }
  // The setup folder followed by the folder part of the configuration name.
  const std::wstring& ConfigurationFolder() const { return m_configurationFolder; }

 private:
  void ApplySettings(const CEngineSettings& settings);
  bool BuildOptions(const std::wstring& installSource, CCommandOptions* options);
  void SetInterfaceProperties(const CCommandOptions& options);

  CSetupState& m_state;
  const CReplacementMap& m_macros;
  std::wstring m_programPath;
  std::wstring m_processArguments;
  std::wstring m_optionsText;
  std::wstring m_setupFolder;
  std::wstring m_configurationName = kDcfFileName;
  std::wstring m_configurationFolder;
};
