#pragma once
// setup_language.h: the process-wide choice of the interface language, the
// lookups in the language table, the "{lang}" and "{LangID}" tokens and the
// search for language-specific files.
#include <windows.h>

#include <string>
#include <vector>

LANGID GetSetupLanguageId();
LANGID GetRequestedLanguageId();

// The user's interface language and its code page, read once.
void InitUserLanguage();
void ChooseUiLanguageId(bool reset);
void InitSetupLanguage();
// A known three-letter code stands in for the user's language.
void InitSetupLanguageFromCode(const std::wstring& code);
// Chooses the interface language, then requests a language from the files
// that `pathTemplate` names.
void InitSetupLanguageFromFile(LANGID hint, const std::wstring& pathTemplate);

// The walk over the offered interface languages: an exact match, else the
// first of the same code page and primary language, else the first offered.
LANGID PickOfferedLanguage(LANGID target, DWORD userCodePage);
// The language to request from the existing `files` of `pathTemplate`; 0
// when there are no files.
LANGID PickLanguageFromFiles(const std::wstring& pathTemplate, const std::vector<std::wstring>& files,
                             LANGID target, DWORD targetCodePage, DWORD userCodePage);

// Row index of `id`, or the index of the end row.
size_t LanguageIndexFromLangId(LANGID id);
bool GetLanguageCode(LANGID id, std::wstring* code);
// 0xFFFF for an unknown code.
LANGID LangIdFromLanguageCode(const std::wstring& code);
bool GetCultureName(const std::wstring& code, std::wstring* name);

// Exact-case tokens: "{LANG}" is plain text.
void ReplaceLangToken(std::wstring* text, const std::wstring& value);
void ReplaceLangIdToken(std::wstring* text, const std::wstring& value);

bool ListLanguageFiles(const std::wstring& pathTemplate, std::vector<std::wstring>* files);
bool HasLanguageFile(const std::wstring& pathTemplate, LANGID id, const std::vector<std::wstring>& files);
void ChooseLanguageFromFiles(const std::wstring& pathTemplate, LANGID hint, DWORD codePageHint);
// The codes of the languages that `files` (found for `pathTemplate`) stand for.
std::vector<std::wstring> LanguagesOfFiles(const std::wstring& pathTemplate,
                                           const std::vector<std::wstring>& files);
std::vector<std::wstring> ListAvailableLanguages(const std::wstring& pathTemplate);

// Also makes `id` the language the program's own resources are loaded in:
// Wine ignores the thread's interface language there.
BOOL SetThreadUILanguageEx(LANGID id);
// The last id given to SetThreadUILanguageEx, else the chosen language.
LANGID GetResourceLanguageId();
