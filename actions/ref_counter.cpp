// ref_counter.cpp: reads and writes the suites that use a product in the
// product's Uninstall entry, journals each real change for the run's undo,
// and carries out the changes queued for the run's commit.
#include "actions/ref_counter.h"

#include <windows.h>
#include <msi.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <cwchar>

#include "actions/run_journal.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kRefCountValue[] = L"RefCount";
const wchar_t kUsedByValue[] = L"UsedBy";
const wchar_t kInstallDateTimeValue[] = L"InstallDateTime";
const wchar_t kInstallFoldersValue[] = L"InstallFolders";
const wchar_t kReplacesValue[] = L"Replaces";
const wchar_t kUninstallStringValue[] = L"UninstallString";
const wchar_t kWindowsInstallerValue[] = L"WindowsInstaller";
const wchar_t kDateTimePattern[] = L"%Y%m%d%H%M%S";
const wchar_t kEmptyKeyText[] =
    L"CRefCounter::ValidateProductGUID: parameter 'uninstallKey' may not be empty.";
const wchar_t kEmptyJournalText[] = L"CRefCounter::UndoLastOperation: the journal is empty.";

std::atomic<bool> g_referenceCountingEnabled{false};

std::wstring KeyPath(const std::wstring& key) { return std::wstring(kUninstallRoot) + L"\\" + key; }

size_t FindUser(const std::vector<std::wstring>& users, const std::wstring& user) {
  for (size_t i = 0; i < users.size(); ++i) {
    if (EqualsNoCase(users[i], user)) return i;
  }
  return users.size();
}

// RefCount must exist (CMissingValue otherwise); a missing UsedBy is an
// empty list.
DWORD ReadCountAndUsers(const std::wstring& keyPath, std::vector<std::wstring>* users) {
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE, false);
  DWORD count = key.GetValueDWORD(kRefCountValue);
  users->clear();
  try {
    key.GetValueMultiSZ(kUsedByValue, users);
  } catch (const CRegistryKey::CMissingValue&) {
    users->clear();
  }
  return count;
}

// RefCount first, then UsedBy; when UsedBy cannot be written the old count
// goes back, so the two never disagree because of this write.
void WriteCountAndUsers(const std::wstring& keyPath, bool hadCount, DWORD oldCount, DWORD newCount,
                        const std::vector<std::wstring>& users) {
  CRegistryKey key;
  key.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_SET_VALUE | KEY_QUERY_VALUE, false);
  key.SetValueDWORD(kRefCountValue, newCount);
  try {
    key.SetValueMultiSZ(kUsedByValue, users);
  } catch (const CError&) {
    try {
      if (hadCount) {
        key.SetValueDWORD(kRefCountValue, oldCount);
      } else {
        key.DeleteValue(kRefCountValue);
      }
    } catch (const CError& restore) {
      WriteLog(L"   Could not restore RefCount of '%s': %s", keyPath.c_str(),
               restore.GetMessage().c_str());
    }
    throw;
  }
}

bool HasValue(HKEY key, const wchar_t* name) {
  // Any type counts: an installer writes UninstallString as REG_EXPAND_SZ.
  return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool LooksLikeProductCode(const std::wstring& name) {
  return name.size() == 38 && name.front() == L'{' && name.back() == L'}';
}

// A key with reference values but no UninstallString is stale only when its
// product is gone: an installer product with ARPNOREMOVE has no
// UninstallString, so the installer is asked.
bool IsStaleEntry(HKEY root, const std::wstring& name, REGSAM view) {
  CRegistryKey entry;
  entry.Open(root, KeyPath(name), KEY_QUERY_VALUE | view, false);
  HKEY key = entry.GetHandle();
  if (!HasValue(key, kRefCountValue) || !HasValue(key, kUsedByValue)) return false;
  if (HasValue(key, kUninstallStringValue)) return false;
  DWORD isInstaller = 0;
  try {
    isInstaller = entry.GetValueDWORD(kWindowsInstallerValue);
  } catch (const CError&) {
    isInstaller = 0;  // not an installer entry, or not a number: judged by its name
  }
  if (isInstaller == 1 || LooksLikeProductCode(name)) {
    return MsiQueryProductStateW(name.c_str()) == INSTALLSTATE_UNKNOWN;
  }
  return true;
}

std::vector<std::wstring> EnumerateEntries(REGSAM view) {
  CRegistryKey uninstall;
  uninstall.Open(HKEY_LOCAL_MACHINE, kUninstallRoot, KEY_READ | view, false);
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    LONG result = RegEnumKeyExW(uninstall.GetHandle(), index, name, &length, nullptr, nullptr,
                                nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) throw CError(L"Enumerate key 'Uninstall'", static_cast<DWORD>(result));
    names.push_back(std::wstring(name, length));
  }
  return names;
}

