#pragma once
// windows_command_options_system.h: the command-line model's view of the
// running Windows system: the setup log's path rules, the configuration file
// and the internal-error report.
#include <string>

#include "actions/command_options_system.h"

class CWindowsCommandOptionsSystem : public CCommandOptionsSystem {
 public:
  // One stateless instance serves every command-line model of the process.
  static CWindowsCommandOptionsSystem* Instance();

  std::wstring GetLogPathFromEnvironment(const std::wstring& variableName) override;
  std::wstring ExpandLogFileName(const std::wstring& path) override;
  int LoadSetupConfig(CSetupConfig* config, const std::wstring& folder,
                      const std::wstring& fileName) override;
  void ReportInternalError(unsigned short area, unsigned long code) override;
};
