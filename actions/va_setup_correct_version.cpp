// va_setup_correct_version.cpp: the online update of the setup files. The
// files go into the working copy only, and only files inside it are marked
// for deletion at the next restart: a name from the offer that would leave
// the folder is refused. The update is whole or not at all: every file is
// fetched before the first is replaced.
#include "actions/va_setup_correct_version.h"

#include <windows.h>

#include "actions/check_download.h"
#include "engine/version_info.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/internet.h"
#include "foundation/reboot_support.h"
#include "foundation/setup_log.h"
#include "foundation/tree_deletion.h"
#include "foundation/xml_document.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kSection[] = L"VerifyActions.*.EnsureSetupFiles";
const wchar_t kFilesQuery[] = L"//files[1]/*";
const wchar_t kVersionQuery[] = L"//version";
const DWORD kNothingNewer = 2;

}  // namespace

CVASetupCorrectVersion::CVASetupCorrectVersion(int sequence, const std::wstring& targetFolder, HWND hostDialog,
                                               const std::wstring& updateFile)
    : CVerifyAction(sequence, L"*", kSection, kSection),
      m_targetFolder(targetFolder.empty() || EndsWith(targetFolder, L"\\") ? targetFolder : targetFolder + L"\\"),
      m_hostDialog(hostDialog),
      m_updateFile(updateFile) {}

bool CVASetupCorrectVersion::CheckForNewerSetup() {
  WriteLog(L"   Checking if there is a newer version of setup available to download");
  CXmlDocument document;
  document.LoadFile(m_updateFile);
  document.SelectNodes(kFilesQuery, &m_urls);
  document.SelectSingleNodeText(kVersionQuery, &m_offeredVersion);
  bool newer = !m_urls.empty();
  CVersionInfo offered, own;
  // Without this guard a static offer would restart the updated setup forever.
  if (newer && !m_ownVersion.empty() && own.Parse(m_ownVersion) &&
      (!offered.Parse(m_offeredVersion) || offered.Compare(own) <= 0)) {
    newer = false;
  }
  WriteLog(newer ? L"   The version of setup available on the update site is: %s, and will be downloaded"
                 : L"   The version of setup available on the update site is: %s, and will not be downloaded",
           m_offeredVersion.c_str());
  return newer;
}

DWORD CVASetupCorrectVersion::Execute() {
  try {
    if (!CheckForNewerSetup()) return kNothingNewer;
  } catch (long error) {
    WriteLog(L"   The update description '%s' could not be read; error %08X", m_updateFile.c_str(),
             static_cast<unsigned>(error));
    return kNothingNewer;
  }
  if (m_urls.empty()) {
    WriteLog(L"   No download location was specified for setup files.");
    return kNothingNewer;
  }
  std::vector<CFetched> fetched;
  bool complete = true;
  for (const std::wstring& url : m_urls) {
    complete = complete && Fetch(url, &fetched);
  }
  bool replaced = complete;
  for (const CFetched& file : fetched) {
    replaced = replaced && Replace(file);
  }
  for (const CFetched& file : fetched) DeleteFileChecked(file.temporary, FALSE);
  if (!replaced) {
    Rollback();
    return ERROR_INSTALL_FAILURE;
  }
  // Only a copy in the machine's temporary folder is one only administrators
  // may change: elsewhere the restart would follow names others can point
  // anywhere, and the files stay.
  std::wstring machineTemp = GetMachineTempFolderPath();
  bool ownFolder = !machineTemp.empty() && StartsWithNoCase(m_targetFolder, machineTemp);
  for (const CReplaced& file : m_replaced) {
    if (!ownFolder) {
      WriteLog(L"   '%s' stays after the restart: its folder is not one only administrators may change",
               file.target.c_str());
      continue;
    }
    try {
      CRebootSupport().MarkForDeletionAtReboot(file.target);
    } catch (const CError& error) {
      // The file stays after the restart; the update itself succeeded.
      WriteLog(L"   %s", error.GetMessage().c_str());
    }
  }
  return ERROR_SUCCESS;
}

CVASetupCorrectVersion::~CVASetupCorrectVersion() {
  for (const CReplaced& file : m_replaced) {
    if (!file.backup.empty()) DeleteFileChecked(file.backup, FALSE);
  }
}

std::wstring CVASetupCorrectVersion::TemporaryName(const wchar_t* prefix) const {
  wchar_t name[MAX_PATH] = L"";
  if (!GetTempFileNameW(m_targetFolder.c_str(), prefix, 0, name)) return std::wstring();
  return name;
}

bool CVASetupCorrectVersion::Fetch(const std::wstring& url, std::vector<CFetched>* fetched) {
  WriteLog(L"   Downloading file from '%s'", url.c_str());
  std::wstring name = url.substr(url.find_last_of(L'/') + 1);
  std::wstring target = m_targetFolder + name;
  if (m_targetFolder.empty() || !IsPlainFileName(name)) {
    WriteLog(L"   Failed downloading from '%s' to '%s'.  Error code = %d", url.c_str(), target.c_str(),
             ERROR_INVALID_NAME);
    return false;
  }
  std::wstring temporary = TemporaryName(L"upd");
  if (temporary.empty()) {
    WriteLog(L"   Unable to create temporary file");
    return false;
  }
  CDownloadProgress progress;
  progress.fileName = name;
  progress.fileCount = static_cast<int>(m_urls.size());
  progress.fileIndex = static_cast<int>(fetched->size());
  if (!DownloadForCheck(url, temporary, target, progress, m_hostDialog)) return false;
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  fetched->push_back({temporary, target});
  return true;
}

// The file it replaces is moved aside first, and recorded before the
// fetched one takes its place.
bool CVASetupCorrectVersion::Replace(const CFetched& file) {
  SetFileAttributesW(file.target.c_str(), FILE_ATTRIBUTE_NORMAL);
  CReplaced replaced = {file.target, std::wstring()};
  if (GetFileAttributesW(file.target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    replaced.backup = TemporaryName(L"old");
    if (replaced.backup.empty() ||
        !MoveFileExW(file.target.c_str(), replaced.backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      DWORD error = GetLastError();
      WriteLog(L"   Could not move '%s' aside for the update; error code = %d", file.target.c_str(),
               static_cast<int>(error));
      if (!replaced.backup.empty()) DeleteFileChecked(replaced.backup, FALSE);
      return false;
    }
  }
  m_replaced.push_back(replaced);
  if (!MoveFileExW(file.temporary.c_str(), file.target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DWORD error = GetLastError();
    WriteLog(L"   Failed to convert downloaded file '%s' to an executable; error code = %d", file.target.c_str(),
             static_cast<int>(error));
    return false;
  }
  return true;
}

void CVASetupCorrectVersion::Rollback() {
  for (auto file = m_replaced.rbegin(); file != m_replaced.rend(); ++file) {
    BOOL restored = file->backup.empty()
                        ? DeleteFileChecked(file->target, FALSE) || GetLastError() == ERROR_FILE_NOT_FOUND
                        : MoveFileExW(file->backup.c_str(), file->target.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!restored) {
      DWORD error = GetLastError();
      WriteLog(L"   Could not restore '%s' after the update; error code = %d", file->target.c_str(),
               static_cast<int>(error));
    }
  }
  if (!m_replaced.empty()) WriteLog(L"   The files the update replaced are restored");
  m_replaced.clear();
}

std::vector<std::wstring> CVASetupCorrectVersion::GetDownloadedFiles() const {
  std::vector<std::wstring> files;
  for (const CReplaced& file : m_replaced) files.push_back(file.target);
  return files;
}
