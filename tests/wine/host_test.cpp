// zvxhost as a person runs it: its commands on the shipped plug-ins, on the broken
// test plug-ins in fixtures/, and on bad command lines.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "gif_lib.h"
#include "gif_writer.h"
#include "support.h"

#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"

namespace {

struct Ran {
  DWORD exitCode;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

HANDLE InheritableFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

// Runs zvxhost in the output folder, standard output and error caught apart.
Ran RunHost(const std::string& arguments) {
  // ctest runs tests side by side: each process its own files.
  const std::string stem = OutputDir() + "host_test." + std::to_string(GetCurrentProcessId());
  const std::string out = stem + ".out";
  const std::string err = stem + ".err";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = InheritableFile(out);
  startup.hStdError = InheritableFile(err);
  std::string commandLine = OutputDir() + "zvxhost.exe";
  commandLine.insert(0, 1, '"');
  commandLine += "\" " + arguments;
  PROCESS_INFORMATION process = {};
  Ran ran = {~0u, "", ""};
  if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, OutputDir().c_str(), &startup,
                     &process)) {
    // Far above any time limit of zvxhost's own: a hang here is a fault of zvxhost.
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 240000), WAIT_OBJECT_0) << "zvxhost " << arguments;
    GetExitCodeProcess(process.hProcess, &ran.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  ran.out = ReadFile(out);
  ran.err = ReadFile(err);
  DeleteFileA(out.c_str());
  DeleteFileA(err.c_str());
  return ran;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(ZvxhostCheck, PassesOnEveryShippedPlugin) {
  std::vector<std::string> shipped;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((OutputDir() + "*.zvx").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
    shipped.push_back(found.cFileName);
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  ASSERT_FALSE(shipped.empty());

  std::string arguments = "check";
  for (const std::string& file : shipped) arguments += " " + file;
  Ran ran = RunHost(arguments);
  SCOPED_TRACE(ran.out + ran.err);
  EXPECT_EQ(ran.exitCode, 0u);
  for (const std::string& line : Lines(ran.out)) EXPECT_EQ(line.find("  FAIL  "), std::string::npos) << line;
  for (const std::string& file : shipped) {
    EXPECT_NE(ran.out.find(file + "  11 passed, 0 failed\n"), std::string::npos) << file;
  }
}

struct Faulty {
  const char* file;  // in fixtures/
  const char* item;
  const char* evidence;  // '*' stands for any text
  const char* options;
};

// Whether `text` holds the pieces of `pattern` between its '*', in order.
bool Holds(const std::string& text, const std::string& pattern) {
  size_t at = 0;
  for (size_t start = 0; start <= pattern.size();) {
    size_t star = pattern.find('*', start);
    std::string piece = pattern.substr(start, star == std::string::npos ? std::string::npos : star - start);
    at = text.find(piece, at);
    if (at == std::string::npos) return false;
    at += piece.size();
    if (star == std::string::npos) break;
    start = star + 1;
  }
  return true;
}

// Each fault and the line that must name it; sound.zvx shows that the fixture
// passes without a fault.
const Faulty FAULTY[] = {
    {"sound.zvx", "Config", "a dialog opened and zvxhost cancelled it; Config returned false", ""},
    {"missing.zvx", "file", "no such file", ""},
    {"not_a_dll.zvx", "file", "not a Windows program or DLL (no PE header)", ""},
    {"no_export.zvx", "exports", "none; expected only \"_Stat@4\", at ordinal 1", ""},
    {"stat_garbage.zvx", "Stat", "Stat returned 7 instead of 0", ""},
    // The kind of crash is the system's to say (under qemu these come as illegal instructions).
    {"stat_crash.zvx", "Stat", "Stat crashed: * (0xC0000*) at fixtures/stat_crash.zvx+0x", ""},
    {"init_stdcall.zvx", "stack",
     "Init removed 28 bytes from the stack itself; under the C convention the caller removes the arguments", ""},
    {"draw_crash.zvx", "stack", "Draw crashed at the first frame: * (0xC0000*) at fixtures/draw_crash.zvx+0x", ""},
    {"draw_hangs.zvx", "stack", "Draw did not return within 3 s at the first frame; stopped it", "--timeout 3"},
    {"draw_exits.zvx", "stack", "Draw ended the process at the first frame (exit code 3)", ""},
    {"draw_keeps_pen.zvx", "DC state", "after frame 1: the selected pen changed", ""},
    {"draw_moves_position.zvx", "DC state",
     "after frame 1: the current position moved to (3,3); expected where its last line ended (160,120) or the "
     "previous (7,5)",
     ""},
    {"draw_sets_colour.zvx", "DC state", "after frame 1: the text colour changed", ""},
    {"draw_leaks_pen.zvx", "GDI objects", "1 pen(s) left after frame 1, 1000 after frame 1000", ""},
    {"init_leaks.zvx", "memory", "1000 Init/Quit cycles: private memory", ""},
    {"draw_before_init_crashes.zvx", "call order", "Draw crashed before Init: * (0xC0000*) at fixtures/", ""},
};

class ZvxhostCheckFinds : public testing::TestWithParam<Faulty> {};

TEST_P(ZvxhostCheckFinds, TheFaultInOneLine) {
  const Faulty& c = GetParam();
  const bool sound = std::string(c.file) == "sound.zvx";
  const std::string path = std::string("fixtures/") + c.file;
  Ran ran = RunHost(std::string("check ") + c.options + " " + path);
  SCOPED_TRACE(ran.out + ran.err);
  EXPECT_EQ(ran.exitCode, sound ? 0u : 1u);
  char head[64];
  std::snprintf(head, sizeof head, "  %-4s  %-11s  ", sound ? "pass" : "FAIL", c.item);
  EXPECT_NE(ran.out.find(path + head), std::string::npos);
  const std::vector<std::string> lines = Lines(ran.out);
  bool named = false;
  for (const std::string& line : lines) {
    named = named || (line.find(path + head) == 0 && Holds(line.substr(path.size() + std::strlen(head)), c.evidence));
  }
  EXPECT_TRUE(named) << "no line " << path << head << "..." << c.evidence;
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().find(path + "  "), 0u) << "the count comes last";
  EXPECT_EQ(lines.back().find(" 0 failed") != std::string::npos, sound) << lines.back();
  EXPECT_EQ(ran.err, "");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ZvxhostCheckFinds, testing::ValuesIn(FAULTY),
                         [](const testing::TestParamInfo<Faulty>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

// A GIF decoded frame by frame as a viewer shows it: each frame's picture after it.
struct Shown {
  std::vector<std::vector<uint32_t>> frames;  // 0x00RRGGBB
  std::vector<int> delays;
  bool loops = false;
};

Shown ShowGif(const std::string& path) {
  Shown shown;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  EXPECT_NE(gif, nullptr) << GifErrorString(error);
  if (gif == nullptr) return shown;
  EXPECT_EQ(DGifSlurp(gif), GIF_OK);
  std::vector<uint32_t> screen(static_cast<size_t>(gif->SWidth) * gif->SHeight, 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    for (int e = 0; e < image.ExtensionBlockCount; ++e) {
      shown.loops = shown.loops || (image.ExtensionBlocks[e].Function == APPLICATION_EXT_FUNC_CODE &&
                                    image.ExtensionBlocks[e].ByteCount == 11 &&
                                    std::memcmp(image.ExtensionBlocks[e].Bytes, "NETSCAPE2.0", 11) == 0);
    }
    GraphicsControlBlock control = {};
    DGifSavedExtensionToGCB(gif, i, &control);
    EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT);
    shown.delays.push_back(control.DelayTime);
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : gif->SColorMap;
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        int index = image.RasterBits[y * d.Width + x];
        if (index == control.TransparentColor) continue;
        const GifColorType& c = map->Colors[index];
        screen[(d.Top + y) * gif->SWidth + d.Left + x] = (c.Red << 16) | (c.Green << 8) | c.Blue;
      }
    }
    shown.frames.push_back(screen);
  }
  DGifCloseFile(gif, &error);
  return shown;
}

