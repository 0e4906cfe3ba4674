// upgrade_row.cpp: which installed products an Upgrade table row removes.
#include "actions/upgrade_row.h"

#include "engine/version_info.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

// The installer compares major.minor.build; the fourth part plays no role.
bool ReadVersion(const std::wstring& text, CVersionInfo* version) {
  CVersionInfo full;
  if (!full.Parse(Trim(text))) return false;
  version->SetParts3(full.GetMajor(), full.GetMinor(), full.GetBuild());
  return true;
}

}  // namespace

bool CUpgradeRow::Removes(const std::wstring& version, int productLanguage) const {
  if (attributes & kOnlyDetect) return false;
  return InVersionRange(version) && InLanguages(productLanguage);
}

bool CUpgradeRow::InVersionRange(const std::wstring& version) const {
  CVersionInfo installed;
  // A product whose version cannot be read could be any: the row may take it.
  if (!ReadVersion(version, &installed)) return true;
  CVersionInfo bound;
  if (ReadVersion(versionMin, &bound)) {
    int order = installed.Compare(bound);
    if (order < 0 || (order == 0 && !(attributes & kVersionMinInclusive))) return false;
  }
  if (ReadVersion(versionMax, &bound)) {
    int order = installed.Compare(bound);
    if (order > 0 || (order == 0 && !(attributes & kVersionMaxInclusive))) return false;
  }
  return true;
}

bool CUpgradeRow::InLanguages(int productLanguage) const {
  if (Trim(language).empty()) return true;
  bool listed = false;
  size_t start = 0;
  for (;;) {
    size_t comma = language.find(L',', start);
    std::wstring item = Trim(language.substr(start, comma == std::wstring::npos ? comma : comma - start));
    int value = 0;
    if (!item.empty() && StringToInt(item, &value) && value == productLanguage) listed = true;
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  return (attributes & kLanguagesExclusive) ? !listed : listed;
}
