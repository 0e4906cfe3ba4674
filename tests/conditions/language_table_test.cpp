// language_table_test.cpp: every listed language id finds its code, and
// unlisted ids leave the caller's buffer alone.
#include "conditions/language_table.h"

#include <cwchar>
#include <string>

#include "gtest/gtest.h"

namespace {

struct LanguageRow {
  uint16_t id;
  const wchar_t* code;
};

// Every row, grouped by ANSI code page (874, 932, 936, 949, 950, 1250-1258).
const LanguageRow kRows[] = {
    {0x041E, L"THA"}, {0x0411, L"JPN"}, {0x0804, L"CHS"}, {0x1004, L"ZHI"},
    {0x0412, L"KOR"}, {0x0404, L"CHT"}, {0x0C04, L"ZHH"}, {0x1404, L"ZHM"},
    {0x0405, L"CSY"}, {0x040E, L"HUN"}, {0x0415, L"PLK"}, {0x0418, L"ROM"},
    {0x041A, L"HRV"}, {0x041B, L"SKY"}, {0x041C, L"SQI"}, {0x0424, L"SLV"},
    {0x042C, L"AZE"}, {0x0443, L"UZB"}, {0x081A, L"SRL"}, {0x0402, L"BGR"},
    {0x0419, L"RUS"}, {0x0422, L"UKR"}, {0x0423, L"BEL"}, {0x042B, L"HYE"},
    {0x042F, L"MKI"}, {0x043F, L"KAZ"}, {0x0440, L"KYR"}, {0x0444, L"TAT"},
    {0x0450, L"MON"}, {0x082C, L"AZE"}, {0x0843, L"UZB"}, {0x0C1A, L"SRB"},
    {0x0409, L"ENU"}, {0x040C, L"FRA"}, {0x0407, L"DEU"}, {0x0410, L"ITA"},
    {0x040A, L"ESP"}, {0x0413, L"NLD"}, {0x0416, L"PTB"}, {0x0816, L"PTG"},
    {0x041D, L"SVE"}, {0x0406, L"DAN"}, {0x040B, L"FIN"}, {0x0414, L"NOR"},
    {0x0403, L"CAT"}, {0x040F, L"ISL"}, {0x0421, L"IND"}, {0x042D, L"EUQ"},
    {0x0436, L"AFK"}, {0x0438, L"FOS"}, {0x043E, L"MSL"}, {0x0441, L"SWK"},
    {0x0807, L"DES"}, {0x0809, L"ENG"}, {0x080A, L"ESM"}, {0x080C, L"FRB"},
    {0x0810, L"ITS"}, {0x0813, L"NLB"}, {0x0814, L"NON"}, {0x081D, L"SVF"},
    {0x083E, L"MSB"}, {0x0C07, L"DEA"}, {0x0C09, L"ENA"}, {0x0C0A, L"ESN"},
    {0x0C0C, L"FRC"}, {0x1007, L"DEL"}, {0x1009, L"ENC"}, {0x100A, L"ESG"},
    {0x100C, L"FRS"}, {0x1407, L"DEC"}, {0x1409, L"ENZ"}, {0x140A, L"ESC"},
    {0x140C, L"FRL"}, {0x1809, L"ENI"}, {0x180A, L"ESA"}, {0x180C, L"FRM"},
    {0x1C09, L"ENS"}, {0x1C0A, L"ESD"}, {0x2009, L"ENJ"}, {0x200A, L"ESV"},
    {0x2409, L"ENB"}, {0x240A, L"ESO"}, {0x2809, L"ENL"}, {0x280A, L"ESR"},
    {0x2C09, L"ENT"}, {0x2C0A, L"ESS"}, {0x3009, L"ENW"}, {0x300A, L"ESF"},
    {0x3409, L"ENP"}, {0x340A, L"ESL"}, {0x380A, L"ESY"}, {0x3C0A, L"ESZ"},
    {0x400A, L"ESB"}, {0x440A, L"ESE"}, {0x480A, L"ESH"}, {0x4C0A, L"ESI"},
    {0x500A, L"ESU"}, {0x0000, L"GEN"}, {0x0408, L"ELL"}, {0x041F, L"TRK"},
    {0x040D, L"HEB"}, {0x0401, L"ARA"}, {0x0420, L"URP"}, {0x0429, L"FAR"},
    {0x0801, L"ARI"}, {0x0820, L"URI"}, {0x0C01, L"ARE"}, {0x1001, L"ARL"},
    {0x1401, L"ARG"}, {0x1801, L"ARM"}, {0x1C01, L"ART"}, {0x2001, L"ARO"},
    {0x2401, L"ARY"}, {0x2801, L"ARS"}, {0x2C01, L"ARJ"}, {0x3001, L"ARB"},
    {0x3401, L"ARK"}, {0x3801, L"ARU"}, {0x3C01, L"ARH"}, {0x4001, L"ARQ"},
    {0x0425, L"ETI"}, {0x0426, L"LVI"}, {0x0427, L"LTH"}, {0x0827, L"LTC"},
    {0x042A, L"VIT"},
};

}  // namespace

TEST(LanguageTableTest, EveryListedIdYieldsItsCode) {
  EXPECT_EQ(125u, sizeof(kRows) / sizeof(kRows[0]));
  for (const LanguageRow& row : kRows) {
    wchar_t code[4] = {L'x', L'x', L'x', L'x'};
    ASSERT_TRUE(LookupLanguageCode(row.id, code)) << std::hex << row.id;
    EXPECT_EQ(std::wstring(row.code), std::wstring(code, wcsnlen(code, 4))) << std::hex << row.id;
    EXPECT_EQ(L'\0', code[3]);
  }
}

TEST(LanguageTableTest, UnlistedIdsFailAndLeaveTheBufferAlone) {
  // 0x0414 is listed next to the unlisted 0x0464; 0xFFFF only ends the table.
  for (uint16_t id : {0x0464, 0xFFFF, 0x0009, 0x0C1B, 0x7C04}) {
    wchar_t code[4] = {L'a', L'b', L'c', L'\0'};
    EXPECT_FALSE(LookupLanguageCode(id, code)) << std::hex << id;
    EXPECT_EQ(std::wstring(L"abc"), code);
  }
}
