#pragma once
// upgrade_row.h: CUpgradeRow, one row of a package's Upgrade table, and
// whether the package's own upgrade removes an installed product it finds
// by that row's UpgradeCode.
#include <string>

class CUpgradeRow {
 public:
  // The row's Attributes bits that decide a removal.
  enum EAttributes : int {
    kOnlyDetect = 0x2,
    kVersionMinInclusive = 0x100,
    kVersionMaxInclusive = 0x200,
    kLanguagesExclusive = 0x400,
  };

  // Whether an installed product of that version and language (0: not
  // known) falls in the row and so goes when the package installs. A
  // detect-only row removes nothing. The installer compares three parts of
  // a version; an empty bound is none, and an empty language list takes
  // every language.
  bool Removes(const std::wstring& version, int language) const;

  std::wstring upgradeCode;
  std::wstring versionMin;
  std::wstring versionMax;
  std::wstring language;
  int attributes = 0;

 private:
  bool InVersionRange(const std::wstring& version) const;
  bool InLanguages(int productLanguage) const;
};
