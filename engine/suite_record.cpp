// suite_record.cpp: an Uninstall entry of HKLM in a fixed registry view.
#include "engine/suite_record.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/file_utils.h"

namespace {

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY root, LPCWSTR subkey, REGSAM view, DWORD reserved);

bool IsGone(LONG result) { return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND; }

}  // namespace

const wchar_t kSuiteDisplayNameValue[] = L"DisplayName";
const wchar_t kSuiteDisplayVersionValue[] = L"DisplayVersion";
const wchar_t kSuiteBuildNumberValue[] = L"BuildNumber";
const wchar_t kSuiteSkuValue[] = L"SKU";
const wchar_t kSuiteBasePathValue[] = L"BasePath";
const wchar_t kSuiteFolderValue[] = L"SuiteFolder";
const wchar_t kSuiteFamilyIdValue[] = L"FamilyID";
const wchar_t kSuiteInstallLocationValue[] = L"InstallLocation";
const wchar_t kSuiteInstalledLanguageValue[] = L"InstalledLanguage";

CSuiteRecord::CSuiteRecord(const std::wstring& key, REGSAM view) : m_path(KeyPath(key)), m_view(view) {}

CSuiteRecord::~CSuiteRecord() {
  if (m_key) RegCloseKey(m_key);
}

bool CSuiteRecord::IsWellFormedSuiteId(const std::wstring& suiteId) {
  return suiteId.size() <= MAX_PATH && IsPlainFileName(suiteId);
}

std::wstring CSuiteRecord::KeyPath(const std::wstring& key) { return kUninstallRoot + key; }

bool CSuiteRecord::Exists() const {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, KEY_QUERY_VALUE | m_view, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool CSuiteRecord::ReadText(const wchar_t* name, std::wstring* value) const {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, KEY_QUERY_VALUE | m_view, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD size = 0;
  LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  bool read = false;
  if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    // Two characters more: a value stored without its terminator still ends.
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_SUCCESS) {
      *value = data.data();
      read = true;
    }
  }
  RegCloseKey(key);
  return read;
}

LONG CSuiteRecord::Create() {
  if (m_key) return ERROR_SUCCESS;
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS | m_view, nullptr, &m_key, nullptr);
}

LONG CSuiteRecord::SetText(const wchar_t* name, const std::wstring& value) {
  if (!m_key) return ERROR_INVALID_HANDLE;
  return RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG CSuiteRecord::SetNumber(const wchar_t* name, DWORD value) {
  if (!m_key) return ERROR_INVALID_HANDLE;
  return RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

bool CSuiteRecord::DeleteInView() {
  if (m_key) {
    RegCloseKey(m_key);
    m_key = nullptr;
  }
  auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExFunction>(
      GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW"));
  LONG result = deleteKeyEx && m_view != 0 ? deleteKeyEx(HKEY_LOCAL_MACHINE, m_path.c_str(), m_view, 0)
                                           : RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_path.c_str());
  SetLastError(static_cast<DWORD>(result));
  return result == ERROR_SUCCESS;
}

bool CSuiteRecord::Delete() {
  if (m_key) {
    RegCloseKey(m_key);
    m_key = nullptr;
  }
  // Systems without views lack RegDeleteKeyExW: there one deletion is all.
  auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExFunction>(
      GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW"));
  if (!deleteKeyEx) return IsGone(RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_path.c_str()));
  bool gone = true;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    if (!IsGone(deleteKeyEx(HKEY_LOCAL_MACHINE, m_path.c_str(), view, 0))) gone = false;
  }
  return gone;
}
