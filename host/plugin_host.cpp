#include "plugin_host.h"

#include <cstring>

typedef int32_t(WINAPI* StatProc)(PluginInfo* info);

bool OpenPlugin(const char* path, LoadedPlugin* plugin, std::string* error) {
  *plugin = LoadedPlugin();
  // No "cannot load" message box from the system: the host reports it itself.
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(path);
  SetErrorMode(previousMode);
  if (module == nullptr) {
    *error = std::string(path) + ": cannot be loaded as a DLL (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  auto stat = reinterpret_cast<StatProc>(reinterpret_cast<void*>(GetProcAddress(module, "_Stat@4")));
  if (stat == nullptr) stat = reinterpret_cast<StatProc>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(1))));
  if (stat == nullptr) {
    FreeLibrary(module);
    *error = std::string(path) + ": Stat: no export \"_Stat@4\"";
    return false;
  }
  plugin->module = module;
  plugin->path = path;
  stat(&plugin->info);
  return true;
}

void ClosePlugin(LoadedPlugin* plugin) {
  if (plugin->module != nullptr) FreeLibrary(plugin->module);
  *plugin = LoadedPlugin();
}

static bool NameIs(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

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

static DWORD fixedTick;
static DWORD WINAPI FixedTickCount() { return fixedTick; }

bool FixTickCount(HMODULE module, DWORD tick) {
  fixedTick = tick;
  return ReplaceImport(module, "KERNEL32.dll", "GetTickCount", reinterpret_cast<void*>(&FixedTickCount)) != nullptr;
}

// The pens a watched plug-in holds: counted at its own calls of CreatePen and DeleteObject.
static long livePens;
static HPEN(WINAPI* realCreatePen)(int, int, COLORREF);
static BOOL(WINAPI* realDeleteObject)(HGDIOBJ);

static HPEN WINAPI CountingCreatePen(int style, int width, COLORREF colour) {
  HPEN pen = realCreatePen(style, width, colour);
  if (pen != nullptr) ++livePens;
  return pen;
}

static BOOL WINAPI CountingDeleteObject(HGDIOBJ object) {
  bool isPen = GetObjectType(object) == OBJ_PEN;
  BOOL deleted = realDeleteObject(object);
  if (deleted && isPen) --livePens;
  return deleted;
}

bool WatchPens(HMODULE module) {
  livePens = 0;
  realCreatePen = &CreatePen;
  realDeleteObject = &DeleteObject;
  bool create = ReplaceImport(module, "GDI32.dll", "CreatePen", reinterpret_cast<void*>(&CountingCreatePen)) != nullptr;
  bool remove = ReplaceImport(module, "GDI32.dll", "DeleteObject", reinterpret_cast<void*>(&CountingDeleteObject)) != nullptr;
  return create && remove;
}

long LivePens() { return livePens; }

ViewInfo MakeView(int32_t width, int32_t height, HWND owner, const char* profilePath) {
  return ViewInfo{width, height, 0, owner, 0, profilePath, 0};
}

std::string FullPath(const char* path) {
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return path;
  return full;
}
