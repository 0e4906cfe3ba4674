#pragma once
// guid.h: CGuid, a GUID with the text form the setup writes: upper-case hex,
// a chosen separator, in braces unless asked otherwise.
#include <windows.h>

#include <string>

class CGuid {
 public:
  explicit CGuid(wchar_t separator = L'-', bool braces = true);
  explicit CGuid(const GUID& value, wchar_t separator = L'-', bool braces = true);

  // A new unique value (UuidCreate); false when the system gives none.
  bool Create();
  // "{6B29FC40-CA47-1067-B31D-00DD010662DA}" with the defaults.
  std::wstring Format() const;

  const GUID& Get() const { return m_value; }
  void SetSeparator(wchar_t separator) { m_separator = separator; }
  void SetBraces(bool braces) { m_braces = braces; }

 private:
  GUID m_value;
  wchar_t m_separator;
  bool m_braces;
};
