#pragma once
// language_tla.h: the three-letter code and font character set that the
// setup's commands and dialogs use for a Windows language id. Only the
// languages the setup is translated into have a code of their own; any
// other gives English.
#include <cstdint>
#include <string>

// `currentCode` keeps a variant already chosen (CHT or CHS, ESP or ESN, PTB
// or PTG) when its language is asked for again; compared case-blind.
void LanguageIdToTla(uint16_t primaryLanguage, uint16_t subLanguage, const std::wstring& currentCode,
                     std::wstring* code, uint8_t* charSet);
