#pragma once
// files_in_use.h: the "Files in Use" question before applications are
// closed. The wizard puts its dialog behind it; until then, and in runs
// without a wizard, it answers as an unattended run does: close them.
#include <windows.h>

#include <string>

#include "actions/setup_action_list.h"

class CSetupState;

// Returns IDOK (close them), IDIGNORE (go on without) or IDCANCEL (end setup);
// any other value means the question could not be asked. `state` gives the
// product's name to the cancel confirmation.
using FilesInUseFunction = int (*)(HWND owner, const std::wstring& applications, const CSetupState* state);

int ShowFilesInUseDialog(HWND owner, const std::wstring& applications, const CSetupState* state);

// Null puts the unattended answer back.
void SetFilesInUseImplementation(FilesInUseFunction function);

// The applications among the shutdown actions whose window is open now (as
// the last census found them), one a line, each once.
std::wstring FilesInUseText(const CSetupActionList& actions);
