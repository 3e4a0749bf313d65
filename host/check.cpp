// zvxhost check: the items of the host's contract, one after the other, on one plug-in.
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <cstdio>
#include <cstring>

#include "canvas.h"
#include "commands.h"
#include "console.h"
#include "dc_state.h"
#include "pe_image.h"
#include "plugin_host.h"
#include "unattended.h"

namespace {

const char* const ITEMS[] = {"file",   "exports",  "imports",     "load",   "Stat",      "stack",
                             "Config", "DC state", "GDI objects", "memory", "call order"};

// The plug-in under check and what the items before have found out.
std::string pluginPath;
Options options;
std::string profile;
PeImage image;
LoadedPlugin plugin;
MeasuredCall statCall;
int failures;

void Report(const char* item, bool passed, const std::string& evidence) {
  Print(CheckLine(pluginPath, passed, item, evidence));
  CountItem(passed);
  failures += !passed;
}

ViewInfo View() { return MakeView(options.width, options.height, nullptr, profile.c_str()); }

std::string Quoted(const char* cp932) {
  std::string text(1, '"');
  text += Cp932ToUtf8(cp932);
  text += '"';
  return text;
}

std::string Milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", ms);
  return text;
}

bool CheckFile() {
  std::string error;
  if (!ReadPeImage(pluginPath, &image, &error)) {
    Report("file", false, error);
    return false;
  }
  if (image.machine != IMAGE_FILE_MACHINE_I386) {
    char text[64];
    std::snprintf(text, sizeof text, "built for machine 0x%04X, not for x86 (0x014C)", image.machine);
    Report("file", false, text);
    return false;
  }
  if (!(image.characteristics & IMAGE_FILE_DLL)) {
    Report("file", false, "a program, not a DLL");
    return false;
  }
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  GetFileAttributesExA(pluginPath.c_str(), GetFileExInfoStandard, &attributes);
  Report("file", true, "a 32-bit DLL for x86 (PE32), " + std::to_string(attributes.nFileSizeLow) + " bytes");
  return true;
}

bool CheckExports() {
  const std::string expected = "only \"_Stat@4\", at ordinal 1";
  if (image.exports.size() == 1 && image.exportedFunctions == 1 && image.exports[0].name == "_Stat@4" &&
      image.exports[0].ordinal == 1) {
    Report("exports", true, expected);
    return true;
  }
  std::string found;
  for (const PeExport& e : image.exports) {
    found += (found.empty() ? "" : ", ") + ("\"" + e.name + "\" at ordinal " + std::to_string(e.ordinal));
  }
  uint32_t unnamed = image.exportedFunctions - static_cast<uint32_t>(image.exports.size());
  if (unnamed > 0 && image.exportedFunctions >= image.exports.size()) {
    found += (found.empty() ? "" : ", ") + std::to_string(unnamed) + " by ordinal only";
  }
  Report("exports", false, (found.empty() ? std::string("none") : found) + "; expected " + expected);
  return true;
}

bool CheckImports() {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, MAX_PATH);
  std::string names;
  std::string missing;
  for (const auto& [dll, functions] : image.imports) {
    names += (names.empty() ? "" : ", ") + dll;
    std::string inSystem = std::string(system, length) + "\\" + dll;
    if (GetFileAttributesA(inSystem.c_str()) == INVALID_FILE_ATTRIBUTES) missing += (missing.empty() ? "" : ", ") + dll;
  }
  if (!missing.empty()) {
    Report("imports", false, missing + " not in the system folder " + std::string(system, length));
  } else {
    Report("imports", true, names.empty() ? "none" : "system DLLs only: " + names);
  }
  return true;
}

bool CheckLoad() {
  MarkStep("load", "");
  plugin.path = pluginPath;
  plugin.module = LoadPluginModule(pluginPath.c_str());
  if (plugin.module == nullptr) {
    Report("load", false, LoadFailure(pluginPath.c_str(), GetLastError()));
    return false;
  }
  if (FindStat(plugin.module) == nullptr) {
    Report("load", false, "loaded, but has no \"_Stat@4\" or ordinal 1 to call");
    return false;
  }
  bool byName = GetProcAddress(plugin.module, "_Stat@4") != nullptr;
  Report("load", true,
         byName ? "LoadLibrary succeeded; Stat found as \"_Stat@4\"" : "loaded; Stat found only as ordinal 1");
  return true;
}

