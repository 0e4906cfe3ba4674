// setup_language.cpp: the interface language chosen once per process (on the
// start-up and worker threads, before the wizard reads it), and the search
// for files that exist in several languages.
#include "foundation/setup_language.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/language_rows.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/system_dlls.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kLangToken[] = L"{lang}";
const wchar_t kLangIdToken[] = L"{LangID}";
constexpr LANGID kPrimaryMask = 0x3FF;

LANGID g_chosenLanguage = 0;
LANGID g_requestedLanguage = 0;
LANGID g_userLanguage = 0;
DWORD g_userCodePage = 0;
bool g_userLanguageRead = false;
LANGID g_resourceLanguage = 0;

bool SamePrimary(LANGID a, LANGID b) { return (a & kPrimaryMask) == (b & kPrimaryMask); }

const CLanguageRow& RowOf(LANGID id) { return LanguageRows()[LanguageIndexFromLangId(id)]; }

void ReplaceAllExact(std::wstring* text, const std::wstring& token, const std::wstring& value) {
  for (size_t at = text->find(token); at != std::wstring::npos; at = text->find(token, at + value.size())) {
    text->replace(at, token.size(), value);
  }
}

std::wstring WithWildcards(std::wstring text) {
  ReplaceLangToken(&text, L"*");
  ReplaceLangIdToken(&text, L"*");
  return text;
}

// The names FindFirstFileW finds for `pattern`, folders included: a language
// may be a folder of its own.
std::vector<std::wstring> FindNames(const std::wstring& pattern, bool foldersOnly) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  std::unique_ptr<void, decltype(&FindClose)> find(FindFirstFileW(pattern.c_str(), &data), &FindClose);
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();  // nothing to close
    return names;
  }
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (foldersOnly && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    names.push_back(name);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

// Every existing folder that `folder` names, each level holding a token
// matched against the folders there.
std::vector<std::wstring> ExpandFolder(const std::wstring& folder) {
  std::vector<std::wstring> prefixes(1);
  size_t start = 0;
  while (start < folder.size()) {
    size_t end = folder.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = folder.size();
    std::wstring level = folder.substr(start, end - start);
    std::vector<std::wstring> next;
    for (const std::wstring& prefix : prefixes) {
      if (level.find(kLangToken) == std::wstring::npos && level.find(kLangIdToken) == std::wstring::npos) {
        next.push_back(prefix + level + L"\\");
        continue;
      }
      for (const std::wstring& name : FindNames(prefix + WithWildcards(level), true)) {
        next.push_back(prefix + name + L"\\");
      }
    }
    prefixes.swap(next);
    start = end + 1;
  }
  return prefixes;
}

// Reads the language where the template's first token stands in `path`, and
// keeps it only when the whole template, filled with it, names that path.
bool LanguageOfPath(const std::wstring& pathTemplate, const std::wstring& path, std::wstring* code) {
  size_t lang = pathTemplate.find(kLangToken);
  size_t id = pathTemplate.find(kLangIdToken);
  size_t at = std::min(lang, id);
  if (at == std::wstring::npos || at >= path.size()) return false;
  LANGID languageId = 0;
  if (at == lang) {
    if (!GetLanguageCode(LangIdFromLanguageCode(path.substr(at, 3)), code)) return false;
    languageId = LangIdFromLanguageCode(*code);
  } else {
    size_t end = at;
    while (end < path.size() && iswdigit(path[end])) ++end;
    if (end == at || end - at > 5) return false;
    languageId = static_cast<LANGID>(std::stoul(path.substr(at, end - at)));
    if (!GetLanguageCode(languageId, code)) return false;
  }
  std::wstring expected = pathTemplate;
  ReplaceLangToken(&expected, *code);
  ReplaceLangIdToken(&expected, std::to_wstring(languageId));
  return EqualsNoCase(expected, path);
}

}  // namespace

LANGID GetSetupLanguageId() { return g_chosenLanguage; }

LANGID GetRequestedLanguageId() { return g_requestedLanguage; }

void InitUserLanguage() {
  if (g_userLanguageRead) return;
  g_userLanguageRead = true;
  g_userLanguage = GetUserDefaultUILanguage();
  const CLanguageRow& row = RowOf(g_userLanguage);
  if (row.languageId != kEndLanguageId) g_userCodePage = row.codePage;
}

