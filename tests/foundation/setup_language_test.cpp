// setup_language_test.cpp: the language table's lookups, the choice among the
// offered interface languages and among the languages files exist in.
#include "foundation/setup_language.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/language_rows.h"
#include "foundation/resource_strings.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

TEST(CSetupLanguageTest, TableHas207RowsAnd24OfferedLanguages) {
  size_t rows = 0;
  while (LanguageRows()[rows].languageId != 0xFFFF) ++rows;
  size_t offered = 0;
  while (OfferedLanguages()[offered].languageId != 0) ++offered;
  EXPECT_EQ(207u, rows);
  EXPECT_EQ(24u, offered);
}

TEST(CSetupLanguageTest, LooksUpCodesIdsAndCultureNames) {
  struct CodeCase { const wchar_t* code; LANGID id; const wchar_t* culture; };
  const CodeCase kCodes[] = {
      {L"enu", 0x0409, L"en-US"}, {L"ESN", 0x0C0A, L"es-ES"}, {L"ESP", 0x040A, L"es-ES_tradnl"},
      {L"GEN", 0x0000, L"gen"},   {L"BNG", 0x0445, L"bn-IN"}, {L"SRB", 0x0C1A, L"sr-Cyrl-CS"},
      {L"UZB", 0x0443, L"uz-Latn-UZ"}, {L"AZC", 0x082C, L"az-Cyrl-AZ"},
      {L"XYZ", 0xFFFF, nullptr},  {L"DEUX", 0xFFFF, nullptr}, {L"", 0xFFFF, nullptr},
  };
  for (const CodeCase& row : kCodes) {
    EXPECT_EQ(row.id, LangIdFromLanguageCode(row.code)) << row.code;
    std::wstring culture;
    EXPECT_EQ(row.culture != nullptr, GetCultureName(row.code, &culture)) << row.code;
    if (row.culture) {
      EXPECT_EQ(row.culture, culture);
    }
  }
  struct IdCase { LANGID id; const wchar_t* code; };
  const IdCase kIds[] = {
      {0x2C0A, L"ESS"}, {0x0845, L"BNG"}, {0x0843, L"UZB"}, {0x7C1A, L"SRB"},
      {0x0414, L"NOR"}, {0x540A, L"EST"}, {0x007F, nullptr}, {0xFFFF, nullptr},
  };
  for (const IdCase& row : kIds) {
    std::wstring code = L"unchanged";
    EXPECT_EQ(row.code != nullptr, GetLanguageCode(row.id, &code)) << std::hex << row.id;
    EXPECT_EQ(row.code ? row.code : L"unchanged", code);
  }
}

TEST(CSetupLanguageTest, PicksExactThenSamePrimaryThenEnglish) {
  struct Case { LANGID user; DWORD codePage; LANGID chosen; };
  const Case kCases[] = {
      {0x0407, 1252, 0x0407},  // offered as it is
      {0x080A, 1252, 0x0C0A},  // Spanish (Mexico): the first Spanish entry
      {0x100A, 1252, 0x0C0A},
      {0x0807, 1252, 0x0407},  // German (Switzerland)
      {0x1004, 936, 0x0804},   // Chinese (Singapore) shares Simplified Chinese's page
      {0x0C04, 950, 0x0404},
      {0x0441, 1252, 0x0409},  // Swahili: nothing alike is offered
      {0x0439, 0, 0x0409},     // Hindi, Unicode only
      {0x080A, 932, 0x0409},   // the same language on another code page is no match
      {0x0416, 1252, 0x0416},
  };
  for (const Case& row : kCases) {
    EXPECT_EQ(row.chosen, PickOfferedLanguage(row.user, row.codePage)) << std::hex << row.user;
  }
}

