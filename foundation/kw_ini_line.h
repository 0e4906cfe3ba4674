#pragma once
// kw_ini_line.h: one line of an INI section: a key line (key and value) or a
// raw line (comment, blank or unknown text kept as read).
#include <string>

#include "foundation/kw_ini_base.h"

class CKwIniLine : public CKwIniBase {
 public:
  CKwIniLine() = default;

  // The key as read (untrimmed); empty for a raw line.
  const std::wstring& GetKey() const { return m_key; }
  void SetKey(const std::wstring& key) { m_key = key; }
  // The value of a key line, or the whole raw line.
  const std::wstring& GetText() const { return m_text; }
  void SetText(const std::wstring& text) { m_text = text; }
  bool IsRawLine() const { return m_key.empty(); }

 protected:
  ~CKwIniLine() override = default;

 private:
  std::wstring m_key;
  std::wstring m_text;
};
