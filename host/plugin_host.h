// Loading a plug-in and calling it the way the host application does.
#pragma once

#include <windows.h>

#include <string>

#include "plugin.h"

struct LoadedPlugin {
  HMODULE module = nullptr;
  PluginInfo info = {};
  std::string path;
};

// Loads the DLL, finds "_Stat@4" (or ordinal 1) and calls it. On failure `error` says
// what went wrong, naming the file, and nothing stays loaded.
bool OpenPlugin(const char* path, LoadedPlugin* plugin, std::string* error);
void ClosePlugin(LoadedPlugin* plugin);

// Points the plug-in's import of `dll`!`function` at `replacement`; returns what it
// pointed at before, or null when the plug-in does not import that function.
void* ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement);

// Makes the plug-in's GetTickCount return `tick`, by rewriting its import, so that
// its random sequence can be chosen. False when the plug-in does not import it.
bool FixTickCount(HMODULE module, DWORD tick);

// Counts the pens the plug-in creates and deletes from now on (one plug-in at a time).
// False when it imports neither function, as an effect that draws no lines.
bool WatchPens(HMODULE module);
long LivePens();

ViewInfo MakeView(int32_t width, int32_t height, HWND owner, const char* profilePath);

// The absolute form of a path: the profile functions look for bare names in the
// Windows folder.
std::string FullPath(const char* path);
