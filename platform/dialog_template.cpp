// dialog_template.cpp: finds a dialog template by language with English
// fallback, and reads and changes its font, size and controls' places.
#include "platform/dialog_template.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

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

// After the fixed part, the menu, the class and the title: the font, when
// the template names one.
const WORD* TitleEnd(const DLGTEMPLATE* dialog) {
  // DLGTEMPLATEEX up to cy is 26 bytes, DLGTEMPLATE 18.
  const WORD* field = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(dialog) +
                                                    (IsExtended(dialog) ? 26 : 18));
  field = SkipNameOrOrdinal(SkipNameOrOrdinal(field));
  while (*field) ++field;
  return field + 1;
}

// The template's point size field; null when the template names no font.
WORD* PointSizeField(const DLGTEMPLATE* dialog) {
  if (!dialog) return nullptr;
  DWORD style = 0;
  memcpy(&style, reinterpret_cast<const BYTE*>(dialog) + (IsExtended(dialog) ? 12 : 0), sizeof(style));
  return style & DS_SETFONT ? const_cast<WORD*>(TitleEnd(dialog)) : nullptr;
}

// An extended template has weight, italic and character set after the size.
wchar_t* FaceField(const DLGTEMPLATE* dialog, WORD* pointSize) {
  return reinterpret_cast<wchar_t*>(pointSize + (IsExtended(dialog) ? 3 : 1));
}

// Controls start on a double word from the template's start.
const BYTE* Aligned(const DLGTEMPLATE* dialog, const void* at) {
  const BYTE* start = reinterpret_cast<const BYTE*>(dialog);
  size_t offset = static_cast<const BYTE*>(at) - start;
  return start + ((offset + 3) & ~static_cast<size_t>(3));
}

const BYTE* FirstItem(const DLGTEMPLATE* dialog) {
  WORD* pointSize = PointSizeField(dialog);
  if (!pointSize) return Aligned(dialog, TitleEnd(dialog));
  const wchar_t* face = FaceField(dialog, pointSize);
  return Aligned(dialog, face + wcslen(face) + 1);
}

// Hands each control's rectangle field to `visit`; the byte after the last
// control's data.
template <typename Visit>
const BYTE* WalkItems(const DLGTEMPLATE* dialog, Visit visit) {
  bool extended = IsExtended(dialog);
  WORD count = 0;
  memcpy(&count, reinterpret_cast<const BYTE*>(dialog) + (extended ? 16 : 8), sizeof(count));
  const BYTE* item = FirstItem(dialog);
  const BYTE* end = item;
  for (WORD index = 0; index < count; ++index) {
    item = Aligned(dialog, end);
    visit(item + (extended ? 12 : 8));
    // DLGITEMTEMPLATEEX up to its id is 24 bytes, DLGITEMTEMPLATE 18;
    // then class, title and the creation data's size and bytes.
    const WORD* field = reinterpret_cast<const WORD*>(item + (extended ? 24 : 18));
    field = SkipNameOrOrdinal(SkipNameOrOrdinal(field));
    end = reinterpret_cast<const BYTE*>(field + 1) + *field;
  }
  return end;
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
  WORD* field = PointSizeField(dialog);
  if (!field) return false;
  if (points) *points = *field;
  if (face) *face = FaceField(dialog, field);
  return true;
}

bool SetDialogTemplatePointSize(DLGTEMPLATE* dialog, int points) {
  WORD* field = PointSizeField(dialog);
  if (!field) return false;
  *field = static_cast<WORD>(points);
  return true;
}

bool SetDialogTemplateFont(DLGTEMPLATE* dialog, int points, const std::wstring& face) {
  WORD* field = PointSizeField(dialog);
  if (!field) return false;
  wchar_t* name = FaceField(dialog, field);
  if (face.size() > wcslen(name)) return false;
  const BYTE* items = FirstItem(dialog);
  const BYTE* end = WalkItems(dialog, [](const BYTE*) {});
  memcpy(name, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
  BYTE* moved = const_cast<BYTE*>(Aligned(dialog, name + face.size() + 1));
  memmove(moved, items, end - items);
  *field = static_cast<WORD>(points);
  return true;
}

void SetDialogTemplateSize(DLGTEMPLATE* dialog, SIZE size) {
  if (!dialog) return;
  short fields[2] = {static_cast<short>(size.cx), static_cast<short>(size.cy)};
  memcpy(reinterpret_cast<BYTE*>(dialog) + (IsExtended(dialog) ? 22 : 14), fields, sizeof(fields));
}

std::vector<RECT> GetDialogTemplateItemRects(const DLGTEMPLATE* dialog) {
  std::vector<RECT> rects;
  if (!dialog) return rects;
  WalkItems(dialog, [&rects](const BYTE* field) {
    short box[4] = {};
    memcpy(box, field, sizeof(box));
    rects.push_back({box[0], box[1], box[0] + box[2], box[1] + box[3]});
  });
  return rects;
}

SIZE MeasureDialogBaseUnits(const std::wstring& face, int pixels) {
  static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE units = {0, 0};
  HDC dc = GetDC(nullptr);
  if (!dc) return units;
  HFONT font = CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  SIZE extent = {};
  TEXTMETRICW metrics = {};
  if (font && GetTextExtentPoint32W(dc, kLetters, 52, &extent) && GetTextMetricsW(dc, &metrics)) {
    units = {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
  }
  if (previous) SelectObject(dc, previous);
  if (font) DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return units;
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
