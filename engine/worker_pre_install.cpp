// worker_pre_install.cpp: the checks before anything is installed that
// concern the suite as a whole: this suite's leftover pending renames, and
// what to do when the same suite is installed already.
#include "engine/worker.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/va_admin.h"
#include "actions/va_setup_correct_version.h"
#include "actions/verify_action.h"
#include "actions/windows_installer_command.h"
#include "engine/cached_copy.h"
#include "engine/install_group_info.h"
#include "engine/pending_rename_filter.h"
#include "engine/setup_host.h"
#include "engine/source_redirection.h"
#include "engine/version_info.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/internet.h"
#include "foundation/publisher_check.h"
#include "foundation/reboot_support.h"
#include "foundation/registry_key.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_config.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenamesValue[] = L"PendingFileRenameOperations";
const wchar_t kCachedSetupFormat[] = L"%s\\setup.exe";
const wchar_t kAdminSection[] = L"VerifyActions.*.Admin";
const wchar_t kSetupFilesSection[] = L"VerifyActions.*.EnsureSetupFiles";
const wchar_t kUpdateDescriptionFile[] = L"setup_update.xml";
const wchar_t kSetupVersionProperty[] = L"SetupVersion";
const wchar_t kSourceIniFile[] = L"source.ini";
const wchar_t kSavedSuffix[] = L".bak";

}  // namespace

void CWorker::CheckPendingFileRenameOperations() {
  std::vector<std::wstring> entries;
  CRegistryKey key;
  try {
    key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    key.GetValueMultiSZ(kPendingRenamesValue, &entries);
  } catch (const CRegistryKey::CMissingKey&) {
    return;
  } catch (const CRegistryKey::CMissingValue&) {
    return;
  }
  const CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  std::wstring suiteId = group ? group->GetUuid() : std::wstring();
  if (!RemoveSuitePendingRenames(suiteId, &entries)) return;
  WriteLog(L"Removed this suite's pending file rename operations");
  WritePendingRenames(&key, entries);
}

// Blank, "DisableProducts=" and the names, when the command line disabled any.
std::wstring CWorker::DisabledProductsArgument() const {
  if (m_settings.disabledProducts.empty()) return std::wstring();
  std::wstring names;
  for (auto name = m_settings.disabledProducts.rbegin(); name != m_settings.disabledProducts.rend(); ++name) {
    if (!names.empty()) names += L",";
    names += *name;
  }
  return L" DisableProducts=" + names;
}

void CWorker::RepairOrPromptSuiteOverInstall() {
  const CInstallGroupInfo* suite = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!suite) {
    WriteLog(L"Default group information not found in RepairOrPromptSuiteOverInstall");
    SetLastError(ERROR_INVALID_DATA);
    throw static_cast<unsigned long>(ERROR_INVALID_DATA);
  }
  if (suite->IsOverinstallAllowed()) return;
  const CInstallGroupInfo* installed = m_installGroups.Lookup(CInstallGroupInfoMap::kRemoveGroup);
  if (!installed) {
    WriteLog(L"Remove group information not found in RepairOrPromptSuiteOverInstall");
    throw static_cast<unsigned long>(ERROR_INVALID_DATA);
  }
  int order = CompareSuiteVersions(suite->GetVersion(), installed->GetVersion());
  if (order == 0) order = CompareSuiteVersions(suite->GetBuildNumber(), installed->GetBuildNumber());
  if (order > 0) return;
  if (order < 0) {
    PromptSuiteOverInstall(IDS_REMOVE_NEWER, *suite, *installed);
    return;
  }
  if (suite->IsRepairModeAllowed() && suite->GetSku() == installed->GetSku()) HandOverToCachedSetup(*suite);
  PromptSuiteOverInstall(IDS_REMOVE_PREVIOUS, *suite, *installed);
}

// An empty or unreadable version counts as equal, so the build decides.
int CWorker::CompareSuiteVersions(const std::wstring& ours, const std::wstring& theirs) {
  CVersionInfo mine, installed;
  if (!mine.Parse(ours) || !installed.Parse(theirs)) return 0;
  return mine.Compare(installed);
}

