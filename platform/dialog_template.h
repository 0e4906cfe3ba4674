#pragma once
// dialog_template.h: dialog templates of a module in a named language. The
// language is explicit because Wine ignores the thread's interface language
// when it loads resources.
#include <windows.h>

// The template `id` in `language`, else in US English, else in whatever
// language the module has it; null when the module has no such dialog.
// The memory belongs to the module.
const DLGTEMPLATE* LoadDialogTemplate(HMODULE module, UINT id, LANGID language);

// The extended style of a template, classic or extended (DLGTEMPLATEEX).
DWORD GetDialogTemplateExStyle(const DLGTEMPLATE* dialog);
void SetDialogTemplateExStyle(DLGTEMPLATE* dialog, DWORD exStyle);
