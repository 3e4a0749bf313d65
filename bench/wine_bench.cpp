// Measures the shipped plug-ins on the real GDI of a 32-bit process (run under Wine):
//   wine_bench.exe [PAIRS]
// - Draw of particle.zvx and line.zvx at 4096 on an 800 x 600 DIB-section DC, timed
//   frame by frame against a bare loop making the very same GDI calls with the
//   arguments recorded beforehand, in interleaved pairs on the same DC (and checked
//   to draw the same pictures);
// - each plug-in's file size, the heap it takes in Init and the heap calls of 1000 Draws.
// Prints one line per figure, "<plug-in> <figure> <value>", for tools/bench.sh.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "canvas.h"
#include "plugin_host.h"

namespace {

const DWORD TICK = 20261211;
const int WIDTH = 800;
const int HEIGHT = 600;
const int FRAMES_PER_ROUND = 25;  // recorded ahead, then timed; Init starts the next round

std::string folder;   // of this program, where the build puts the plug-ins
std::string profile;  // a profile file in the temporary folder

void Fail(const std::string& what) {
  std::fprintf(stderr, "wine_bench: %s\n", what.c_str());
  DeleteFileA(profile.c_str());
  std::exit(1);
}

LoadedPlugin Load(const char* file) {
  LoadedPlugin plugin;
  std::string error;
  if (!OpenPlugin((folder + file).c_str(), &plugin, &error)) Fail(error);
  if (!FixTickCount(plugin.module, TICK)) Fail(std::string(file) + ": does not import GetTickCount");
  return plugin;
}

void Start(const LoadedPlugin& plugin, const char* section, const char* key, const std::string& value) {
  DeleteFileA(profile.c_str());
  WritePrivateProfileStringA(section, key, value.c_str(), profile.c_str());
  plugin.info.Init(MakeView(WIDTH, HEIGHT, nullptr, profile.c_str()));
}

double Now() {
  LARGE_INTEGER ticks;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&ticks);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The value below which the fraction `q` of the values lie (0.5: the median).
double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const size_t below = static_cast<size_t>(at);
  const size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}

double Median(const std::vector<double>& values) { return Quantile(values, 0.5); }

uint32_t Checksum(const Canvas& canvas) {
  GdiFlush();
  uint32_t sum = 2166136261u;  // FNV-1a over the pixels
  for (size_t i = 0, n = static_cast<size_t>(canvas.width) * canvas.height; i < n; ++i) {
    sum = (sum ^ canvas.pixels[i]) * 16777619u;
  }
  return sum;
}

// ---- The GDI calls of a frame, recorded through the plug-in's imports ----

struct Pixel {
  int x;
  int y;
  COLORREF colour;
};

struct Segment {
  int x0;
  int y0;
  int x1;
  int y1;
};

struct RecordedFrame {
  std::vector<Pixel> pixels;      // particle: its SetPixel calls in order
  std::vector<Segment> segments;  // line: its MoveToEx and LineTo pairs in order
  int penStyle = 0;
  int penWidth = 0;
  COLORREF penColour = 0;
  bool unpaired = false;  // a LineTo without its MoveToEx: not the calls replayed here
};

RecordedFrame* recording;

COLORREF WINAPI RecordSetPixel(HDC, int x, int y, COLORREF colour) {
  recording->pixels.push_back({x, y, colour});
  return colour;
}

HPEN WINAPI RecordCreatePen(int style, int width, COLORREF colour) {
  recording->penStyle = style;
  recording->penWidth = width;
  recording->penColour = colour;
  return CreatePen(style, width, colour);
}

BOOL WINAPI RecordMoveToEx(HDC, int x, int y, LPPOINT) {
  if (!recording->segments.empty() && recording->segments.back().x1 == INT_MIN) recording->unpaired = true;
  recording->segments.push_back({x, y, INT_MIN, INT_MIN});
  return TRUE;
}

