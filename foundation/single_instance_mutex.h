#pragma once
// single_instance_mutex.h: the mutex that keeps two runs of the same setup
// from working at once.
#include <windows.h>

#include "foundation/scoped_handle.h"

// Creates and owns the mutex "Global\SETUP <name>", every backslash of the name
// turned into "_". Empty when another process already holds it (last error
// ERROR_ALREADY_EXISTS), when creation fails, or when `name` is null.
CScopedHandle CreateSingleInstanceMutex(const wchar_t* name);
