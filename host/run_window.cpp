// zvxhost run: the effect live in a window, at a steady frame rate.
#include <windows.h>

#include <cstdio>

#include "canvas.h"
#include "commands.h"
#include "console.h"
#include "plugin_host.h"

namespace {

enum MenuItem { MENU_CONFIG = 1, MENU_RESTART, MENU_CLEAR, MENU_EXIT };
const UINT_PTR FRAME_TIMER = 1;

// The one window and the effect in it.
Options options;
std::string pluginPath;
std::string profile;
LoadedPlugin plugin;
HWND window;
HMENU effectMenu;
Canvas canvas;  // the back buffer the effect draws on
bool effectRunning;
bool resized;
bool inConfig;
bool clearFrames;
std::string failure;  // a broken calling convention ends the run

LARGE_INTEGER frequency;
long long period;     // of a frame, in counter ticks
long long nextFrame;  // when the next frame is due
long frames;
long long firstFrameAt;
long long lastFrameAt;
long long pausedTicks;  // in the settings dialog, left out of the frame rate
// Since the title was last updated.
long long statsSince;
long statsFrames;
long long statsDrawTicks;
// Over the whole run.
long long totalDrawTicks;
long long longestDraw;

long long Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double Ms(long long ticks) { return 1000.0 * ticks / frequency.QuadPart; }

void Fail(const std::string& problem) {
  if (failure.empty()) failure = problem;
  DestroyWindow(window);
}

void StartEffect() {
  RECT client;
  GetClientRect(window, &client);
  int width = client.right > 0 ? client.right : 1;
  int height = client.bottom > 0 ? client.bottom : 1;
  if (canvas.width != width || canvas.height != height) {
    DestroyCanvas(&canvas);
    if (!CreateCanvas(width, height, &canvas)) {
      Fail("cannot make a picture of " + std::to_string(width) + "x" + std::to_string(height) + " pixels");
      return;
    }
  }
  ClearCanvas(canvas, 0);
  std::string problem =
      ConventionProblem(Entry::Init, CallInit(plugin, MakeView(width, height, window, profile.c_str())));
  effectRunning = true;
  if (!problem.empty()) Fail(problem);
}

void StopEffect() {
  if (!effectRunning) return;
  effectRunning = false;
  std::string problem = ConventionProblem(Entry::Quit, CallQuit(plugin));
  if (!problem.empty()) Fail(problem);
}

void UpdateTitle(long long now) {
  std::wstring title = Utf8ToWide(Cp932ToUtf8(plugin.info.name));
  if (statsFrames > 0) {
    wchar_t stats[96];
    std::swprintf(stats, 96, L" - Draw %.2f ms - %.1f fps", Ms(statsDrawTicks) / statsFrames,
                  statsFrames * 1000.0 / Ms(now - statsSince));
    title += stats;
  }
  title += L" - zvxhost";
  SetWindowTextW(window, title.c_str());
  statsSince = now;
  statsFrames = 0;
  statsDrawTicks = 0;
}

void DrawFrame() {
  if (resized) {
    resized = false;
    StopEffect();
    StartEffect();
  }
  if (!effectRunning || !failure.empty()) return;
  if (clearFrames) ClearCanvas(canvas, 0);
  MarkStep("", "at frame " + std::to_string(frames + 1));
  long long before = Now();
  MeasuredCall call = CallDraw(plugin, canvas.dc);
  long long drawTicks = Now() - before;
  MarkStep("", "");
  if (frames == 0) {
    std::string problem = ConventionProblem(Entry::Draw, call);
    if (!problem.empty()) return Fail(problem);
  }
  GdiFlush();
  HDC dc = GetDC(window);
  BitBlt(dc, 0, 0, canvas.width, canvas.height, canvas.dc, 0, 0, SRCCOPY);
  ReleaseDC(window, dc);

  if (frames == 0) firstFrameAt = before;
  lastFrameAt = before;
  ++frames;
  ++statsFrames;
  statsDrawTicks += drawTicks;
  totalDrawTicks += drawTicks;
  if (drawTicks > longestDraw) longestDraw = drawTicks;
  long long now = Now();
  if (Ms(now - statsSince) >= 500) UpdateTitle(now);
  if (options.frames > 0 && frames >= options.frames) DestroyWindow(window);
}

// Draws a frame when one is due; returns the milliseconds until the next is.
DWORD PaceFrames() {
  long long now = Now();
  if (!inConfig && now >= nextFrame) {
    DrawFrame();
    nextFrame += period;
    now = Now();
    // Far behind (a slow Draw, a stalled window): start the beat again from here.
    if (now - nextFrame > 4 * period) nextFrame = now + period;
  }
  return nextFrame > now ? static_cast<DWORD>(Ms(nextFrame - now)) : 0;
}

void OpenSettings() {
  RECT client;
  GetClientRect(window, &client);
  inConfig = true;
  long long openedAt = Now();
  // A person answers this dialog: no time limit.
  MeasuredCall call = CallConfig(plugin, MakeView(client.right, client.bottom, window, profile.c_str()), false);
  if (frames > 0) pausedTicks += Now() - openedAt;
  inConfig = false;
  std::string problem = ConventionProblem(Entry::Config, call);
  if (!problem.empty()) return Fail(problem);
  if ((call.result & 0xFF) != 0) {
    StopEffect();
    StartEffect();
  }
  nextFrame = Now();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case MENU_CONFIG: OpenSettings(); return 0;
        case MENU_RESTART:
          StopEffect();
          StartEffect();
          return 0;
        case MENU_CLEAR:
          clearFrames = !clearFrames;
          CheckMenuItem(effectMenu, MENU_CLEAR, clearFrames ? MF_CHECKED : MF_UNCHECKED);
          return 0;
        case MENU_EXIT: DestroyWindow(hwnd); return 0;
      }
      break;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && (LOWORD(lParam) != canvas.width || HIWORD(lParam) != canvas.height)) {
        resized = effectRunning;
      }
      return 0;
    // Moving, resizing and menus run modal loops of their own: a timer keeps the
    // frames coming meanwhile.
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP: SetTimer(hwnd, FRAME_TIMER, 5, nullptr); return 0;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP: KillTimer(hwnd, FRAME_TIMER); return 0;
    case WM_TIMER:
      if (wParam == FRAME_TIMER) PaceFrames();
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      if (canvas.dc != nullptr) BitBlt(dc, 0, 0, canvas.width, canvas.height, canvas.dc, 0, 0, SRCCOPY);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool CreateRunWindow() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  windowClass.lpszClassName = L"zvxhostRun";
  RegisterClassExW(&windowClass);

  effectMenu = CreatePopupMenu();
  std::wstring configLabel = Utf8ToWide(Cp932ToUtf8(plugin.info.configLabel)) + L"...";
  AppendMenuW(effectMenu, MF_STRING, MENU_CONFIG, configLabel.c_str());
  AppendMenuW(effectMenu, MF_STRING, MENU_RESTART, L"&Restart");
  AppendMenuW(effectMenu, MF_STRING | (clearFrames ? MF_CHECKED : 0), MENU_CLEAR, L"&Clear between frames");
  AppendMenuW(effectMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(effectMenu, MF_STRING, MENU_EXIT, L"E&xit");
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(effectMenu), L"&Effect");

  const DWORD style = WS_OVERLAPPEDWINDOW;
  RECT frame = {0, 0, options.width, options.height};
  AdjustWindowRect(&frame, style, TRUE);
  window = CreateWindowExW(0, windowClass.lpszClassName, L"zvxhost", style, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, bar, instance, nullptr);
  return window != nullptr;
}

}  // namespace

