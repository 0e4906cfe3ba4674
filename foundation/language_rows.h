#pragma once
// language_rows.h: the setup's table of Windows languages and the interface
// languages it offers, searched front to back (the first match wins).
#include <cstdint>

struct CLanguageRow {
  wchar_t code[4];         // LOCALE_SABBREVLANGNAME, upper case
  uint16_t languageId;
  uint16_t fallbackId;     // 0: no fallback
  uint32_t codePage;       // default ANSI code page, 0 for Unicode-only languages
  const wchar_t* localeName;
};

struct COfferedLanguage {
  uint16_t languageId;
  uint32_t codePage;
};

// The rows, ended by a row whose id is kEndLanguageId.
const CLanguageRow* LanguageRows();
// The interface languages, ended by a row whose id is 0.
const COfferedLanguage* OfferedLanguages();

constexpr uint16_t kEndLanguageId = 0xFFFF;
