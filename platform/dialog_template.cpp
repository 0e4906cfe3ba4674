// dialog_template.cpp: finds a dialog template by language with English
// fallback.
#include "platform/dialog_template.h"

#include <windows.h>

#include <cstring>

namespace {

// An extended template starts with its version 1 and the signature 0xFFFF;
// its extended style follows the help id.
bool IsExtended(const DLGTEMPLATE* dialog) {
  const WORD* words = reinterpret_cast<const WORD*>(dialog);
  return words[0] == 1 && words[1] == 0xFFFF;
}

const DLGTEMPLATE* LoadInLanguage(HMODULE module, UINT id, LANGID language) {
  HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

}  // namespace

const DLGTEMPLATE* LoadDialogTemplate(HMODULE module, UINT id, LANGID language) {
  const DLGTEMPLATE* dialog = language != 0 ? LoadInLanguage(module, id, language) : nullptr;
  if (!dialog) dialog = LoadInLanguage(module, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (dialog) return dialog;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

DWORD GetDialogTemplateExStyle(const DLGTEMPLATE* dialog) {
  if (!dialog) return 0;
  if (!IsExtended(dialog)) return dialog->dwExtendedStyle;
  DWORD exStyle = 0;
  memcpy(&exStyle, reinterpret_cast<const BYTE*>(dialog) + 8, sizeof(exStyle));
  return exStyle;
}

void SetDialogTemplateExStyle(DLGTEMPLATE* dialog, DWORD exStyle) {
  if (!dialog) return;
  if (!IsExtended(dialog)) {
    dialog->dwExtendedStyle = exStyle;
    return;
  }
  memcpy(reinterpret_cast<BYTE*>(dialog) + 8, &exStyle, sizeof(exStyle));
}
