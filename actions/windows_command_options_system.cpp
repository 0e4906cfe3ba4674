// windows_command_options_system.cpp: hands the command-line model's system
// needs to the setup log, the configuration loader and the error report.
#include "actions/windows_command_options_system.h"

#include <windows.h>

#include "foundation/error.h"
#include "foundation/setup_config.h"
#include "foundation/setup_log.h"

CWindowsCommandOptionsSystem* CWindowsCommandOptionsSystem::Instance() {
  static CWindowsCommandOptionsSystem system;
  return &system;
}

std::wstring CWindowsCommandOptionsSystem::GetLogPathFromEnvironment(
    const std::wstring& variableName) {
  return ::GetLogPathFromEnvironment(variableName.c_str());
}

std::wstring CWindowsCommandOptionsSystem::ExpandLogFileName(const std::wstring& path) {
  return ::ExpandLogFileName(path);
}

int CWindowsCommandOptionsSystem::LoadSetupConfig(CSetupConfig* config,
                                                  const std::wstring& folder,
                                                  const std::wstring& fileName) {
  return config->Load(folder, fileName);
}

void CWindowsCommandOptionsSystem::ReportInternalError(unsigned short area, unsigned long code) {
  ::ReportInternalError(area, code, nullptr);
}