bool CheckStat() {
  MarkStep("Stat", "");
  const void* stat = FindStat(plugin.module);
  uint32_t first[STAT_RECORD_WORDS];
  uint32_t second[STAT_RECORD_WORDS];
  for (uint32_t* record : {first, second}) {
    for (int i = 0; i < STAT_RECORD_WORDS; ++i) record[i] = STAT_RECORD_FILL;
  }
  statCall = CallStat(stat, first);
  std::string problem = StatProblem(plugin.module, statCall, first);
  if (problem.empty()) {
    MeasuredCall again = CallStat(stat, second);
    problem = StatProblem(plugin.module, again, second);
    if (problem.empty() && std::memcmp(first, second, sizeof first) != 0)
      problem = "Stat filled in other values the second time";
  }
  if (!problem.empty()) {
    Report("Stat", false, problem);
    return false;
  }
  std::memcpy(&plugin.info, first, sizeof plugin.info);
  Report("Stat", true,
         "returned 0 and the same record twice: version 0x00010001, name " + Quoted(plugin.info.name) +
             ", configLabel " + Quoted(plugin.info.configLabel) +
             ", entry points in the module's code; reserved words and bytes past the record untouched");
  return true;
}

bool CheckCallsAndConfig(const Canvas& canvas) {
  const ViewInfo view = View();
  MarkStep("stack", "");
  MeasuredCall init = CallInit(plugin, view);
  MarkStep("stack", "at the first frame");
  MeasuredCall draw = CallDraw(plugin, canvas.dc);
  MarkStep("Config", "");
  UnattendedConfig config = CallConfigUnattended(plugin, view);
  MarkStep("stack", "at a frame after Config");
  MeasuredCall drawAgain = CallDraw(plugin, canvas.dc);
  MeasuredCall quit = CallQuit(plugin);

  std::string problem = ConventionProblem(Entry::Stat, statCall);
  const std::pair<Entry, const MeasuredCall*> calls[] = {{Entry::Init, &init},
                                                         {Entry::Draw, &draw},
                                                         {Entry::Config, &config.call},
                                                         {Entry::Draw, &drawAgain},
                                                         {Entry::Quit, &quit}};
  for (const auto& [entry, call] : calls) {
    if (problem.empty()) problem = ConventionProblem(entry, *call);
  }
  Report("stack", problem.empty(),
         problem.empty() ? "Stat removed its 4 bytes of arguments; Init, Draw, Config and Quit left theirs to the "
                           "caller; EBX, ESI, EDI and EBP kept"
                         : problem);

  bool confirmed = (config.call.result & 0xFF) != 0;
  std::string what = config.dialogSeen ? "a dialog opened and zvxhost cancelled it" : "no dialog opened";
  Report("Config", !confirmed,
         what + (confirmed ? "; yet Config returned true, as if OK had been pressed" : "; Config returned false"));
  return true;
}

bool CheckFrames(const Canvas& canvas) {
  bool pensWatched = WatchPens(plugin.module);
  bool linesWatched = WatchLines(plugin.module);
  // Windows counts the process's GDI objects; Wine answers 0, and the pens the plug-in
  // creates and deletes are counted at its imports instead.
  DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  MarkStep("DC state", "in Init");
  CallInit(plugin, View());

  std::string dcProblem;
  long leakFrame = 0;
  long leakedAtFirst = 0;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  long long drawTicks = 0;
  for (long frame = 1; frame <= options.frames; ++frame) {
    MarkStep("DC state", "at frame " + std::to_string(frame));
    ApplyHostDcState(canvas.dc);
    DcState before = ReadDcState(canvas.dc);
    ResetLines();
    QueryPerformanceCounter(&start);
    CallDraw(plugin, canvas.dc);
    QueryPerformanceCounter(&end);
    drawTicks += end.QuadPart - start.QuadPart;
    DcState after = ReadDcState(canvas.dc);
    POINT lineEnd;
    bool drewLine = LastLineEnd(&lineEnd);
    if (dcProblem.empty()) {
      std::string change = DcStateChange(before, after, drewLine ? &lineEnd : nullptr);
      if (!change.empty()) dcProblem = "after frame " + std::to_string(frame) + ": " + change;
    }
    if (leakFrame == 0 && LivePens() != 0) {
      leakFrame = frame;
      leakedAtFirst = LivePens();
    }
  }
  MarkStep("DC state", "in Quit");
  CallQuit(plugin);
  ApplyHostDcState(canvas.dc);
  DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);

  const std::string frames = std::to_string(options.frames) + " frames: ";
  double perDraw = 1000.0 * drawTicks / frequency.QuadPart / options.frames;
  Report("DC state", dcProblem.empty(),
         dcProblem.empty()
             ? frames +
                   "pen, brush, font, bitmap, colours, modes, origins and clipping kept by every Draw, "
                   "the current position kept" +
                   (linesWatched ? " or left where the last line ended" : "") + "; " + Milliseconds(perDraw) + " a Draw"
             : dcProblem);

  std::string process = gdiBefore == 0 && gdiAfter == 0 ? " (the process's GDI object count is not available here)"
                                                        : "; the process's GDI objects " + std::to_string(gdiBefore) +
                                                              " before, " + std::to_string(gdiAfter) + " after";
  if (leakFrame != 0) {
    Report("GDI objects", false,
           std::to_string(leakedAtFirst) + " pen(s) left after frame " + std::to_string(leakFrame) + ", " +
               std::to_string(LivePens()) + " after frame " + std::to_string(options.frames));
  } else if (gdiAfter > gdiBefore) {
    Report("GDI objects", false,
           frames + "the process's GDI objects grew from " + std::to_string(gdiBefore) + " to " +
               std::to_string(gdiAfter));
  } else {
    std::string pens =
        pensWatched ? std::to_string(CreatedPens()) + " pens created and deleted again" : "the plug-in imports no CreatePen";
    Report("GDI objects", true, frames + pens + process);
  }
  return true;
}