// One text value of the product's entry; empty when the entry or the value
// is missing or cannot be read.
std::wstring ReadEntryText(const std::wstring& key, const wchar_t* name) {
  try {
    CRefCounter::ValidateProductGUID(key);
    CRegistryKey entry;
    entry.Open(HKEY_LOCAL_MACHINE, KeyPath(key), KEY_QUERY_VALUE, false);
    return entry.GetValueSZ(name);
  } catch (const CError&) {
    return std::wstring();
  }
}

}  // namespace

CRefCounter::CRefCounter() = default;

CRefCounter::~CRefCounter() = default;

void CRefCounter::ValidateProductGUID(const std::wstring& uninstallKey) {
  if (uninstallKey.empty()) throw CError(std::wstring(kEmptyKeyText));
}

void CRefCounter::SetReferenceCountingEnabled(bool enabled) { g_referenceCountingEnabled = enabled; }

bool CRefCounter::IsReferenceCountingEnabled() { return g_referenceCountingEnabled; }

int CRefCounter::ReadUsers(const std::wstring& key, std::vector<std::wstring>* users) {
  std::vector<std::wstring> list;
  if (users) users->clear();
  if (!g_referenceCountingEnabled) return 0;
  ValidateProductGUID(key);
  DWORD count = 0;
  try {
    count = ReadCountAndUsers(KeyPath(key), &list);
  } catch (const CRegistryKey::CMissingKey&) {
    return 0;  // not installed yet: nobody uses it
  }
  if (users) *users = list;
  return static_cast<int>(count);
}

bool CRefCounter::KeptForOtherSuites(IRefCounting* counter, const std::wstring& key, const std::wstring& suite,
                                     bool* listed) {
  *listed = false;
  std::vector<std::wstring> users;
  try {
    counter->ReadUsers(key, &users);
  } catch (const CError&) {
    return false;
  }
  std::wstring others;
  for (const std::wstring& user : users) {
    if (!suite.empty() && EqualsNoCase(user, suite)) {
      *listed = true;
    } else {
      others += (others.empty() ? L"" : L", ") + user;
    }
  }
  if (others.empty()) return false;
  WriteLog(L"   %s is used by other suites as well (%s): it stays installed for them", key.c_str(), others.c_str());
  return true;
}

bool CRefCounter::IsUsedBy(const std::wstring& user, const std::wstring& key) {
  std::vector<std::wstring> users;
  try {
    ReadUsers(key, &users);
  } catch (const CRegistryKey::CMissingValue&) {
    return false;  // installed, but counted for no suite
  }
  return FindUser(users, user) < users.size();
}

int CRefCounter::AddReference(const std::wstring& user, const std::wstring& key, bool queued) {
  if (!g_referenceCountingEnabled) return 1;
  ValidateProductGUID(key);
  if (queued) {
    m_queue.push_back({COperation::kAdd, user, KeyPath(key)});
    return ReadUsers(key, nullptr);
  }
  bool changed = false;
  return AddUser(user, KeyPath(key), &changed);
}

int CRefCounter::ReleaseReference(const std::wstring& user, const std::wstring& key, bool queued) {
  if (!g_referenceCountingEnabled) return 0;
  ValidateProductGUID(key);
  if (queued) {
    m_queue.push_back({COperation::kRemove, user, KeyPath(key)});
    return ReadUsers(key, nullptr);
  }
  bool changed = false;
  return RemoveUser(user, KeyPath(key), &changed);
}

// Kept before the write: a run killed between the two leaves a later run an
// entry whose undo finds nothing to change.
template <typename Write>
void CRefCounter::JournalAndWrite(COperation::EType type, const std::wstring& user,
                                  const std::wstring& keyPath, Write write) {
  bool journalled = !m_undoing;
  if (journalled) {
    m_journal.push_back({type, user, keyPath});
    SaveJournal();
  }
  try {
    write();
  } catch (...) {
    if (journalled) {
      m_journal.pop_back();
      SaveJournal();
    }
    throw;
  }
}

