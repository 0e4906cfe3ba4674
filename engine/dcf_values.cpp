// dcf_values.cpp: single values and comma-separated lists of the suite's
// configuration file.
#include "engine/dcf_values.h"

#include <string>
#include <vector>

#include "foundation/kw_ini_file.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

std::wstring ReadDcfValue(const CKwIniFile& configuration, const std::wstring& section,
                          const std::wstring& key, const std::wstring& defaultValue) {
  std::wstring value;
  configuration.GetValue(section, key, &value, defaultValue);
  return value;
}

bool ReadValueList(const CKwIniFile& configuration, const std::wstring& section,
                   const std::wstring& key, std::vector<std::wstring>* list,
                   const std::wstring& prefix) {
  if (!list) return false;
  std::wstring rest;
  if (!configuration.GetValue(section, key, &rest, L"") || rest.empty()) return false;
  std::wstring item;
  while (ExtractToken(&rest, &item, L",", true) && !item.empty()) {
    list->push_back(prefix.empty() ? item : Format(L"%s.%s", prefix.c_str(), item.c_str()));
  }
  return true;
}