// The process's private committed memory. Windows reports it twice, as PagefileUsage
// and as PrivateUsage; Wine 8 fills in only the first.
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

bool CheckMemory() {
  // Growth the heap may show without a leak: it commits memory in blocks.
  const SIZE_T slack = 64 * 1024;
  const ViewInfo view = View();
  MarkStep("memory", "in the first cycles");
  for (int cycle = 0; cycle < 16; ++cycle) {
    CallInit(plugin, view);
    CallQuit(plugin);
  }
  SIZE_T before = PrivateBytes();
  for (long cycle = 1; cycle <= options.cycles; ++cycle) {
    MarkStep("memory", "in cycle " + std::to_string(cycle));
    CallInit(plugin, view);
    CallQuit(plugin);
  }
  SIZE_T after = PrivateBytes();
  long long grown = static_cast<long long>(after) - static_cast<long long>(before);
  std::string evidence = std::to_string(options.cycles) + " Init/Quit cycles: private memory " +
                         std::to_string(before / 1024) + " KiB before, " + std::to_string(after / 1024) +
                         " KiB after (" + (grown >= 0 ? "+" : "") + std::to_string(grown / 1024) + " KiB)";
  if (before == 0) {
    Report("memory", false, "the process's private memory cannot be measured here");
  } else {
    Report("memory", grown <= static_cast<long long>(slack), evidence);
  }
  return true;
}

bool CheckCallOrder(const Canvas& canvas) {
  // A fresh copy of the module, so that "before Init" is true of its state.
  MarkStep("call order", "");
  FreePluginModule(plugin.module);
  plugin.module = LoadPluginModule(pluginPath.c_str());
  uint32_t record[STAT_RECORD_WORDS];
  for (uint32_t& word : record) word = STAT_RECORD_FILL;
  const void* stat = plugin.module != nullptr ? FindStat(plugin.module) : nullptr;
  if (stat == nullptr || !StatProblem(plugin.module, CallStat(stat, record), record).empty()) {
    Report("call order", false, "the plug-in did not load again as before");
    return false;
  }
  std::memcpy(&plugin.info, record, sizeof plugin.info);
  ApplyHostDcState(canvas.dc);
  MarkStep("call order", "before Init");
  CallDraw(plugin, canvas.dc);
  MarkStep("call order", "");
  CallInit(plugin, View());
  CallQuit(plugin);
  MarkStep("call order", "after Quit");
  CallDraw(plugin, canvas.dc);
  MarkStep("call order", "when called a second time");
  CallQuit(plugin);
  Report("call order", true, "Draw before Init, Draw after Quit and a second Quit returned");
  return true;
}

}  // namespace

std::string CheckLine(const std::string& plugin, bool passed, const std::string& item, const std::string& evidence) {
  char head[32];
  std::snprintf(head, sizeof head, "  %-4s  %-11s  ", passed ? "pass" : "FAIL", item.c_str());
  return plugin + head + evidence + "\n";
}

int CheckItemCount() { return sizeof ITEMS / sizeof ITEMS[0]; }

int CheckPlugin(const Options& given, const std::string& path) {
  options = given;
  pluginPath = path;
  profile = FullPath(options.profile.c_str());
  SetItemCount(CheckItemCount());

  bool going = CheckFile() && CheckExports() && CheckImports() && CheckLoad() && CheckStat();
  if (going) {
    Canvas canvas;
    if (!CreateCanvas(options.width, options.height, &canvas)) {
      PrintError("zvxhost: cannot make a " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                 " picture to draw on\n");
      return 1;
    }
    ClearCanvas(canvas, 0);
    ApplyHostDcState(canvas.dc);
    going = CheckCallsAndConfig(canvas) && CheckFrames(canvas) && CheckMemory() && CheckCallOrder(canvas);
    SelectObject(canvas.dc, GetStockObject(BLACK_PEN));
    SelectObject(canvas.dc, GetStockObject(WHITE_BRUSH));
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    DestroyCanvas(&canvas);
    ReleaseHostDcObjects();
  }
  MarkStep("", "");
  if (plugin.module != nullptr) ClosePlugin(&plugin);
  return failures == 0 ? 0 : 1;
}
