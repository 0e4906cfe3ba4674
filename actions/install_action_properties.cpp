// install_action_properties.cpp: what the run adds to an install action's
// command lines (suite id, choices of the wizard, features) and the default
// uninstall and repair lines of a Windows Installer product.
#include "actions/install_action.h"

#include <windows.h>

#include <vector>

#include "actions/installer_property.h"
#include "actions/msi_exec_command_line.h"
#include "actions/msi_folder_properties.h"
#include "engine/product_data.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallerProgram[] = L"MSIEXEC";
const wchar_t kRemoveAll[] = L"REMOVE=ALL";
// What the run adds to hide a suite's product from the programs list.
const wchar_t kHiddenFromList[] = L" ARPSYSTEMCOMPONENT=1";
const wchar_t kUninstallLineFormat[] = L"MSIEXEC.EXE {setupparams} /x %s REMOVE=ALL";
const wchar_t kRepairLineFormat[] =
    L"MSIEXEC.EXE {setupparams} /f  %s  REINSTALL=ALL REINSTALLMODE=eums ";

std::wstring Choice(bool wanted) { return wanted ? L"always" : L"never"; }

}  // namespace

bool CInstallAction::IsInstallerLine(const std::wstring& line) const {
  return ToUpper(line).find(kInstallerProgram) != std::wstring::npos;
}

void CInstallAction::AppendToInstallLine(const std::wstring& text) {
  if (IsInstallerLine(m_commandLine)) m_commandLine += text;
}

void CInstallAction::SetProductCode(const std::wstring& code) {
  m_productCode = code;
  if (m_uninstallCommandLine.empty()) BuildDefaultUninstallCommandLine();
}

const std::wstring& CInstallAction::GetUninstallCommandLine() {
  if (m_uninstallCommandLine.empty()) BuildDefaultUninstallCommandLine();
  return m_uninstallCommandLine;
}

const std::wstring& CInstallAction::GetRepairCommandLine() {
  if (m_repairCommandLine.empty()) BuildDefaultRepairCommandLine();
  return m_repairCommandLine;
}

void CInstallAction::BuildDefaultUninstallCommandLine() {
  // Only a product installed by the installer can be removed by its code.
  if (m_productCode.empty() || ToLower(m_commandLine).find(L"msiexec") == std::wstring::npos) return;
  m_uninstallCommandLine = Format(kUninstallLineFormat, m_productCode.c_str());
}

void CInstallAction::BuildDefaultRepairCommandLine() {
  if (m_productCode.empty()) return;
  m_repairCommandLine = Format(kRepairLineFormat, m_productCode.c_str());
}

void CInstallAction::AddSuiteIdProperty(const std::wstring& suiteId) {
  std::wstring text;
  if (suiteId.empty() || !BuildInstallerProperty(L"MPI_SUITE_ID", suiteId, &text)) return;
  AppendToInstallLine(text);
  if (IsInstallerLine(m_repairCommandLine)) m_repairCommandLine += text;
}

void CInstallAction::AddEulaAcceptedProperty(bool accepted) {
  if (accepted) AppendToInstallLine(L" MPI_EULA_ACCEPTED=1");
}

void CInstallAction::AddForceEncryptionProperty(bool force) {
  if (force) AppendToInstallLine(L" FORCE_ENCRYPTION=1");
}

void CInstallAction::AddNoOnlineAccessProperty(bool noOnlineAccess) {
  if (noOnlineAccess) AppendToInstallLine(L" NO_ONLINE_ACCESS=1");
}

void CInstallAction::AddSilentProperty(bool silent) {
  if (silent) AppendToInstallLine(L" MPI_SILENT=1");
}

void CInstallAction::AddUserAndCompanyProperties(const std::wstring& user,
                                                 const std::wstring& company) {
  std::wstring text;
  if (!user.empty() && BuildInstallerProperty(L"USERNAME", user, &text)) AppendToInstallLine(text);
  if (!company.empty() && BuildInstallerProperty(L"COMPANYNAME", company, &text)) AppendToInstallLine(text);
}

