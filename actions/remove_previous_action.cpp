// remove_previous_action.cpp: the texts and the silent answer of an earlier
// version's removal.
#include "actions/remove_previous_action.h"

#include <windows.h>

#include "actions/uninstall_entry.h"
#include "actions/windows_installer_command.h"
#include "engine/version_info.h"
#include "foundation/resource_strings.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kProductNameField[] = L"_PRODUCT_NAME_";
const wchar_t kProductVersionField[] = L"_PRODUCT_VERSION_";
const wchar_t kSetupLanguageField[] = L"_SETUP_LANG_";
const wchar_t kSetupIniPathField[] = L"_SETUP_INI_PATH_";
const wchar_t kInstallerMacro[] = L"{msiexec}";

}  // namespace

CRemovePreviousAction::CRemovePreviousAction(int sequence, const std::wstring& name,
                                             const std::wstring& uninstallKey)
    : CRemoveAction(sequence, name, uninstallKey) {}

std::wstring CRemovePreviousAction::GetProductName() {
  std::wstring name;
  std::wstring command;
  if (ReadUninstallNameAndCommand(GetUninstallKey(), &name, &command) || !name.empty()) return name;
  if (!m_deployedProductName.empty()) return m_deployedProductName;
  return LoadResourceString(IDS_UNKNOWN_PRODUCT);
}

std::wstring CRemovePreviousAction::GetPromptText() {
  return ExpandText(LoadResourceString(IDS_REMOVE_PREVIOUS));
}

std::wstring CRemovePreviousAction::ExpandText(const std::wstring& text) {
  std::wstring result = text;
  if (result.find(kProductNameField) != std::wstring::npos) {
    result = ReplaceAll(result, kProductNameField, GetProductName());
  }
  if (result.find(kInstallerMacro) != std::wstring::npos) {
    result = ReplaceAll(result, kInstallerMacro, InstallerProgramPath());
  }
  if (!m_deployedVersion.empty()) result = ReplaceAll(result, kProductVersionField, m_deployedVersion);
  if (!m_setupLanguage.empty()) result = ReplaceAll(result, kSetupLanguageField, m_setupLanguage);
  if (!m_setupIniPath.empty()) result = ReplaceAll(result, kSetupIniPathField, m_setupIniPath);
  return result;
}

std::wstring CRemovePreviousAction::GetTitleText() {
  return LoadResourceString(IDS_WARNING_CAPTION);
}

int CRemovePreviousAction::GetRemovalKind() {
  if (IsForced()) return IDYES;
  CVersionInfo deployed;
  if (m_deployedVersion.empty() || !deployed.Parse(m_deployedVersion)) return IDNO;
  CVersionInfo installed;
  if (!ReadUninstallProductVersion(GetUninstallKey(), &installed)) return IDYES;
  return deployed.Compare(installed) > 0 ? IDYES : IDNO;
}
