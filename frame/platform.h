// The Win32 API as the plug-ins use it: the real one in the Windows build, the
// project's own small declarations in the native (Linux) build.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "win32.h"
#endif