void CInstallAction::AddDesktopIconProperty(bool wanted) {
  AppendToInstallLine(L" DESKTOPICON=" + Choice(wanted));
}

void CInstallAction::AddQuickLaunchIconProperty(bool wanted) {
  AppendToInstallLine(L" QUICKLAUNCHICON=" + Choice(wanted));
}

void CInstallAction::AddInstallDirProperty(const std::wstring& folder) {
  std::wstring text;
  if (!IsInstallerLine(m_commandLine) ||
      !BuildInstallerProperty(L"INSTALLDIR", EndsWith(folder, L"\\") ? folder : folder + L"\\", &text)) {
    return;
  }
  m_commandLine += text;
  // An empty repair line must stay empty, or its default would never be built.
  if (IsInstallerLine(m_repairCommandLine)) m_repairCommandLine += text;
}

void CInstallAction::AddFeatureSelection(const CProductData& product) {
  if (m_productCode.empty() || !EqualsNoCase(product.GetProductCode(), m_productCode)) return;
  std::vector<std::wstring> unselected;
  if (product.GetFeatures()) product.GetFeatures()->GetUnselectedIds(&unselected);
  std::wstring names;
  for (const std::wstring& id : unselected) names += (names.empty() ? L"" : L",") + id;
  std::wstring removeList = names.empty() ? std::wstring() : L" REMOVE=" + names;

  bool stays = product.GetSelection() && product.GetSelection()->IsCurrent();
  std::wstring& uninstallLine = m_uninstallCommandLine;
  if (!stays) {
    if (uninstallLine.find(kRemoveAll) == std::wstring::npos) uninstallLine += L" REMOVE=ALL";
  } else if (!removeList.empty()) {
    // Only the features the user deselected go.
    uninstallLine = ReplaceAll(uninstallLine, kRemoveAll, L"") + removeList;
  }
  m_featureProperties = (m_uninstall ? std::wstring() : std::wstring(L" ADDLOCAL=ALL")) + removeList;
  m_commandLine += m_featureProperties;
}

void CInstallAction::UpgradeInPlace(bool usersOwn, bool hidden) {
  if (m_upgradesInPlace) return;
  m_upgradesInPlace = true;
  m_leavesUsersOwn = usersOwn;
  // The installed features stay: the selection's ADDLOCAL=ALL would bring
  // back every feature the user had left out.
  size_t at = m_featureProperties.empty() ? std::wstring::npos : m_commandLine.rfind(m_featureProperties);
  if (at != std::wstring::npos) m_commandLine.erase(at, m_featureProperties.size());
  if (!ContainsNoCase(m_commandLine, L"REINSTALL=")) m_commandLine += L" REINSTALL=ALL REINSTALLMODE=vomus";
  if (!usersOwn) return;
  m_commandLine = ReplaceAll(m_commandLine, kHiddenFromList, L"");
  if (hidden) m_commandLine += kHiddenFromList;
}

void CInstallAction::CarryInstallFolders() {
  if (!m_runsProductPackage || !IsInstallerLine(m_commandLine)) return;
  CMsiExecCommandLine parsed(m_commandLine);
  m_installFolders = FolderPropertiesOf(parsed, ReadPackageDirectories(parsed.GetPackage()));
  if (m_installFolders.empty() || !IsInstallerLine(GetUninstallCommandLine())) return;
  m_uninstallCommandLine = WithProperties(m_uninstallCommandLine, m_installFolders);
}

void CInstallAction::UseInstallFolders(const std::wstring& properties) {
  m_installFolders = properties;
  if (properties.empty()) return;
  GetUninstallCommandLine();
  GetRepairCommandLine();
  for (std::wstring* line : {&m_commandLine, &m_uninstallCommandLine, &m_repairCommandLine}) {
    if (IsInstallerLine(*line)) *line = WithProperties(*line, properties);
  }
}
