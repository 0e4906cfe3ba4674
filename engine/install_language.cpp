// install_language.cpp: decides the install language and writes it where the
// run, the wizard and DLL actions read it.
#include "engine/install_language.h"

#include <windows.h>

#include <algorithm>

#include "engine/setup_aggregate.h"
#include "engine/setup_state.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kLanguageFolderTemplate[] = L"{lang}";
constexpr WORD kPrimaryLanguageMask = 0x3FF;
constexpr LANGID kUnknownLanguage = 0xFFFF;

}  // namespace

CInstallLanguage::CInstallLanguage(CSetupState& state, std::wstring* installLanguage,
                                   const std::wstring& setupFolder)
    : m_state(state), m_installLanguage(installLanguage), m_setupFolder(setupFolder) {}

void CInstallLanguage::DetermineBaseLanguage(bool forced) {
  WriteLog(L"Determining the base language");
  if (forced && !m_installLanguage->empty()) {
    WriteLog(L"  Attempting to force language to '%s'", m_installLanguage->c_str());
    InitSetupLanguageFromCode(*m_installLanguage);
  } else {
    InitSetupLanguage();
  }
  LANGID base = GetSetupLanguageId();
  std::wstring code;
  GetLanguageCode(base, &code);
  WriteLog(L"   Base language detected is '%s'", code.c_str());

  // Language folders sit beside setup.exe, wherever it was started from.
  InitSetupLanguageFromFile(base, m_setupFolder + kLanguageFolderTemplate);
  LANGID final = GetRequestedLanguageId() != 0 ? GetRequestedLanguageId() : base;
  std::wstring finalCode;
  GetLanguageCode(final, &finalCode);
  *m_installLanguage = finalCode;
  m_state.m_languageId = final;
  m_state.m_languageCode = finalCode;
  m_state.m_primaryLanguageId = final & kPrimaryLanguageMask;
  if (g_setupAggregate) g_setupAggregate->languageId = final;

  SetThreadUILanguageEx(final);
  WriteLog(L"   Setting final install language TLA to '%s'", finalCode.c_str());
}

void CInstallLanguage::CollectLanguageCandidates(const std::vector<std::wstring>& productKeys) {
  std::vector<std::wstring>& languages = m_state.m_lists[0];
  languages.clear();
  for (const std::wstring& key : productKeys) {
    const CProductData* product = m_state.m_products.Lookup(key);
    if (!product || product->GetSourcePackagePath().empty()) continue;
    std::vector<std::wstring> codes = ListAvailableLanguages(product->GetSourcePackagePath());
    std::wstring own;
    LANGID ownId = product->GetProductLanguage();
    if (codes.empty() && ownId != 0 && GetLanguageCode(ownId, &own)) codes.push_back(own);
    for (const std::wstring& code : codes) {
      auto at = std::lower_bound(languages.begin(), languages.end(), code);
      if (at == languages.end() || *at != code) languages.insert(at, code);
    }
  }
}

void CInstallLanguage::ChooseProductLanguages(const std::vector<std::wstring>& productKeys) {
  LANGID hint = LangIdFromLanguageCode(*m_installLanguage);
  if (hint == kUnknownLanguage) hint = 0;  // no install language: each user's default
  LANGID installId = hint;
  bool matched = false;
  std::wstring lastCode;
  for (const std::wstring& key : productKeys) {
    CProductData* product = m_state.m_products.Lookup(key);
    if (!product) continue;
    // Without any file to choose from, the language requested for an
    // earlier product must not carry over: the product keeps its own.
    std::vector<std::wstring> files;
    if (!ListLanguageFiles(product->GetSourcePackagePath(), &files)) continue;
    InitSetupLanguageFromFile(hint, product->GetSourcePackagePath());
    LANGID chosen = GetRequestedLanguageId();
    product->SetProductLanguage(chosen);
    std::wstring code;
    if (chosen != 0 && GetLanguageCode(chosen, &code)) lastCode = code;
    // The kit lacks the product in the language asked for: it is installed
    // in another, which the log names.
    if (hint != 0 && chosen != hint) {
      WriteLog(L"   Product %s has no package in language '%s': it is installed in '%s'", key.c_str(),
               m_installLanguage->c_str(), code.empty() ? L"(its own)" : code.c_str());
    }
    if (!matched && !code.empty() && code == *m_installLanguage) {
      matched = true;
      DetermineBaseLanguage(true);
    }
  }
  m_state.m_packageLanguageCode.clear();
  if (!matched && lastCode.empty()) NoteFallbackLanguage(productKeys);
  for (const auto& entry : m_state.m_products) {
    if (entry.second->GetProductLanguage() == 0) entry.second->SetProductLanguage(installId);
  }
  if (!matched && !lastCode.empty()) {
    *m_installLanguage = lastCode;
    DetermineBaseLanguage(true);
  }
}

// No product has a package per language, and none is in the install
// language: each installs in its own, and the suite's record names that
// one. The interface keeps the language it was given.
void CInstallLanguage::NoteFallbackLanguage(const std::vector<std::wstring>& productKeys) {
  const std::vector<std::wstring>& offered = m_state.m_lists[0];
  if (offered.empty() || std::find(offered.begin(), offered.end(), *m_installLanguage) != offered.end()) return;
  for (const std::wstring& key : productKeys) {
    const CProductData* product = m_state.m_products.Lookup(key);
    std::wstring code;
    if (!product || product->GetProductLanguage() == 0 || !GetLanguageCode(product->GetProductLanguage(), &code)) {
      continue;
    }
    WriteLog(L"   No package of the suite is in language '%s'; the packages are installed in their own, '%s'",
             m_installLanguage->c_str(), code.c_str());
    m_state.m_packageLanguageCode = code;
    return;
  }
}
