// zvxhost makes every call into a plug-in in a worker: a child process of its own that
// shares a small status block with its parent. The worker marks which entry point it
// is in; when a plug-in crashes, hangs or ends the process, the parent, still standing,
// says where in one line and stops the worker.
#pragma once

#include <windows.h>

#include <string>

// What runs in the plug-in at a moment: one of its entry points, or its DLL entry
// point while the loader loads or unloads it.
enum class Entry : LONG { None, Load, Stat, Init, Draw, Config, Quit, Unload };
const char* EntryName(Entry entry);

// Worker side. In a process that is not a worker (the test programs) they do nothing.
//
// Maps the status block whose handle the parent passed (as a decimal number) and
// installs the crash filter. False when the text is not such a handle.
bool BecomeWorker(const char* statusHandle);
// Entering `entry` (None: back in the host). A call made with `timed` false has no
// time limit: a dialog that waits for a person.
void MarkCall(Entry entry, bool timed = true);
// Where the work stands, for the parent's message: the check item and a step in it
// ("frame 17", "before Init").
void MarkStep(const char* item, const std::string& step);
// The loaded plug-in, so that a crash address can be given inside its file.
void NotePluginImage(HMODULE module);
// Counts of the check items, for the parent's summary.
void SetItemCount(int total);
void CountItem(bool passed);
// Called right before a normal exit: anything else ending the worker is a fault.
void FinishWorker();

// Parent side.
struct WorkerEnd {
  DWORD exitCode = 0;
  bool finished = false;  // the worker got to FinishWorker
  std::string problem;    // when not: "Draw crashed at frame 3: access violation ..."
  std::string item;       // the check item it was in, if any
  int itemCount = 0;
  int passed = 0;
  int failed = 0;
};
// Runs "zvxhost --worker H <arguments>" and waits for it. A call into the plug-in that
// runs longer than `timeLimitMs` ends the worker. `pluginFile` names the file in
// messages. False (with `error`) only when the worker cannot be started.
bool RunWorker(const std::string& arguments, const std::string& pluginFile, DWORD timeLimitMs, WorkerEnd* end,
               std::string* error);
