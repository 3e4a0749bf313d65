// zvxhost render: frames drawn off screen into an animated GIF and PNG files.
#include "canvas.h"
#include "commands.h"
#include "console.h"
#include "gif_writer.h"
#include "plugin_host.h"

namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) return "?";
  return std::to_string(attributes.nFileSizeLow / 1024) + " KiB";
}

}  // namespace

int RenderPlugin(const Options& options, const std::string& path) {
  LoadedPlugin plugin;
  if (!OpenForCommand(options, path, &plugin)) return 1;
  Canvas canvas;
  if (!CreateCanvas(options.width, options.height, &canvas)) {
    ClosePlugin(&plugin);
    return FailPlugin(path, "cannot make a picture of " + std::to_string(options.width) + "x" +
                                std::to_string(options.height) + " pixels");
  }
  ClearCanvas(canvas, 0);

  const std::string gifPath = options.noGif ? "" : options.gif.empty() ? BaseName(path) + ".gif" : options.gif;
  GifOutput gif;
  std::string error;
  if (!gifPath.empty() && !OpenGif(gifPath, options.width, options.height, &gif, &error)) {
    DestroyCanvas(&canvas);
    ClosePlugin(&plugin);
    return FailPlugin(path, error);
  }
  NumberPattern png;
  bool writePng = ParseNumberPattern(options.pngPattern, &png);

  const std::string profile = ProfilePath(options);
  std::string problem = ConventionProblem(
      Entry::Init, CallInit(plugin, MakeView(options.width, options.height, nullptr, profile.c_str())));
  const std::string label = "render " + BaseName(path);
  for (long frame = 0; frame < options.frames && problem.empty(); ++frame) {
    if (options.clear) ClearCanvas(canvas, 0);
    MarkStep("", "at frame " + std::to_string(frame + 1));
    problem = ConventionProblem(Entry::Draw, CallDraw(plugin, canvas.dc));
    GdiFlush();
    if (!gifPath.empty() && !AddGifFrame(&gif, canvas.pixels, GifFrameDelay(frame, options.fps))) {
      problem = gifPath + ": cannot be written";
    }
    std::string pngPath = writePng ? FormatNumberPattern(png, frame + 1) : "";
    if (writePng && !WritePng(canvas, pngPath)) problem = pngPath + ": cannot be written";
    ShowProgress(label, frame + 1, options.frames);
  }
  EndProgress();
  MarkStep("", "");
  if (problem.empty()) problem = ConventionProblem(Entry::Quit, CallQuit(plugin));
  if (!gifPath.empty() && !CloseGif(&gif, &error) && problem.empty()) problem = gifPath + ": " + error;
  DestroyCanvas(&canvas);
  ClosePlugin(&plugin);
  if (!problem.empty()) return FailPlugin(path, problem);

  std::string written;
  if (!gifPath.empty()) written = gifPath + " (" + FileSize(gifPath) + ")";
  if (writePng) {
    written += std::string(written.empty() ? "" : " and ") + FormatNumberPattern(png, 1) +
               (options.frames > 1 ? " to " + FormatNumberPattern(png, options.frames) : "");
  }
  Print(path + ": " + std::to_string(options.frames) + " frames of " + std::to_string(options.width) + "x" +
        std::to_string(options.height) + " -> " + written + "\n");
  return 0;
}
