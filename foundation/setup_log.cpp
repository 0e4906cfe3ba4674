// setup_log.cpp: placeholder until the log is built.
#include "foundation/setup_log.h"
void __cdecl WriteLog(const wchar_t*, ...) {}