LANGID PickOfferedLanguage(LANGID target, DWORD userCodePage) {
  LANGID chosen = 0;
  bool samePageTaken = false;
  for (const COfferedLanguage* entry = OfferedLanguages(); entry->languageId != 0; ++entry) {
    if (entry->languageId == target) return target;
    if (!samePageTaken && entry->codePage == userCodePage && SamePrimary(entry->languageId, target)) {
      chosen = entry->languageId;
      samePageTaken = true;
    } else if (chosen == 0) {
      chosen = entry->languageId;
    }
  }
  return chosen != 0 ? chosen : LangIdFromLanguageCode(L"ENU");
}

void ChooseUiLanguageId(bool reset) {
  if (reset) {
    g_chosenLanguage = 0;
    g_requestedLanguage = 0;
  }
  LANGID target = g_requestedLanguage != 0 ? g_requestedLanguage : g_userLanguage;
  if (g_chosenLanguage != 0) return;
  g_chosenLanguage = PickOfferedLanguage(target, g_userCodePage);
}

void InitSetupLanguage() {
  InitUserLanguage();
  ChooseUiLanguageId(false);
}

void InitSetupLanguageFromCode(const std::wstring& code) {
  LANGID id = code.size() == 3 ? LangIdFromLanguageCode(code) : kEndLanguageId;
  if (id == kEndLanguageId) {
    InitSetupLanguage();
    return;
  }
  // The code replaces what the system says, so a later default choice must
  // not read the system over it.
  g_userLanguageRead = true;
  g_userLanguage = id;
  g_userCodePage = RowOf(id).codePage;
  ChooseUiLanguageId(true);
}

void InitSetupLanguageFromFile(LANGID hint, const std::wstring& pathTemplate) {
  InitSetupLanguage();
  ChooseLanguageFromFiles(pathTemplate, hint, g_userCodePage);
}

size_t LanguageIndexFromLangId(LANGID id) {
  const CLanguageRow* rows = LanguageRows();
  size_t index = 0;
  while (rows[index].languageId != kEndLanguageId && rows[index].languageId != id) ++index;
  return index;
}

bool GetLanguageCode(LANGID id, std::wstring* code) {
  const CLanguageRow& row = RowOf(id);
  if (row.languageId == kEndLanguageId) return false;
  *code = row.code;
  return true;
}

LANGID LangIdFromLanguageCode(const std::wstring& code) {
  for (const CLanguageRow* row = LanguageRows(); row->languageId != kEndLanguageId; ++row) {
    if (EqualsNoCase(code, row->code)) return row->languageId;
  }
  return kEndLanguageId;
}

bool GetCultureName(const std::wstring& code, std::wstring* name) {
  LANGID id = LangIdFromLanguageCode(code);
  if (id == kEndLanguageId) return false;
  *name = RowOf(id).localeName;
  return true;
}

void ReplaceLangToken(std::wstring* text, const std::wstring& value) {
  ReplaceAllExact(text, kLangToken, value);
}

void ReplaceLangIdToken(std::wstring* text, const std::wstring& value) {
  ReplaceAllExact(text, kLangIdToken, value);
}

bool ListLanguageFiles(const std::wstring& pathTemplate, std::vector<std::wstring>* files) {
  std::wstring folder = FolderOfPath(pathTemplate);
  std::wstring name = FileNameOfPath(pathTemplate);
  std::vector<std::wstring> folders;
  if (folder.find(kLangToken) != std::wstring::npos || folder.find(kLangIdToken) != std::wstring::npos) {
    folders = ExpandFolder(folder.substr(0, folder.size() - 1));
  } else {
    folders.push_back(folder);
  }
  bool tokens = pathTemplate.find(kLangToken) != std::wstring::npos ||
                pathTemplate.find(kLangIdToken) != std::wstring::npos;
  size_t before = files->size();
  for (const std::wstring& each : folders) {
    for (const std::wstring& found : FindNames(each + WithWildcards(name), false)) {
      // Only a file that stands for a language counts: any other file the
      // wildcard finds would make the search settle on English.
      std::wstring code;
      if (!tokens || LanguageOfPath(pathTemplate, each + found, &code)) files->push_back(each + found);
    }
  }
  return files->size() > before;
}

bool HasLanguageFile(const std::wstring& pathTemplate, LANGID id, const std::vector<std::wstring>& files) {
  std::wstring code;
  if (!GetLanguageCode(id, &code)) return false;
  std::wstring path = pathTemplate;
  ReplaceLangToken(&path, code);
  ReplaceLangIdToken(&path, std::to_wstring(id));
  for (const std::wstring& file : files) {
    if (EqualsNoCase(file, path)) return true;
  }
  return false;
}

