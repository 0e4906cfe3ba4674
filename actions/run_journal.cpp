// run_journal.cpp: the registry record of a run's undo, written as the run
// goes, settled when it ends, and read back by a later run when the process
// that wrote it has gone.
#include "actions/run_journal.h"

#include <windows.h>

#include <algorithm>

#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kRunsKey[] = L"SOFTWARE\\Tamsa\\Setup\\Runs";
const wchar_t kSuiteValue[] = L"Suite";
const wchar_t kReferencesValue[] = L"References";
const wchar_t kProductsValue[] = L"Products";
const wchar_t kRegisteringValue[] = L"Registering";
const wchar_t kResumeEntryValue[] = L"ResumeEntry";
const wchar_t kResumeCommandValue[] = L"ResumeCommand";
const wchar_t kWorkingCopyValue[] = L"WorkingCopy";
const wchar_t kTriesValue[] = L"Tries";
// A product whose removal keeps failing is left to its own uninstall.
const unsigned long kMaxUndoTries = 3;
const wchar_t kAddText[] = L"add";
const wchar_t kRemoveText[] = L"remove";
// Between the parts of an entry: no product code, suite id or key path holds it.
const wchar_t kSeparator = L'\t';
const DWORD kKeyNameLength = 256;

// The records live in the machine's own view, whichever view reads them.
const REGSAM kView = KEY_WOW64_64KEY;

std::wstring Join(const std::wstring& first, const std::wstring& rest) { return first + kSeparator + rest; }

bool Split(const std::wstring& entry, std::wstring* first, std::wstring* rest) {
  size_t separator = entry.find(kSeparator);
  if (separator == std::wstring::npos) return false;
  *first = entry.substr(0, separator);
  *rest = entry.substr(separator + 1);
  return true;
}

std::wstring ReadText(CRegistryKey* key, const wchar_t* name) {
  try {
    return key->GetValueSZ(name);
  } catch (const CRegistryKey::CMissingValue&) {
    return std::wstring();  // nothing of that kind was journalled
  }
}

DWORD ReadNumber(CRegistryKey* key, const wchar_t* name) {
  try {
    return key->GetValueDWORD(name);
  } catch (const CRegistryKey::CMissingValue&) {
    return 0;
  }
}

std::wstring JoinProduct(const CRunJournal::CProduct& product) {
  return Join(product.productCode, product.rollbackCommand);
}

std::vector<std::wstring> ReadList(CRegistryKey* key, const wchar_t* name) {
  std::vector<std::wstring> entries;
  try {
    key->GetValueMultiSZ(name, &entries);
  } catch (const CRegistryKey::CMissingValue&) {
    entries.clear();  // nothing of that kind was journalled
  }
  return entries;
}

}  // namespace

CRunJournal::CRunJournal() : CRunJournal(kRunsKey) {}

CRunJournal::CRunJournal(const std::wstring& rootKey) : m_rootKey(rootKey) {}

bool CRunJournal::Begin(const std::wstring& suiteId) {
  // A resume entry may have opened the record already.
  if (m_open) return true;
  m_name = CProcessIdentity::Current().ToText();
  m_products.clear();
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey + L"\\" + m_name, KEY_SET_VALUE | KEY_QUERY_VALUE | kView, true);
    key.SetValueSZ(kSuiteValue, suiteId.c_str());
    m_open = true;
  } catch (const CError& error) {
    WriteLog(L"Unable to keep the run's journal for a later run: %s", error.GetMessage().c_str());
    m_open = false;
  }
  return m_open;
}

void CRunJournal::UpdateRecord(const std::function<void(CRegistryKey*)>& write) {
  if (!m_open) return;
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey + L"\\" + m_name, KEY_SET_VALUE | KEY_QUERY_VALUE | kView, false);
    write(&key);
  } catch (const CError& error) {
    // The run itself still undoes what it did; only a kill would miss this.
    WriteLog(L"Unable to update the run's journal: %s", error.GetMessage().c_str());
  }
}

