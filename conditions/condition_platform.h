#pragma once
// condition_platform.h: the two things the condition language needs from the
// system: the thread's last-error value and the ANSI code page conversions.
// On Windows they are the Win32 ones; natively a thread-local value and
// Latin-1, so the condition core builds and is tested on both.

#include <cstdint>
#include <string>

// Sets the thread's last-error value (SetLastError on Windows, so callers of
// CExpressionParser::Evaluate may read GetLastError()).
void SetConditionLastError(uint32_t code);
uint32_t GetConditionLastError();

// Condition text in and out of the 8-bit form the lexer reads: the thread's
// ANSI code page on Windows; natively Latin-1, characters beyond it become '?'.
std::string ConditionTextToAnsi(const std::wstring& text);
std::wstring AnsiToConditionText(const std::string& text);
