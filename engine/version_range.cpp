// version_range.cpp: parsing and testing version ranges.
#include "engine/version_range.h"

#include "foundation/text_utils.h"

CVersionRange::CVersionRangeSegment::CVersionRangeSegment(const CVersionInfo& lower,
                                                          const CVersionInfo& upper)
    : m_lower(lower), m_upper(upper) {}

bool CVersionRange::CVersionRangeSegment::Parse(const std::wstring& text) {
  m_lower.Clear();
  m_upper.Clear();
  if (text.empty()) return true;
  size_t hyphen = text.find(L'-');
  if (hyphen == std::wstring::npos) {
    if (!m_lower.Parse(text)) return false;
    m_upper = m_lower;
    return true;
  }
  bool lowerGood = m_lower.Parse(text.substr(0, hyphen));
  bool upperGood = m_upper.Parse(text.substr(hyphen + 1));
  return lowerGood && upperGood;
}

void CVersionRange::CVersionRangeSegment::SetBounds(const CVersionInfo& lower,
                                                    const CVersionInfo& upper) {
  m_lower = lower;
  m_upper = upper;
}

bool CVersionRange::CVersionRangeSegment::Contains(const CVersionInfo& version) const {
  return (m_lower.IsEmpty() || version.Compare(m_lower) >= 0) &&
         (m_upper.IsEmpty() || version.Compare(m_upper) <= 0);
}

std::wstring CVersionRange::CVersionRangeSegment::ToString() const {
  if (IsUnbounded()) return L"*";
  return m_lower.ToString() + L"-" + m_upper.ToString();
}

bool CVersionRange::IsUnbounded() const {
  for (const CVersionRangeSegment& segment : m_segments) {
    if (!segment.IsUnbounded()) return false;
  }
  return true;
}

bool CVersionRange::Parse(const std::wstring& text) {
  Clear();
  std::wstring rest = text;
  while (!rest.empty()) {
    std::wstring piece;
    CVersionRangeSegment segment;
    if (!ExtractToken(&rest, &piece, L";", true) || !segment.Parse(piece)) {
      Clear();
      return false;
    }
    m_segments.push_back(segment);
  }
  return true;
}

bool CVersionRange::SetBounds(const std::wstring& lowerText, const std::wstring& upperText) {
  // A lone minimum or maximum limits that side only: an empty side is open,
  // not a reason to accept every version.
  CVersionInfo lower;
  CVersionInfo upper;
  if (!lowerText.empty() && !lower.Parse(lowerText)) return false;
  if (!upperText.empty() && !upper.Parse(upperText)) return false;
  SetSegment(lower, upper);
  return true;
}

void CVersionRange::SetSegment(const CVersionInfo& lower, const CVersionInfo& upper) {
  Clear();
  m_segments.emplace_back(lower, upper);
}

int CVersionRange::ContainsText(const std::wstring& versionText) const {
  CVersionInfo version;
  if (!version.Parse(versionText)) return 0;
  return Contains(version);
}

int CVersionRange::Contains(const CVersionInfo& version) const {
  int count = 0;
  for (const CVersionRangeSegment& segment : m_segments) {
    if (segment.Contains(version)) ++count;
  }
  return count;
}

std::wstring CVersionRange::ToString() const {
  std::wstring text;
  for (const CVersionRangeSegment& segment : m_segments) {
    if (segment.IsUnbounded()) return L"*";
    if (!text.empty()) text += L",";
    text += segment.ToString();
  }
  return text;
}

bool IsVersionInRange(const CVersionInfo& version, const wchar_t* rangeText) {
  if (!rangeText || !*rangeText) return true;
  CVersionRange range;
  return range.Parse(rangeText) && range.Contains(version) != 0;
}
