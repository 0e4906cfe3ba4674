// installer_property.cpp: the NAME="value" pairs the run writes onto
// installer command lines.
#include "actions/installer_property.h"

#include <cwchar>

#include "foundation/setup_log.h"

namespace {

// Letters, digits, '_' and '.', not starting with a digit or a '.'.
bool IsPropertyName(const std::wstring& name) {
  if (name.empty() || (name[0] >= L'0' && name[0] <= L'9') || name[0] == L'.') return false;
  for (wchar_t c : name) {
    bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    if (!letter && !(c >= L'0' && c <= L'9') && c != L'_' && c != L'.') return false;
  }
  return true;
}

bool StaysOneValue(const std::wstring& value) {
  for (wchar_t c : value) {
    if (c == L'"' || c < 32) return false;
  }
  return true;
}

}  // namespace

bool BuildInstallerProperty(const std::wstring& name, const std::wstring& value, std::wstring* pair) {
  pair->clear();
  if (!IsPropertyName(name)) {
    WriteLog(L"   The property name '%s' is refused: it is not a property name", name.c_str());
    return false;
  }
  if (!StaysOneValue(value)) {
    WriteLog(L"   The property %s is refused: its value holds a double quote or a control character: %s",
             name.c_str(), value.c_str());
    return false;
  }
  *pair = L" " + name + L"=\"" + value + L"\"";
  return true;
}
