// resource_strings.cpp: reads string-table entries of the running program in
// the chosen interface language. The language is named explicitly: Wine
// ignores the thread's interface language when loading resources.
#include "foundation/resource_strings.h"

#include "foundation/setup_language.h"

namespace {

constexpr LANGID kDefaultLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

}  // namespace

bool LoadStringInLanguage(UINT id, LANGID language, std::wstring* text) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const WCHAR* entry = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!entry) return false;
  for (UINT index = 0; index < id % 16; ++index) entry += 1 + *entry;
  if (*entry == 0) return false;
  text->assign(entry + 1, *entry);
  return true;
}

std::wstring LoadResourceString(UINT id) {
  std::wstring text;
  LANGID language = GetResourceLanguageId();
  if (language != 0 && LoadStringInLanguage(id, language, &text)) return text;
  if (LoadStringInLanguage(id, kDefaultLanguage, &text)) return text;
  return std::wstring();
}
