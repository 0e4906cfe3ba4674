// reboot_support.cpp: the resume entry in RunOnce, renames and deletions
// queued for the restart, waiting for a child with restart detection, and
// the shutdown privilege.
#include "foundation/reboot_support.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kRunOnceKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenamesValue[] = L"PendingFileRenameOperations";
const DWORD kRestartDuringPreparation = 0x70669;
const DWORD kRebootWaitMilliseconds = 5000;

bool IsStageToken(const std::wstring& token) {
  if (token.size() < 3 || token.compare(0, 2, L"/s") != 0) return false;
  for (size_t i = 2; i < token.size(); ++i) {
    if (token[i] < L'0' || token[i] > L'9') return false;
  }
  return true;
}

// The key of the given root, in the process's own view as Windows reads it.
bool OpenRunOnce(HKEY root, const std::wstring& path, REGSAM access, CRegistryKey* key,
                 DWORD* error) {
  try {
    key->Open(root, path, access | KEY_WOW64_32KEY, false);
    return true;
  } catch (const CError& failure) {
    *error = failure.GetErrorCode();
    return false;
  }
}

// The entry under `description` in the root's key: false when there is
// none. An entry of another type is someone's all the same: it reads as a
// text no command of ours equals.
bool ReadRunOnceEntry(HKEY root, const std::wstring& path, REGSAM access, const std::wstring& description,
                      CRegistryKey* key, std::wstring* command) {
  DWORD error = 0;
  if (!OpenRunOnce(root, path, access, key, &error)) return false;
  try {
    *command = key->GetValueSZ(description);
  } catch (const CRegistryKey::CMissingValue&) {
    return false;
  } catch (const CError&) {
    command->clear();
  }
  return true;
}

// The program a command starts: its quoted first part, or up to the first blank.
std::wstring ProgramOfCommand(const std::wstring& command) {
  std::wstring text = Trim(command);
  if (!text.empty() && text[0] == L'"') {
    size_t end = text.find(L'"', 1);
    return text.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
  }
  return text.substr(0, text.find(L' '));
}

// The text values of an open key; others are no commands. A text ends at
// its first NUL; an odd last byte counts as a character.
std::vector<std::wstring> TextValues(const CRegistryKey& key) {
  std::vector<std::wstring> texts;
  for (const CRegistryKey::CValue& value : key.GetValues()) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) continue;
    std::vector<wchar_t> text(value.data.size() / sizeof(wchar_t) + 1, L'\0');
    std::copy(value.data.begin(), value.data.end(), reinterpret_cast<BYTE*>(text.data()));
    texts.push_back(std::wstring(text.data()));
  }
  return texts;
}

}  // namespace

std::wstring BuildRebootResumeCommand(const std::wstring& path, const std::wstring& arguments,
                                      int stage) {
  std::wstring command = Trim(path);
  if (command.empty() || command[0] != L'"') command = L"\"" + command + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  if (stage == 0) return command;
  std::wstring stageSwitch = Format(L"/s%d", stage);
  // Only a whole "/s<digits>" is the stage: "/silent" or "C:/src" are not.
  bool replaced = false;
  size_t start = 0;
  while (start < command.size()) {
    size_t end = command.find(L' ', start);
    if (end == std::wstring::npos) end = command.size();
    if (IsStageToken(command.substr(start, end - start))) {
      command.replace(start, end - start, stageSwitch);
      end = start + stageSwitch.size();
      replaced = true;
    }
    start = end + 1;
  }
  if (!replaced) command += L" " + stageSwitch;
  return command;
}

void WritePendingRenames(CRegistryKey* sessionManager, const std::vector<std::wstring>& operations) {
  for (const std::wstring& operation : operations) {
    if (!operation.empty()) {
      sessionManager->SetValueMultiSZ(kPendingRenamesValue, operations);
      return;
    }
  }
  sessionManager->DeleteValue(kPendingRenamesValue);
}

bool IsRebootExitCode(DWORD code) {
  return code == ERROR_SUCCESS_REBOOT_INITIATED || code == ERROR_SUCCESS_REBOOT_REQUIRED ||
         code == kRestartDuringPreparation;
}

CRebootSupport::CRebootSupport() : CRebootSupport(kRunOnceKey, kSessionManagerKey) {}

CRebootSupport::CRebootSupport(const std::wstring& runOnceKey, const std::wstring& sessionManagerKey)
    : m_runOnceKey(runOnceKey), m_sessionManagerKey(sessionManagerKey) {}

