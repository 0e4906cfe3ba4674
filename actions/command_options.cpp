// command_options.cpp: parses a Windows Installer style command line into the
// command-line model, word by word, and loads the configuration it names.
#include "actions/command_options.h"

#include <string>

#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kLogVariable[] = L"KWSETUP";
const wchar_t kLogOptions[] = L"/L*v";
const wchar_t kRebootProperty[] = L"REBOOT";
const wchar_t kReinstallModeProperty[] = L"REINSTALLMODE";
const wchar_t kEmptyQuotedValue[] = L"\"\"";
// The engine's own silence switches: the engine reads them from the process
// command line; here they are neither errors nor something to hand on.
const wchar_t* const kEngineSwitches[] = {L"/Silent", L"/NoPrompt"};

// The command interpreter's limit. Every accepted line is handed on again,
// grown by the program path, the log switch and the restart marker, so a
// longer one is refused here rather than cut off later.
const size_t kMaxCommandLineLength = 8191;

const unsigned long kTokenNotCut = 0x8004006B;

struct CUILevelText {
  const wchar_t* text;
  int level;
};
const CUILevelText kUILevels[] = {
    {L"", CCommandOptions::kUILevelNone},
    {L"F", CCommandOptions::kUILevelFull},
    {L"R", CCommandOptions::kUILevelReduced},
    {L"B+", CCommandOptions::kUILevelBasicWithEndDialog},
    {L"B", CCommandOptions::kUILevelBasic},
    {L"B-", CCommandOptions::kUILevelBasicNoDialogs},
    {L"B!", CCommandOptions::kUILevelBasicNoCancel},
    {L"N+", CCommandOptions::kUILevelNoneWithEndDialog},
    {L"N", CCommandOptions::kUILevelNone},
};

// Switch letters are ASCII; a locale must not turn some other character
// into one of them.
wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c; }

std::wstring AsciiUpper(const std::wstring& text) {
  std::wstring upper = text;
  for (wchar_t& c : upper) c = AsciiUpper(c);
  return upper;
}

