// ini_sequence.cpp: reads a configured page sequence and its pages.
#include "wizard/ini_sequence.h"

#include <algorithm>

#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/text_utils.h"
#include "wizard/ini_exception.h"

void CIniSequence::Load(const CKwIniFile& file, const std::wstring& sequenceName) {
  m_pages.clear();
  m_start.clear();
  m_name = sequenceName;
  std::wstring section = std::wstring(kInterfaceSection) + L"." + sequenceName;
  CKwIniSection* found = nullptr;
  if (!file.FindSection(section, &found)) throw CIniException(L"Could not load section " + section);

  std::wstring pages;
  if (!file.GetValue(section, kPagesKey, &pages, L"")) {
    throw CIniException(L"Could not load 'Pages' entry in  " + section);
  }
  // The splitter lets an open quote run to the end; a list with one is broken.
  if (std::count(pages.begin(), pages.end(), L'"') % 2 != 0) {
    throw CIniException(L"Error while parsing 'Pages' entry in " + section);
  }
  std::wstring pageName;
  while (ExtractToken(&pages, &pageName, L",", true)) {
    if (pageName.empty()) continue;
    CIniPage page;
    page.Load(file, sequenceName, pageName);
    m_pages[page.GetName()] = page;
  }

  if (!file.GetValue(section, kStartKey, &m_start, L"")) {
    throw CIniException(L"Could not load 'Start' entry in  " + section);
  }
}

CIniPage CIniSequence::GetPage(const std::wstring& name) const {
  auto found = m_pages.find(name);
  return found == m_pages.end() ? CIniPage() : found->second;
}
