// wide_string.cpp: std::wstring helpers with Microsoft printf semantics on
// both the Windows build (msvcrt) and the native one (format translated).
#include "platform/wide_string.h"

#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

#ifndef _WIN32
// glibc reads "%s" in a wide format as a narrow string: rewrite the format so
// that it means what it means to msvcrt ("%s" wide, "%S" narrow, "%I64d").
std::wstring ToIsoFormat(const wchar_t* format) {
  std::wstring out;
  for (const wchar_t* p = format; *p; ++p) {
    out += *p;
    if (*p != L'%') continue;
    ++p;
    if (*p == L'%') { out += *p; continue; }
    // flags, width, precision
    while (*p && wcschr(L"-+ #0123456789.*", *p)) out += *p++;
    bool hasLength = false;
    bool narrow = false;
    if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') { out += L"ll"; p += 3; hasLength = true; }
    else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') { p += 3; hasLength = true; }
    else if (*p == L'h') { narrow = true; ++p; hasLength = true; }
    else {
      while (*p && wcschr(L"lLqjzt", *p)) { out += *p++; hasLength = true; }
    }
    if (!*p) break;
    wchar_t conv = *p;
    if (conv == L's' || conv == L'c') {
      if (narrow) out += conv;                 // %hs: narrow
      else if (!hasLength) { out += L'l'; out += conv; }
      else out += conv;
    } else if (conv == L'S' || conv == L'C') {
      out += static_cast<wchar_t>(conv == L'S' ? L's' : L'c');  // narrow
    } else {
      if (narrow) out += L'h';
      out += conv;
    }
  }
  return out;
}
#endif

// The length of the well-formed sequence at `i` and its code point, or 0:
// overlong forms, surrogates, code points past U+10FFFF and cut sequences
// are not UTF-8, however a lenient decoder would read them.
size_t DecodeUtf8(const std::string& text, size_t i, unsigned long* cp) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  size_t extra;
  unsigned long least;
  if (c < 0x80) { *cp = c; return 1; }
  if (c >= 0xC2 && c <= 0xDF) { *cp = c & 0x1F; extra = 1; least = 0x80; }
  else if ((c & 0xF0) == 0xE0) { *cp = c & 0x0F; extra = 2; least = 0x800; }
  else if (c >= 0xF0 && c <= 0xF4) { *cp = c & 0x07; extra = 3; least = 0x10000; }
  else return 0;
  for (size_t k = 1; k <= extra; ++k) {
    if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  if (*cp < least || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
  return extra + 1;
}

}  // namespace

std::wstring FormatV(const wchar_t* format, va_list args) {
  if (!format) return std::wstring();
#ifdef _WIN32
  va_list count;
  va_copy(count, args);
  int length = _vscwprintf(format, count);
  va_end(count);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  int written = _vsnwprintf(buffer.data(), buffer.size(), format, args);
  if (written < 0) return std::wstring();
  return std::wstring(buffer.data(), static_cast<size_t>(written));
#else
  std::wstring iso = ToIsoFormat(format);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list attempt;
    va_copy(attempt, args);
    int written = vswprintf(buffer.data(), buffer.size(), iso.c_str(), attempt);
    va_end(attempt);
    if (written >= 0) return std::wstring(buffer.data(), static_cast<size_t>(written));
    // glibc reports both "too small" and encoding errors as -1: give up at a size
    // no log line or setting ever reaches.
    if (buffer.size() > (16u << 20)) return std::wstring();
    buffer.resize(buffer.size() * 4);
  }
#endif
}

std::wstring Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatV(format, args);
  va_end(args);
  return text;
}

wchar_t ToUpperChar(wchar_t c) { return static_cast<wchar_t>(towupper(static_cast<wint_t>(c))); }
wchar_t ToLowerChar(wchar_t c) { return static_cast<wchar_t>(towlower(static_cast<wint_t>(c))); }

std::wstring ToUpper(std::wstring text) {
  for (wchar_t& c : text) c = ToUpperChar(c);
  return text;
}

std::wstring ToLower(std::wstring text) {
  for (wchar_t& c : text) c = ToLowerChar(c);
  return text;
}

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

std::wstring TrimLeft(const std::wstring& text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  return text.substr(start);
}

std::wstring TrimRight(const std::wstring& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

std::wstring Trim(const std::wstring& text) { return TrimLeft(TrimRight(text)); }

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    wchar_t ca = ToLowerChar(a[i]);
    wchar_t cb = ToLowerChar(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0 && text.size() >= prefix.size();
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

size_t FindNoCase(const std::wstring& text, const std::wstring& what, size_t from) {
  if (what.empty()) return from <= text.size() ? from : std::wstring::npos;
  if (text.size() < what.size()) return std::wstring::npos;
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < what.size() && ToLowerChar(text[i + j]) == ToLowerChar(what[j])) ++j;
    if (j == what.size()) return i;
  }
  return std::wstring::npos;
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& what) {
  return FindNoCase(text, what) != std::wstring::npos;
}

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& what, const std::wstring& with) {
  if (what.empty()) return text;
  std::wstring out;
  size_t pos = 0;
  for (;;) {
    size_t hit = text.find(what, pos);
    if (hit == std::wstring::npos) break;
    out.append(text, pos, hit - pos);
    out += with;
    pos = hit + what.size();
  }
  out.append(text, pos, std::wstring::npos);
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned long cp = static_cast<unsigned long>(text[i]) & 0x1FFFFF;
    // UTF-16 surrogate pairs (2-byte wchar_t) become one code point.
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      unsigned long low = static_cast<unsigned long>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::wstring Utf8ToWide(const std::string& text, bool* valid) {
  std::wstring out;
  if (valid != nullptr) *valid = true;
  size_t i = 0;
  while (i < text.size()) {
    unsigned long cp;
    size_t length = DecodeUtf8(text, i, &cp);
    if (length == 0) {
      out += static_cast<wchar_t>(0xFFFD);
      if (valid != nullptr) *valid = false;
      ++i;
      continue;
    }
    i += length;
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  }
  return out;
}