BOOL WINAPI RecordLineTo(HDC, int x, int y) {
  if (recording->segments.empty() || recording->segments.back().x1 != INT_MIN) {
    recording->unpaired = true;
  } else {
    recording->segments.back().x1 = x;
    recording->segments.back().y1 = y;
  }
  return TRUE;
}

struct Redirect {
  const char* dll;
  const char* function;
  void* recorder;
};

const Redirect PARTICLE_CALLS[] = {{"GDI32.dll", "SetPixel", reinterpret_cast<void*>(&RecordSetPixel)}};
const Redirect LINE_CALLS[] = {{"GDI32.dll", "CreatePen", reinterpret_cast<void*>(&RecordCreatePen)},
                               {"GDI32.dll", "MoveToEx", reinterpret_cast<void*>(&RecordMoveToEx)},
                               {"GDI32.dll", "LineTo", reinterpret_cast<void*>(&RecordLineTo)}};

template <size_t N>
std::vector<RecordedFrame> RecordFrames(const LoadedPlugin& plugin, const Redirect (&calls)[N], HDC dc) {
  void* originals[N];
  for (size_t i = 0; i < N; ++i) {
    originals[i] = ReplaceImport(plugin.module, calls[i].dll, calls[i].function, calls[i].recorder);
    if (originals[i] == nullptr) Fail(plugin.path + ": does not import " + calls[i].function);
  }
  std::vector<RecordedFrame> frames(FRAMES_PER_ROUND);
  for (RecordedFrame& frame : frames) {
    recording = &frame;
    plugin.info.Draw(0, 0, dc);
    if (frame.unpaired) Fail(plugin.path + ": a LineTo without its own MoveToEx");
  }
  for (size_t i = 0; i < N; ++i) ReplaceImport(plugin.module, calls[i].dll, calls[i].function, originals[i]);
  return frames;
}

// ---- The bare loops: the same calls with the recorded arguments ----

void ReplayParticle(const RecordedFrame& frame, HDC dc) {
  for (const Pixel& pixel : frame.pixels) SetPixel(dc, pixel.x, pixel.y, pixel.colour);
}

void ReplayLine(const RecordedFrame& frame, HDC dc) {
  HPEN pen = CreatePen(frame.penStyle, frame.penWidth, frame.penColour);
  HGDIOBJ previous = SelectObject(dc, pen);
  for (const Segment& segment : frame.segments) {
    MoveToEx(dc, segment.x0, segment.y0, nullptr);
    LineTo(dc, segment.x1, segment.y1);
  }
  SelectObject(dc, previous);
  DeleteObject(pen);
}

// The picture one run of `draw` leaves on a cleared canvas.
template <typename DrawFrame>
uint32_t PictureOf(const Canvas& canvas, DrawFrame draw) {
  ClearCanvas(canvas, 0);
  draw();
  return Checksum(canvas);
}

template <typename DrawFrame>
double Seconds(DrawFrame draw) {
  const double start = Now();
  draw();
  GdiFlush();
  return Now() - start;
}

// Reads a recorded frame, so that the bare loop finds its arguments in the cache as
// Draw finds its state there: the bare loop gets the better of it, if anything.
uint32_t Touch(const RecordedFrame& frame) {
  uint32_t sum = 0;
  for (const Pixel& pixel : frame.pixels) sum += static_cast<uint32_t>(pixel.x);
  for (const Segment& segment : frame.segments) sum += static_cast<uint32_t>(segment.x0);
  return sum;
}

