#pragma once
// text_utils.h: small text helpers for command lines, lists and names.
// Pure logic: no Win32, so it also builds natively.

#include <string>

// Trims `text`, then takes the token up to the first separator outside double
// quotes (separators null means ","). `text` keeps what follows. An unclosed
// quote runs to the end of the text. False only when the text is blank.
bool ExtractToken(std::wstring* text, std::wstring* token, const wchar_t* separators,
                  bool stripQuotes);

// Case-blind; every piece of the pattern between '*' must occur in the text,
// in order. Unanchored, so a pattern without '*' is a substring test.
bool MatchWildcard(const std::wstring& text, const std::wstring& pattern);

// Every case-blind occurrence of the token is replaced once; the inserted
// value is not searched again and the rest keeps its case.
std::wstring ReplaceToken(const std::wstring& text, const std::wstring& token,
                          const std::wstring& value);

// Decimal with an optional leading '-'. An empty text gives 0. On failure the
// digits read so far stay in *value.
bool StringToInt(const std::wstring& text, int* value);

// "0x41 0x42" style text becomes the characters it codes (ending at a zero
// or at anything that is not a number); other text comes back unchanged.
std::wstring DecodeCharCodes(const std::wstring& text, int base);

void ReverseString(std::wstring* text);
std::wstring CharToString(wchar_t c);
bool IsDotOrDotDot(const std::wstring& name);

// The text with every double quote taken out.
std::wstring RemoveQuotes(const std::wstring& text);

// Drive and folder of a path, up to its last '\\' or '/', that separator
// included unless `withSeparator` is false. Empty when the path has none.
std::wstring FolderOfPath(const std::wstring& path, bool withSeparator = true);

// What follows the last '\\' or '/' of a path: the whole path when it has none.
std::wstring FileNameOfPath(const std::wstring& path);

// The text with every character a file name cannot hold (\ / : * ? " < > |
// and control characters) replaced by '_'.
std::wstring FileNamePart(std::wstring text);

// A path from a drive's root ("C:\\x", "C:/x") or a network path ("\\\\server\\x").
bool IsAbsolutePath(const std::wstring& path);

// A folder a package can be given: absolute (as above), at most 260
// characters, and nothing a folder name cannot hold: no " * ? < > |, no
// control character and no ':' past the drive's.
bool IsUsableFolderPath(const std::wstring& path);