std::vector<uint32_t> ReadPng(const std::string& path) {
  int width = 0, height = 0, channels = 0;
  unsigned char* rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
  std::vector<uint32_t> pixels;
  for (int i = 0; rgb != nullptr && i < width * height; ++i) {
    pixels.push_back((rgb[3 * i] << 16) | (rgb[3 * i + 1] << 8) | rgb[3 * i + 2]);
  }
  stbi_image_free(rgb);
  return pixels;
}

TEST(ZvxhostRender, FixedTickGivesTheSameGifWhoseFramesAreThePngs) {
  const std::string common = "render particle.zvx --size 96x64 --frames 12 --tick 1000 ";
  Ran first = RunHost(common + "--gif render_a.gif --png render-%02d.png");
  ASSERT_EQ(first.exitCode, 0u) << first.err;
  EXPECT_EQ(first.out, "particle.zvx: 12 frames of 96x64 -> render_a.gif (" +
                           std::to_string(ReadFile(OutputDir() + "render_a.gif").size() / 1024) +
                           " KiB) and render-01.png to render-12.png\n");
  ASSERT_EQ(RunHost(common + "--gif render_b.gif").exitCode, 0u);
  ASSERT_EQ(RunHost("render particle.zvx --size 96x64 --frames 12 --tick 1001 --gif render_c.gif").exitCode, 0u);
  const std::string a = ReadFile(OutputDir() + "render_a.gif");
  EXPECT_EQ(a, ReadFile(OutputDir() + "render_b.gif")) << "the same tick, the same bytes";
  EXPECT_NE(a, ReadFile(OutputDir() + "render_c.gif")) << "another tick, another start";

  Shown shown = ShowGif(OutputDir() + "render_a.gif");
  ASSERT_EQ(shown.frames.size(), 12u);
  EXPECT_TRUE(shown.loops);
  int total = 0;
  for (int delay : shown.delays) {
    EXPECT_TRUE(delay == 3 || delay == 4) << delay;
    total += delay;
  }
  EXPECT_EQ(total, 40) << "12 frames at 30 a second";
  for (int frame = 0; frame < 12; ++frame) {
    char png[32];
    std::snprintf(png, sizeof png, "render-%02d.png", frame + 1);
    EXPECT_EQ(shown.frames[frame], ReadPng(OutputDir() + png)) << "frame " << frame + 1;
  }
}