int RunPlugin(const Options& given, const std::string& path) {
  options = given;
  pluginPath = path;
  profile = ProfilePath(options);
  clearFrames = options.clear;
  if (!OpenForCommand(options, path, &plugin)) return 1;
  if (!CreateRunWindow()) {
    ClosePlugin(&plugin);
    return FailPlugin(path, "cannot open a window (error " + std::to_string(GetLastError()) + ")");
  }
  QueryPerformanceFrequency(&frequency);
  period = frequency.QuadPart / options.fps;
  timeBeginPeriod(1);  // waits to the millisecond, for an even beat
  StartEffect();
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateTitle(Now());
  nextFrame = Now();

  bool running = true;
  while (running) {
    DWORD wait = PaceFrames();
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) running = false;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  timeEndPeriod(1);
  // The rate is that of the beats between the first frame and the last, less the time
  // the settings dialog stood open.
  double seconds = Ms(lastFrameAt - firstFrameAt - pausedTicks) / 1000;
  StopEffect();
  DestroyCanvas(&canvas);
  ClosePlugin(&plugin);
  if (!failure.empty()) return FailPlugin(path, failure);

  char summary[160];
  std::snprintf(summary, sizeof summary,
                ": %ld frames in %.1f s (%.1f fps); Draw took %.2f ms on average, %.2f ms at most\n", frames, seconds,
                seconds > 0 ? (frames - 1) / seconds : 0.0, frames > 0 ? Ms(totalDrawTicks) / frames : 0.0,
                Ms(longestDraw));
  Print(path + summary);
  return 0;
}
