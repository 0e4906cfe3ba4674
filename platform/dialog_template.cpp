// dialog_template.cpp: finds a dialog template by language with English
// fallback.
#include "platform/dialog_template.h"

#include <windows.h>

namespace {

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