int CRefCounter::AddUser(const std::wstring& user, const std::wstring& keyPath, bool* changed) {
  *changed = false;
  std::vector<std::wstring> users;
  DWORD count = 0;
  bool hadCount = true;
  try {
    count = ReadCountAndUsers(keyPath, &users);
  } catch (const CRegistryKey::CMissingValue&) {
    hadCount = false;
    users.clear();
  }
  if (FindUser(users, user) < users.size()) return static_cast<int>(count);
  users.push_back(user);
  JournalAndWrite(COperation::kAdd, user, keyPath,
                  [&] { WriteCountAndUsers(keyPath, hadCount, count, count + 1, users); });
  *changed = true;
  return static_cast<int>(count + 1);
}

int CRefCounter::RemoveUser(const std::wstring& user, const std::wstring& keyPath, bool* changed) {
  *changed = false;
  std::vector<std::wstring> users;
  DWORD count = ReadCountAndUsers(keyPath, &users);
  size_t found = FindUser(users, user);
  if (found == users.size()) return static_cast<int>(count);
  users.erase(users.begin() + found);
  // The list decides, not the count: a count that disagrees with the list
  // must not delete the other suites' entries.
  JournalAndWrite(COperation::kRemove, user, keyPath, [&] {
    if (users.empty()) {
      CRegistryKey key;
      key.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_SET_VALUE | KEY_QUERY_VALUE, false);
      key.DeleteValue(kRefCountValue);
      key.DeleteValue(kUsedByValue);
      key.DeleteValue(kInstallDateTimeValue);
      return;
    }
    DWORD newCount = static_cast<DWORD>(users.size());
    if (count != newCount + 1) {
      WriteLog(L"   RefCount %d of '%s' disagrees with its %d users; writing %d", count,
               keyPath.c_str(), static_cast<int>(users.size() + 1), newCount);
    }
    WriteCountAndUsers(keyPath, true, count, newCount, users);
  });
  *changed = true;
  return static_cast<int>(users.size());
}

void CRefCounter::KeepJournalIn(CRunJournal* record) {
  m_record = record;
  SaveJournal();
}

void CRefCounter::SaveJournal() {
  if (m_record) m_record->SaveReferences(m_journal);
}

void CRefCounter::AddDateTimeStamp(const std::wstring& key, time_t time) {
  if (!g_referenceCountingEnabled) return;
  wchar_t text[32] = L"";
  const tm* local = std::localtime(&time);
  if (!local || std::wcsftime(text, 32, kDateTimePattern, local) == 0) text[0] = L'\0';
  ValidateProductGUID(key);
  CRegistryKey entry;
  entry.Open(HKEY_LOCAL_MACHINE, KeyPath(key), KEY_SET_VALUE, false);
  entry.SetValueSZ(kInstallDateTimeValue, text);
}

// No stamp: the product counts as installed before any stamped one.
std::wstring CRefCounter::ReadInstallDateTime(const std::wstring& key) {
  return ReadEntryText(key, kInstallDateTimeValue);
}

void CRefCounter::RecordInstallFolders(const std::wstring& key, const std::wstring& folders) {
  if (!g_referenceCountingEnabled || folders.empty()) return;
  ValidateProductGUID(key);
  CRegistryKey entry;
  entry.Open(HKEY_LOCAL_MACHINE, KeyPath(key), KEY_SET_VALUE, false);
  entry.SetValueSZ(kInstallFoldersValue, folders.c_str());
}

std::wstring CRefCounter::ReadInstallFolders(const std::wstring& key) {
  return ReadEntryText(key, kInstallFoldersValue);
}

std::vector<std::wstring> CRefCounter::ReadReplacedProducts(const std::wstring& key) {
  std::vector<std::wstring> codes;
  try {
    ValidateProductGUID(key);
    CRegistryKey entry;
    entry.Open(HKEY_LOCAL_MACHINE, KeyPath(key), KEY_QUERY_VALUE, false);
    entry.GetValueMultiSZ(kReplacesValue, &codes);
  } catch (const CError&) {
    // Nothing recorded: the product stands for no other.
    codes.clear();
  }
  return codes;
}