template <size_t N>
void CompareWithBareCalls(const char* name, const char* file, const char* section, const char* key,
                          const Redirect (&calls)[N], void (*replay)(const RecordedFrame&, HDC), int pairs) {
  LoadedPlugin plugin = Load(file);
  Canvas canvas;
  if (!CreateCanvas(WIDTH, HEIGHT, &canvas)) Fail("cannot create an 800 x 600 DIB section");

  std::vector<double> drawTimes;
  std::vector<double> bareTimes;
  std::vector<double> ratios;
  size_t callsPerFrame = 0;
  volatile uint32_t touched = 0;
  while (static_cast<int>(ratios.size()) < pairs) {
    // A fresh Init with the same tick and count gives the same frames again: once to
    // record them, once to check that the bare loop draws each the same, once to time.
    Start(plugin, section, key, "4096");
    const std::vector<RecordedFrame> frames = RecordFrames(plugin, calls, canvas.dc);
    plugin.info.Quit();
    Start(plugin, section, key, "4096");
    for (const RecordedFrame& frame : frames) {
      const uint32_t drawn = PictureOf(canvas, [&] { plugin.info.Draw(0, 0, canvas.dc); });
      if (PictureOf(canvas, [&] { replay(frame, canvas.dc); }) != drawn) {
        Fail(std::string(file) + ": the bare loop draws another picture than Draw");
      }
    }
    plugin.info.Quit();
    Start(plugin, section, key, "4096");
    ClearCanvas(canvas, 0);
    for (size_t f = 0; f < frames.size() && static_cast<int>(ratios.size()) < pairs; ++f) {
      double draw = 0;
      double bare = 0;
      // Alternate which goes first, so that neither always follows the other.
      if (ratios.size() % 2 == 0) {
        draw = Seconds([&] { plugin.info.Draw(0, 0, canvas.dc); });
        touched = touched + Touch(frames[f]);
        bare = Seconds([&] { replay(frames[f], canvas.dc); });
      } else {
        touched = touched + Touch(frames[f]);
        bare = Seconds([&] { replay(frames[f], canvas.dc); });
        draw = Seconds([&] { plugin.info.Draw(0, 0, canvas.dc); });
      }
      drawTimes.push_back(draw);
      bareTimes.push_back(bare);
      ratios.push_back(draw / bare);
      callsPerFrame = frames[f].pixels.size() + 2 * frames[f].segments.size();
    }
    plugin.info.Quit();
  }
  DestroyCanvas(&canvas);
  ClosePlugin(&plugin);

  std::printf("%s gdi_calls_per_frame %u\n", name, static_cast<unsigned>(callsPerFrame));
  std::printf("%s pairs %d\n", name, pairs);
  std::printf("%s draw_ms %.3f\n", name, Median(drawTimes) * 1e3);
  std::printf("%s bare_ms %.3f\n", name, Median(bareTimes) * 1e3);
  std::printf("%s ratio %.4f\n", name, Median(ratios));
  std::printf("%s ratio_quartiles %.3f-%.3f\n", name, Quantile(ratios, 0.25), Quantile(ratios, 0.75));
}

// ---- Heap use, counted at the plug-in's own imports of the allocators ----

long heapCalls;
double heapBytes;

void*(__cdecl* realMalloc)(size_t);
void*(__cdecl* realCalloc)(size_t, size_t);
void*(__cdecl* realRealloc)(void*, size_t);
LPVOID(WINAPI* realHeapAlloc)(HANDLE, DWORD, SIZE_T);
LPVOID(WINAPI* realHeapReAlloc)(HANDLE, DWORD, LPVOID, SIZE_T);

void* __cdecl CountMalloc(size_t size) {
  ++heapCalls;
  heapBytes += static_cast<double>(size);
  return realMalloc(size);
}
void* __cdecl CountCalloc(size_t count, size_t size) {
  ++heapCalls;
  heapBytes += static_cast<double>(count) * static_cast<double>(size);
  return realCalloc(count, size);
}
void* __cdecl CountRealloc(void* block, size_t size) {
  ++heapCalls;
  heapBytes += static_cast<double>(size);
  return realRealloc(block, size);
}
LPVOID WINAPI CountHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  ++heapCalls;
  heapBytes += static_cast<double>(size);
  return realHeapAlloc(heap, flags, size);
}
LPVOID WINAPI CountHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  ++heapCalls;
  heapBytes += static_cast<double>(size);
  return realHeapReAlloc(heap, flags, block, size);
}

struct Allocator {
  const char* dll;
  const char* function;
  void* counter;
  void** real;
};

