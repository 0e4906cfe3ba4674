#pragma once
// wide_string.h: the text helpers the program uses on std::wstring in place
// of a framework string class: printf-style formatting with Microsoft
// semantics (a wide format's %s is a wide string), case-blind comparison,
// trimming and replacing. No Win32 calls, so it also builds natively.

#include <cstdarg>
#include <string>
#include <vector>

// Formats like msvcrt's swprintf: in a wide format "%s" and "%c" take wide
// arguments, "%S", "%hs" and "%hc" narrow ones. The result has no length limit.
std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

std::wstring ToUpper(std::wstring text);
std::wstring ToLower(std::wstring text);
wchar_t ToUpperChar(wchar_t c);
wchar_t ToLowerChar(wchar_t c);

bool IsBlank(wchar_t c);
std::wstring Trim(const std::wstring& text);
std::wstring TrimLeft(const std::wstring& text);
std::wstring TrimRight(const std::wstring& text);

int CompareNoCase(const std::wstring& a, const std::wstring& b);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);
bool EndsWith(const std::wstring& text, const std::wstring& suffix);
// Position of the first case-blind occurrence at or after `from`, or npos.
size_t FindNoCase(const std::wstring& text, const std::wstring& what, size_t from = 0);
bool ContainsNoCase(const std::wstring& text, const std::wstring& what);

// Replaces every exact occurrence; the inserted text is not searched again.
std::wstring ReplaceAll(const std::wstring& text, const std::wstring& what, const std::wstring& with);

// UTF-8 <-> wide, for tests, native tools and byte-level file checks. Bytes
// that are no UTF-8 read as U+FFFD each, and clear `valid` when given.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text, bool* valid = nullptr);
