// language_dialog.cpp: the replaceable language question.
#include "engine/language_dialog.h"

#include <atomic>

namespace {

bool KeepCurrentLanguage(const std::vector<std::wstring>* codes, std::wstring*, HWND) { return codes != nullptr; }

std::atomic<LanguageDialogFunction> g_implementation{KeepCurrentLanguage};

}  // namespace

bool SelectSetupLanguageThroughDialog(const std::vector<std::wstring>* codes, std::wstring* selected,
                                      HWND parent) {
  return g_implementation.load()(codes, selected, parent);
}

void SetLanguageDialogImplementation(LanguageDialogFunction function) {
  g_implementation = function ? function : KeepCurrentLanguage;
}
