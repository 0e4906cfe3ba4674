#pragma once
// setup_app.h: the setup program's application object.
#include <windows.h>

#include <string>

#include "platform/win_application.h"

class CSetupApp : public CWinApplication {
 public:
  BOOL InitInstance() override;
};

// The inline path runs the worker on the main thread, without a window: the
// command line asks for a quiet run, or for the launch-point mode.
bool IsInlineRun(const std::wstring& commandLine);

// "3.58.94a": the product version of the program's version resource.
std::wstring GetInstallerVersion();