TEST(CSetupLanguageTest, PicksTheLanguageOfExistingFiles) {
  const std::wstring kFolders = L"C:\\kit\\{lang}\\readme.txt";
  const std::wstring kIds = L"C:\\kit\\readme{LangID}.txt";
  struct Case {
    const std::wstring* pathTemplate;
    std::vector<std::wstring> files;
    LANGID target;
    DWORD codePage;
    LANGID requested;
  };
  const Case kCases[] = {
      {&kFolders, {L"C:\\kit\\ENU\\readme.txt", L"C:\\kit\\DEU\\readme.txt"}, 0x0407, 1252, 0x0407},
      {&kFolders, {L"c:\\KIT\\enu\\README.TXT", L"c:\\kit\\deu\\readme.txt"}, 0x0807, 1252, 0x0407},
      {&kFolders, {L"C:\\kit\\FRA\\readme.txt"}, 0x0411, 932, 0x040C},  // the only one there is
      {&kFolders, {L"C:\\kit\\FRA\\readme.txt", L"C:\\kit\\ENU\\readme.txt"}, 0x0411, 932, 0x0409},
      {&kFolders, {L"C:\\kit\\ESP\\readme.txt", L"C:\\kit\\ESN\\readme.txt"}, 0x080A, 1252, 0x0C0A},
      {&kFolders, {L"C:\\kit\\XYZ\\readme.txt"}, 0x0407, 1252, 0x0409},  // no language: English
      {&kFolders, {}, 0x0407, 1252, 0},
      {&kIds, {L"C:\\kit\\readme1033.txt", L"C:\\kit\\readme1031.txt"}, 0x0407, 1252, 0x0407},
  };
  for (const Case& row : kCases) {
    EXPECT_EQ(row.requested, PickLanguageFromFiles(*row.pathTemplate, row.files, row.target,
                                                   row.codePage, row.codePage))
        << std::hex << row.target;
  }
}

TEST(CSetupLanguageTest, TokensAreReplacedInExactCaseOnly) {
  std::wstring text = L"{lang}\\{LANG}\\{lang}{LangID}{langid}";
  ReplaceLangToken(&text, L"DEU");
  ReplaceLangIdToken(&text, L"1031");
  EXPECT_EQ(L"DEU\\{LANG}\\DEU1031{langid}", text);
}

// Language folders at two levels, a folder that is no language and a file
// where a language folder would be.
TEST(CSetupLanguageTest, ListsTheLanguagesFilesExistIn) {
  CTestFolder folder;
  for (const wchar_t* name : {L"ENU", L"FRA", L"docs", L"XYZ", L"DEU"}) {
    CreateDirectoryW(folder.File(name).c_str(), nullptr);
  }
  WriteFileBytes(folder.File(L"ENU\\alpha.msi"), "x");
  WriteFileBytes(folder.File(L"FRA\\alpha.msi"), "x");
  WriteFileBytes(folder.File(L"docs\\alpha.msi"), "x");
  WriteFileBytes(folder.File(L"XYZ\\alpha.msi"), "x");
  WriteFileBytes(folder.File(L"DEU\\beta.msi"), "x");
  WriteFileBytes(folder.File(L"readme1036.txt"), "x");

  EXPECT_EQ((std::vector<std::wstring>{L"ENU", L"FRA"}),
            ListAvailableLanguages(folder.File(L"{lang}\\alpha.msi")));
  EXPECT_EQ(std::vector<std::wstring>{L"FRA"}, ListAvailableLanguages(folder.File(L"readme{LangID}.txt")));
  EXPECT_TRUE(ListAvailableLanguages(folder.File(L"{lang}\\gamma.msi")).empty());
  std::vector<std::wstring> files;
  EXPECT_TRUE(ListLanguageFiles(folder.File(L"{lang}\\alpha.msi"), &files));
  EXPECT_TRUE(HasLanguageFile(folder.File(L"{lang}\\alpha.msi"), 0x040C, files));
  EXPECT_FALSE(HasLanguageFile(folder.File(L"{lang}\\alpha.msi"), 0x0407, files));
}

// Wine loads strings in the user's language whatever the thread's interface
// language says: the language must be named when loading.
TEST(CSetupLanguageTest, LoadsStringsInTheLanguageSetForTheInterface) {
  struct Case { LANGID language; UINT id; const wchar_t* text; };
  const Case kCases[] = {
      {0x0407, 60001, L"Deutsch eins"},
      {0x0407, 60003, L"English three"},  // not translated
      {0x040C, 60001, L"English one"},
      {0x0409, 60001, L"English one"},
      {0x0407, 60002, L""},
  };
  for (const Case& row : kCases) {
    SetThreadUILanguageEx(row.language);
    EXPECT_EQ(row.text, LoadResourceString(row.id)) << std::hex << row.language << " " << row.id;
  }
  SetThreadUILanguageEx(0x0409);
}

}  // namespace
