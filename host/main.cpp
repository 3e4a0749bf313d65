// zvxhost: runs .zvx effect plug-ins outside the host application.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "canvas.h"
#include "plugin_host.h"

namespace {

const char USAGE[] =
    "usage: zvxhost render PLUGIN [options]\n"
    "\n"
    "Runs an effect plug-in (.zvx) the way the host application does and saves a frame.\n"
    "\n"
    "commands:\n"
    "  render PLUGIN   draw frames into an off-screen picture and save the last one as PNG\n"
    "\n"
    "render options:\n"
    "  --size WxH        view size in pixels (default 640x480)\n"
    "  --frames N        frames to draw (default 60)\n"
    "  --tick T          the millisecond tick count the plug-in sees, for a repeatable run\n"
    "  --profile FILE    the profile (INI) file holding the effect's setting\n"
    "                    (default: none, so the effect uses its default setting)\n"
    "  --clear           clear the view to black before every frame (default: keep it)\n"
    "  --out FILE        the PNG file to write (default: PLUGIN's name with .png)\n"
    "  -h, --help        show this help\n";

struct RenderOptions {
  int width = 640;
  int height = 480;
  long frames = 60;
  bool fixTick = false;
  DWORD tick = 0;
  std::string profile;
  bool clear = false;
  std::string out;
};

bool ParseSize(const char* text, int* width, int* height) {
  char* end = nullptr;
  long w = std::strtol(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  long h = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || w < 1 || h < 1 || w > 16384 || h > 16384) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long* value) {
  char* end = nullptr;
  *value = std::strtoul(text, &end, 10);
  return end != text && *end == '\0' && *value <= max && text[0] != '-';
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "zvxhost: %s\n", message.c_str());
  return 1;
}

int Render(const char* pluginPath, const RenderOptions& options) {
  LoadedPlugin plugin;
  std::string error;
  if (!OpenPlugin(pluginPath, &plugin, &error)) return Fail(error);
  if (options.fixTick) FixTickCount(plugin.module, options.tick);

  Canvas canvas;
  if (!CreateCanvas(options.width, options.height, &canvas)) {
    ClosePlugin(&plugin);
    return Fail("cannot create a " + std::to_string(options.width) + "x" + std::to_string(options.height) + " picture");
  }
  ClearCanvas(canvas, 0);

  std::string profile = options.profile.empty() ? std::string() : FullPath(options.profile.c_str());
  plugin.info.Init(MakeView(options.width, options.height, nullptr, profile.empty() ? nullptr : profile.c_str()));
  for (long frame = 0; frame < options.frames; ++frame) {
    if (options.clear) ClearCanvas(canvas, 0);
    plugin.info.Draw(0, 0, canvas.dc);
  }
  plugin.info.Quit();

  std::string out = options.out;
  if (out.empty()) {
    std::string base = pluginPath;
    size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    out = base.substr(0, base.find_last_of('.')) + ".png";
  }
  bool written = WritePng(canvas, out);
  DestroyCanvas(&canvas);
  ClosePlugin(&plugin);
  if (!written) return Fail(out + ": cannot be written");
  std::printf("%s: %ld frames at %dx%d -> %s\n", pluginPath, options.frames, options.width, options.height, out.c_str());
  return 0;
}

int RenderCommand(int argc, char** argv) {
  RenderOptions options;
  const char* plugin = nullptr;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    unsigned long number = 0;
    if (arg == "--size" && hasValue) {
      if (!ParseSize(argv[++i], &options.width, &options.height)) return Fail("--size wants WxH, e.g. 800x600");
    } else if (arg == "--frames" && hasValue) {
      if (!ParseNumber(argv[++i], 1000000, &number)) return Fail("--frames wants a number from 0 to 1000000");
      options.frames = static_cast<long>(number);
    } else if (arg == "--tick" && hasValue) {
      if (!ParseNumber(argv[++i], 0xFFFFFFFFul, &number)) return Fail("--tick wants a number from 0 to 4294967295");
      options.fixTick = true;
      options.tick = static_cast<DWORD>(number);
    } else if (arg == "--profile" && hasValue) {
      options.profile = argv[++i];
    } else if (arg == "--out" && hasValue) {
      options.out = argv[++i];
    } else if (arg == "--clear") {
      options.clear = true;
    } else if (arg[0] == '-' || plugin != nullptr) {
      return Fail("unexpected argument '" + arg + "' (see zvxhost --help)");
    } else {
      plugin = argv[i];
    }
  }
  if (plugin == nullptr) return Fail("render: which plug-in? (see zvxhost --help)");
  return Render(plugin, options);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  std::string command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (command == "render") return RenderCommand(argc - 2, argv + 2);
  return Fail("unknown command '" + command + "' (see zvxhost --help)");
}