TEST(GifWriter, ManyColoursComeCloseAndAnUnchangedFrameStillCounts) {
  const int width = 64, height = 48;
  std::vector<uint32_t> gradient(width * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) gradient[y * width + x] = (x * 4 << 16) | (y * 5 << 8) | ((x + y) * 2);
  }
  std::vector<uint32_t> patched = gradient;
  for (int x = 10; x < 20; ++x) patched[30 * width + x] = 0x00FF8000;

  const std::string path = OutputDir() + "gif_writer.gif";
  GifOutput gif;
  std::string error;
  ASSERT_TRUE(OpenGif(path, width, height, &gif, &error)) << error;
  EXPECT_TRUE(AddGifFrame(&gif, gradient.data(), 5));
  EXPECT_TRUE(AddGifFrame(&gif, gradient.data(), 5));
  EXPECT_TRUE(AddGifFrame(&gif, patched.data(), 5));
  ASSERT_TRUE(CloseGif(&gif, &error)) << error;

  Shown shown = ShowGif(path);
  ASSERT_EQ(shown.frames.size(), 3u);
  EXPECT_EQ(shown.frames[1], shown.frames[0]);
  // giflib's median cut, on 3072 colours of a gradient: close on the whole, never far.
  long long totalOff = 0;
  int worst = 0;
  for (int i = 0; i < width * height; ++i) {
    for (int shift : {0, 8, 16}) {
      int off = std::abs(int((shown.frames[2][i] >> shift) & 0xFF) - int((patched[i] >> shift) & 0xFF));
      totalOff += off;
      worst = std::max(worst, off);
    }
  }
  EXPECT_LT(totalOff / (3.0 * width * height), 8.0);
  EXPECT_LT(worst, 64);
  EXPECT_EQ(shown.frames[2][30 * width + 15], 0x00FF8000u) << "the few new colours are exact";
}

