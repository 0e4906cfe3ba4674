// working_copy_records.cpp: one registry value per working copy, its name
// the folder and its text the identity of the run that made it.
#include "engine/working_copy_records.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/process_identity.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kRecordsKey[] = L"SOFTWARE\\Tamsa\\Setup\\WorkingCopies";
// The machine's own view, whichever view reads them.
const REGSAM kView = KEY_WOW64_64KEY;

std::wstring TextOf(const CRegistryKey::CValue& value) {
  std::vector<wchar_t> text(value.data.size() / sizeof(wchar_t) + 1, L'\0');
  std::copy(value.data.begin(), value.data.end(), reinterpret_cast<BYTE*>(text.data()));
  return std::wstring(text.data());
}

}  // namespace

CWorkingCopyRecords::CWorkingCopyRecords() : CWorkingCopyRecords(kRecordsKey) {}

CWorkingCopyRecords::CWorkingCopyRecords(const std::wstring& rootKey) : m_rootKey(rootKey) {}

bool CWorkingCopyRecords::Record(const std::wstring& folder) const {
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey, KEY_SET_VALUE | kView, true);
    key.SetValueSZ(folder, CProcessIdentity::Current().ToText().c_str());
    return true;
  } catch (const CError& error) {
    WriteLog(L"   The working copy '%s' cannot be recorded (%s); only this run removes it", folder.c_str(),
             error.GetMessage().c_str());
    return false;
  }
}

bool CWorkingCopyRecords::Names(const std::wstring& folder) const {
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey, KEY_QUERY_VALUE | kView, false);
    key.GetValueSZ(folder);
    return true;
  } catch (const CError&) {
    return false;  // no record: nothing proves the folder setup's
  }
}

std::vector<std::wstring> CWorkingCopyRecords::OfEndedRuns() const {
  std::vector<std::wstring> folders;
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey, KEY_QUERY_VALUE | kView, false);
    for (const CRegistryKey::CValue& value : key.GetValues()) {
      CProcessIdentity owner;
      if (value.type == REG_SZ && CProcessIdentity::Parse(TextOf(value), &owner) && !owner.IsRunning()) {
        folders.push_back(value.name);
      }
    }
  } catch (const CError&) {
    return {};  // no run has recorded a copy here
  }
  return folders;
}

void CWorkingCopyRecords::Drop(const std::wstring& folder) const {
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, m_rootKey, KEY_SET_VALUE | kView, false);
    key.DeleteValue(folder);
  } catch (const CError&) {
    // No key: no record to drop.
  }
}
