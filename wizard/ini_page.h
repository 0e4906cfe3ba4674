#pragma once
// ini_page.h: one wizard page of a page sequence: its name, the page that
// follows, its buttons and the sheet properties that decide whether it shows.
#include <list>
#include <map>
#include <string>

class CKwIniFile;

class CIniPage {
 public:
  CIniPage() = default;
  CIniPage(const CIniPage&) = default;
  CIniPage& operator=(const CIniPage&) = default;
  virtual ~CIniPage() = default;

  // Fills the page from [Interface.<sequence>.<page>]. Throws CIniException.
  void Load(const CKwIniFile& file, const std::wstring& sequenceName, const std::wstring& pageName);

  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetNext() const { return m_next; }
  bool IsBackDisabled() const { return m_disableBack != 0; }
  bool IsNextDisabled() const { return m_disableNext != 0; }
  bool IsViewEnabled() const { return m_enableView != 0; }
  const std::wstring& GetDisplayCondition() const { return m_displayCondition; }

  void SetName(const std::wstring& name) { m_name = name; }
  void SetNext(const std::wstring& next) { m_next = next; }
  void SetDisableBack(int disable) { m_disableBack = disable; }
  void SetDisableNext(int disable) { m_disableNext = disable; }
  void SetEnableView(int enable) { m_enableView = enable; }
  void SetDisplayCondition(const std::wstring& condition) { m_displayCondition = condition; }

 private:
  std::wstring m_name;
  std::wstring m_next;
  int m_disableBack = 0;
  int m_disableNext = 0;
  int m_enableView = 0;
  std::wstring m_displayCondition;
};

// Pages of a sequence by name, as the configuration lists them (exact names).
using CIniPageMap = std::map<std::wstring, CIniPage>;
// A sequence as walked: the pages in the order the wizard shows them.
using CIniPageList = std::list<CIniPage>;
