// msi_folder_properties.cpp: which properties of an installer command line
// name a package's folders, and a command line given them.
#include "actions/msi_folder_properties.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>

#include "actions/installer_property.h"
#include "actions/msi_exec_command_line.h"
#include "actions/msi_internal_ui_guard.h"
#include "actions/msi_product_state.h"
#include "actions/ref_counter.h"
#include "actions/msi_strings.h"
#include "foundation/scoped_msi_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t* const kStandardFolders[] = {L"INSTALLDIR", L"TARGETDIR"};
const wchar_t kInstallDirProperty[] = L"INSTALLDIR";
const wchar_t kDirectoryQuery[] = L"SELECT `Directory` FROM `Directory`";

struct CToken {
  std::wstring text;
  std::wstring property;  // the name of a NAME=VALUE word, else empty
};

// Read as the installer runner reads the line, the names in capitals.
std::vector<CToken> Tokens(const CMsiExecCommandLine& commandLine) {
  std::vector<CToken> tokens;
  for (const CMsiExecCommandLine::CWord& word : commandLine.GetWords()) {
    tokens.push_back({word.text, word.property ? ToUpper(word.text.substr(0, word.text.find(L'='))) : L""});
  }
  return tokens;
}

bool IsFolderName(const std::wstring& name, const std::vector<std::wstring>& directories) {
  for (const wchar_t* standard : kStandardFolders) {
    if (name == standard) return true;
  }
  for (const std::wstring& directory : directories) {
    if (EqualsNoCase(name, directory)) return true;
  }
  return false;
}

// The property tokens of `tokens` written again as NAME="value" pairs, so
// that a value read back from a file stays one value; what is no property,
// or cannot stay one, is left out.
std::vector<CToken> Rebuilt(const std::vector<CToken>& tokens) {
  std::vector<CToken> rebuilt;
  for (const CToken& token : tokens) {
    if (token.property.empty()) {
      WriteLog(L"   '%s' is not a property: it is left off the command line", token.text.c_str());
      continue;
    }
    size_t equals = token.text.find(L'=');
    std::wstring pair;
    if (!BuildInstallerProperty(token.text.substr(0, equals), RemoveQuotes(token.text.substr(equals + 1)), &pair)) {
      continue;
    }
    rebuilt.push_back({pair.substr(1), token.property});
  }
  return rebuilt;
}

auto SameProperty(const CToken& token) {
  return [&token](const CToken& other) { return other.property == token.property; };
}

std::wstring Joined(const std::vector<CToken>& tokens) {
  std::wstring text;
  for (const CToken& token : tokens) text += (text.empty() ? L"" : L" ") + token.text;
  return text;
}

}  // namespace

std::wstring FolderPropertiesOf(const CMsiExecCommandLine& commandLine,
                                const std::vector<std::wstring>& directories) {
  std::vector<CToken> folders;
  for (const CToken& token : Tokens(commandLine)) {
    if (token.property.empty() || !IsFolderName(token.property, directories)) continue;
    folders.erase(std::remove_if(folders.begin(), folders.end(), SameProperty(token)), folders.end());
    folders.push_back(token);
  }
  return Joined(Rebuilt(folders));
}

std::wstring WithProperties(const std::wstring& commandLine, const std::wstring& properties) {
  std::vector<CToken> added = Rebuilt(Tokens(CMsiExecCommandLine(properties)));
  if (added.empty()) return commandLine;
  std::vector<CToken> kept;
  for (const CToken& token : Tokens(CMsiExecCommandLine(commandLine))) {
    if (token.property.empty() || std::none_of(added.begin(), added.end(), SameProperty(token))) {
      kept.push_back(token);
    }
  }
  return Joined(kept) + L" " + Joined(added);
}

std::vector<std::wstring> ReadPackageDirectories(const std::wstring& packagePath) {
  std::vector<std::wstring> directories;
  if (packagePath.empty()) return directories;
  // No installer dialog may come up while the package is read.
  CMsiInternalUIGuard quiet(INSTALLUILEVEL_NONE);
  CScopedMsiHandle database;
  if (MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_READONLY, database.Receive()) != ERROR_SUCCESS) {
    return directories;
  }
  CScopedMsiHandle view;
  if (MsiDatabaseOpenViewW(database.Get(), kDirectoryQuery, view.Receive()) != ERROR_SUCCESS ||
      MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS) {
    return directories;
  }
  CScopedMsiHandle record;
  std::wstring directory;
  while (MsiViewFetch(view.Get(), record.Receive()) == ERROR_SUCCESS) {
    if (ReadRecordString(record.Get(), 1, &directory) == ERROR_SUCCESS) directories.push_back(directory);
  }
  return directories;
}

std::wstring InstalledFolderProperties(const std::wstring& productCode, const std::wstring& fallback) {
  if (productCode.empty()) return fallback;
  std::wstring folders = CRefCounter::ReadInstallFolders(productCode);
  if (folders.empty()) folders = fallback;
  std::wstring location;
  if (folders.empty() && GetInstallLocation(productCode, &location)) {
    // Another program's record: the package keeps the folders it has.
    if (!IsUsableFolderPath(location)) {
      WriteLog(L"   The installed folder '%s' of %s is refused: it is not a usable path", location.c_str(),
               productCode.c_str());
      return folders;
    }
    if (!EndsWith(location, L"\\")) location += L'\\';
    if (BuildInstallerProperty(kInstallDirProperty, location, &folders)) folders.erase(0, 1);
  }
  return folders;
}
