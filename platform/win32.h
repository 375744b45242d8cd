#pragma once
// The engine and the plug-in speak the Windows API. On Windows that is the real
// <windows.h>; on other systems (the native test build) it is a small stand-in
// that behaves the way the engine relies on.
#ifdef _WIN32
#include <windows.h>
#else
#include "posix_kernel.h"
#endif