bool HasBlankOnly(const std::wstring& text) {
  for (wchar_t c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

// Cuts the next blank-separated word; quotes group blanks and stay. An
// unclosed quote has run to the end of the text: it is closed, so that the
// word cannot swallow what a rebuilt command line puts after it.
bool CutToken(std::wstring* rest, std::wstring* token) {
  if (!ExtractToken(rest, token, L" ", false)) return false;
  size_t quotes = 0;
  for (wchar_t c : *token) {
    if (c == L'"') ++quotes;
  }
  if (quotes % 2 != 0) *token += L'"';
  return true;
}

}  // namespace

CCommandOptions::CCommandOptions(CCommandOptionsSystem* system) : m_system(system) { Reset(); }

CCommandOptions::~CCommandOptions() = default;

void CCommandOptions::Reset() {
  m_setupConfig = CSetupConfig();
  m_configurationFileName.clear();
  m_setupFolder.clear();
  m_installSource.clear();
  m_sourceFolder.clear();
  m_mode = kModeNone;
  m_modeOptions.clear();
  m_reinstallMode.clear();
  m_package.clear();
  m_advertiseOption = kAdvertiseNone;
  m_advertiseValue.clear();
  m_uiLevel = kUILevelNotGiven;
  m_startSequence = 0;
  m_logGiven = false;
  m_logOptions.clear();
  m_logFile.clear();
  m_mifGiven = false;
  m_mifFile.clear();
  m_passThroughSwitches.clear();
  m_properties.clear();
  m_givenProperties.clear();
  m_restartMarker = kRestartMarkerNone;
  m_rebootOption = kRebootNotGiven;
  m_parseFailure.clear();
}

bool CCommandOptions::Parse(const std::wstring& setupFolder, const std::wstring& commandLine) {
  if (setupFolder.empty()) {
    m_system->ReportInternalError(kInternalErrorArea, kNullArgument);
    return false;
  }
  // A second parse describes a new command line, not an addition to the first.
  Reset();
  m_setupFolder = setupFolder;
  // The command line arrives as C text: it ends at the first null.
  std::wstring rest = Trim(commandLine.substr(0, commandLine.find(L'\0')));
  if (ParseText(&rest)) return true;
  std::wstring failure = m_parseFailure;
  Reset();
  m_parseFailure = failure;
  return false;
}

bool CCommandOptions::LoadConfigurationFile(const std::wstring& fileName) {
  std::wstring unquoted = RemoveQuotes(fileName);
  if (m_setupFolder.empty() || unquoted.empty()) {
    m_system->ReportInternalError(kInternalErrorArea, kNullArgument);
    return false;
  }
  return m_system->LoadSetupConfig(&m_setupConfig, m_setupFolder, unquoted) == 0;
}

std::wstring CCommandOptions::GetConfigurationFileName() const {
  return RemoveQuotes(m_configurationFileName);
}

bool CCommandOptions::ParseText(std::wstring* rest) {
  if (rest->size() > kMaxCommandLineLength) {
    return Fail(L"The command line is too long: %s characters", std::to_wstring(rest->size()));
  }
  if (rest->empty() && !UseConfigurationFile(kDefaultConfigurationFile)) return false;
  int words = 0;
  while (!HasBlankOnly(*rest)) {
    std::wstring token;
    if (!CutToken(rest, &token)) {
      m_system->ReportInternalError(kInternalErrorArea, kTokenNotCut);
      return false;
    }
    if (token.empty()) continue;
    if (!ParseWord(token, words == 0, rest)) return false;
    ++words;
  }
  if (!m_logGiven) {
    // Without KWSETUP there is simply no log to hand on.
    std::wstring nothing;
    RecordLogSwitch(&nothing);
  }
  // Checked once the mode is final: the rebuilt line puts the mode switch
  // first, so a rule that depended on the order would reject it.
  if (!m_reinstallMode.empty() && m_mode != kModeNone && m_mode != kModeInstall) {
    return Fail(L"REINSTALLMODE cannot be combined with the mode switch: %s", m_reinstallMode);
  }
  return true;
}

bool CCommandOptions::ParseWord(const std::wstring& token, bool firstWord, std::wstring* rest) {
  bool isSwitch = token[0] == L'/';
  if (firstWord && !isSwitch && token.find(L'=') == std::wstring::npos) {
    if (RemoveQuotes(token).empty()) return Fail(L"Empty configuration file name: %s", token);
    return UseConfigurationFile(token);
  }
  if (firstWord && !UseConfigurationFile(kDefaultConfigurationFile)) return false;
  return isSwitch ? ParseSwitch(token, rest) : ParseProperty(token, rest);
}

bool CCommandOptions::UseConfigurationFile(const std::wstring& fileName) {
  m_configurationFileName = fileName;
  if (LoadConfigurationFile(fileName)) return true;
  return Fail(L"The configuration file could not be loaded: %s", fileName);
}

bool CCommandOptions::ParseSwitch(const std::wstring& token, std::wstring* rest) {
  if (token.size() < 2) return Fail(L"Switch without a letter: %s", token);
  for (const wchar_t* engineSwitch : kEngineSwitches) {
    if (EqualsNoCase(token, engineSwitch)) return true;
  }
  wchar_t letter = AsciiUpper(token[1]);
  std::wstring switchRest = token.substr(2);
  switch (letter) {
    case L'?':
    case L'H':
      return true;
    case L'A':
    case L'F':
    case L'I':
    case L'J':
    case L'P':
    case L'X':
      return ParseModeSwitch(letter, token, rest);
    case L'G':
      return ParseAdvertiseSwitch(kAdvertiseLanguage, token, rest);
    case L'T':
      return ParseAdvertiseSwitch(kAdvertiseTransforms, token, rest);
    case L'L':
      if (m_logGiven) return Fail(L"Second log switch: %s", token);
      if (RecordLogSwitch(rest)) return true;
      return Fail(L"No log file after the switch and none in KWSETUP: %s", token);
    case L'M':
      return ParseMifSwitch(token, rest);
    case L'Q':
      return ParseUILevel(token, switchRest);
    case L'S':
      return ParseStartSequence(token, switchRest);
    case L'Y':
    case L'Z':
      return Fail(L"Switch not supported: %s", token);
    case L'~':
      return ParseRestartMarker(token, switchRest);
    default:
      m_passThroughSwitches.push_back(token);
      return true;
  }
}

bool CCommandOptions::ParseModeSwitch(wchar_t letter, const std::wstring& token,
                                      std::wstring* rest) {
  bool noAdvertise = m_advertiseOption == kAdvertiseNone;
  bool allowed = false;
  switch (letter) {
    case L'A':
      allowed = noAdvertise && (m_mode == kModeNone || m_mode == kModePatch);
      break;
    case L'P':
      allowed = noAdvertise && !m_mifGiven && (m_mode == kModeNone || m_mode == kModeAdministrative);
      break;
    case L'J':
      allowed = m_mode == kModeNone && !m_mifGiven;
      break;
    default:  // F, I, X
      allowed = noAdvertise && m_mode == kModeNone;
      break;
  }
  if (!allowed) return Fail(L"Switch conflicts with an earlier one: %s", token);
  std::wstring value;
  if (!TakeValue(token, rest, &value)) return false;
  switch (letter) {
    case L'A':
      m_mode = m_mode == kModeNone ? kModeAdministrative : kModeAdministrativePatch;
      m_package = value;
      break;
    case L'P':
      m_mode = m_mode == kModeNone ? kModePatch : kModeAdministrativePatch;
      m_modeOptions = value;
      break;
    case L'F':
    case L'J':
      m_mode = letter == L'F' ? kModeRepair : kModeAdvertise;
      m_modeOptions = token.substr(2);
      m_package = value;
      break;
    default:  // I, X: anything after the letter is ignored
      m_mode = letter == L'I' ? kModeInstall : kModeUninstall;
      m_package = value;
      break;
  }
  return true;
}

bool CCommandOptions::ParseAdvertiseSwitch(int option, const std::wstring& token,
                                           std::wstring* rest) {
  if (m_advertiseOption != kAdvertiseNone || (m_mode != kModeNone && m_mode != kModeAdvertise)) {
    return Fail(L"Switch conflicts with an earlier one: %s", token);
  }
  if (!TakeValue(token, rest, &m_advertiseValue)) return false;
  m_advertiseOption = option;
  return true;
}

bool CCommandOptions::ParseMifSwitch(const std::wstring& token, std::wstring* rest) {
  bool modeAllows = m_mode == kModeNone || m_mode == kModeInstall || m_mode == kModeRepair ||
                    m_mode == kModeUninstall || m_mode == kModeAdministrative;
  if (!modeAllows || m_mifGiven) return Fail(L"Switch conflicts with an earlier one: %s", token);
  if (!TakeValue(token, rest, &m_mifFile)) return false;
  m_mifGiven = true;
  return true;
}

bool CCommandOptions::ParseUILevel(const std::wstring& token, const std::wstring& level) {
  std::wstring upper = AsciiUpper(level);
  for (const CUILevelText& entry : kUILevels) {
    if (upper == entry.text) {
      m_uiLevel = entry.level;
      return true;
    }
  }
  return Fail(L"Unknown interface level: %s", token);
}

bool CCommandOptions::ParseStartSequence(const std::wstring& token, const std::wstring& number) {
  // Digits with an optional leading '-', within 32 bits; empty is 0.
  int value = 0;
  if (!StringToInt(number, &value)) return Fail(L"Invalid start sequence: %s", token);
  m_startSequence = value;
  return true;
}

bool CCommandOptions::ParseRestartMarker(const std::wstring& token, const std::wstring& marker) {
  if (m_restartMarker == kRestartMarkerNone) {
    if (marker.empty()) {
      m_restartMarker = kRestartMarkerWorkingCopy;
      return true;
    }
    if (marker == L"-") {
      m_restartMarker = kRestartMarkerKeepCopy;
      return true;
    }
  }
  return Fail(L"Invalid or repeated restart marker: %s", token);
}

bool CCommandOptions::RecordLogSwitch(std::wstring* rest) {
  if (m_logGiven) return false;
  m_logGiven = true;
  m_logOptions = kLogOptions;
  std::wstring file;
  if (CutToken(rest, &file)) file = RemoveQuotes(file);
  if (file.empty()) file = m_system->GetLogPathFromEnvironment(kLogVariable);
  if (file.empty()) return false;
  std::wstring expanded = RemoveQuotes(m_system->ExpandLogFileName(file));
  if (expanded.empty()) return false;
  m_logFile = L"\"" + expanded + L"\"";
  return true;
}

bool CCommandOptions::ParseProperty(const std::wstring& token, std::wstring* rest) {
  std::wstring name;
  std::wstring value;
  size_t equals = token.find(L'=');
  if (equals != std::wstring::npos) {
    name = TrimRight(token.substr(0, equals));
    value = TrimLeft(token.substr(equals + 1));
  } else {
    std::wstring next;
    if (!CutToken(rest, &next) || next.empty()) return Fail(L"Nothing follows the word: %s", token);
    if (next[0] != L'=') {
      // A word of its own, handed on as it is; the next word is read again.
      m_passThroughSwitches.push_back(token);
      *rest = next + L" " + *rest;
      return true;
    }
    name = token;
    value = TrimLeft(next.substr(1));
  }
  if (name.empty()) return Fail(L"Property without a name: %s", token);
  if (value.empty() && (!CutToken(rest, &value) || value.empty())) {
    return Fail(L"Property without a value: %s", token);
  }
  return StoreProperty(name, value);
}

// The packages get the name upper-cased; a restart of setup gets it as
// given, since setup reads its own properties by their exact names.
bool CCommandOptions::HasProperty(const std::wstring& name) const {
  for (const std::wstring& property : m_properties) {
    if (property.compare(0, name.size() + 1, name + L"=") == 0) return true;
  }
  return false;
}

bool CCommandOptions::StoreProperty(const std::wstring& givenName, const std::wstring& value) {
  std::wstring name = ToUpper(givenName);
  if (name == kRebootProperty) return SetRebootOption(value);
  m_properties.push_back(name + L"=" + value);
  m_givenProperties.push_back(givenName + L"=" + value);
  if (name == kReinstallModeProperty) m_reinstallMode = value;
  return true;
}

bool CCommandOptions::SetRebootOption(const std::wstring& value) {
  if (m_rebootOption != kRebootNotGiven) return Fail(L"REBOOT given twice: %s", value);
  if (value == kEmptyQuotedValue) {
    m_rebootOption = kRebootEmpty;
    return true;
  }
  // Scripts often quote the value: REBOOT="ReallySuppress".
  std::wstring text = value;
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
    text = text.substr(1, text.size() - 2);
  }
  switch (text.empty() ? L'\0' : AsciiUpper(text[0])) {
    case L'F':
      m_rebootOption = kRebootForce;
      return true;
    case L'S':
      m_rebootOption = kRebootSuppress;
      return true;
    case L'R':
      m_rebootOption = kRebootReallySuppress;
      return true;
    default:
      return Fail(L"Unknown REBOOT value: %s", value);
  }
}

bool CCommandOptions::TakeValue(const std::wstring& token, std::wstring* rest,
                                std::wstring* value) {
  // A switch in the value's place is the next switch, not a value: "/x /qn"
  // names no suite, and taking "/qn" as one would lose the quiet level.
  if (CutToken(rest, value) && !value->empty() && (*value)[0] != L'/') return true;
  return Fail(L"Nothing follows the switch: %s", token);
}

bool CCommandOptions::Fail(const wchar_t* reason, const std::wstring& subject) {
  m_parseFailure = Format(reason, subject.c_str());
  return false;
}
