#include "plugin_host.h"

#include <cstdio>
#include <cstring>

namespace {

struct Convention {
  int argumentBytes;
  bool calleeRemoves;  // standard call
};

Convention ConventionOf(Entry entry) {
  switch (entry) {
    case Entry::Stat: return {4, true};
    case Entry::Init: return {int(sizeof(ViewInfo)), false};
    case Entry::Config: return {int(sizeof(ViewInfo)), false};
    case Entry::Draw: return {12, false};
    default: return {0, false};
  }
}

MeasuredCall CallEntry(Entry entry, const void* function, const uint32_t* args, int count, bool timed = true) {
  MarkCall(entry, timed);
  MeasuredCall call = CallMeasured(function, args, count);
  MarkCall(Entry::None);
  return call;
}

void ViewWords(const ViewInfo& view, uint32_t words[7]) { std::memcpy(words, &view, sizeof view); }

DWORD ImageSize(HMODULE module) {
  auto base = reinterpret_cast<const BYTE*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew)->OptionalHeader.SizeOfImage;
}

bool InImage(HMODULE module, uint32_t address) {
  return address - reinterpret_cast<uint32_t>(module) < ImageSize(module);
}

bool IsCode(HMODULE module, uint32_t address) {
  MEMORY_BASIC_INFORMATION where;
  if (!InImage(module, address) || VirtualQuery(reinterpret_cast<void*>(address), &where, sizeof where) == 0) {
    return false;
  }
  return (where.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// "" when `address` holds a NUL-terminated string of at most 255 bytes in the module.
std::string StringProblem(HMODULE module, const char* field, uint32_t address) {
  for (uint32_t at = address; at - address < 256; ++at) {
    if (!InImage(module, at))
      return "Stat's " + std::string(field) + " (" + Hex(address) + ") does not point into the module";
    if (*reinterpret_cast<const char*>(at) == '\0') return "";
  }
  return "Stat's " + std::string(field) + " is not a string of at most 255 bytes";
}

bool NameIs(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

DWORD fixedTick;
DWORD WINAPI FixedTickCount() { return fixedTick; }

// The pens a watched plug-in holds: counted at its own calls of CreatePen and DeleteObject.
long livePens;
long createdPens;
HPEN(WINAPI* realCreatePen)(int, int, COLORREF);
BOOL(WINAPI* realDeleteObject)(HGDIOBJ);

HPEN WINAPI CountingCreatePen(int style, int width, COLORREF colour) {
  HPEN pen = realCreatePen(style, width, colour);
  if (pen != nullptr) {
    ++livePens;
    ++createdPens;
  }
  return pen;
}

BOOL WINAPI CountingDeleteObject(HGDIOBJ object) {
  bool isPen = GetObjectType(object) == OBJ_PEN;
  BOOL deleted = realDeleteObject(object);
  if (deleted && isPen) --livePens;
  return deleted;
}

bool sawLine;
POINT lineEnd;

BOOL WINAPI NotingLineTo(HDC dc, int x, int y) {
  sawLine = true;
  lineEnd = {x, y};
  return LineTo(dc, x, y);
}

}  // namespace

std::string LoadFailure(const char* path, DWORD code) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return "no such file";
  switch (code) {
    case ERROR_BAD_EXE_FORMAT: return "not a 32-bit Windows DLL";
    case ERROR_MOD_NOT_FOUND: return "cannot be loaded: a DLL it needs is missing (error 126)";
    case ERROR_PROC_NOT_FOUND: return "cannot be loaded: a function it imports is missing (error 127)";
    case ERROR_DLL_INIT_FAILED: return "cannot be loaded: its DLL entry point failed (error 1114)";
    default: return "cannot be loaded (error " + std::to_string(code) + ")";
  }
}

HMODULE LoadPluginModule(const char* path) {
  // No "cannot load" message box from the system: the host reports it itself.
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  MarkCall(Entry::Load);
  HMODULE module = LoadLibraryA(path);
  DWORD error = GetLastError();
  MarkCall(Entry::None);
  SetErrorMode(previousMode);
  NotePluginImage(module);
  SetLastError(error);
  return module;
}

void FreePluginModule(HMODULE module) {
  MarkCall(Entry::Unload);
  FreeLibrary(module);
  MarkCall(Entry::None);
}

const void* FindStat(HMODULE module) {
  FARPROC stat = GetProcAddress(module, "_Stat@4");
  if (stat == nullptr) stat = GetProcAddress(module, MAKEINTRESOURCEA(1));
  return reinterpret_cast<const void*>(stat);
}

MeasuredCall CallStat(const void* stat, uint32_t record[STAT_RECORD_WORDS]) {
  const uint32_t args[] = {reinterpret_cast<uint32_t>(record)};
  return CallEntry(Entry::Stat, stat, args, 1);
}

std::string StatProblem(HMODULE module, const MeasuredCall& call, const uint32_t record[STAT_RECORD_WORDS]) {
  std::string problem = ConventionProblem(Entry::Stat, call);
  if (!problem.empty()) return problem;
  if (call.result != 0) return "Stat returned " + std::to_string(call.result) + " instead of 0";
  if (record[0] != PLUGIN_VERSION) return "Stat wrote version " + Hex(record[0]) + " instead of " + Hex(PLUGIN_VERSION);
  if (record[1] != STAT_RECORD_FILL || record[2] != STAT_RECORD_FILL)
    return "Stat wrote the reserved words (bytes 4 to 11)";
  for (int word = 9; word < STAT_RECORD_WORDS; ++word) {
    if (record[word] != STAT_RECORD_FILL) return "Stat wrote past the end of the 36-byte record";
  }
  problem = StringProblem(module, "name", record[3]);
  if (problem.empty()) problem = StringProblem(module, "configLabel", record[4]);
  if (!problem.empty()) return problem;
  const char* const entries[] = {"Init", "Quit", "Config", "Draw"};
  for (int i = 0; i < 4; ++i) {
    if (!IsCode(module, record[5 + i])) {
      return "Stat's " + std::string(entries[i]) + " (" + Hex(record[5 + i]) +
             ") does not point into the module's code";
    }
  }
  return "";
}

bool OpenPlugin(const char* path, LoadedPlugin* plugin, std::string* error) {
  *plugin = LoadedPlugin();
  HMODULE module = LoadPluginModule(path);
  if (module == nullptr) {
    *error = std::string(path) + ": " + LoadFailure(path, GetLastError());
    return false;
  }
  const void* stat = FindStat(module);
  if (stat == nullptr) {
    FreePluginModule(module);
    *error = std::string(path) + ": no export \"_Stat@4\" or ordinal 1 to call";
    return false;
  }
  uint32_t record[STAT_RECORD_WORDS];
  for (uint32_t& word : record) word = STAT_RECORD_FILL;
  MeasuredCall call = CallStat(stat, record);
  std::string problem = StatProblem(module, call, record);
  if (!problem.empty()) {
    FreePluginModule(module);
    *error = std::string(path) + ": " + problem;
    return false;
  }
  plugin->module = module;
  plugin->path = path;
  std::memcpy(&plugin->info, record, sizeof plugin->info);
  return true;
}

void ClosePlugin(LoadedPlugin* plugin) {
  if (plugin->module != nullptr) FreePluginModule(plugin->module);
  *plugin = LoadedPlugin();
}

MeasuredCall CallInit(const LoadedPlugin& plugin, const ViewInfo& view) {
  uint32_t words[7];
  ViewWords(view, words);
  return CallEntry(Entry::Init, reinterpret_cast<const void*>(plugin.info.Init), words, 7);
}

MeasuredCall CallDraw(const LoadedPlugin& plugin, HDC dc) {
  // The first two words belong to the host application; the plug-ins ignore them.
  const uint32_t args[] = {0, 0, reinterpret_cast<uint32_t>(dc)};
  return CallEntry(Entry::Draw, reinterpret_cast<const void*>(plugin.info.Draw), args, 3);
}

MeasuredCall CallConfig(const LoadedPlugin& plugin, const ViewInfo& view, bool timed) {
  uint32_t words[7];
  ViewWords(view, words);
  return CallEntry(Entry::Config, reinterpret_cast<const void*>(plugin.info.Config), words, 7, timed);
}

MeasuredCall CallQuit(const LoadedPlugin& plugin) {
  return CallEntry(Entry::Quit, reinterpret_cast<const void*>(plugin.info.Quit), nullptr, 0);
}

std::string ConventionProblem(Entry entry, const MeasuredCall& call) {
  Convention convention = ConventionOf(entry);
  int removed = call.stackMoved + convention.argumentBytes;
  std::string name = EntryName(entry);
  if (convention.calleeRemoves && removed != convention.argumentBytes) {
    return name + " removed " + std::to_string(removed) +
           " bytes from the stack; as a standard call it must remove its " + std::to_string(convention.argumentBytes) +
           " bytes of arguments";
  }
  if (!convention.calleeRemoves && removed != 0) {
    return name + " removed " + std::to_string(removed) +
           " bytes from the stack itself; under the C convention the caller removes the arguments";
  }
  if (!call.preserved) return name + " changed EBX, ESI, EDI or EBP, which its caller relies on";
  return "";
}

void* ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto base = reinterpret_cast<BYTE*>(module);
  auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return nullptr;
  void* original = nullptr;
  for (auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name != 0; ++desc) {
    if (!NameIs(reinterpret_cast<char*>(base + desc->Name), dll)) continue;
    auto names = reinterpret_cast<IMAGE_THUNK_DATA32*>(
        base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
    auto slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) continue;
      auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
      DWORD oldProtect;
      VirtualProtect(&slots->u1.Function, sizeof(DWORD), PAGE_READWRITE, &oldProtect);
      original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<DWORD>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof(DWORD), oldProtect, &oldProtect);
    }
  }
  return original;
}

