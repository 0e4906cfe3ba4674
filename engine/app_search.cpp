// app_search.cpp: runs a product's AppSearch program: "out" and "ret" set
// where a result goes and how failure counts, "dep" runs the programs of
// other properties, "reg" and "app" test the registry and files.
#include "engine/app_search.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <utility>

#include "engine/setup_state.h"
#include "engine/version_info.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const size_t kMaxFields = 4;
const DWORD kValueBufferCharacters = 260;

struct CHiveName {
  const wchar_t* name;
  HKEY root;
};
// Exact case, as the configurations write them.
const CHiveName kHives[] = {
    {L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKCU", HKEY_CURRENT_USER},
    {L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKU", HKEY_USERS},
};

// `text` cut at each `separator` outside double quotes; the quotes stay.
std::vector<std::wstring> SplitQuoted(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts(1);
  bool quoted = false;
  for (wchar_t c : text) {
    if (c == L'"') quoted = !quoted;
    if (c == separator && !quoted) {
      parts.emplace_back();
      continue;
    }
    parts.back() += c;
  }
  return parts;
}

std::wstring Field(const std::vector<std::wstring>& fields, size_t index) {
  return index < fields.size() ? fields[index] : std::wstring();
}

}  // namespace

CAppSearch::CAppSearch(CSetupState& state, Expander expand) : m_state(state), m_expand(std::move(expand)) {}

std::vector<std::vector<std::wstring>> CAppSearch::ParseProgram(const std::wstring& program) {
  std::vector<std::vector<std::wstring>> tests;
  for (const std::wstring& test : SplitQuoted(program, L';')) {
    std::vector<std::wstring> fields;
    for (const std::wstring& field : SplitQuoted(test, L',')) {
      if (field.empty() || fields.size() == kMaxFields) break;
      fields.push_back(field);
    }
    if (!fields.empty()) tests.push_back(fields);
  }
  return tests;
}

DWORD CAppSearch::Run(const std::wstring& name) {
  m_running.clear();
  return RunNested(name);
}

DWORD CAppSearch::RunNested(const std::wstring& name) {
  for (const std::wstring& running : m_running) {
    if (running != name) continue;
    WriteLog(L"   ERROR: The AppSearch in '%s' depends on itself; the search fails", name.c_str());
    return kSearchFailed;
  }
  WriteLog(L"Running AppSearch");
  std::wstring program;
  m_state.GetProperty(name, &program);
  WriteLog(L"   Looking up the suite property %s, and retrieved the value: %s", name.c_str(),
           program.empty() ? L"empty" : program.c_str());

  m_running.push_back(name);
  CSearch search;
  for (std::vector<std::wstring>& fields : ParseProgram(program)) {
    if (fields.size() > 1 && m_expand) fields[1] = m_expand(fields[1]);
    std::wstring kind = Trim(fields[0]);
    std::wstring result;
    if (EqualsNoCase(kind, L"out")) {
      search.resultProperty = Field(fields, 1);
      search.fallback = Field(fields, 2);
    } else if (EqualsNoCase(kind, L"ret")) {
      if (Field(fields, 1) == L"false") search.failureCode = ERROR_SUCCESS;
    } else if (EqualsNoCase(kind, L"dep")) {
      DWORD code = RunDependencies(Field(fields, 1));
      m_running.pop_back();
      return code;
    } else if (EqualsNoCase(kind, L"reg") || EqualsNoCase(kind, L"app")) {
      bool found = EqualsNoCase(kind, L"reg") ? RegistryTest(fields, &result) : FileTest(fields, &result);
      if (found) {
        SetSearchResultProperty(search.resultProperty, result, search.fallback);
        m_running.pop_back();
        return ERROR_SUCCESS;
      }
    } else {
      WriteLog(L"   ERROR: An invalid search type was passed in: '%s'", fields[0].c_str());
    }
  }
  m_running.pop_back();
  SetSearchResultProperty(search.resultProperty, L"", search.fallback);
  WriteLog(L"   The requested AppSearch tests were not succesful.");
  return search.failureCode;
}

// The result of the last search run; 0 when none ran.
DWORD CAppSearch::RunDependencies(const std::wstring& names) {
  DWORD result = ERROR_SUCCESS;
  for (const std::wstring& name : SplitQuoted(names, L'&')) {
    if (name.empty()) break;
    result = RunNested(name);
  }
  return result;
}

void CAppSearch::SetSearchResultProperty(const std::wstring& name, const std::wstring& value,
                                         const std::wstring& fallback) {
  if (name.empty()) return;
  m_state.SetProperty(name, value.empty() ? fallback : value);
}

bool CAppSearch::RegistryTest(const std::vector<std::wstring>& fields, std::wstring* result) {
  std::wstring keyText = Field(fields, 1);
  size_t slash = keyText.find(L'\\');
  std::wstring hive = keyText.substr(0, slash);
  std::wstring path = slash == std::wstring::npos ? std::wstring() : keyText.substr(slash + 1);
  HKEY root = nullptr;
  for (const CHiveName& known : kHives) {
    if (hive == known.name) root = known.root;
  }
  if (!root) {
    WriteLog(L"   ERROR: An incorrect hive was passed in: %s", hive.c_str());
    return false;
  }
  // The 32-bit view first, as a 32-bit program sees the registry; 64-bit
  // products write only the other view.
  bool wow64 = IsWow64() != FALSE;
  CRegistryKey key;
  try {
    key.Open(root, path, KEY_READ | (wow64 ? KEY_WOW64_32KEY : 0), false);
  } catch (const CError& error) {
    if (!wow64) {
      WriteLog(L"   The registry key was not found on x86: '%s' error: %d", keyText.c_str(), error.GetErrorCode());
      return false;
    }
    try {
      key.Open(root, path, KEY_READ | KEY_WOW64_64KEY, false);
    } catch (const CError& error64) {
      WriteLog(L"   The registry key was not found on x86 or x64: '%s' error: %d", keyText.c_str(),
               error64.GetErrorCode());
      return false;
    }
  }
  return ReadRegistryValue(key.GetHandle(), keyText, fields, result);
}

bool CAppSearch::ReadRegistryValue(HKEY key, const std::wstring& keyText, const std::vector<std::wstring>& fields,
                                   std::wstring* result) {
  std::wstring type = Field(fields, 2);
  if (type.empty()) {
    result->clear();
    return true;
  }
  if (fields.size() < 4) {
    WriteLog(L"   ERROR: The test type '%s' was specified but not the test value.", type.c_str());
    return false;
  }
  // One more character than the value may fill, so a text always ends.
  wchar_t buffer[kValueBufferCharacters + 1] = {};
  DWORD storedType = REG_NONE;
  DWORD size = kValueBufferCharacters * sizeof(wchar_t);
  LONG read = RegQueryValueExW(key, fields[3].c_str(), nullptr, &storedType, reinterpret_cast<BYTE*>(buffer), &size);
  if (read != ERROR_SUCCESS) {
    WriteLog(L"   There was an error reading the registry key '%s' error: %d", keyText.c_str(), read);
    return false;
  }
  if (type == L"REG_DWORD" && storedType == REG_DWORD && size >= sizeof(DWORD)) {
    DWORD number = 0;
    memcpy(&number, buffer, sizeof(number));
    *result = Format(L"%d", static_cast<int>(number));
    return true;
  }
  if ((type == L"REG_SZ" && storedType == REG_SZ) || (type == L"REG_EXPAND_SZ" && storedType == REG_EXPAND_SZ)) {
    *result = std::wstring(buffer, wcsnlen(buffer, size / sizeof(wchar_t)));
    return true;
  }
  WriteLog(L"   ERROR: The registry value was an unsupported type: %d", storedType);
  return false;
}

bool CAppSearch::FileTest(const std::vector<std::wstring>& fields, std::wstring* result) {
  std::wstring path = Field(fields, 1);
  if (!FileExists(path)) {
    WriteLog(L"   The file '%s' could not be found", path.c_str());
    return false;
  }
  *result = path;
  std::wstring type = Field(fields, 2);
  if (type.empty()) return true;
  CVersionInfo wanted;
  if (fields.size() < 4 || !wanted.Parse(fields[3])) {
    WriteLog(L"   ERROR: The test type does not have a matching test value");
    return false;
  }
  // A file without a version resource counts as version 0.
  CVersionInfo found;
  found.SetFromFileVersion(path);
  if (EqualsNoCase(type, L"MAX")) {
    if (found.Compare(wanted) <= 0) return true;
    WriteLog(L"   The file version '%s' was greater than the test version '%s'", found.ToString().c_str(),
             fields[3].c_str());
    return false;
  }
  if (EqualsNoCase(type, L"MIN")) {
    if (found.Compare(wanted) >= 0) return true;
    WriteLog(L"   The file version '%s' was less than the test version '%s'", found.ToString().c_str(),
             fields[3].c_str());
    return false;
  }
  WriteLog(L"   ERROR: An invalid test type was passed in: '%s'", type.c_str());
  return false;
}
