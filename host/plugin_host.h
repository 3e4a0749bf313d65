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

// Makes the plug-in's GetTickCount return `tick`, by rewriting its import, so that
// its random sequence can be chosen. False when the plug-in does not import it.
bool FixTickCount(HMODULE module, DWORD tick);

ViewInfo MakeView(int32_t width, int32_t height, HWND owner, const char* profilePath);

// The absolute form of a path: the profile functions look for bare names in the
// Windows folder.
std::string FullPath(const char* path);