BOOL CRebootSupport::RegisterRebootResume(const std::wstring& description, const std::wstring& path,
                                          const std::wstring& arguments, int stage) {
  if (description.empty()) return FALSE;
  std::wstring command = BuildRebootResumeCommand(path, arguments, stage);
  CRegistryKey key;
  DWORD error = 0;
  const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE;
  if (!OpenRunOnce(HKEY_LOCAL_MACHINE, m_runOnceKey, access, &key, &error) &&
      !OpenRunOnce(HKEY_CURRENT_USER, m_runOnceKey, access, &key, &error)) {
    WriteLog(L"Unable to open registry key for reboot registration; error code = %d", error);
    return FALSE;
  }
  DWORD size = 0;
  if (RegQueryValueExW(key.GetHandle(), description.c_str(), nullptr, nullptr, nullptr, &size) ==
          ERROR_SUCCESS &&
      size != 0) {
    WriteLog(L"Reboot already registered with description '%s'", description.c_str());
    return FALSE;
  }
  // The wide call: a setup folder outside the ANSI code page must resume too.
  try {
    key.SetValueSZ(description, command.c_str());
  } catch (const CError& failure) {
    WriteLog(L"Unable to set registry key for reboot registration; error code = %d",
             failure.GetErrorCode());
    return FALSE;
  }
  m_written[description] = command;
  KeepFolderOverRestart(FolderOfPath(ProgramOfCommand(command)));
  return TRUE;
}

// Files fetched into a setup's working copy are deleted at the next restart;
// the resume starts from that copy after the very restart, so its folder must
// still hold them.
void CRebootSupport::KeepFolderOverRestart(const std::wstring& folder) {
  DropPendingDeletions(folder, false);
}

void CRebootSupport::DropPendingDeletionsUnder(const std::wstring& folder) {
  DropPendingDeletions(folder, true);
}

void CRebootSupport::DropPendingDeletions(const std::wstring& folder, bool wholeTree) {
  if (folder.empty()) return;
  std::vector<std::wstring> operations;
  CRegistryKey key;
  try {
    key.Open(HKEY_LOCAL_MACHINE, m_sessionManagerKey, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    key.GetValueMultiSZ(kPendingRenamesValue, &operations);
  } catch (const CError&) {
    return;  // nothing readable is pending: nothing of the folder goes
  }
  const std::wstring prefix = L"\\??\\" + folder;
  const std::wstring folderItself = prefix.substr(0, prefix.size() - 1);
  std::vector<std::wstring> kept;
  bool dropped = false;
  // Whole pairs only; a deletion's empty target may be the list's last entry,
  // which the read drops.
  for (size_t i = 0; i < operations.size(); i += 2) {
    bool deletion = i + 1 >= operations.size() || operations[i + 1].empty();
    const std::wstring& source = operations[i];
    bool inFolder = StartsWithNoCase(source, prefix) &&
                    (wholeTree || source.find(L'\\', prefix.size()) == std::wstring::npos);
    if (deletion && (inFolder || (wholeTree && EqualsNoCase(source, folderItself)))) {
      if (!wholeTree) {
        WriteLog(L"   '%s' stays over the restart: the resume starts from its folder", source.substr(4).c_str());
      }
      dropped = true;
      continue;
    }
    kept.push_back(source);
    kept.push_back(i + 1 < operations.size() ? operations[i + 1] : std::wstring());
  }
  if (!dropped) return;
  try {
    WritePendingRenames(&key, kept);
  } catch (const CError& failure) {
    WriteLog(L"   %s", failure.GetMessage().c_str());
  }
}

// Every suite names its entry after its configuration file, so the same
// name may hold another suite's resume, waiting for its restart.
void CRebootSupport::UnregisterRebootResume(const std::wstring& description) {
  RemoveResumeEntry(description, WrittenCommand(description));
  m_written.erase(description);
}

std::wstring CRebootSupport::WrittenCommand(const std::wstring& description) const {
  auto written = m_written.find(description);
  return written == m_written.end() ? std::wstring() : written->second;
}

std::wstring CRebootSupport::ResumeEntryCommand(const std::wstring& description) const {
  if (description.empty()) return std::wstring();
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    CRegistryKey key;
    std::wstring command;
    if (ReadRunOnceEntry(root, m_runOnceKey, KEY_QUERY_VALUE, description, &key, &command)) return command;
  }
  return std::wstring();
}

void CRebootSupport::RemoveResumeEntry(const std::wstring& description, const std::wstring& command) {
  if (description.empty()) return;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    CRegistryKey key;
    std::wstring found;
    // Neither key nor value may be there: nothing to remove then.
    if (!ReadRunOnceEntry(root, m_runOnceKey, KEY_QUERY_VALUE | KEY_SET_VALUE, description, &key, &found)) {
      continue;
    }
    if (!command.empty() && found == command) {
      RegDeleteValueW(key.GetHandle(), description.c_str());
    } else {
      WriteLog(L"The resume entry '%s' (%s) belongs to another setup and stays", description.c_str(),
               found.c_str());
    }
  }
}