bool FixTickCount(HMODULE module, DWORD tick) {
  fixedTick = tick;
  return ReplaceImport(module, "KERNEL32.dll", "GetTickCount", reinterpret_cast<void*>(&FixedTickCount)) != nullptr;
}

bool WatchPens(HMODULE module) {
  livePens = 0;
  createdPens = 0;
  realCreatePen = &CreatePen;
  realDeleteObject = &DeleteObject;
  bool create = ReplaceImport(module, "GDI32.dll", "CreatePen", reinterpret_cast<void*>(&CountingCreatePen)) != nullptr;
  bool remove =
      ReplaceImport(module, "GDI32.dll", "DeleteObject", reinterpret_cast<void*>(&CountingDeleteObject)) != nullptr;
  return create && remove;
}

long LivePens() { return livePens; }
long CreatedPens() { return createdPens; }

bool WatchLines(HMODULE module) {
  ResetLines();
  return ReplaceImport(module, "GDI32.dll", "LineTo", reinterpret_cast<void*>(&NotingLineTo)) != nullptr;
}

void ResetLines() { sawLine = false; }

bool LastLineEnd(POINT* end) {
  *end = lineEnd;
  return sawLine;
}

ViewInfo MakeView(int32_t width, int32_t height, HWND owner, const char* profilePath) {
  return ViewInfo{width, height, 0, owner, 0, profilePath, 0};
}

std::string FullPath(const char* path) {
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return path;
  return full;
}
