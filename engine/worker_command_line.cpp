// worker_command_line.cpp: step 3 of the main routine: the program's own
// path and folder, and its command line parsed into the command options.
#include "engine/worker.h"

#include <windows.h>

#include <vector>

#include "actions/command_options.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"

namespace {

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// The command line without the program's name, which comes first, quoted
// or not.
std::wstring ArgumentsOf(const std::wstring& commandLine) {
  std::wstring rest = commandLine;
  std::wstring program;
  ExtractToken(&rest, &program, L" \t", false);
  return rest;
}

}  // namespace

// The engine's own switches and properties are taken out here as well once
// the engine's command-line reader is built; a command line the options
// refuse ends the run, since going on with a reset object could turn an
// uninstall into an install.
void CWorker::ParseCommandLine() {
  m_programPath = ModulePath();
  m_setupFolder = m_programPath.substr(0, m_programPath.find_last_of(L'\\') + 1);
  m_commandLineText = ArgumentsOf(GetCommandLineW());
  if (!m_options->Parse(m_setupFolder, m_commandLineText)) {
    WriteLog(L"The command line is not valid: %s", m_options->GetParseFailure().c_str());
    throw static_cast<unsigned long>(ERROR_INVALID_COMMAND_LINE);
  }
  m_configurationName = m_options->GetConfigurationFileName();
}
