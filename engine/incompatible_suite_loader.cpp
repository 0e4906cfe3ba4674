// incompatible_suite_loader.cpp: finds the installed incompatible suites,
// asks whether they may go, and makes the silent removal of their members.
#include "engine/incompatible_suite_loader.h"

#include <windows.h>

#include <memory>

#include "actions/command_options.h"
#include "actions/incompatible_suite_action.h"
#include "actions/msi_folder_properties.h"
#include "actions/uninstall_entry.h"
#include "engine/action_list_sources.h"
#include "engine/install_group_info.h"
#include "engine/message_box.h"
#include "foundation/dcf_names.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kUninstallKeyFormat[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";
const wchar_t kUninstallStringValue[] = L"UninstallString";
const wchar_t kDisplayVersionValue[] = L"DisplayVersion";
const wchar_t kSkuValue[] = L"SKU";
const wchar_t kBuildNumberValue[] = L"BuildNumber";
const wchar_t kDllMarker[] = L"DLL,";
const wchar_t kInstallerWord[] = L"MSIEXEC";
const wchar_t kSilentRemoval[] = L" /qn  REMOVE=ALL REBOOT=ReallySuppress ";
const wchar_t kInstallModeMacro[] = L"{INSTALL_MODE}";
const wchar_t kProductIdMacro[] = L"{ProductID}";
const int kSuiteSequenceBase = 100;
const size_t kValueLength = 260;

// A missing value reads as empty.
std::wstring ReadValue(CRegistryKey* key, const wchar_t* name) {
  try {
    return key->GetValueSZ(name).substr(0, kValueLength);
  } catch (const CError&) {
    return std::wstring();
  }
}

}  // namespace

bool CIncompatibleSuiteLoader::FindSuite(const std::wstring& name, std::wstring* displayName) {
  std::wstring section = Format(kIncompatibleSuiteSectionFormat, name.c_str());
  std::wstring uuid = m_sources.Value(section, kUuidKey);
  std::wstring sku = m_sources.Value(section, kSkuKey);
  std::wstring buildNumber = m_sources.Value(section, kBuildNumKey);
  std::wstring action = m_sources.Value(section, kActionKey);
  if (!action.empty()) {
    // Its result does not decide anything: the registry does.
    CIncompatibleSuiteAction::CallIncompatibleSuiteDll(
        ReplaceAll(action, kDllMarker, CActionListSources::WithBackslash(m_sources.Options().GetInstallSource())));
  }
  CRegistryKey key;
  try {
    key.Open(HKEY_LOCAL_MACHINE, Format(kUninstallKeyFormat, uuid.c_str()), KEY_QUERY_VALUE, false);
  } catch (const CError&) {
    WriteLog(L"Could not find incompatible suite information for '%s'", uuid.c_str());
    return false;
  }
  bool found = true;
  try {
    key.GetValueSZ(kUninstallStringValue);
  } catch (const CError&) {
    found = false;
  }
  *displayName = ReadValue(&key, kUninstallDisplayNameValue);
  if (displayName->empty()) *displayName = name;
  std::wstring version = ReadValue(&key, kDisplayVersionValue);
  std::wstring installedSku = ReadValue(&key, kSkuValue);
  std::wstring installedBuild = ReadValue(&key, kBuildNumberValue);
  if (!sku.empty() && !EqualsNoCase(sku, installedSku)) found = false;
  if (!buildNumber.empty() && !EqualsNoCase(buildNumber, installedBuild)) found = false;
  if (!found) return false;
  WriteLog(L"An incompatible suite was found on this system.");
  WriteLog(L"   DisplayName is: %s", displayName->c_str());
  WriteLog(L"   DisplayVersion is: %s", version.c_str());
  WriteLog(L"   SKU is: %s", installedSku.c_str());
  WriteLog(L"   BuildNumber is: %s", installedBuild.c_str());
  m_foundSuites.push_back(uuid);
  return true;
}

bool CIncompatibleSuiteLoader::AskToRemove(const std::wstring& names) const {
  std::wstring text = LoadResourceString(IDS_INCOMPATIBLE_SUITES_FOUND) + names + L"\n\n" +
                      LoadResourceString(IDS_INCOMPATIBLE_SUITES_QUESTION);
  WriteLog(L"Presenting the 'Incompatible Suite' dialog to the user");
  int answer = ShowMessageBox(nullptr, text.c_str(), LoadResourceString(IDS_WARNING_CAPTION).c_str(),
                              MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
  if (answer != IDYES) {
    WriteLog(L"   The user chose 'No' setup will now exit");
    return false;
  }
  WriteLog(L"   The user chose 'Yes', the suites will be marked for removal");
  return true;
}

bool CIncompatibleSuiteLoader::LoadIncompatibleSuite(const std::vector<std::wstring>& names,
                                                     bool cleanSystem, CActionListMap* lists) {
  bool quiet = m_sources.UiLevel() >= CCommandOptions::kUILevelBasicNoDialogs;
  if (cleanSystem) return true;
  std::wstring foundNames;
  for (const std::wstring& name : names) {
    std::wstring displayName;
    if (FindSuite(name, &displayName)) foundNames += L"\n - " + displayName;
  }
  if (m_foundSuites.empty()) {
    WriteLog(L"There were no incompatible suites found in the system.");
    return true;
  }
  if (!quiet && !AskToRemove(foundNames)) return false;
  for (const std::wstring& uuid : m_foundSuites) {
    CInstallGroupInfo suite;
    suite.SetUuid(uuid);
    suite.FindMemberProducts();
    BuildSilentUninstallCommand(suite.GetMembers(), uuid, lists);
  }
  return true;
}

void CIncompatibleSuiteLoader::BuildSilentUninstallCommand(const std::vector<std::wstring>& members,
                                                           const std::wstring& suiteId,
                                                           CActionListMap* lists) {
  int sequence = kSuiteSequenceBase;
  for (const std::wstring& member : members) {
    std::wstring displayName;
    std::wstring command;
    if (!ReadUninstallNameAndCommand(member, &displayName, &command)) continue;
    if (command.find(kInstallerWord) != std::wstring::npos) {
      // Its files go from the folders its install was given.
      command = WithProperties(command + kSilentRemoval, InstalledFolderProperties(member, std::wstring()));
      m_sources.Options().AppendLogSwitch(&command);
      command = ReplaceToken(command, kInstallModeMacro, L"Uninstall");
      // Another program's name: a quote in it would end the log file's name
      // and let the rest name properties for the package.
      command = ReplaceToken(command, kProductIdMacro,
                             Format(L"%s\\%s", suiteId.c_str(), FileNamePart(displayName).c_str()));
    }
    std::wstring listName = CActionListSources::ProductKeyOf(member);
    if (lists->count(listName)) continue;
    CSetupActionList* list = CSetupActionList::GetOrCreate(lists, listName);
    list->Append(std::unique_ptr<CSetupAction>(
        new CIncompatibleSuiteAction(sequence++, displayName, member, suiteId, command)));
    m_suiteListNames.push_back(listName);
  }
}
