// engine_command_line.cpp: the program's own path and version, the engine's
// settings taken out of the command line, and the rest parsed into the
// command options.
#include "engine/engine_command_line.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "actions/command_options.h"
#include "engine/engine_settings.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/file_utils.h"
#include "foundation/file_version.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kSetupVersionProperty[] = L"SetupVersion";
const wchar_t kUILevelProperty[] = L"UILevel";
const wchar_t kLogPathProperty[] = L"LogPath";

// Indexed by the options' interface level: none, /qf, /qr, /qb+, /qb, /qb-,
// /qb!, /qn+, /qn.
const wchar_t* const kUILevelValues[] = {L"5", L"5", L"4", L"3", L"3", L"3", L"3", L"2", L"2"};

// Four parts of the fixed file version; empty when the file has none.
std::wstring FileVersionText(const std::wstring& path) {
  uint16_t parts[4] = {};
  if (!ReadFileVersion(path, parts)) return std::wstring();
  return Format(L"%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The names the engine and the packages take: letters, digits, '_', '.',
// and the braces of "{lang}".
bool IsPropertyName(const std::wstring& name) {
  if (name.empty()) return false;
  for (wchar_t c : name) {
    bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
    if (!letter && c != L'_' && c != L'.' && c != L'{' && c != L'}') return false;
  }
  return true;
}

// Deployment tools write a property quoted whole, "NAME=VALUE", which the
// Windows Installer reads as NAME=VALUE. Every reader here takes a word's
// name up to its '=' and would keep the quote in it: the property would
// not be set, a quoted "REBOOT=ReallySuppress" would not hold the restart
// back, and the packages would refuse the word (1639) after the run began.
// Such a word becomes NAME=VALUE, the value quoted when it holds a blank.
std::wstring UnquotePropertyWords(const std::wstring& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    bool wordStart = text[i] == L'"' && (i == 0 || IsBlank(text[i - 1]));
    size_t close = wordStart ? text.find(L'"', i + 1) : std::wstring::npos;
    bool whole = close != std::wstring::npos && (close + 1 == text.size() || IsBlank(text[close + 1]));
    size_t equals = whole ? text.find(L'=', i + 1) : std::wstring::npos;
    if (!whole || equals > close || !IsPropertyName(text.substr(i + 1, equals - i - 1))) {
      out += text[i++];
      continue;
    }
    std::wstring value = text.substr(equals + 1, close - equals - 1);
    bool blanks = value.find_first_of(L" \t") != std::wstring::npos;
    std::wstring word = text.substr(i + 1, equals - i) + (blanks ? L"\"" + value + L"\"" : value);
    WriteLog(L"   The quoted word %s is read as %s", text.substr(i, close + 1 - i).c_str(), word.c_str());
    out += word;
    i = close + 1;
  }
  return out;
}

std::wstring WithTrailingBackslash(const std::wstring& folder) {
  if (folder.empty() || folder.back() == L'\\') return folder;
  return folder + L'\\';
}

}  // namespace

// A command line the options refuse ends the run: going on with a reset
// object could turn an uninstall into an install.
bool CEngineCommandLine::Parse(const std::wstring& commandLine, const std::wstring& modulePath,
                               CCommandOptions* options, CEngineSettings* settings) {
  m_programPath = modulePath;
  WriteLog(L"Module filename: %s", m_programPath.c_str());
  m_state.SetProperty(kSetupVersionProperty, FileVersionText(m_programPath));
  WriteLog(L"Setup command line: %s", commandLine.c_str());

  std::wstring arguments = commandLine;
  std::wstring program;
  if (!ExtractToken(&arguments, &program, L" \t", true) || program.empty()) {
    WriteLog(L"Failed extracting the program name from the command line");
    return false;
  }
  arguments = UnquotePropertyWords(arguments);
  *settings = CEngineSettings();
  // Before the arguments are kept: a resume or a working copy of this run
  // must not read as a hand-over.
  settings->startedByHandOver = TakeHandOverMark(&arguments);
  m_processArguments = arguments;

  std::vector<std::wstring> logLines;
  TakeEngineSettings(&arguments, settings, &logLines);
  for (const std::wstring& line : logLines) WriteLog(L"%s", line.c_str());
  m_optionsText = arguments;
  ApplySettings(*settings);
  if (!BuildOptions(settings->installSource, options)) return false;
  SetInterfaceProperties(*options);
  return true;
}

// What the settings decide in the shared state before the configuration is
// read; the rest waits for the merge with it.
void CEngineCommandLine::ApplySettings(const CEngineSettings& settings) {
  if (settings.cleanSystem) m_state.m_setupType = SetupTypeCleanSystem;
  if (settings.repairSourceGiven) m_state.m_repairSource = settings.repairSource;
  if (settings.basePathGiven) {
    m_state.m_basePath = m_macros.Expand(settings.basePath);
    m_state.m_basePathSet = 1;
  }
}

// A given install source without its trailing backslash still names the
// folder: paths are built by appending file names to it.
bool CEngineCommandLine::BuildOptions(const std::wstring& installSource, CCommandOptions* options) {
  m_setupFolder = FolderOfPath(m_programPath);
  if (!options->Parse(m_setupFolder, m_optionsText)) {
    WriteLog(L"The command line is not valid: %s", options->GetParseFailure().c_str());
    return false;
  }
  options->SetInstallSource(installSource.empty() ? m_setupFolder
                                                  : WithTrailingBackslash(installSource));
  m_state.m_installSource = options->GetInstallSource();
  int reboot = options->GetRebootOption();
  if (reboot == CCommandOptions::kRebootSuppress ||
      reboot == CCommandOptions::kRebootReallySuppress) {
    m_state.m_rebootApproved = 0;
  }
  m_configurationName = options->GetConfigurationFileName();
  m_configurationFolder = m_setupFolder;
  std::wstring configurationDirectory = FolderOfPath(m_configurationName);
  // Relative to the setup folder, as the configuration path is.
  if (configurationDirectory.size() >= 2 && configurationDirectory[1] == L':') {
    configurationDirectory.erase(0, 2);
  }
  while (!configurationDirectory.empty() &&
         (configurationDirectory[0] == L'\\' || configurationDirectory[0] == L'/')) {
    configurationDirectory.erase(0, 1);
  }
  m_configurationFolder += configurationDirectory;
  return true;
}

void CEngineCommandLine::SetInterfaceProperties(const CCommandOptions& options) {
  int level = options.GetUILevel();
  bool known =
      level >= 0 && level < static_cast<int>(sizeof(kUILevelValues) / sizeof(kUILevelValues[0]));
  m_state.SetProperty(kUILevelProperty, known ? kUILevelValues[level] : L"5");
  std::wstring logFolder;
  if (GetLogFilesFolder(&logFolder) && !logFolder.empty()) {
    while (!logFolder.empty() && logFolder.back() == L'\\') logFolder.pop_back();
    m_state.SetProperty(kLogPathProperty, logFolder);
  }
}
