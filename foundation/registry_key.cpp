// registry_key.cpp: opening keys in the right registry view, typed value
// reads and writes, and the multi-string layout.
#include "foundation/registry_key.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "foundation/wow64.h"
#include "platform/system_dlls.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kAdvapi32[] = L"Advapi32.dll";
// The longest value name, 16383 characters, and its NUL.
const DWORD kValueNameLength = 16384;
const wchar_t kMissingKeyText[] = L"Key '%s' does not exist";
const wchar_t kMissingValueText[] = L"Key doesn't have value '%s'";
const wchar_t kNotSzText[] = L"Key value '%s' is not of type SZ.";
const wchar_t kNotDwordText[] = L"Key value '%s' is not of type DWORD.";
const wchar_t kNotMultiSzText[] = L"Key value '%s' is not of type MULTI_SZ.";
const wchar_t kNullValueText[] = L"CRegistryKey::SetValueSZ: parameter aValue is NULL.";

const REGSAM kViewMask = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY root, LPCWSTR subkey, REGSAM view,
                                             DWORD reserved);
using RegDeleteKeyFunction = LONG(WINAPI*)(HKEY root, LPCWSTR subkey);

void ThrowIfFailed(LONG result) {
  if (result != ERROR_SUCCESS) throw CError(static_cast<DWORD>(result));
}

DWORD ByteCount(size_t bytes) {
  if (bytes > static_cast<size_t>(INT_MAX)) throw CError(static_cast<DWORD>(ERROR_OUTOFMEMORY));
  return static_cast<DWORD>(bytes);
}

LONG DeleteKeyInViews(HMODULE advapi32, HKEY root, const std::wstring& subkey, BOOL isWow64) {
  auto deleteKeyEx =
      reinterpret_cast<RegDeleteKeyExFunction>(GetProcAddress(advapi32, "RegDeleteKeyExW"));
  if (deleteKeyEx) {
    // The 32-bit view goes first: that is where this 32-bit program's own
    // earlier registrations live.
    LONG result = deleteKeyEx(root, subkey.c_str(), KEY_WOW64_32KEY, 0);
    if (result != ERROR_SUCCESS && isWow64) {
      result = deleteKeyEx(root, subkey.c_str(), KEY_WOW64_64KEY, 0);
    }
    return result;
  }
  auto deleteKey =
      reinterpret_cast<RegDeleteKeyFunction>(GetProcAddress(advapi32, "RegDeleteKeyW"));
  if (deleteKey) return deleteKey(root, subkey.c_str());
  return ERROR_PROC_NOT_FOUND;
}

}  // namespace

CRegistryKey::CRegistryKey() : m_isWow64(IsWow64()) {}

CRegistryKey::~CRegistryKey() {
  if (m_key) RegCloseKey(m_key);  // a destructor must not throw: the error is dropped
}

void CRegistryKey::Open(HKEY root, const std::wstring& subkey, REGSAM access, bool create) {
  Close();
  // Forget the previous key, so a DeleteKey after a failed Open cannot
  // remove a key the caller no longer works on.
  m_root = nullptr;
  m_subkey.clear();

  if (create) access |= KEY_CREATE_SUB_KEY;
  REGSAM firstAccess = access;
  REGSAM secondAccess = 0;
  bool hasSecondAttempt = false;
  if (m_isWow64 && (access & kViewMask) == 0) {
    firstAccess = access | KEY_WOW64_64KEY;
    secondAccess = access | KEY_WOW64_32KEY;
    hasSecondAttempt = true;
  }

  HKEY key = nullptr;
  LONG result;
  if (create) {
    result = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, firstAccess,
                             nullptr, &key, nullptr);
  } else {
    result = RegOpenKeyExW(root, subkey.c_str(), 0, firstAccess, &key);
    if (result != ERROR_SUCCESS && hasSecondAttempt) {
      result = RegOpenKeyExW(root, subkey.c_str(), 0, secondAccess, &key);
    }
  }
  if (result == ERROR_FILE_NOT_FOUND) throw CMissingKey(Format(kMissingKeyText, subkey.c_str()));
  ThrowIfFailed(result);

  m_key = key;
  m_root = root;
  m_subkey = subkey;
}

void CRegistryKey::Close() {
  if (!m_key) return;
  LONG result = RegCloseKey(m_key);
  m_key = nullptr;
  ThrowIfFailed(result);
}

DWORD CRegistryKey::GetValueDWORD(const std::wstring& name) {
  DWORD type = REG_NONE;
  DWORD value = 0;
  DWORD size = sizeof(value);
  LONG result = RegQueryValueExW(m_key, name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value), &size);
  if (result == ERROR_FILE_NOT_FOUND) throw CMissingValue(Format(kMissingValueText, name.c_str()));
  ThrowIfFailed(result);
  if (type != REG_DWORD) throw CTypeMismatch(Format(kNotDwordText, name.c_str()));
  return value;
}

std::wstring CRegistryKey::GetValueSZ(const std::wstring& name) {
  CBuffer data;
  DWORD size = 0;
  ReadValue(name, REG_SZ, kNotSzText, &data, &size);
  if (size < sizeof(wchar_t)) return std::wstring();
  // The data need not end with a NUL: the text ends at the first NUL or at
  // the end of the data, whichever comes first. An odd last byte is no
  // character.
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data.GetBuffer());
  size_t count = size / sizeof(wchar_t);
  size_t length = 0;
  while (length < count && text[length] != L'\0') ++length;
  return std::wstring(text, length);
}

