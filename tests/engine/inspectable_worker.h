#pragma once
// inspectable_worker.h: a worker whose command-line step the tests drive and
// whose settings they read.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "engine/worker.h"

class CInspectableWorker : public CWorker {
 public:
  CInspectableWorker() : CWorker(nullptr) {}

  // The program sits in `folder`; returns 0, or the code the step threw.
  DWORD ParseArguments(const std::wstring& folder, const std::wstring& arguments) {
    std::wstring program = folder + L"setup.exe";
    return ParseProcessCommandLine(L"\"" + program + L"\" " + arguments, program);
  }
  DWORD ParseProcessCommandLine(const std::wstring& commandLine, const std::wstring& program) {
    try {
      ParseCommandLineText(commandLine, program);
    } catch (unsigned long code) {
      return code;
    }
    return 0;
  }
  std::wstring Property(const std::wstring& name) const {
    std::wstring value = L"<absent>";
    m_state->GetProperty(name, &value);
    return value;
  }
  const CCommandOptions& Options() const { return *m_options; }

  using CWorker::m_settings;
  using CWorker::m_commandLineText;
  using CWorker::m_configurationFolder;
  using CWorker::m_installLanguage;
  using CWorker::m_setupFolder;
};
