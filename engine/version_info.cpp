// version_info.cpp: parsing, comparing and printing four-part versions.
#include "engine/version_info.h"

#include "platform/wide_string.h"

namespace {

const uint32_t kMaxPart = 0xFFFF;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads one part at *position. The slot is written only when the part is
// good, so a failed part stays 0.
bool ReadPart(const wchar_t** position, uint16_t* part) {
  const wchar_t* p = *position;
  *part = 0;
  if (*p == L'.') ++p;
  if (IsDigit(*p)) {
    // 32 bits and a bound on every digit: a 16-bit sum wraps unnoticed
    // (99999 would come out as 34463).
    uint32_t value = 0;
    while (IsDigit(*p)) {
      value = value * 10 + static_cast<uint32_t>(*p - L'0');
      if (value > kMaxPart) return false;
      ++p;
    }
    *part = static_cast<uint16_t>(value);
  } else if (*p >= L'a' && *p <= L'z') {
    *part = static_cast<uint16_t>(*p++ - L'a');
  } else if (*p >= L'A' && *p <= L'Z') {
    *part = static_cast<uint16_t>(*p++ - L'A');
  } else {
    return false;
  }
  *position = p;
  return true;
}

}  // namespace

int CVersionInfo::Compare(const CVersionInfo& other) const {
  for (int i = 0; i < 4; ++i) {
    if (m_parts[i] != other.m_parts[i]) return static_cast<int>(m_parts[i]) - other.m_parts[i];
  }
  return 0;
}

bool CVersionInfo::Parse(const wchar_t* text) {
  if (!text || !IsDigit(*text)) return false;
  Clear();
  const wchar_t* position = text;
  for (int i = 0; i < 4; ++i) {
    if (!ReadPart(&position, &m_parts[i])) break;
    m_lastPart = i;
  }
  return true;
}

void CVersionInfo::SetParts4(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision) {
  m_parts[0] = major;
  m_parts[1] = minor;
  m_parts[2] = build;
  m_parts[3] = revision;
  m_lastPart = 3;
}

void CVersionInfo::SetParts3(uint16_t major, uint16_t minor, uint16_t build) {
  SetParts4(major, minor, build, 0);
  m_lastPart = 2;
}

void CVersionInfo::SetParts2(uint16_t major, uint16_t minor) {
  SetParts4(major, minor, 0, 0);
  m_lastPart = 1;
}

void CVersionInfo::SetFromPackedDword(uint32_t value) {
  SetParts4(static_cast<uint16_t>(value >> 24), static_cast<uint16_t>((value >> 16) & 0xFF),
            static_cast<uint16_t>(value & 0xFFFF), 0);
  // The layout holds three parts: 1.0.0 is no "1".
  m_lastPart = value ? 2 : -1;
}

std::wstring CVersionInfo::ToString() const {
  switch (m_lastPart) {
    case 0:
      return Format(L"%u", m_parts[0]);
    case 1:
      return Format(L"%u.%u", m_parts[0], m_parts[1]);
    case 2:
      return Format(L"%u.%u.%u", m_parts[0], m_parts[1], m_parts[2]);
    case 3:
      return Format(L"%u.%u.%u.%u", m_parts[0], m_parts[1], m_parts[2], m_parts[3]);
    default:
      return std::wstring();
  }
}

uint32_t CVersionInfo::ToPackedDword() const {
  return ((static_cast<uint32_t>(m_parts[0]) * 256 + m_parts[1]) << 16) + m_parts[2];
}

void CVersionInfo::Clear() {
  for (uint16_t& part : m_parts) part = 0;
  m_lastPart = -1;
}