void CRunJournal::WriteList(const wchar_t* name, const std::vector<std::wstring>& entries) {
  UpdateRecord([name, &entries](CRegistryKey* key) { key->SetValueMultiSZ(name, entries); });
}

void CRunJournal::SaveReferences(const std::vector<CRefCounter::COperation>& journal) {
  if (!m_open) return;
  std::vector<std::wstring> entries;
  for (const CRefCounter::COperation& operation : journal) {
    const wchar_t* type = operation.type == CRefCounter::COperation::kAdd ? kAddText : kRemoveText;
    entries.push_back(Join(type, Join(operation.user, operation.keyPath)));
  }
  WriteList(kReferencesValue, entries);
}

void CRunJournal::AddProduct(const std::wstring& productCode, const std::wstring& rollbackCommand) {
  if (!m_open) return;
  m_products.push_back(JoinProduct({productCode, rollbackCommand}));
  WriteList(kProductsValue, m_products);
}

void CRunJournal::DropLastProduct() {
  if (!m_open || m_products.empty()) return;
  m_products.pop_back();
  WriteList(kProductsValue, m_products);
}

void CRunJournal::MarkRegistering() {
  UpdateRecord([](CRegistryKey* key) { key->SetValueDWORD(kRegisteringValue, 1); });
}

void CRunJournal::RecordResumeEntry(const std::wstring& name, const std::wstring& command,
                                    const std::wstring& workingCopy) {
  UpdateRecord([&](CRegistryKey* key) {
    key->SetValueSZ(kResumeEntryValue, name.c_str());
    key->SetValueSZ(kResumeCommandValue, command.c_str());
    key->SetValueSZ(kWorkingCopyValue, workingCopy.c_str());
  });
}

void CRunJournal::DropResumeEntry() {
  UpdateRecord([](CRegistryKey* key) {
    key->DeleteValue(kResumeEntryValue);
    key->DeleteValue(kResumeCommandValue);
    key->DeleteValue(kWorkingCopyValue);
  });
}

void CRunJournal::Settle() {
  if (!m_open) return;
  m_open = false;
  Remove(m_name);
}

void CRunJournal::Remove(const std::wstring& name) const {
  try {
    CRegistryKey runs;
    runs.Open(HKEY_LOCAL_MACHINE, m_rootKey, KEY_ALL_ACCESS | kView, false);
    LONG result = RegDeleteKeyW(runs.GetHandle(), name.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
      WriteLog(L"Unable to remove the run's journal '%s', error code = %d", name.c_str(), result);
    }
  } catch (const CError& error) {
    WriteLog(L"Unable to remove the run's journal '%s': %s", name.c_str(), error.GetMessage().c_str());
  }
}

bool CRunJournal::KeepUndone(const CRecord& record, const std::vector<CProduct>& left) const {
  unsigned long tries = record.tries + 1;
  if (left.empty() || tries >= kMaxUndoTries) {
    Remove(record.name);
    return left.empty();
  }
  std::vector<std::wstring> products;
  for (const CProduct& product : left) products.push_back(JoinProduct(product));
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey + L"\\" + record.name, KEY_SET_VALUE | KEY_QUERY_VALUE | kView, false);
    const wchar_t* const undone[] = {kReferencesValue, kRegisteringValue, kResumeEntryValue, kResumeCommandValue,
                                     kWorkingCopyValue};
    for (const wchar_t* value : undone) key.DeleteValue(value);
    key.SetValueMultiSZ(kProductsValue, products);
    key.SetValueDWORD(kTriesValue, tries);
  } catch (const CError& error) {
    // The whole record stays: a later run undoes it again, which changes
    // nothing that is undone already.
    WriteLog(L"Unable to update the journal '%s': %s", record.name.c_str(), error.GetMessage().c_str());
  }
  return true;
}

