// language_tla.cpp: the setup's languages by primary language id. The codes
// come from the language table (the row of sublanguage 1, or of the other
// variant), so the two never disagree.
#include "foundation/language_tla.h"

#include "foundation/language_rows.h"
#include "platform/wide_string.h"

namespace {

struct CSetupLanguage {
  uint16_t primary;
  uint16_t otherVariantId;  // the language id of the variant other than sublanguage 1; 0: none
  uint8_t charSet;          // GDI character set
};

const CSetupLanguage kSetupLanguages[] = {
    {0x01, 0, 0},       // ARA
    {0x04, 0x0804, 136},  // CHT, CHS
    {0x05, 0, 238},     // CSY
    {0x06, 0, 0},       // DAN
    {0x07, 0, 0},       // DEU
    {0x09, 0, 0},       // ENU
    {0x0A, 0x0C0A, 0},  // ESP, ESN
    {0x0B, 0, 0},       // FIN
    {0x0C, 0, 0},       // FRA
    {0x0E, 0, 238},     // HUN
    {0x10, 0, 0},       // ITA
    {0x11, 0, 128},     // JPN
    {0x12, 0, 130},     // KOR
    {0x13, 0, 0},       // NLD
    {0x14, 0, 0},       // NOR
    {0x15, 0, 238},     // PLK
    {0x16, 0x0816, 0},  // PTB, PTG
    {0x19, 0, 204},     // RUS
    {0x1D, 0, 0},       // SVE
    {0x1F, 0, 162},     // TRK
};

const wchar_t kDefaultCode[] = L"ENU";

std::wstring CodeOf(uint16_t languageId) {
  for (const CLanguageRow* row = LanguageRows(); row->languageId != kEndLanguageId; ++row) {
    if (row->languageId == languageId) return row->code;
  }
  return kDefaultCode;
}

uint16_t MakeLanguageId(uint16_t primary, uint16_t sub) { return static_cast<uint16_t>((sub << 10) | primary); }

}  // namespace

void LanguageIdToTla(uint16_t primaryLanguage, uint16_t subLanguage, const std::wstring& currentCode,
                     std::wstring* code, uint8_t* charSet) {
  *code = kDefaultCode;
  *charSet = 0;
  for (const CSetupLanguage& language : kSetupLanguages) {
    if (language.primary != primaryLanguage) continue;
    *charSet = language.charSet;
    std::wstring first = CodeOf(MakeLanguageId(primaryLanguage, 1));
    if (!language.otherVariantId) {
      *code = first;
      return;
    }
    std::wstring other = CodeOf(language.otherVariantId);
    if (EqualsNoCase(currentCode, first)) *code = first;
    else if (EqualsNoCase(currentCode, other)) *code = other;
    else *code = subLanguage == 1 ? first : other;
    return;
  }
}
