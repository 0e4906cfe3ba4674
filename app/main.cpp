// main.cpp: the program's entry: the one application object and wWinMain.
#include <windows.h>

#include "app/setup_app.h"
#include "platform/win_application.h"

namespace {
CSetupApp g_theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return RunApplication(); }
