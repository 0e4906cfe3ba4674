// language_table.cpp: the fixed table of language ids and their three-letter
// codes, searched front to back.
#include "conditions/language_table.h"

#include <cwchar>

namespace {

struct CLanguageRow {
  wchar_t code[4];
  uint32_t languageId;
  uint32_t codePage;  // kept with the row for reference; no lookup needs it
};

// The row with id 0xFFFF ends the table.
const CLanguageRow kLanguageRows[] = {
    {L"ENU", 0x0409, 1252}, {L"FRA", 0x040C, 1252}, {L"DEU", 0x0407, 1252},
    {L"ITA", 0x0410, 1252}, {L"ESP", 0x040A, 1252}, {L"NLD", 0x0413, 1252},
    {L"PTB", 0x0416, 1252}, {L"PTG", 0x0816, 1252}, {L"SVE", 0x041D, 1252},
    {L"DAN", 0x0406, 1252}, {L"FIN", 0x040B, 1252}, {L"NOR", 0x0414, 1252},
    {L"ARA", 0x0401, 1256}, {L"BGR", 0x0402, 1251}, {L"CAT", 0x0403, 1252},
    {L"CHT", 0x0404, 950}, {L"CSY", 0x0405, 1250}, {L"ELL", 0x0408, 1253},
    {L"HEB", 0x040D, 1255}, {L"HUN", 0x040E, 1250}, {L"ISL", 0x040F, 1252},
    {L"JPN", 0x0411, 932}, {L"KOR", 0x0412, 949}, {L"PLK", 0x0415, 1250},
    {L"ROM", 0x0418, 1250}, {L"RUS", 0x0419, 1251}, {L"HRV", 0x041A, 1250},
    {L"SKY", 0x041B, 1250}, {L"SQI", 0x041C, 1250}, {L"THA", 0x041E, 874},
    {L"TRK", 0x041F, 1254}, {L"URP", 0x0420, 1256}, {L"IND", 0x0421, 1252},
    {L"UKR", 0x0422, 1251}, {L"BEL", 0x0423, 1251}, {L"SLV", 0x0424, 1250},
    {L"ETI", 0x0425, 1257}, {L"LVI", 0x0426, 1257}, {L"LTH", 0x0427, 1257},
    {L"FAR", 0x0429, 1256}, {L"VIT", 0x042A, 1258}, {L"HYE", 0x042B, 1251},
    {L"AZE", 0x042C, 1250}, {L"EUQ", 0x042D, 1252}, {L"MKI", 0x042F, 1251},
    {L"AFK", 0x0436, 1252}, {L"FOS", 0x0438, 1252}, {L"MSL", 0x043E, 1252},
    {L"KAZ", 0x043F, 1251}, {L"KYR", 0x0440, 1251}, {L"SWK", 0x0441, 1252},
    {L"UZB", 0x0443, 1250}, {L"TAT", 0x0444, 1251}, {L"MON", 0x0450, 1251},
    {L"ARI", 0x0801, 1256}, {L"CHS", 0x0804, 936}, {L"DES", 0x0807, 1252},
    {L"ENG", 0x0809, 1252}, {L"ESM", 0x080A, 1252}, {L"FRB", 0x080C, 1252},
    {L"ITS", 0x0810, 1252}, {L"NLB", 0x0813, 1252}, {L"NON", 0x0814, 1252},
    {L"SRL", 0x081A, 1250}, {L"SVF", 0x081D, 1252}, {L"URI", 0x0820, 1256},
    {L"LTC", 0x0827, 1257}, {L"AZE", 0x082C, 1251}, {L"MSB", 0x083E, 1252},
    {L"UZB", 0x0843, 1251}, {L"ARE", 0x0C01, 1256}, {L"ZHH", 0x0C04, 950},
    {L"DEA", 0x0C07, 1252}, {L"ENA", 0x0C09, 1252}, {L"ESN", 0x0C0A, 1252},
    {L"FRC", 0x0C0C, 1252}, {L"SRB", 0x0C1A, 1251}, {L"ARL", 0x1001, 1256},
    {L"ZHI", 0x1004, 936}, {L"DEL", 0x1007, 1252}, {L"ENC", 0x1009, 1252},
    {L"ESG", 0x100A, 1252}, {L"FRS", 0x100C, 1252}, {L"ARG", 0x1401, 1256},
    {L"ZHM", 0x1404, 950}, {L"DEC", 0x1407, 1252}, {L"ENZ", 0x1409, 1252},
    {L"ESC", 0x140A, 1252}, {L"FRL", 0x140C, 1252}, {L"ARM", 0x1801, 1256},
    {L"ENI", 0x1809, 1252}, {L"ESA", 0x180A, 1252}, {L"FRM", 0x180C, 1252},
    {L"ART", 0x1C01, 1256}, {L"ENS", 0x1C09, 1252}, {L"ESD", 0x1C0A, 1252},
    {L"ARO", 0x2001, 1256}, {L"ENJ", 0x2009, 1252}, {L"ESV", 0x200A, 1252},
    {L"ARY", 0x2401, 1256}, {L"ENB", 0x2409, 1252}, {L"ESO", 0x240A, 1252},
    {L"ARS", 0x2801, 1256}, {L"ENL", 0x2809, 1252}, {L"ESR", 0x280A, 1252},
    {L"ARJ", 0x2C01, 1256}, {L"ENT", 0x2C09, 1252}, {L"ESS", 0x2C0A, 1252},
    {L"ARB", 0x3001, 1256}, {L"ENW", 0x3009, 1252}, {L"ESF", 0x300A, 1252},
    {L"ARK", 0x3401, 1256}, {L"ENP", 0x3409, 1252}, {L"ESL", 0x340A, 1252},
    {L"ARU", 0x3801, 1256}, {L"ESY", 0x380A, 1252}, {L"ARH", 0x3C01, 1256},
    {L"ESZ", 0x3C0A, 1252}, {L"ARQ", 0x4001, 1256}, {L"ESB", 0x400A, 1252},
    {L"ESE", 0x440A, 1252}, {L"ESH", 0x480A, 1252}, {L"ESI", 0x4C0A, 1252},
    {L"ESU", 0x500A, 1252}, {L"GEN", 0x0000, 1252},
    {L"", 0xFFFF, 0},
};

}  // namespace

bool LookupLanguageCode(uint16_t id, wchar_t* code) {
  for (const CLanguageRow* row = kLanguageRows; row->languageId != 0xFFFF; ++row) {
    if (row->languageId != id) continue;
    if (code) wmemcpy(code, row->code, 4);
    return true;
  }
  return false;
}
