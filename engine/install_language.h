#pragma once
// install_language.h: the run's install language: the base language from the
// user's settings or the command line, the languages the suite's packages
// exist in, and each product's language.
#include <string>
#include <vector>

class CSetupState;

class CInstallLanguage {
 public:
  // `installLanguage` is the worker's three-letter code, read and written;
  // `setupFolder` (with its backslash) is where language folders are looked for.
  CInstallLanguage(CSetupState& state, std::wstring* installLanguage, const std::wstring& setupFolder);

  void DetermineBaseLanguage(bool forced);
  // The state's language list: the codes of every product's package files,
  // ascending.
  void CollectLanguageCandidates(const std::vector<std::wstring>& productKeys);
  void ChooseProductLanguages(const std::vector<std::wstring>& productKeys);

 private:
  void NoteFallbackLanguage(const std::vector<std::wstring>& productKeys);
  CSetupState& m_state;
  std::wstring* m_installLanguage;
  std::wstring m_setupFolder;
};
