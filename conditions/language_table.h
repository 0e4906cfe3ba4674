#pragma once
// language_table.h: the three-letter language codes that the condition
// variables SYSLANG and USERLANG yield for a language id.

#include <cstdint>

// Copies the code of `id` (three letters and a terminating zero) into `code`,
// which must hold 4 characters. An unlisted id returns false and leaves
// `code` untouched.
bool LookupLanguageCode(uint16_t id, wchar_t* code);