// The cached setup repairs the suite, and this run ends with its result.
void CWorker::HandOverToCachedSetup(const CInstallGroupInfo& suite) {
  std::wstring folder = CachedCopyFolder(ExpandMacros(L"{AllUsersAppData}"), suite.GetUuid());
  if (!folder.empty()) folder.pop_back();  // the log and the program name it without the backslash
  std::wstring program = Format(kCachedSetupFormat, folder.c_str());
  if (!FileExists(program)) {
    WriteLog(L"Unable to find the cached setup.exe at: '%s'.", folder.c_str());
    return;
  }
  std::wstring source = m_state->m_installSource;
  if (source.empty()) source = m_options->GetInstallSource();
  std::wstring command = Format(L"\"%s\" /f %s {lang}=%s RepairSource=\"%s\"", program.c_str(),
                                suite.GetUuid().c_str(), m_state->m_languageCode.c_str(), source.c_str());
  m_options->AppendUILevel(&command);
  m_options->AppendLogSwitch(&command);
  m_options->AppendRebootOption(&command);
  command += DisabledProductsArgument();
  // What the caller asked of the run (ReturnRebootRequest=1 among them) is
  // asked of the repair, which now gives the run's result.
  command += TakenSettingsText(m_settings, {L"{lang}=", L"RepairSource=", L"InstallSource=", L"DisableProducts="});
  m_options->AppendPropertiesAsGiven(&command);
  HandOverTo(command);
}

// Returns when the installed suite is to be removed by this run.
void CWorker::PromptSuiteOverInstall(UINT messageId, const CInstallGroupInfo& suite,
                                     const CInstallGroupInfo& installed) {
  if (UiLevel() >= CCommandOptions::kUILevelBasicNoDialogs) return;
  std::wstring text = LoadResourceString(messageId);
  text = ReplaceAll(text, L"_OLD_PRODUCT_NAME_", installed.GetDisplayName());
  text = ReplaceAll(text, L"_PRODUCT_NAME_", suite.GetDisplayName());
  text = ReplaceAll(text, L"_PRODUCT_VERSION_", suite.GetVersion());
  text += L"\n\n\n";
  HWND owner = m_host ? m_host->GetOwnerWindow() : nullptr;
  // Yes removes the installed suite: Enter alone must not.
  UINT style = MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING | MB_SETFOREGROUND;
  if (ShowBox(text, IDS_WARNING_CAPTION, style, owner) != IDYES) {
    WriteLog(L"The user has elected not to remove the existing suite and exit this installation.");
    throw static_cast<long>(ERROR_SUCCESS);
  }
  WriteLog(L"The user has elected to remove the existing suite.");
}

void CWorker::CheckAdministrator() {
  if (!m_settings.requireAdmin) {
    WriteLog(L"Administrator privileges not required for installation.");
    return;
  }
  CVAAdmin action(0);
  PrepareVerifyAction(&action, kAdminSection);
  DWORD kept = ERROR_SUCCESS;
  DWORD result = RunVerifyAction(&action, &kept);
  if (result == ERROR_SUCCESS) return;
  if (result == kVerifyEndWithLastError) throw static_cast<unsigned long>(kept);
  AbortOnError(result, true);
}

