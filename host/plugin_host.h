// Loading a plug-in and calling it the way the host application does. Every call into
// the plug-in is marked for the supervisor (supervise.h) and made through CallMeasured,
// so that a wrong calling convention is seen instead of corrupting the host.
#pragma once

#include <windows.h>

#include <string>

#include "plugin.h"
#include "stack_check.h"
#include "supervise.h"

struct LoadedPlugin {
  HMODULE module = nullptr;
  PluginInfo info = {};
  std::string path;
};

// Loads the DLL, finds "_Stat@4" (or ordinal 1), calls it and checks what it filled in
// (StatProblem). On failure `error` says what went wrong, naming the file and the entry
// point, and nothing stays loaded.
bool OpenPlugin(const char* path, LoadedPlugin* plugin, std::string* error);
void ClosePlugin(LoadedPlugin* plugin);

// LoadLibrary and FreeLibrary, marked as the calls of the plug-in's DLL entry point.
HMODULE LoadPluginModule(const char* path);
void FreePluginModule(HMODULE module);
// Why LoadLibrary failed with `code`, in words.
std::string LoadFailure(const char* path, DWORD code);
// The Stat export, by name or else by ordinal 1; null when there is none.
const void* FindStat(HMODULE module);

// Stat's record as the host lays it out, with room past the 36 bytes to see overruns.
constexpr int STAT_RECORD_WORDS = 16;
constexpr uint32_t STAT_RECORD_FILL = 0xA5A5A5A5;
MeasuredCall CallStat(const void* stat, uint32_t record[STAT_RECORD_WORDS]);
// "" when Stat returned 0 and filled the record as the host needs it (all words
// beforehand STAT_RECORD_FILL), else the first thing wrong.
std::string StatProblem(HMODULE module, const MeasuredCall& call, const uint32_t record[STAT_RECORD_WORDS]);

MeasuredCall CallInit(const LoadedPlugin& plugin, const ViewInfo& view);
MeasuredCall CallDraw(const LoadedPlugin& plugin, HDC dc);
// `timed` false when a person answers the dialog.
MeasuredCall CallConfig(const LoadedPlugin& plugin, const ViewInfo& view, bool timed = true);
MeasuredCall CallQuit(const LoadedPlugin& plugin);
// "" when the call kept the entry point's calling convention, else what it did wrong.
std::string ConventionProblem(Entry entry, const MeasuredCall& call);

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
long CreatedPens();

// Notes where the plug-in's LineTo calls end (one plug-in at a time): the current
// position it may leave behind. False when it does not import LineTo.
bool WatchLines(HMODULE module);
// Forgets the lines seen so far.
void ResetLines();
// The end of the last line since ResetLines; false when there was none.
bool LastLineEnd(POINT* end);

ViewInfo MakeView(int32_t width, int32_t height, HWND owner, const char* profilePath);

// The absolute form of a path: the profile functions look for bare names in the
// Windows folder.
std::string FullPath(const char* path);
