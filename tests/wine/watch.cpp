#include "watch.h"

#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugin_host.h"

// Plain tables without destructors: a plug-in's runtime may still free blocks while
// the process ends, after the test program's own objects are gone.
namespace {

constexpr int MAX_MODULES = 8;
constexpr int MAX_BLOCKS = 256;
constexpr int MAX_PENS = 64;
constexpr size_t PAGE = 4096;

constexpr int MAX_TEXT = 1024;

struct Watched {
  HMODULE module;
  long blocks;
  long pens;
  long badFrees;
  long allocations;
  long texts;
  int failingAllocation;  // counts down to the allocation that fails; 0 for none
  int textLength;
  char text[MAX_TEXT];
  HPEN penHandles[MAX_PENS];
};

struct Block {
  void* data;  // what the module got
  BYTE* base;  // the pages, guard included
  size_t size;
  HMODULE owner;
  bool freed;  // given back; kept to tell a second free
};

Watched watched[MAX_MODULES];
int watchedCount;
Block blocks[MAX_BLOCKS];
int nextReuse;

HMODULE ModuleOf(const void* address) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(address, &info, sizeof(info)) == 0) return nullptr;
  return static_cast<HMODULE>(info.AllocationBase);
}

Watched* WatchedOf(HMODULE module) {
  for (int i = 0; i < watchedCount; ++i) {
    if (watched[i].module == module) return &watched[i];
  }
  return nullptr;
}

Watched* Caller(const void* returnAddress) { return WatchedOf(ModuleOf(returnAddress)); }

Block* BlockOf(const void* data) {
  for (Block& block : blocks) {
    if (block.data != nullptr && block.data == data) return &block;
  }
  return nullptr;
}