TEST(GifWriter, DelaysAddUpToTheRunningTime) {
  int total = 0;
  for (long frame = 0; frame < 90; ++frame) total += GifFrameDelay(frame, 30);
  EXPECT_EQ(total, 300);
  EXPECT_EQ(GifFrameDelay(0, 25), 4);
}

TEST(ZvxhostRun, DrawsTheFramesAskedForAndSumsThemUp) {
  // On the null display driver the window is there for the program, not for the eye.
  Ran ran = RunHost("run particle.zvx --frames 10 --fps 50 --size 200x150");
  EXPECT_EQ(ran.exitCode, 0u) << ran.err;
  EXPECT_EQ(ran.out.find("particle.zvx: 10 frames in "), 0u) << ran.out;
  EXPECT_NE(ran.out.find(" fps); Draw took "), std::string::npos) << ran.out;
}

// Command lines and what zvxhost answers: its help, or one line and its status.
struct Usage {
  const char* arguments;
  DWORD exitCode;
  const char* says;  // at the start of standard output (status 0) or error
};

const Usage USAGES[] = {
    {"--help", 0, "Usage: zvxhost COMMAND [OPTIONS] PLUGIN...\n"},
    {"help render", 0, "Usage: zvxhost render [OPTIONS] PLUGIN\n"},
    {"check --help", 0, "Usage: zvxhost check [OPTIONS] PLUGIN...\n"},
    {"", 2, "Usage: zvxhost COMMAND"},
    {"frobnicate particle.zvx", 2, "zvxhost: unknown command 'frobnicate' (see 'zvxhost --help')\n"},
    {"render", 2, "zvxhost: render: which plug-in? (see 'zvxhost render --help')\n"},
    {"render particle.zvx --size 0x10", 2, "zvxhost: render: --size wants WIDTHxHEIGHT"},
    {"run particle.zvx --fps", 2, "zvxhost: run: --fps needs a value (see 'zvxhost run --help')\n"},
    {"check particle.zvx --gif x.gif", 2, "zvxhost: check: unknown option '--gif' (see 'zvxhost check --help')\n"},
    {"render particle.zvx --png frame.png", 2, "zvxhost: render: --png wants a file name with one %d"},
    {"render particle.zvx particle.zvx", 2, "zvxhost: render: one plug-in at a time, not 2"},
    {"render missing.zvx", 1, "zvxhost: missing.zvx: no such file\n"},
    {"render fixtures/draw_crash.zvx", 1, "zvxhost: fixtures/draw_crash.zvx: Draw crashed at frame 1: "},
    {"run fixtures/init_stdcall.zvx", 1,
     "zvxhost: fixtures/init_stdcall.zvx: Init removed 28 bytes from the stack itself; under the C convention the "
     "caller removes the arguments\n"},
};

TEST(ZvxhostUsage, AnswersEachCommandLineInOneLineOrItsHelp) {
  for (const Usage& usage : USAGES) {
    SCOPED_TRACE(usage.arguments);
    Ran ran = RunHost(usage.arguments);
    EXPECT_EQ(ran.exitCode, usage.exitCode);
    const std::string& text = usage.exitCode == 0 ? ran.out : ran.err;
    EXPECT_EQ(text.find(usage.says), 0u) << text;
    if (usage.exitCode != 0 && std::string(usage.arguments) != "") {
      EXPECT_EQ(Lines(text).size(), 1u) << text;
      EXPECT_EQ(ran.out, "");
    }
  }
}

}  // namespace