void CRefCounter::RecordReplacedProducts(const std::wstring& key, const std::vector<std::wstring>& codes) {
  if (!g_referenceCountingEnabled) return;
  ValidateProductGUID(key);
  std::vector<std::wstring> recorded = ReadReplacedProducts(key);
  size_t before = recorded.size();
  for (const std::wstring& code : codes) {
    if (FindUser(recorded, code) == recorded.size()) recorded.push_back(code);
  }
  if (recorded.size() == before) return;
  CRegistryKey entry;
  entry.Open(HKEY_LOCAL_MACHINE, KeyPath(key), KEY_SET_VALUE | KEY_QUERY_VALUE, false);
  entry.SetValueMultiSZ(kReplacesValue, recorded);
}

void CRefCounter::CommitOperations(const std::vector<std::wstring>& skipUsers) {
  if (!g_referenceCountingEnabled || m_undoing) return;
  std::vector<COperation> queue;
  queue.swap(m_queue);
  for (const COperation& operation : queue) {
    try {
      bool changed = false;
      if (operation.type == COperation::kRemove) {
        RemoveUser(operation.user, operation.keyPath, &changed);
      } else if (std::find(skipUsers.begin(), skipUsers.end(), operation.user) != skipUsers.end()) {
        WriteLog(L"   Queued reference of '%s' to '%s' skipped: the suite is being removed",
                 operation.user.c_str(), operation.keyPath.c_str());
      } else {
        AddUser(operation.user, operation.keyPath, &changed);
      }
    } catch (const CRegistryKey::CMissingKey&) {
      // The product was removed and not installed again: it has no users to keep.
      WriteLog(L"   Queued reference operation of '%s' on '%s' not needed: the product is no longer installed",
               operation.user.c_str(), operation.keyPath.c_str());
    } catch (const CError& error) {
      // One product's failure must not drop the rest of the queue.
      WriteLog(L"   Failed queued reference operation of '%s' on '%s': %s", operation.user.c_str(),
               operation.keyPath.c_str(), error.GetMessage().c_str());
    }
  }
}

void CRefCounter::UndoLastOperation() {
  if (!g_referenceCountingEnabled) return;
  if (m_journal.empty()) throw CError(std::wstring(kEmptyJournalText));
  // Dropped before the undo: a failing entry is not tried again forever.
  // The kept journal follows only once the undo is made: a run killed in
  // between leaves an entry whose second undo changes nothing.
  COperation last = m_journal.back();
  m_journal.pop_back();
  m_undoing = true;
  try {
    bool changed = false;
    if (last.type == COperation::kRemove) {
      AddUser(last.user, last.keyPath, &changed);
    } else {
      RemoveUser(last.user, last.keyPath, &changed);
    }
  } catch (...) {
    m_undoing = false;
    SaveJournal();
    throw;
  }
  m_undoing = false;
  SaveJournal();
}

void CRefCounter::RollbackOperations() {
  if (!g_referenceCountingEnabled) return;
  while (!m_journal.empty()) {
    const COperation& last = m_journal.back();
    std::wstring user = last.user;
    std::wstring keyPath = last.keyPath;
    try {
      UndoLastOperation();
    } catch (const CError& error) {
      // The older entries are still undone.
      WriteLog(L"   Failed to undo the reference of '%s' on '%s': %s", user.c_str(), keyPath.c_str(),
               error.GetMessage().c_str());
    }
  }
}

void CRefCounter::CleanStaleEntries() {
  // 32-bit products are registered in the 32-bit view only: both are walked.
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    for (const std::wstring& name : EnumerateEntries(view)) {
      try {
        if (!IsStaleEntry(HKEY_LOCAL_MACHINE, name, view)) continue;
        WriteLog(L"   Deleting the stale reference count entry '%s'", name.c_str());
        CRegistryKey entry;
        entry.Open(HKEY_LOCAL_MACHINE, KeyPath(name), KEY_ALL_ACCESS | view, false);
        entry.DeleteKey();
      } catch (const CError& error) {
        WriteLog(L"   Could not clean the entry '%s': %s", name.c_str(), error.GetMessage().c_str());
      }
    }
  }
}
