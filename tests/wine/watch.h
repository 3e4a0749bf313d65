// Watching loaded plug-ins from inside the host process, one module at a time: their
// heap blocks, their pens and their text, and the process's GDI objects and memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// What one watched module holds and has done since Watch. Calls are told apart by
// the module their return address lies in, so several plug-ins (or two copies of one)
// can be watched side by side without their counts mixing.
struct ModuleCounts {
  long blocks = 0;    // heap blocks handed out and not yet freed
  long pens = 0;      // pens created and not yet deleted
  long badFrees = 0;  // frees of a block that was freed already
  long allocations = 0;
  std::string lastText;  // the bytes of the latest TextOutA
  long texts = 0;        // TextOutA calls
};

// Rewrites the module's imports of malloc, calloc, realloc and free (msvcrt), and of
// CreatePen, DeleteObject and TextOutA (GDI32). Each block comes from its own pages and
// ends against a page that cannot be touched, and is given back to the system when
// freed: reading or writing past an array, or after it was freed, faults at once and
// the fault is reported with the module and the block (see the crash report below).
bool Watch(HMODULE module);
ModuleCounts CountsOf(HMODULE module);
// Makes the module's `nth` allocation from now fail (1 for the next), as when memory
// runs out.
void FailAllocation(HMODULE module, int nth);

// Prints an access violation or other fault in a plug-in with its module and offset,
// then ends the process: a fault in the host process is the one failure no test can
// report afterwards.
void InstallCrashReport();

// GDI objects of this process: GetGuiResources where the system counts them, else
// Wine's shared handle table (GetGuiResources returns 0 there). -1 when neither works.
long GdiObjects();
// The table index of a freshly created GDI object. Freed entries are reused, so it
// stays put while nothing leaks and climbs when objects are kept.
long FreshGdiIndex();
// The private bytes of this process. Wine leaves PrivateUsage at 0 and keeps the same
// figure in PagefileUsage (on Windows the two are equal).
uint64_t PrivateBytes();
