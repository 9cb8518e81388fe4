// The Windows module: its one driver state and Win32 platform, loaded and unloaded
// with the DLL (module_object.cpp) or by a test that links the exports.
#pragma once

#include "platform_win32.h"
#include "plover_state.h"

#include <windows.h>

// The block callback of IO_Scan: global memory block, lines, last-block flag.
typedef void(__stdcall* BlockCallback)(HGLOBAL block, int lines, int last);

plover::PloverState& PloverModule();
// Bound to its tables on first use; tests set its message hook.
platform::Win32Platform& PloverPlatform();

// The module's start: the old diagnostic files removed, the platform bound, the core loaded.
void PloverModuleLoad();
void PloverModuleUnload();
// Frees the module's state as the module leaves the process.
void PloverModuleRelease();