LANGID PickLanguageFromFiles(const std::wstring& pathTemplate, const std::vector<std::wstring>& files,
                             LANGID target, DWORD targetCodePage, DWORD userCodePage) {
  if (files.empty()) return 0;
  LANGID requested = 0;
  // Returns true when `id` ends the search.
  auto tryLanguage = [&](LANGID id, DWORD codePage) {
    if (!HasLanguageFile(pathTemplate, id, files)) return false;
    if (codePage == userCodePage && SamePrimary(id, target)) {
      requested = id;
      return true;
    }
    if (requested == 0) requested = id;
    return false;
  };
  bool done = tryLanguage(target, targetCodePage);
  for (const CLanguageRow* row = LanguageRows(); !done && row->languageId != kEndLanguageId; ++row) {
    done = tryLanguage(row->languageId, row->codePage);
    if (!done && row->fallbackId != 0 && !HasLanguageFile(pathTemplate, row->languageId, files)) {
      done = tryLanguage(row->fallbackId, RowOf(row->fallbackId).codePage);
    }
  }
  if (requested == 0) requested = LanguageRows()[0].languageId;
  // Bounded by the table's size: a cycle of fallbacks must not hang setup.
  for (size_t steps = 0; steps <= LanguageIndexFromLangId(kEndLanguageId); ++steps) {
    LANGID fallback = RowOf(requested).fallbackId;
    if (fallback == 0 || RowOf(requested).languageId == kEndLanguageId) break;
    requested = fallback;
  }
  return requested;
}

void ChooseLanguageFromFiles(const std::wstring& pathTemplate, LANGID hint, DWORD codePageHint) {
  std::vector<std::wstring> files;
  if (!ListLanguageFiles(pathTemplate, &files)) return;
  LANGID target = hint != 0 ? hint : g_userLanguage;
  DWORD targetCodePage = codePageHint != 0 ? codePageHint : g_userCodePage;
  g_requestedLanguage = PickLanguageFromFiles(pathTemplate, files, target, targetCodePage, g_userCodePage);
}

std::vector<std::wstring> LanguagesOfFiles(const std::wstring& pathTemplate,
                                           const std::vector<std::wstring>& files) {
  std::vector<std::wstring> codes;
  for (const std::wstring& file : files) {
    std::wstring code;
    if (LanguageOfPath(pathTemplate, file, &code)) codes.push_back(code);
  }
  return codes;
}

std::vector<std::wstring> ListAvailableLanguages(const std::wstring& pathTemplate) {
  std::vector<std::wstring> files;
  ListLanguageFiles(pathTemplate, &files);
  return LanguagesOfFiles(pathTemplate, files);
}

LANGID GetResourceLanguageId() { return g_resourceLanguage != 0 ? g_resourceLanguage : g_chosenLanguage; }

BOOL SetThreadUILanguageEx(LANGID id) {
  g_resourceLanguage = id;
  OSVERSIONINFOW version = {sizeof(version)};
  GetVersionExW(&version);
  if (version.dwMajorVersion < 6) {
    if (SetThreadLocale(MAKELCID(id, SORT_DEFAULT))) return TRUE;
    DWORD error = GetLastError();
    WriteLog(L"   SetThreadLocale failed with error code %d", error);
    return FALSE;
  }
  HMODULE kernel = LoadSystemDll(L"kernel32.dll");
  if (!kernel) {
    WriteLog(L"   Unable to load Windows Kernel32 library to execute SetThreadPreferredUILanguages");
  } else {
    using SetPreferred = BOOL(WINAPI*)(DWORD, PCZZWSTR, PULONG);
    auto setPreferred =
        reinterpret_cast<SetPreferred>(GetProcAddress(kernel, "SetThreadPreferredUILanguages"));
    DWORD error = GetLastError();
    if (!setPreferred) {
      WriteLog(L"   Could not get the process address for SetThreadPreferredUILanguages, error %d", error);
    } else if (!setPreferred(MUI_RESET_FILTERS, nullptr, nullptr)) {
      error = GetLastError();
      WriteLog(L"   SetThreadPreferredUILanguages failed, error %d", error);
    }
    FreeLibrary(kernel);
  }
  if (SetThreadUILanguage(id) == id) return TRUE;
  DWORD error = GetLastError();
  WriteLog(L"   SetThreadUILanguage failed with error code %d", error);
  return FALSE;
}
