#pragma once
// command_options_system.h: what the command-line model needs from the
// running system, behind an interface so that parsing and building stay pure
// logic that also builds natively, under sanitizers and a fuzzer.
#include <string>

class CSetupConfig;

class CCommandOptionsSystem {
 public:
  virtual ~CCommandOptionsSystem() = default;

  // The log path an environment variable carries; empty when it is unset or
  // only switches logging on.
  virtual std::wstring GetLogPathFromEnvironment(const std::wstring& variableName) = 0;
  // Fills in date, temporary and application-data folders, the drive and the
  // default file name of a log path.
  virtual std::wstring ExpandLogFileName(const std::wstring& path) = 0;
  // The configuration loader's result: 0 is success.
  virtual int LoadSetupConfig(CSetupConfig* config, const std::wstring& folder,
                              const std::wstring& fileName) = 0;
  // Reports a program fault and throws the code as an unsigned long.
  virtual void ReportInternalError(unsigned short area, unsigned long code) = 0;
};