bool CRunJournal::KeepWhole(const CRecord& record) const {
  unsigned long tries = record.tries + 1;
  if (tries >= kMaxUndoTries) {
    WriteLog(L"   What setup process %lu left is given up after %lu tries", record.owner.GetId(), tries);
    Remove(record.name);
    return false;
  }
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey + L"\\" + record.name, KEY_SET_VALUE | kView, false);
    key.SetValueDWORD(kTriesValue, tries);
  } catch (const CError& error) {
    WriteLog(L"Unable to update the journal '%s': %s", record.name.c_str(), error.GetMessage().c_str());
  }
  return true;
}

std::vector<std::wstring> CRunJournal::RecordNames() const {
  std::vector<std::wstring> names;
  try {
    CRegistryKey runs;
    runs.Open(HKEY_LOCAL_MACHINE, m_rootKey, KEY_READ | kView, false);
    for (DWORD index = 0;; ++index) {
      wchar_t name[kKeyNameLength];
      DWORD length = kKeyNameLength;
      LONG result = RegEnumKeyExW(runs.GetHandle(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result != ERROR_SUCCESS) throw CError(L"Enumerate key 'Runs'", static_cast<DWORD>(result));
      names.push_back(std::wstring(name, length));
    }
  } catch (const CRegistryKey::CMissingKey&) {
    return {};  // no run has kept a journal here
  } catch (const CError& error) {
    WriteLog(L"Unable to read the journals of earlier runs: %s", error.GetMessage().c_str());
  }
  return names;
}

bool CRunJournal::RunningRunWrote(const std::wstring& entry, const std::wstring& command) const {
  for (const std::wstring& name : RecordNames()) {
    CRecord record;
    if (!CProcessIdentity::Parse(name, &record.owner) || !record.owner.IsRunning()) continue;
    if (ReadRecord(name, &record) && EqualsNoCase(record.resumeEntry, entry) && record.resumeCommand == command) {
      return true;
    }
  }
  return false;
}

std::vector<CRunJournal::CRecord> CRunJournal::FindAbandoned() const {
  std::vector<std::wstring> names = RecordNames();
  std::vector<CRecord> records;
  for (const std::wstring& name : names) {
    CRecord record;
    // A name that names no process is not a record of ours.
    if (!CProcessIdentity::Parse(name, &record.owner) || record.owner.IsRunning()) continue;
    record.name = name;
    if (ReadRecord(name, &record)) records.push_back(record);
  }
  std::sort(records.begin(), records.end(), [](const CRecord& a, const CRecord& b) {
    return a.owner.GetCreated() > b.owner.GetCreated();
  });
  return records;
}

bool CRunJournal::ReadRecord(const std::wstring& name, CRecord* record) const {
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey + L"\\" + name, KEY_QUERY_VALUE | kView, false);
    record->suiteId = ReadText(&key, kSuiteValue);
    for (const std::wstring& entry : ReadList(&key, kReferencesValue)) {
      std::wstring type;
      std::wstring rest;
      CRefCounter::COperation operation;
      if (!Split(entry, &type, &rest) || !Split(rest, &operation.user, &operation.keyPath)) continue;
      if (type == kAddText) {
        operation.type = CRefCounter::COperation::kAdd;
      } else if (type == kRemoveText) {
        operation.type = CRefCounter::COperation::kRemove;
      } else {
        continue;
      }
      record->references.push_back(operation);
    }
    for (const std::wstring& entry : ReadList(&key, kProductsValue)) {
      CProduct product;
      if (Split(entry, &product.productCode, &product.rollbackCommand)) record->products.push_back(product);
    }
    record->registering = ReadNumber(&key, kRegisteringValue) != 0;
    record->resumeEntry = ReadText(&key, kResumeEntryValue);
    record->resumeCommand = ReadText(&key, kResumeCommandValue);
    record->workingCopy = ReadText(&key, kWorkingCopyValue);
    record->tries = ReadNumber(&key, kTriesValue);
    return true;
  } catch (const CError& error) {
    WriteLog(L"Unable to read the journal '%s': %s", name.c_str(), error.GetMessage().c_str());
    return false;
  }
}
