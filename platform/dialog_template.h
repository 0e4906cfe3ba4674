#pragma once
// dialog_template.h: dialog templates of a module in a named language. The
// language is explicit because Wine ignores the thread's interface language
// when it loads resources.
#include <windows.h>

#include <string>
#include <vector>

// The template `id` in `language`, else in US English, else in whatever
// language the module has it; null when the module has no such dialog.
// The memory belongs to the module.
const DLGTEMPLATE* LoadDialogTemplate(HMODULE module, UINT id, LANGID language);
// The same template as a copy of the caller's, to change before use; empty
// when the module has no such dialog.
std::vector<BYTE> CopyDialogTemplate(HMODULE module, UINT id, LANGID language);

// The extended style of a template, classic or extended (DLGTEMPLATEEX).
DWORD GetDialogTemplateExStyle(const DLGTEMPLATE* dialog);
void SetDialogTemplateExStyle(DLGTEMPLATE* dialog, DWORD exStyle);

// The template's width and height in its dialog units.
SIZE GetDialogTemplateSize(const DLGTEMPLATE* dialog);

// The font of a template that names one (DS_SETFONT): its point size and
// face. False for a template without a font.
bool GetDialogTemplateFont(const DLGTEMPLATE* dialog, int* points, std::wstring* face);
// Gives the template's font another point size: what the template's dialog
// units measure grows or shrinks with it. False without a font.
bool SetDialogTemplatePointSize(DLGTEMPLATE* dialog, int points);
// Gives the template another font in place, its controls moved up behind
// the shorter face. False without a font, or when the face needs more room
// than the template's own: a template in place cannot grow.
bool SetDialogTemplateFont(DLGTEMPLATE* dialog, int points, const std::wstring& face);

void SetDialogTemplateSize(DLGTEMPLATE* dialog, SIZE size);
// The controls' rectangles in the template's dialog units, in its order
// (the order the dialog manager creates them in).
std::vector<RECT> GetDialogTemplateItemRects(const DLGTEMPLATE* dialog);

// The dialog base units of a font as the dialog manager takes them for a
// template's face at `pixels` (its point size at the DPI): half the average
// width of the Latin letters, rounded, and the height.
SIZE MeasureDialogBaseUnits(const std::wstring& face, int pixels);