void CRegistryKey::GetValueMultiSZ(const std::wstring& name, std::vector<std::wstring>* values) {
  if (!values) return;
  values->clear();
  CBuffer data;
  DWORD size = 0;
  ReadValue(name, REG_MULTI_SZ, kNotMultiSzText, &data, &size);
  if (size == 0) return;
  MultiSzToStringArray(data, values);
}

std::vector<CRegistryKey::CValue> CRegistryKey::GetValues() const {
  std::vector<CValue> values;
  std::vector<wchar_t> name(kValueNameLength);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kValueNameLength;
    DWORD type = REG_NONE;
    DWORD size = 0;
    // ERROR_NO_MORE_ITEMS past the last value.
    if (RegEnumValueW(m_key, index, name.data(), &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      break;
    }
    std::vector<BYTE> data(size);
    nameLength = kValueNameLength;
    LONG result = RegEnumValueW(m_key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    data.resize(size);
    values.push_back({std::wstring(name.data(), nameLength), type, std::move(data)});
  }
  return values;
}

void CRegistryKey::SetValueDWORD(const std::wstring& name, DWORD value) {
  ThrowIfFailed(RegSetValueExW(m_key, name.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

void CRegistryKey::SetValueSZ(const std::wstring& name, const wchar_t* value) {
  if (!value) throw CError(std::wstring(kNullValueText));
  DWORD size = ByteCount((wcslen(value) + 1) * sizeof(wchar_t));
  ThrowIfFailed(RegSetValueExW(m_key, name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value), size));
}

void CRegistryKey::SetValueMultiSZ(const std::wstring& name,
                                   const std::vector<std::wstring>& values) {
  CBuffer data;
  StringArrayToMultiSz(values, &data);
  ThrowIfFailed(RegSetValueExW(m_key, name.c_str(), 0, REG_MULTI_SZ, data.GetBuffer(),
                               static_cast<DWORD>(data.GetSize())));
}

void CRegistryKey::DeleteValue(const std::wstring& name) {
  LONG result = RegDeleteValueW(m_key, name.c_str());
  if (result == ERROR_FILE_NOT_FOUND) return;  // already gone is what the caller wants
  ThrowIfFailed(result);
}

void CRegistryKey::DeleteKey() {
  if (!m_root || m_subkey.empty()) return;
  // advapi32 by full path, so no DLL planted beside setup.exe is loaded.
  HMODULE advapi32 = LoadSystemDll(kAdvapi32);
  if (!advapi32) throw CError(GetLastError());
  LONG result = DeleteKeyInViews(advapi32, m_root, m_subkey, m_isWow64);
  FreeLibrary(advapi32);
  ThrowIfFailed(result);
}

void CRegistryKey::QueryValueInfo(const std::wstring& name, DWORD* type, DWORD* size) {
  LONG result = RegQueryValueExW(m_key, name.c_str(), nullptr, type, nullptr, size);
  if (result == ERROR_FILE_NOT_FOUND) throw CMissingValue(Format(kMissingValueText, name.c_str()));
  ThrowIfFailed(result);
}

void CRegistryKey::ReadValue(const std::wstring& name, DWORD expectedType,
                             const wchar_t* mismatchText, CBuffer* data, DWORD* size) {
  DWORD type = REG_NONE;
  *size = 0;
  QueryValueInfo(name, &type, size);
  if (type != expectedType) throw CTypeMismatch(Format(mismatchText, name.c_str()));
  if (*size == 0) return;  // an empty value is valid: there is nothing to read
  data->Allocate(static_cast<int>(ByteCount(*size)));
  DWORD readSize = *size;
  ThrowIfFailed(
      RegQueryValueExW(m_key, name.c_str(), nullptr, &type, data->GetBuffer(), &readSize));
  *size = readSize;
}

void MultiSzToStringArray(const CBuffer& buffer, std::vector<std::wstring>* strings) {
  if (!strings) return;
  strings->clear();
  size_t count = static_cast<size_t>(buffer.GetSize()) / sizeof(wchar_t);
  if (count == 0) return;
  const wchar_t* data = reinterpret_cast<const wchar_t*>(buffer.GetBuffer());
  size_t start = 0;
  for (size_t position = 0; position <= count; ++position) {
    if (position == count || data[position] == L'\0') {
      strings->emplace_back(data + start, position - start);
      start = position + 1;
    }
  }
  // The list's end marker (and zero padding) shows up as empty strings.
  while (!strings->empty() && strings->back().empty()) strings->pop_back();
}

void StringArrayToMultiSz(const std::vector<std::wstring>& strings, CBuffer* buffer) {
  if (!buffer) return;
  size_t characters = 1;
  for (const std::wstring& text : strings) characters += text.size() + 1;
  buffer->Allocate(static_cast<int>(ByteCount(characters * sizeof(wchar_t))));
  wchar_t* out = reinterpret_cast<wchar_t*>(buffer->GetBuffer());
  for (const std::wstring& text : strings) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size() * sizeof(wchar_t));
    out += text.size() + 1;  // the NUL comes from the zero fill
  }
}
