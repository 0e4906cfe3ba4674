#pragma once
// language_dialog.h: the question which of the suite's languages setup runs
// in. The wizard puts its dialog behind it; a program without one (the
// engine's own tests) keeps the language it has.
#include <windows.h>

#include <string>
#include <vector>

// False when the choice failed. True otherwise, with `selected` the chosen
// code, or empty when the user cancelled; `selected` comes in as the current
// code.
using LanguageDialogFunction = bool (*)(const std::vector<std::wstring>* codes, std::wstring* selected,
                                        HWND parent);

bool SelectSetupLanguageThroughDialog(const std::vector<std::wstring>* codes, std::wstring* selected,
                                      HWND parent);

// Null puts back the answer that keeps the current language.
void SetLanguageDialogImplementation(LanguageDialogFunction function);