// The block ends where the untouchable page begins. Aligned to 4 bytes only, so that
// even one element past an array of 32-bit values lands on the guard.
void* GuardedAlloc(HMODULE owner, size_t size) {
  const size_t rounded = (size + 3) & ~static_cast<size_t>(3);
  const size_t dataPages = (rounded + PAGE - 1) / PAGE;
  auto base = static_cast<BYTE*>(VirtualAlloc(nullptr, (dataPages + 1) * PAGE, MEM_RESERVE, PAGE_NOACCESS));
  if (base == nullptr) return nullptr;
  if (dataPages > 0 && VirtualAlloc(base, dataPages * PAGE, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
    VirtualFree(base, 0, MEM_RELEASE);
    return nullptr;
  }
  BYTE* data = base + dataPages * PAGE - rounded;
  std::memset(data, 0xA5, rounded);  // not zero: malloc promises nothing
  Block* slot = BlockOf(data);       // an address used before, given back since
  for (int i = 0; slot == nullptr && i < MAX_BLOCKS; ++i) {
    if (blocks[i].data == nullptr) slot = &blocks[i];
  }
  // Full: the oldest record of a freed block goes (a second free of it goes unseen).
  for (int i = 0; slot == nullptr && i < MAX_BLOCKS; ++i) {
    if (blocks[(nextReuse + i) % MAX_BLOCKS].freed) slot = &blocks[(nextReuse + i) % MAX_BLOCKS];
  }
  if (slot == nullptr) {
    std::fprintf(stderr, "watch: more than %d live blocks\n", MAX_BLOCKS);
    std::abort();
  }
  nextReuse = static_cast<int>(slot - blocks + 1) % MAX_BLOCKS;
  *slot = Block{data, base, size, owner, false};
  return data;
}

// False when `data` is not a guarded block (the runtime's own, from before Watch).
bool GuardedFree(Watched* caller, void* data) {
  Block* block = BlockOf(data);
  if (block == nullptr) return false;
  if (block->freed) {
    ++caller->badFrees;
    return true;
  }
  VirtualFree(block->base, 0, MEM_RELEASE);
  block->freed = true;
  if (Watched* owner = WatchedOf(block->owner)) --owner->blocks;
  return true;
}

void* CountedAlloc(Watched* caller, size_t size) {
  if (caller->failingAllocation > 0 && --caller->failingAllocation == 0) return nullptr;
  void* data = GuardedAlloc(caller->module, size);
  if (data != nullptr) {
    ++caller->blocks;
    ++caller->allocations;
  }
  return data;
}

void* __cdecl WatchedMalloc(size_t size) {
  Watched* caller = Caller(__builtin_return_address(0));
  return caller != nullptr ? CountedAlloc(caller, size) : std::malloc(size);
}

void* __cdecl WatchedCalloc(size_t count, size_t size) {
  Watched* caller = Caller(__builtin_return_address(0));
  if (caller == nullptr) return std::calloc(count, size);
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  void* data = CountedAlloc(caller, count * size);
  if (data != nullptr) std::memset(data, 0, count * size);
  return data;
}

void __cdecl WatchedFree(void* data) {
  Watched* caller = Caller(__builtin_return_address(0));
  if (data == nullptr) return;
  if (caller == nullptr || !GuardedFree(caller, data)) std::free(data);
}

void* __cdecl WatchedRealloc(void* data, size_t size) {
  Watched* caller = Caller(__builtin_return_address(0));
  Block* old = data != nullptr ? BlockOf(data) : nullptr;
  if (caller == nullptr || (data != nullptr && old == nullptr)) return std::realloc(data, size);
  if (old != nullptr && old->freed) {
    ++caller->badFrees;
    return nullptr;
  }
  void* moved = CountedAlloc(caller, size);
  if (moved != nullptr && old != nullptr) {
    std::memcpy(moved, data, old->size < size ? old->size : size);
    GuardedFree(caller, data);
  }
  return moved;
}

HPEN WINAPI WatchedCreatePen(int style, int width, COLORREF colour) {
  Watched* caller = Caller(__builtin_return_address(0));
  HPEN pen = CreatePen(style, width, colour);
  if (caller != nullptr && pen != nullptr) {
    ++caller->pens;
    for (HPEN& slot : caller->penHandles) {
      if (slot == nullptr) {
        slot = pen;
        break;
      }
    }
  }
  return pen;
}

BOOL WINAPI WatchedDeleteObject(HGDIOBJ object) {
  Watched* caller = Caller(__builtin_return_address(0));
  BOOL deleted = DeleteObject(object);
  if (caller != nullptr && deleted) {
    for (HPEN& slot : caller->penHandles) {
      if (slot != nullptr && slot == object) {
        slot = nullptr;
        --caller->pens;
      }
    }
  }
  return deleted;
}

BOOL WINAPI WatchedTextOut(HDC dc, int x, int y, LPCSTR text, int length) {
  Watched* caller = Caller(__builtin_return_address(0));
  if (caller != nullptr) {
    ++caller->texts;
    caller->textLength = length < 0 ? 0 : length < MAX_TEXT ? length : MAX_TEXT;
    std::memcpy(caller->text, text, static_cast<size_t>(caller->textLength));
  }
  return TextOutA(dc, x, y, text, length);
}

void Describe(const void* address, char* out, size_t size) {
  HMODULE module = ModuleOf(address);
  char name[MAX_PATH] = "?";
  if (module != nullptr) GetModuleFileNameA(module, name, MAX_PATH);
  std::snprintf(out, size, "%p (%s+0x%lx)", address, name,
                static_cast<unsigned long>(static_cast<const BYTE*>(address) - reinterpret_cast<BYTE*>(module)));
}

LONG CALLBACK ReportFault(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  // Only faults that end a program; the runtime raises others (thread names, C++
  // exceptions of the test framework) and handles them itself.
  if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record.ExceptionCode != EXCEPTION_INT_DIVIDE_BY_ZERO &&
      record.ExceptionCode != EXCEPTION_INT_OVERFLOW && record.ExceptionCode != EXCEPTION_STACK_OVERFLOW &&
      record.ExceptionCode != EXCEPTION_ILLEGAL_INSTRUCTION &&
      record.ExceptionCode != EXCEPTION_ARRAY_BOUNDS_EXCEEDED) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  char where[MAX_PATH + 64];
  Describe(record.ExceptionAddress, where, sizeof(where));
  std::fprintf(stderr, "FAULT 0x%08lx at %s\n", record.ExceptionCode, where);
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
    auto target = reinterpret_cast<BYTE*>(record.ExceptionInformation[1]);
    std::fprintf(stderr, "  %s %p\n", record.ExceptionInformation[0] ? "writing" : "reading", target);
    for (const Block& block : blocks) {
      if (block.data == nullptr || target < block.base || target > static_cast<BYTE*>(block.data) + block.size + PAGE)
        continue;
      std::fprintf(stderr, "  %s a block of %lu bytes at %p%s\n",
                   target >= static_cast<BYTE*>(block.data) + block.size ? "past the end of" : "inside",
                   static_cast<unsigned long>(block.size), block.data, block.freed ? ", freed already" : "");
    }
  }
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void InstallCrashReport() {
  static bool installed = false;
  if (!installed) AddVectoredExceptionHandler(1, ReportFault);
  installed = true;
}