// Newer setup files from the update site go into the working copy, which
// then starts again with them; the original source is never written.
void CWorker::EnsureSetupFiles() {
  if (!m_settings.onlineUpdatesAllowed) return;
  // A run that setup started itself has the files it was started with: looking
  // again could restart it for ever when the site offers more than it delivers.
  if (SourceRedirection().IsRestartedRun()) {
    WriteLog(L"   Setup was started again by setup; it does not look for newer setup files");
    return;
  }
  if (m_options->GetTildeSwitch() != CCommandOptions::kRestartMarkerWorkingCopy) {
    WriteLog(L"   Setup does not run from a temporary copy; the setup files are not updated");
    return;
  }
  // A [Setup] section without any of its five values loads no address either.
  const CSetupConfig& config = m_options->GetSetupConfig();
  std::wstring address = config.IsLoaded() ? ExpandMacros(config.GetSetupUpdateURL()) : std::wstring();
  if (address.empty()) {
    WriteLog(L"   No download location was specified for setup files.");
    return;
  }
  std::wstring workFolder = m_options->GetSourceFolder();
  std::wstring description = workFolder + kUpdateDescriptionFile;
  try {
    DownloadFile(address, description, nullptr);
  } catch (unsigned long error) {
    // The run goes on with the files it has.
    WriteLog(L"   The update description could not be downloaded; error %d", static_cast<int>(error));
    return;
  }
  std::wstring ownVersion;
  m_state->GetProperty(kSetupVersionProperty, &ownVersion);
  CVASetupCorrectVersion action(0, workFolder, IsSilentLevel() || !m_host ? nullptr : m_host->GetOwnerWindow(),
                                description);
  PrepareVerifyAction(&action, kSetupFilesSection);
  action.SetOwnVersion(ownVersion);
  DWORD kept = ERROR_SUCCESS;
  DWORD result = RunVerifyAction(&action, &kept);
  DeleteFileChecked(description, FALSE);
  if (result != ERROR_SUCCESS) return;
  if (UpdateMadeSetupNewer(action.GetOfferedVersion())) RestartWithNewSetupFiles(workFolder);
  // Not taken: a resume after a restart must start the files this run has.
  action.Rollback();
}

// An offer may name a version that the files it delivers do not have, or
// deliver no program at all: a restart would meet the same offer again. The
// publisher's other programs carry a signed setup's signature too: it takes
// only itself, in the version announced.
bool CWorker::UpdateMadeSetupNewer(const std::wstring& announced) {
  CPublisherCheck publisher;
  if (publisher.IsSigned()) {
    CVersionInfo offered;
    offered.Parse(announced);
    const uint16_t parts[4] = {offered.GetMajor(), offered.GetMinor(), offered.GetBuild(), offered.GetRevision()};
    return publisher.AcceptSetupUpdate(m_restartProgramPath, parts);
  }
  CVersionInfo own, updated;
  bool known = own.SetFromFileVersion(m_commandLine->ProgramPath()) &&
               updated.SetFromFileVersion(m_restartProgramPath);
  if (known && updated.Compare(own) > 0) return true;
  WriteLog(L"   The files from the update site do not make setup newer ('%s' is version %s, this setup %s); "
           L"setup goes on without them",
           m_restartProgramPath.c_str(), known ? updated.ToString().c_str() : L"unknown",
           own.ToString().c_str());
  return false;
}

void CWorker::RestartWithNewSetupFiles(const std::wstring& workFolder) {
  std::wstring command = Format(L"\"%s\" {lang}=%s AllowOnlineUpdates=2", m_restartProgramPath.c_str(),
                                m_state->m_languageCode.c_str());
  command += TakenSettingsText(m_settings, {L"{lang}=", L"AllowOnlineUpdates=", L"InstallSource=",
                                            L"DisableProducts=", L"Mandatory="});
  m_options->AppendUILevel(&command);
  m_options->AppendRebootOption(&command);
  m_options->AppendLogSwitch(&command);
  m_options->AppendMifFile(&command);
  m_options->AppendPropertiesAsGiven(&command);
  m_options->AppendPassThroughSwitches(&command);
  m_options->AppendInstallSource(&command);
  command += DisabledProductsArgument();
  if (m_settings.mandatoryIgnored) command += L" Mandatory=0";
  // The new setup works from this copy and leaves it to this run, which
  // removes it once that run has ended, unless a resume starts from it.
  command += L" /~-";
  std::wstring sourceIni = workFolder + kSourceIniFile;
  std::wstring savedIni = sourceIni + kSavedSuffix;
  // Moved now or not at all: a rename waiting for the restart would not
  // keep the new setup from it, and would follow names in a folder others
  // may change.
  bool moved = FileExists(sourceIni) &&
               MoveFileExW(sourceIni.c_str(), savedIni.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  HandOverTo(command);
  if (moved) MoveFileExW(savedIni.c_str(), sourceIni.c_str(), MOVEFILE_REPLACE_EXISTING);
}
