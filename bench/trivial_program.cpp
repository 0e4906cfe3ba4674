// trivial_program.cpp: the floor of the start-up benchmark: a Win32 program
// that does nothing.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; }
