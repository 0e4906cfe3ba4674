#pragma once
// version_range.h: a set of accepted versions as a list of closed intervals,
// read from texts such as "1.0-1.5;2.0". Pure logic.
#include <string>
#include <vector>

#include "engine/version_info.h"

class CVersionRange {
 public:
  // Both ends inclusive; an empty bound (index -1) leaves that side open.
  class CVersionRangeSegment {
   public:
    CVersionRangeSegment() = default;
    CVersionRangeSegment(const CVersionInfo& lower, const CVersionInfo& upper);

    // "" any version; "a-b"; "v" exactly v. A missing side ("1.0-",
    // "-2.0") fails.
    bool Parse(const std::wstring& text);
    void SetBounds(const CVersionInfo& lower, const CVersionInfo& upper);
    bool Contains(const CVersionInfo& version) const;
    // "*" when unbounded, else "lower-upper".
    std::wstring ToString() const;
    bool IsUnbounded() const { return m_lower.IsEmpty() && m_upper.IsEmpty(); }
    const CVersionInfo& GetLower() const { return m_lower; }
    const CVersionInfo& GetUpper() const { return m_upper; }

   private:
    CVersionInfo m_lower;
    CVersionInfo m_upper;
  };

  CVersionRange() = default;
  CVersionRange(const CVersionRange& other) = default;
  CVersionRange& operator=(const CVersionRange& other) = default;

  // True when every segment is unbounded, and for an empty range.
  bool IsUnbounded() const;
  // Segments separated by ';' (quote-aware). An empty text gives an empty
  // range, which contains nothing. On failure the range is empty.
  bool Parse(const std::wstring& text);
  // One segment from two version texts. An empty text leaves that side
  // open; a text that does not parse fails and leaves the range unchanged.
  bool SetBounds(const std::wstring& lowerText, const std::wstring& upperText);
  void SetSegment(const CVersionInfo& lower, const CVersionInfo& upper);
  void CopyFrom(const CVersionRange& other) { *this = other; }
  // 0 when the text is not a version.
  int ContainsText(const std::wstring& versionText) const;
  // The number of segments that hold the version; 0 means outside.
  int Contains(const CVersionInfo& version) const;
  // For the log only: segments joined by ",", "*" when any is unbounded.
  std::wstring ToString() const;
  void Clear() { m_segments.clear(); }
  const std::vector<CVersionRangeSegment>& GetSegments() const { return m_segments; }

 private:
  std::vector<CVersionRangeSegment> m_segments;
};

// True for a null or empty range text (any version); otherwise only when the
// text parses and holds the version.
bool IsVersionInRange(const CVersionInfo& version, const wchar_t* rangeText);