const Allocator ALLOCATORS[] = {
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountMalloc), reinterpret_cast<void**>(&realMalloc)},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountCalloc), reinterpret_cast<void**>(&realCalloc)},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountRealloc), reinterpret_cast<void**>(&realRealloc)},
    {"KERNEL32.dll", "HeapAlloc", reinterpret_cast<void*>(&CountHeapAlloc), reinterpret_cast<void**>(&realHeapAlloc)},
    {"KERNEL32.dll", "HeapReAlloc", reinterpret_cast<void*>(&CountHeapReAlloc),
     reinterpret_cast<void**>(&realHeapReAlloc)},
};

// Points the plug-in's allocator imports at the counters; returns how many it imports.
int CountHeapCalls(HMODULE module) {
  int imported = 0;
  for (const Allocator& allocator : ALLOCATORS) {
    void* real = ReplaceImport(module, allocator.dll, allocator.function, allocator.counter);
    if (real != nullptr) {
      *allocator.real = real;
      ++imported;
    }
  }
  return imported;
}

struct Deliverable {
  const char* name;
  const char* file;
  const char* section;
  const char* key;
  bool countSetting;  // else a text, whose elements are its bytes
};

const Deliverable DELIVERABLES[] = {
    {"particle", "particle.zvx", "Particle", "cnt", true},
    {"vectrel", "vectrel.zvx", "BG01", "string", false},
    {"line", "line.zvx", "Test", "line", true},
};

// Heap bytes Init asks for with a setting of `elements`.
double InitHeapBytes(const LoadedPlugin& plugin, const Deliverable& deliverable, int elements) {
  const std::string value = deliverable.countSetting ? std::to_string(elements) : std::string(elements, 'x');
  heapBytes = 0;
  Start(plugin, deliverable.section, deliverable.key, value);
  const double bytes = heapBytes;
  plugin.info.Quit();
  return bytes;
}

void MeasureHeap(const Deliverable& deliverable) {
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExA((folder + deliverable.file).c_str(), GetFileExInfoStandard, &attributes)) {
    Fail(std::string(deliverable.file) + ": not found");
  }
  std::printf("%s file_bytes %lu\n", deliverable.name, attributes.nFileSizeLow);

  LoadedPlugin plugin = Load(deliverable.file);
  if (CountHeapCalls(plugin.module) == 0) Fail(std::string(deliverable.file) + ": imports no allocator");
  // A count from 1 to 4096; a text from 1 to 255 bytes.
  const int most = deliverable.countSetting ? 4096 : 255;
  const double fewest = InitHeapBytes(plugin, deliverable, 1);
  const double largest = InitHeapBytes(plugin, deliverable, most);
  std::printf("%s init_heap_bytes_at_most %.0f\n", deliverable.name, largest);
  std::printf("%s heap_bytes_per_element %.2f\n", deliverable.name, (largest - fewest) / (most - 1));

  Canvas canvas;
  if (!CreateCanvas(WIDTH, HEIGHT, &canvas)) Fail("cannot create an 800 x 600 DIB section");
  Start(plugin, deliverable.section, deliverable.key, deliverable.countSetting ? "4096" : "Velmora");
  heapCalls = 0;
  for (int i = 0; i < 1000; ++i) plugin.info.Draw(0, 0, canvas.dc);
  std::printf("%s heap_calls_in_1000_draws %ld\n", deliverable.name, heapCalls);
  plugin.info.Quit();
  DestroyCanvas(&canvas);
  ClosePlugin(&plugin);
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = argc > 1 ? std::atoi(argv[1]) : 100;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  folder.assign(path, length);
  folder.erase(folder.find_last_of("\\/") + 1);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  profile = std::string(temp) + "zvx-bench.ini";

  for (const Deliverable& deliverable : DELIVERABLES) MeasureHeap(deliverable);
  CompareWithBareCalls("particle", "particle.zvx", "Particle", "cnt", PARTICLE_CALLS, ReplayParticle, pairs);
  CompareWithBareCalls("line", "line.zvx", "Test", "line", LINE_CALLS, ReplayLine, pairs);
  DeleteFileA(profile.c_str());
  return 0;
}