bool Watch(HMODULE module) {
  InstallCrashReport();
  Watched* entry = WatchedOf(module);
  for (int i = 0; entry == nullptr && i < watchedCount; ++i) {
    MEMORY_BASIC_INFORMATION info;
    // A module unloaded since leaves its entry free.
    if (VirtualQuery(watched[i].module, &info, sizeof(info)) == 0 || info.Type != MEM_IMAGE) entry = &watched[i];
  }
  if (entry == nullptr) {
    if (watchedCount == MAX_MODULES) return false;
    entry = &watched[watchedCount++];
  }
  *entry = Watched();
  entry->module = module;
  const struct {
    const char* dll;
    const char* function;
    void* replacement;
  } hooks[] = {
      {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&WatchedMalloc)},
      {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&WatchedCalloc)},
      {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&WatchedRealloc)},
      {"msvcrt.dll", "free", reinterpret_cast<void*>(&WatchedFree)},
      {"GDI32.dll", "CreatePen", reinterpret_cast<void*>(&WatchedCreatePen)},
      {"GDI32.dll", "DeleteObject", reinterpret_cast<void*>(&WatchedDeleteObject)},
      {"GDI32.dll", "TextOutA", reinterpret_cast<void*>(&WatchedTextOut)},
  };
  bool heap = true;
  for (const auto& hook : hooks) {
    void* before = ReplaceImport(module, hook.dll, hook.function, hook.replacement);
    // Every plug-in frees what it allocates; the GDI functions depend on the effect.
    if (std::strcmp(hook.dll, "msvcrt.dll") == 0 && std::strcmp(hook.function, "free") == 0) heap = before != nullptr;
  }
  return heap;
}

ModuleCounts CountsOf(HMODULE module) {
  ModuleCounts counts;
  if (const Watched* entry = WatchedOf(module)) {
    counts.blocks = entry->blocks;
    counts.pens = entry->pens;
    counts.badFrees = entry->badFrees;
    counts.allocations = entry->allocations;
    counts.texts = entry->texts;
    counts.lastText.assign(entry->text, static_cast<size_t>(entry->textLength));
  }
  return counts;
}

void FailAllocation(HMODULE module, int nth) {
  if (Watched* entry = WatchedOf(module)) entry->failingAllocation = nth;
}

long GdiObjects() {
  DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return static_cast<long>(counted);
  // Wine's table: 65536 entries of 24 bytes; a live entry has a nonzero type.
  struct Entry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
  };
  static_assert(sizeof(Entry) == 24, "Wine's GDI_HANDLE_ENTRY");
  auto peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  auto table = *reinterpret_cast<const Entry* const*>(peb + 0x94);  // GdiSharedHandleTable
  if (table == nullptr || GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr) return -1;
  long live = 0;
  for (int i = 0; i < 0x10000; ++i) live += table[i].type != 0;
  return live;
}

long FreshGdiIndex() {
  HPEN pen = CreatePen(PS_SOLID, 0, 0);
  long index = static_cast<long>(reinterpret_cast<uintptr_t>(pen) & 0xFFFF);
  DeleteObject(pen);
  return index;
}

uint64_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters))) {
    return 0;
  }
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}
