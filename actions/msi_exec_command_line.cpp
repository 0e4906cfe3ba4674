// msi_exec_command_line.cpp: takes an installer command line apart the way
// the installer program would, for the runner that calls the installer
// itself.
#include "actions/msi_exec_command_line.h"

#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallerProgram[] = L"MSIEXEC";
const wchar_t kRemoveProperty[] = L"REMOVE=";
const wchar_t kRemoveAll[] = L"REMOVE=ALL";
const wchar_t kSilentProperty[] = L"MPI_SILENT=1";

std::wstring WithoutQuotes(std::wstring text) {
  if (!text.empty() && text.front() == L'"') text.erase(0, 1);
  if (!text.empty() && text.back() == L'"') text.pop_back();
  return text;
}

}  // namespace

CMsiExecCommandLine::CMsiExecCommandLine(const std::wstring& commandLine) {
  Parse(commandLine);
  if (m_package.empty()) {
    m_messages.push_back(Format(L"   No package specified in command line: '%s'", commandLine.c_str()));
  }
}

void CMsiExecCommandLine::Parse(const std::wstring& commandLine) {
  std::wstring rest = commandLine;
  std::wstring token;
  bool first = true;
  while (ExtractToken(&rest, &token, L" ", false)) {
    bool isFirst = first;
    first = false;
    // Only the first token can be the program: a property value or a path
    // that merely mentions it is still an argument.
    if (isFirst && ToUpper(token).find(kInstallerProgram) != std::wstring::npos) {
      m_words.push_back({token, false});
      continue;
    }
    bool property = token.find(L'=') != std::wstring::npos && token.find(L'=') > 0;
    m_words.push_back({token, property});
    if (property) {
      if (StartsWithNoCase(token, kRemoveProperty)) m_hasRemove = true;
      if (!m_properties.empty()) m_properties += L' ';
      m_properties += token;
    } else if (token[0] != L'/') {
      m_messages.push_back(
          Format(L"   Unknown property being passed to MsiExec: '%s'", token.c_str()));
    } else {
      TakeSwitch(token, &rest);
    }
  }
  if (m_uninstall && !m_hasRemove) {
    if (!m_properties.empty()) m_properties += L' ';
    m_properties += kRemoveAll;
  }
}

void CMsiExecCommandLine::TakeSwitch(const std::wstring& token, std::wstring* rest) {
  wchar_t letter = token.size() > 1 ? ToUpperChar(token[1]) : L'\0';
  std::wstring next;
  if (letter == L'I' || letter == L'X' || letter == L'F') {
    if (letter == L'X') m_uninstall = true;
    if (letter == L'F') m_repair = true;
    if (ExtractToken(rest, &next, L" ", false)) {
      m_words.push_back({next, false});
      m_package = WithoutQuotes(next);
    } else {
      m_messages.push_back(L"   No install package being passed to MsiExec");
    }
  } else if (letter == L'L') {
    if (ExtractToken(rest, &next, L" ", false)) {
      m_words.push_back({next, false});
      m_logFile = WithoutQuotes(next);
    } else {
      m_messages.push_back(L"   No MSI logging information package being passed to MsiExec");
    }
  } else if (letter == L'Q') {
    m_uiLetters = token.substr(2);
  } else {
    m_messages.push_back(
        Format(L"   Unsupported switch being passed to MsiExec: '%s'", token.c_str()));
  }
}

int CMsiExecCommandLine::GetUILevel() const {
  std::wstring letters = ToLower(m_uiLetters);
  if (letters.empty() || letters[0] == L'n' || m_uninstall) return kUILevelNone;
  if (letters == L"f") {
    if (!m_repair) return kUILevelFull;
    if (ContainsNoCase(m_properties, kSilentProperty)) return kUILevelNone;
    return kUILevelNone | kUILevelSourceResOnly;
  }
  if (letters == L"r") return kUILevelReduced;
  if (letters[0] == L'b') return m_repair ? (kUILevelBasic | kUILevelHideCancel) : kUILevelBasic;
  m_messages.push_back(Format(L"   Unknown UI level being passed to MsiExec: '/q%s'; using full UI",
                              m_uiLetters.c_str()));
  return kUILevelFull;
}
