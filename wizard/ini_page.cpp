// ini_page.cpp: reads one page of a configured page sequence.
#include "wizard/ini_page.h"

#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/text_utils.h"
#include "wizard/ini_exception.h"

namespace {

void RequireSection(const CKwIniFile& file, const std::wstring& section) {
  CKwIniSection* found = nullptr;
  if (!file.FindSection(section, &found)) throw CIniException(L"Could not load section " + section);
}

// A required flag: missing and malformed are two different errors.
int LoadFlag(const CKwIniFile& file, const std::wstring& section, const std::wstring& key) {
  std::wstring text;
  if (!file.GetValue(section, key, &text, L"")) {
    throw CIniException(L"Failed to load '" + key + L"' value from " + section);
  }
  int value = 0;
  if (!StringToInt(text, &value)) {
    throw CIniException(L"Failed converting '" + key + L"' value to BOOL " + section);
  }
  return value;
}

}  // namespace

void CIniPage::Load(const CKwIniFile& file, const std::wstring& sequenceName, const std::wstring& pageName) {
  m_name = pageName;
  std::wstring section = std::wstring(kInterfaceSection) + L"." + sequenceName + L"." + pageName;
  RequireSection(file, section);
  if (!file.GetValue(section, kNextKey, &m_next, L"")) {
    throw CIniException(L"Failed to load 'Next' value from " + section);
  }
  m_disableBack = LoadFlag(file, section, kDisableBackKey);
  m_disableNext = LoadFlag(file, section, kDisableNextKey);
  std::wstring text;
  m_enableView = 0;
  if (file.GetValue(section, kEnableViewKey, &text, L"") && !StringToInt(text, &m_enableView)) {
    m_enableView = 0;
  }
  if (!file.GetValue(section, kDisplayConditionKey, &m_displayCondition, L"")) {
    throw CIniException(L"Failed to load 'DisplayCondition' value from " + section);
  }
  size_t end = m_displayCondition.find_last_not_of(L' ');
  m_displayCondition.erase(end == std::wstring::npos ? 0 : end + 1);
}
