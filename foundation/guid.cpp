// guid.cpp: creating GUIDs and writing them as text.
#include "foundation/guid.h"

#include <windows.h>
#include <rpc.h>

#include <string>

#include "platform/wide_string.h"

CGuid::CGuid(wchar_t separator, bool braces)
    : m_value(GUID_NULL), m_separator(separator), m_braces(braces) {}

CGuid::CGuid(const GUID& value, wchar_t separator, bool braces)
    : m_value(value), m_separator(separator), m_braces(braces) {}

bool CGuid::Create() {
  GUID value = {};
  RPC_STATUS status = UuidCreate(&value);
  // RPC_S_UUID_LOCAL_ONLY: no network card, but still unique on this computer.
  if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY) return false;
  m_value = value;
  return true;
}

std::wstring CGuid::Format() const {
  const GUID& g = m_value;
  wchar_t sep = m_separator;
  std::wstring text = ::Format(L"%08X%c%04X%c%04X%c%02X%02X%c%02X%02X%02X%02X%02X%02X", g.Data1,
                               sep, g.Data2, sep, g.Data3, sep, g.Data4[0], g.Data4[1], sep,
                               g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                               g.Data4[7]);
  return m_braces ? ::Format(L"{%s}", text.c_str()) : text;
}
