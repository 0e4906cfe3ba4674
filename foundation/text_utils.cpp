// text_utils.cpp: tokens, wildcards, numbers and token replacement on wide text.
#include "foundation/text_utils.h"

#include <climits>
#include <cwchar>

#include "platform/wide_string.h"

bool ExtractToken(std::wstring* text, std::wstring* token, const wchar_t* separators,
                  bool stripQuotes) {
  if (!text || !token) return false;
  if (!separators) separators = L",";
  std::wstring rest = Trim(*text);
  if (rest.empty()) {
    *text = rest;
    token->clear();
    return false;
  }
  bool inQuotes = false;
  size_t end = rest.size();
  for (size_t i = 0; i < rest.size(); ++i) {
    wchar_t c = rest[i];
    if (c == L'"') {
      inQuotes = !inQuotes;
    } else if (!inQuotes && wcschr(separators, c) != nullptr) {
      end = i;
      break;
    }
  }
  std::wstring taken = Trim(rest.substr(0, end));
  *text = end < rest.size() ? rest.substr(end + 1) : std::wstring();
  if (stripQuotes) {
    std::wstring unquoted;
    for (wchar_t c : taken) {
      if (c != L'"') unquoted += c;
    }
    taken = unquoted;
  }
  *token = taken;
  return true;
}

bool MatchWildcard(const std::wstring& text, const std::wstring& pattern) {
  size_t position = 0;
  size_t start = 0;
  while (start <= pattern.size()) {
    size_t star = pattern.find(L'*', start);
    if (star == std::wstring::npos) star = pattern.size();
    std::wstring piece = pattern.substr(start, star - start);
    if (!piece.empty()) {
      size_t hit = FindNoCase(text, piece, position);
      if (hit == std::wstring::npos) return false;
      position = hit + piece.size();
    }
    start = star + 1;
  }
  return true;
}

std::wstring ReplaceToken(const std::wstring& text, const std::wstring& token,
                          const std::wstring& value) {
  if (token.empty()) return text;
  std::wstring out;
  size_t position = 0;
  for (;;) {
    size_t hit = FindNoCase(text, token, position);
    if (hit == std::wstring::npos) break;
    out.append(text, position, hit - position);
    out += value;
    position = hit + token.size();
  }
  out.append(text, position, std::wstring::npos);
  return out;
}

bool StringToInt(const std::wstring& text, int* value) {
  if (!value) return false;
  *value = 0;
  if (text.empty()) return true;
  size_t i = 0;
  bool negative = false;
  if (text[0] == L'-') {
    negative = true;
    i = 1;
    if (text.size() == 1) return false;
  }
  long long accumulated = 0;
  for (; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c < L'0' || c > L'9') return false;
    long long next = accumulated * 10 + (c - L'0');
    if (next > static_cast<long long>(INT_MAX) + (negative ? 1 : 0)) return false;
    accumulated = next;
    *value = static_cast<int>(negative ? -accumulated : accumulated);
  }
  return true;
}

namespace {

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'z') return c - L'a' + 10;
  if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
  return 99;
}

bool IsHexPrefix(const std::wstring& text, size_t i) {
  return i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X');
}

}  // namespace

std::wstring DecodeCharCodes(const std::wstring& text, int base) {
  if (!IsHexPrefix(text, 0)) return text;
  if (base < 2 || base > 36) base = 16;
  std::wstring out;
  size_t i = 0;
  for (;;) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (base == 16 && IsHexPrefix(text, i)) i += 2;
    unsigned long number = 0;
    size_t digits = 0;
    // A following "0x" starts the next number, so "0x410x42" is two codes.
    while (i < text.size() && DigitValue(text[i]) < base && !(digits > 0 && IsHexPrefix(text, i))) {
      number = number * static_cast<unsigned long>(base) + static_cast<unsigned long>(DigitValue(text[i]));
      if (number > 0xFFFF) number = 0xFFFF;  // a code never exceeds one UTF-16 unit
      ++i;
      ++digits;
    }
    if (digits == 0 || number == 0) break;
    out += static_cast<wchar_t>(number);
  }
  return out;
}

void ReverseString(std::wstring* text) {
  if (!text) return;
  std::wstring reversed(text->rbegin(), text->rend());
  *text = reversed;
}

std::wstring CharToString(wchar_t c) { return std::wstring(1, c); }

bool IsDotOrDotDot(const std::wstring& name) { return name == L"." || name == L".."; }

std::wstring RemoveQuotes(const std::wstring& text) {
  std::wstring unquoted;
  for (wchar_t c : text) {
    if (c != L'"') unquoted += c;
  }
  return unquoted;
}

std::wstring FolderOfPath(const std::wstring& path, bool withSeparator) {
  size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return std::wstring();
  return path.substr(0, withSeparator ? separator + 1 : separator);
}

std::wstring FileNameOfPath(const std::wstring& path) {
  size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring FileNamePart(std::wstring text) {
  for (wchar_t& c : text) {
    if (c < 32 || wcschr(L"\\/:*?\"<>|", c)) c = L'_';
  }
  return text;
}

bool IsAbsolutePath(const std::wstring& path) {
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
  bool letter = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  return letter && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

bool IsUsableFolderPath(const std::wstring& path) {
  const size_t kMaxFolderPath = 260;
  if (!IsAbsolutePath(path) || path.size() > kMaxFolderPath) return false;
  size_t namesStart = path[1] == L':' ? 2 : 0;
  for (size_t i = namesStart; i < path.size(); ++i) {
    wchar_t c = path[i];
    if (c < 32 || wcschr(L"\":*?<>|", c)) return false;
  }
  return true;
}
