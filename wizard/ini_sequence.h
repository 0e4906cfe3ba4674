#pragma once
// ini_sequence.h: a page sequence that a suite configures in
// [Interface.<name>]: its first page and its pages by name.
#include <string>

#include "wizard/ini_page.h"

class CKwIniFile;

class CIniSequence {
 public:
  CIniSequence() = default;
  virtual ~CIniSequence() = default;

  // Throws CIniException; a page that fails fails the whole sequence.
  void Load(const CKwIniFile& file, const std::wstring& sequenceName);

  // A copy; an empty page when the sequence has none of that name.
  CIniPage GetPage(const std::wstring& name) const;

  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetStart() const { return m_start; }
  const CIniPageMap& GetPages() const { return m_pages; }

 private:
  std::wstring m_name;
  std::wstring m_start;
  CIniPageMap m_pages;
};
