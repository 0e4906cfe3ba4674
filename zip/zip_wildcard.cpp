// zip_wildcard.cpp: the archive's pattern matching, one character at a time,
// with result codes that tell a caller why a text did not match.
#include "zip/zip_wildcard.h"

#include <vector>

#include "platform/wide_string.h"
#include "zip/zip_path_component.h"

CZipArchive::CWildcard::CWildcard(const std::wstring& pattern, bool caseSensitive)
    : m_caseSensitive(caseSensitive), m_pattern(caseSensitive ? pattern : ToLower(pattern)) {}

bool CZipArchive::CWildcard::IsMatch(const std::wstring& text, int* result) const {
  int code = Match(m_pattern.c_str(), m_caseSensitive ? text.c_str() : ToLower(text).c_str());
  if (result != nullptr) *result = code;
  return code == matchValid;
}

// `pattern` points just past the '['; it is left just past the ']'.
int CZipArchive::CWildcard::MatchSet(const wchar_t*& pattern, wchar_t c) {
  const wchar_t* p = pattern;
  bool invert = *p == L'!' || *p == L'^';
  if (invert) ++p;
  if (*p == L']') return matchLiteral;
  bool member = false;
  while (*p != L']') {
    if (*p == L'\\') ++p;
    if (*p == 0) return matchLiteral;
    wchar_t low = *p++;
    wchar_t high = low;
    if (*p == L'-') {
      ++p;
      if (*p == L'\\') ++p;
      if (*p == 0 || *p == L']') return matchLiteral;
      high = *p++;
    }
    if (low > high) std::swap(low, high);
    if (c >= low && c <= high) member = true;
  }
  pattern = p + 1;
  return member != invert ? matchValid : matchRange;
}

int CZipArchive::CWildcard::Match(const wchar_t* pattern, const wchar_t* text) {
  const wchar_t* p = pattern;
  const wchar_t* t = text;
  while (*p != 0) {
    if (*t == 0) return p[0] == L'*' && p[1] == 0 ? matchValid : matchAbort;
    if (*p == L'*') return MatchAfterStar(p, t);
    if (*p == L'?') {
      ++p;
    } else if (*p == L'[') {
      ++p;
      int result = MatchSet(p, *t);
      if (result != matchValid) return result;
    } else {
      if (*p == L'\\' && *++p == 0) return matchLiteral;
      if (*p++ != *t) return matchLiteral;
    }
    ++t;
  }
  return *t == 0 ? matchValid : matchEnd;
}

int CZipArchive::CWildcard::MatchAfterStar(const wchar_t* pattern, const wchar_t* text) {
  const wchar_t* p = pattern;
  const wchar_t* t = text;
  while (*p == L'*' || *p == L'?') {
    if (*p == L'?') {
      if (*t == 0) return matchAbort;
      ++t;
    }
    ++p;
  }
  if (*p == 0) return matchValid;
  wchar_t next = *p;
  if (next == L'\\' && (next = p[1]) == 0) return matchLiteral;
  for (;;) {
    if (*p == L'[' || next == *t) {
      int result = Match(p, t);
      if (result == matchValid || result == matchAbort) return result;
    }
    if (*t == 0) return matchAbort;
    ++t;
  }
}

bool CZipArchive::CWildcard::IsPatternValid(const std::wstring& pattern, int* error) {
  int code = 0;
  const wchar_t* p = pattern.c_str();
  while (*p != 0 && code == 0) {
    if (*p == L'\\') {
      if (*++p == 0) code = -1;
      else ++p;
    } else if (*p == L'[') {
      ++p;
      if (*p == L'!' || *p == L'^') ++p;
      if (*p == L']') code = -4;
      while (code == 0 && *p != L']') {
        if (*p == L'\\') ++p;
        if (*p == 0) {
          code = -3;
          break;
        }
        if (*++p == L'-') {
          ++p;
          if (*p == L'\\') ++p;
          if (*p == 0 || *p == L']') code = -2;
          else ++p;
        }
      }
      if (code == 0) ++p;
    } else {
      ++p;
    }
  }
  if (error != nullptr) *error = code;
  return code == 0;
}

int CZipArchive::FindFileOfPath(const std::wstring& path, bool fullPath, int caseMode) {
  if (IsClosed()) return -1;
  return FindFile(PredictFileNameInZip(path, fullPath), caseMode);
}

bool CZipArchive::IsPattern(const std::wstring& text) { return text.find_first_of(L"*?[\\") != std::wstring::npos; }

bool CZipArchive::IsPatternValid(const std::wstring& pattern, int* error) {
  return CWildcard::IsPatternValid(pattern, error);
}

void CZipArchive::FindMatches(const std::wstring& pattern, std::vector<int>& result, bool fullPath) {
  if (IsClosed()) return;
  CWildcard wildcard(pattern, m_caseSensitive);
  for (int i = 0; i < m_centralDir.GetCount(); ++i) {
    std::wstring name = m_centralDir[i]->GetFileName(m_centralDir.m_oemConversion);
    if (!fullPath) {
      while (!name.empty() && CZipPathComponent::IsSeparator(name.back())) name.pop_back();
      size_t separator = name.find_last_of(L"\\/");
      if (separator != std::wstring::npos) name.erase(0, separator + 1);
    }
    if (wildcard.IsMatch(name)) result.push_back(i);
  }
}