bool CRebootSupport::ResumeEntryStartsIn(const std::wstring& description, const std::wstring& folder) const {
  if (description.empty() || folder.empty()) return false;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    CRegistryKey key;
    std::wstring command;
    if (ReadRunOnceEntry(root, m_runOnceKey, KEY_QUERY_VALUE, description, &key, &command) &&
        StartsWithNoCase(ProgramOfCommand(command), folder)) {
      return true;
    }
  }
  return false;
}

bool CRebootSupport::AnyResumeEntryStartsIn(const std::wstring& folder) const {
  if (folder.empty()) return false;
  // Both views: an entry that a 64-bit setup wrote starts a copy all the same.
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      CRegistryKey key;
      try {
        key.Open(root, m_runOnceKey, KEY_QUERY_VALUE | view, false);
      } catch (const CError&) {
        continue;  // no key: no entry in it
      }
      for (const std::wstring& command : TextValues(key)) {
        if (StartsWithNoCase(ProgramOfCommand(command), folder)) return true;
      }
    }
  }
  return false;
}

BOOL CRebootSupport::MoveFileAtReboot(const wchar_t* source, const wchar_t* target, DWORD flags) {
  if (!(flags & MOVEFILE_DELAY_UNTIL_REBOOT) && source && MoveFileExW(source, target, flags)) {
    return TRUE;
  }
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, m_sessionManagerKey, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
  std::vector<std::wstring> operations;
  try {
    key.GetValueMultiSZ(kPendingRenamesValue, &operations);
  } catch (const CRegistryKey::CMissingValue&) {
    // None pending yet: the list starts empty.
  }
  if (!source) return FALSE;
  // Operations come in pairs; a broken list must not shift ours.
  if (operations.size() % 2 != 0) operations.push_back(std::wstring());
  operations.push_back(Format(L"\\??\\%s", source));
  operations.push_back(target && *target ? Format(L"!\\??\\%s", target) : std::wstring());
  key.SetValueMultiSZ(kPendingRenamesValue, operations);
  return TRUE;
}

BOOL CRebootSupport::MarkForDeletionAtReboot(const std::wstring& path) {
  BOOL scheduled = FALSE;
  DWORD error = ERROR_SUCCESS;
  try {
    scheduled = MoveFileAtReboot(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  } catch (const CError& failure) {
    error = failure.GetErrorCode();
  }
  if (scheduled) {
    WriteLog(L"   Scheduled '%s' for deletion during next reboot", path.c_str());
  } else {
    WriteLog(L"   The file '%s' could not be scheduled for deletion during next reboot. error = %d",
             path.c_str(), error);
  }
  return scheduled;
}

std::vector<std::wstring> CRebootSupport::PendingDeletions() const {
  std::vector<std::wstring> operations;
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_sessionManagerKey, KEY_QUERY_VALUE, false);
    key.GetValueMultiSZ(kPendingRenamesValue, &operations);
  } catch (const CError&) {
    return {};  // nothing readable is pending: nothing is known to go
  }
  std::vector<std::wstring> deletions;
  const std::wstring prefix = L"\\??\\";
  // A deletion's empty target may be the list's last entry, which the read drops.
  for (size_t i = 0; i < operations.size(); i += 2) {
    bool deletion = i + 1 >= operations.size() || operations[i + 1].empty();
    if (deletion && operations[i].compare(0, prefix.size(), prefix) == 0) {
      deletions.push_back(operations[i].substr(prefix.size()));
    }
  }
  return deletions;
}

BOOL WaitForProcessWithRebootDetection(HANDLE process, HANDLE rebootEvent, BOOL waitFiveSeconds,
                                       DWORD* exitCode) {
  HANDLE handles[] = {process, rebootEvent};
  DWORD count = rebootEvent ? 2 : 1;
  DWORD wait = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
  if (wait == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    WriteLog(L"Process completed with exit code: %d", code);
    if (exitCode) *exitCode = code;
    if (IsRebootExitCode(code)) {
      WriteLog(L"Reboot detected immediatedly. WaitResult = %d", wait);
      return TRUE;
    }
  } else if (rebootEvent && wait == WAIT_OBJECT_0 + 1) {
    WriteLog(L"Reboot detected immediatedly. WaitResult = %d", wait);
    return TRUE;
  }
  if (waitFiveSeconds && rebootEvent) {
    WriteLog(L"Waiting five seconds for reboot!");
    DWORD late = WaitForSingleObject(rebootEvent, kRebootWaitMilliseconds);
    if (late == WAIT_OBJECT_0 || late == WAIT_ABANDONED) {
      WriteLog(L"Reboot detected! WaitResult = %d", late);
      return TRUE;
    }
  }
  WriteLog(L"No reboot detected, continuing...");
  return FALSE;
}

BOOL EnableShutdownPrivilege() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &rawToken)) return FALSE;
  CScopedHandle token(rawToken);
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return FALSE;
  AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
  return GetLastError() == ERROR_SUCCESS;
}
