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

HRSRC FindDialog(HMODULE module, UINT id, LANGID language) {
  HRSRC found = language != 0 ? FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language) : nullptr;
  if (!found) {
    found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  }
  return found ? found : FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
}

// Past a menu or class field: none (0), an ordinal (0xFFFF, id) or a string.
const WORD* SkipNameOrOrdinal(const WORD* field) {
  if (*field == 0) return field + 1;
  if (*field == 0xFFFF) return field + 2;
  while (*field) ++field;
  return field + 1;
}

// The template's point size field, after its fixed part, menu, class and
// title; null when the template names no font.
WORD* PointSizeField(const DLGTEMPLATE* dialog) {
  if (!dialog) return nullptr;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(dialog);
  DWORD style = 0;
  memcpy(&style, bytes + (IsExtended(dialog) ? 12 : 0), sizeof(style));
  if (!(style & DS_SETFONT)) return nullptr;
  // DLGTEMPLATEEX up to cy is 26 bytes, DLGTEMPLATE 18.
  const WORD* field = reinterpret_cast<const WORD*>(bytes + (IsExtended(dialog) ? 26 : 18));
  field = SkipNameOrOrdinal(SkipNameOrOrdinal(field));
  while (*field) ++field;
  return const_cast<WORD*>(field + 1);
}

}  // namespace

const DLGTEMPLATE* LoadDialogTemplate(HMODULE module, UINT id, LANGID language) {
  HRSRC found = FindDialog(module, id, language);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

std::vector<BYTE> CopyDialogTemplate(HMODULE module, UINT id, LANGID language) {
  HRSRC found = FindDialog(module, id, language);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (!data) return {};
  // The copy is handed on as a DLGTEMPLATE: its words and double words
  // need the alignment that a vector of bytes gives from its start.
  return std::vector<BYTE>(data, data + SizeofResource(module, found));
}

SIZE GetDialogTemplateSize(const DLGTEMPLATE* dialog) {
  if (!dialog) return {0, 0};
  short size[2] = {};
  memcpy(size, reinterpret_cast<const BYTE*>(dialog) + (IsExtended(dialog) ? 22 : 14), sizeof(size));
  return {size[0], size[1]};
}

bool GetDialogTemplateFont(const DLGTEMPLATE* dialog, int* points, std::wstring* face) {
  const WORD* field = PointSizeField(dialog);
  if (!field) return false;
  if (points) *points = *field;
  // An extended template has weight, italic and character set after the size.
  const wchar_t* name = reinterpret_cast<const wchar_t*>(field + (IsExtended(dialog) ? 3 : 1));
  if (face) *face = name;
  return true;
}

bool SetDialogTemplatePointSize(DLGTEMPLATE* dialog, int points) {
  WORD* field = PointSizeField(dialog);
  if (!field) return false;
  *field = static_cast<WORD>(points);
  return true;
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
