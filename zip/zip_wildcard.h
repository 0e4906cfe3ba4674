#pragma once
// zip_wildcard.h: matching names against the archive's patterns: '*' any
// run, '?' any one character, sets such as "[a-z]" or "[!abc]", and '\'
// making the next character literal (also inside a set).
#include <string>

#include "zip/zip_archive.h"

class CZipArchive::CWildcard {
 public:
  enum MatchResult {
    matchValid = 1,
    matchEnd = 2,      // the text is longer than the pattern
    matchAbort = 3,    // the text ended while pattern remained
    matchRange = 4,    // a set did not match
    matchLiteral = 6,  // a literal did not match, or the pattern is malformed
  };

  CWildcard(const std::wstring& pattern, bool caseSensitive);
  virtual ~CWildcard() = default;

  bool IsMatch(const std::wstring& text, int* result = nullptr) const;
  static bool IsPatternValid(const std::wstring& pattern, int* error);

 private:
  static int Match(const wchar_t* pattern, const wchar_t* text);
  static int MatchAfterStar(const wchar_t* pattern, const wchar_t* text);
  static int MatchSet(const wchar_t*& pattern, wchar_t c);

  bool m_caseSensitive;
  std::wstring m_pattern;
};
