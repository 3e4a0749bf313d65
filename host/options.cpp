#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char MAIN_HELP[] =
    "Usage: zvxhost COMMAND [OPTIONS] PLUGIN...\n"
    "\n"
    "Runs, previews and checks .zvx effect plug-ins, calling them the way the host\n"
    "application does: Stat, Init, one Draw per frame, Config, Quit.\n"
    "\n"
    "Commands:\n"
    "  run PLUGIN         show the effect live in a window\n"
    "  render PLUGIN      draw frames off screen into an animated GIF and PNG files\n"
    "  check PLUGIN...    check that plug-ins keep the host's contract, item by item\n"
    "  help [COMMAND]     show this help, or the help of a command\n"
    "\n"
    "Each plug-in runs in a worker process of its own. A plug-in that crashes, hangs,\n"
    "ends the process or returns garbage is reported in one line that names the file\n"
    "and the entry point, and zvxhost exits with status 1.\n"
    "\n"
    "Run 'zvxhost COMMAND --help' for the options of a command.\n"
    "\n"
    "Exit status: 0 on success, 1 when a plug-in fails or cannot be used, 2 on bad usage.\n";

namespace {

const char RUN_HELP[] =
    "Usage: zvxhost run [OPTIONS] PLUGIN\n"
    "\n"
    "Shows the effect in a resizable window at a steady frame rate. The title holds the\n"
    "effect's name, the measured time of a Draw call and the frame rate reached. The\n"
    "Effect menu opens the plug-in's settings dialog (its item is labelled as the plug-in\n"
    "asks; after OK the effect starts again with the new setting), restarts the effect and\n"
    "turns clearing between frames on and off. Resizing the window restarts the effect at\n"
    "the new size. On closing, one line sums up the frames and their times.\n"
    "\n"
    "Options:\n"
    "  --size WxH          size of the view in pixels (default 640x480)\n"
    "  --fps N             frames a second, 1 to 1000 (default 30)\n"
    "  --clear             clear the view to black before each frame (default: keep what\n"
    "                      is there; the effects never clear it themselves)\n"
    "  --frames N          close the window after N frames (default: when it is closed)\n"
    "  --tick T            let the plug-in see the tick count T (0 to 4294967295) when it\n"
    "                      starts, for a repeatable start\n"
    "  --profile FILE      the profile (INI) file that holds the effect's setting\n"
    "                      (default: zvxhost.ini in the current folder)\n"
    "  --timeout SECONDS   stop a call into the plug-in, other than its settings dialog,\n"
    "                      that runs longer than this, 1 to 3600 (default 10)\n"
    "  -h, --help          show this help\n";

const char RENDER_HELP[] =
    "Usage: zvxhost render [OPTIONS] PLUGIN\n"
    "\n"
    "Draws frames off screen as the host application would and saves them as one\n"
    "animated GIF and, if asked, one PNG file per frame. With --tick the output is the\n"
    "same, byte for byte, on every run. A progress bar shows on a console.\n"
    "\n"
    "Options:\n"
    "  --size WxH          size of the view in pixels (default 320x240)\n"
    "  --frames N          frames to draw, 1 to 100000 (default 60)\n"
    "  --fps N             frame rate of the GIF, 1 to 50 (default 30)\n"
    "  --clear             clear the view to black before each frame (default: keep the\n"
    "                      frame before; the effects never clear it themselves)\n"
    "  --tick T            let the plug-in see the tick count T (0 to 4294967295), which\n"
    "                      fixes its random start and so the pictures\n"
    "  --profile FILE      the profile (INI) file that holds the effect's setting\n"
    "                      (default: zvxhost.ini in the current folder)\n"
    "  --gif FILE          the animated GIF to write (default: the plug-in's file name\n"
    "                      with .gif, in the current folder)\n"
    "  --no-gif            write no GIF\n"
    "  --png PATTERN       also write every frame as a PNG file named by PATTERN, whose\n"
    "                      one %d (or %03d) becomes the frame number from 1,\n"
    "                      e.g. frames/particle-%03d.png\n"
    "  --timeout SECONDS   stop a call into the plug-in that runs longer than this,\n"
    "                      1 to 3600 (default 10)\n"
    "  -h, --help          show this help\n";

const char CHECK_HELP[] =
    "Usage: zvxhost check [OPTIONS] PLUGIN...\n"
    "\n"
    "Checks that each plug-in keeps the contract the host application relies on. One\n"
    "line per item: the file, pass or FAIL, the item and the evidence; then a count.\n"
    "An item that leaves nothing to go on (no file, no Stat) ends the plug-in's check.\n"
    "\n"
    "Items:\n"
    "  file          a 32-bit Windows DLL for x86\n"
    "  exports       exactly one export, \"_Stat@4\", at ordinal 1\n"
    "  imports       only from DLLs in the system folder\n"
    "  load          the DLL loads and its Stat can be found\n"
    "  Stat          returns 0, fills the nine words of the record (version, name,\n"
    "                configLabel, entry points in the module), leaves the reserved\n"
    "                words and what lies past the record alone, and does the same twice\n"
    "  stack         Stat removes its 4 bytes of arguments; Init, Draw, Config and Quit\n"
    "                leave theirs to the caller; EBX, ESI, EDI and EBP are kept\n"
    "  Config        returns false when its dialog is cancelled (zvxhost cancels any\n"
    "                dialog itself) or when it opens none\n"
    "  DC state      after every Draw the pen, brush, font, bitmap, colours, modes,\n"
    "                origins and clipping are as before; the current position is as\n"
    "                before or where the effect's last line ended\n"
    "  GDI objects   every pen a Draw creates is deleted again in that Draw\n"
    "  memory        repeated Init/Quit cycles do not grow the process's private memory\n"
    "  call order    Draw before Init, Draw after Quit and a second Quit do not crash\n"
    "\n"
    "Options:\n"
    "  --size WxH          view size for Init and Draw (default 320x240)\n"
    "  --frames N          frames for the DC state and GDI items (default 1000)\n"
    "  --cycles N          Init/Quit cycles for the memory item (default 1000)\n"
    "  --profile FILE      the profile (INI) file to give the plug-in (default: a new\n"
    "                      empty file, removed afterwards)\n"
    "  --timeout SECONDS   a call into the plug-in that runs longer than this fails the\n"
    "                      check, 1 to 3600 (default 10)\n"
    "  -h, --help          show this help\n"
    "\n"
    "Exit status: 0 when every item of every plug-in passes, 1 otherwise, 2 on bad usage.\n";

enum Scope : unsigned { RUN = 1, RENDER = 2, CHECK = 4, ALL = 7 };

struct OptionInfo {
  const char* name;
  bool takesValue;
  unsigned scope;
};

const OptionInfo OPTIONS[] = {
    {"--size", true, ALL},          {"--frames", true, ALL},     {"--fps", true, RUN | RENDER},
    {"--tick", true, RUN | RENDER}, {"--profile", true, ALL},    {"--clear", false, RUN | RENDER},
    {"--gif", true, RENDER},        {"--no-gif", false, RENDER}, {"--png", true, RENDER},
    {"--cycles", true, CHECK},      {"--timeout", true, ALL},
};

const char* const COMMAND_NAMES[] = {"run", "render", "check"};

unsigned ScopeOf(Command command) { return 1u << static_cast<unsigned>(command); }

bool ParseSize(const char* text, int* width, int* height) {
  char* end = nullptr;
  long w = std::strtol(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  long h = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || w < 1 || h < 1 || w > 4096 || h > 4096) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

bool ParseNumber(const char* text, unsigned long min, unsigned long max, unsigned long* value) {
  if (text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtoul(text, &end, 10);
  return *end == '\0' && errno == 0 && *value >= min && *value <= max;
}

}  // namespace

const char* CommandHelp(Command command) {
  switch (command) {
    case Command::Run: return RUN_HELP;
    case Command::Render: return RENDER_HELP;
    default: return CHECK_HELP;
  }
}

bool CommandNamed(const std::string& name, Command* command) {
  for (int i = 0; i < 3; ++i) {
    if (name == COMMAND_NAMES[i]) {
      *command = static_cast<Command>(i);
      return true;
    }
  }
  return false;
}

bool ParseOptions(Command command, int argc, char** argv, Options* options, std::string* error) {
  *options = Options();
  options->command = command;
  const std::string name = COMMAND_NAMES[static_cast<int>(command)];
  options->width = command == Command::Run ? 640 : 320;
  options->height = command == Command::Run ? 480 : 240;
  options->frames = command == Command::Run ? 0 : command == Command::Render ? 60 : 1000;

  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options->help = true;
      return true;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      options->plugins.push_back(arg);
      continue;
    }
    const OptionInfo* option = nullptr;
    for (const OptionInfo& known : OPTIONS) {
      if (arg == known.name) option = &known;
    }
    if (option == nullptr || !(option->scope & ScopeOf(command))) {
      *error = name + ": unknown option '" + arg + "' (see 'zvxhost " + name + " --help')";
      return false;
    }
    options->optionArguments.push_back(arg);
    if (!option->takesValue) {
      if (arg == "--clear") options->clear = true;
      if (arg == "--no-gif") options->noGif = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = name + ": " + arg + " needs a value (see 'zvxhost " + name + " --help')";
      return false;
    }
    const char* value = argv[++i];
    options->optionArguments.push_back(value);
    unsigned long number = 0;
    if (arg == "--size") {
      if (!ParseSize(value, &options->width, &options->height)) {
        *error = name + ": --size wants WIDTHxHEIGHT from 1x1 to 4096x4096, e.g. 640x480, not '" + value + "'";
        return false;
      }
    } else if (arg == "--frames") {
      const unsigned long least = command == Command::Run ? 0 : 1;
      if (!ParseNumber(value, least, 100000, &number)) {
        *error = name + ": --frames wants a number from " + std::to_string(least) + " to 100000, not '" + value + "'";
        return false;
      }
      options->frames = static_cast<long>(number);
    } else if (arg == "--fps") {
      const unsigned long most = command == Command::Render ? 50 : 1000;
      if (!ParseNumber(value, 1, most, &number)) {
        *error = name + ": --fps wants a number from 1 to " + std::to_string(most) + ", not '" + value + "'";
        return false;
      }
      options->fps = static_cast<int>(number);
    } else if (arg == "--tick") {
      if (!ParseNumber(value, 0, 0xFFFFFFFFul, &number)) {
        *error = name + ": --tick wants a number from 0 to 4294967295, not '" + value + "'";
        return false;
      }
      options->fixTick = true;
      options->tick = static_cast<DWORD>(number);
    } else if (arg == "--cycles") {
      if (!ParseNumber(value, 1, 1000000, &number)) {
        *error = name + ": --cycles wants a number from 1 to 1000000, not '" + value + "'";
        return false;
      }
      options->cycles = static_cast<long>(number);
    } else if (arg == "--timeout") {
      if (!ParseNumber(value, 1, 3600, &number)) {
        *error = name + ": --timeout wants whole seconds from 1 to 3600, not '" + value + "'";
        return false;
      }
      options->timeoutMs = static_cast<DWORD>(number * 1000);
    } else if (arg == "--png") {
      NumberPattern pattern;
      if (!ParseNumberPattern(value, &pattern)) {
        *error = name + ": --png wants a file name with one %d for the frame number, e.g. frame-%03d.png, not '" +
                 value + "'";
        return false;
      }
      options->pngPattern = value;
    } else if (arg == "--gif") {
      options->gif = value;
    } else if (arg == "--profile") {
      options->profile = value;
    }
  }
  if (options->plugins.empty()) {
    *error = name + ": which plug-in? (see 'zvxhost " + name + " --help')";
    return false;
  }
  if (command != Command::Check && options->plugins.size() > 1) {
    *error = name + ": one plug-in at a time, not " + std::to_string(options->plugins.size()) + " (see 'zvxhost " +
             name + " --help')";
    return false;
  }
  if (command == Command::Render && options->noGif && options->pngPattern.empty()) {
    *error = "render: --no-gif without --png would write nothing";
    return false;
  }
  return true;
}

bool ParseNumberPattern(const std::string& pattern, NumberPattern* parsed) {
  size_t percent = pattern.find('%');
  if (percent == std::string::npos) return false;
  size_t at = percent + 1;
  bool zeros = at < pattern.size() && pattern[at] == '0';
  if (zeros) ++at;
  int width = 0;
  while (at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '9' && width < 100) {
    width = width * 10 + (pattern[at++] - '0');
  }
  if (at >= pattern.size() || pattern[at] != 'd' || zeros != (width > 0) || width > 9) return false;
  if (pattern.find('%', at) != std::string::npos) return false;
  parsed->prefix = pattern.substr(0, percent);
  parsed->width = zeros ? width : 0;
  parsed->suffix = pattern.substr(at + 1);
  return true;
}

std::string FormatNumberPattern(const NumberPattern& pattern, long number) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < pattern.width) digits.insert(0, pattern.width - digits.size(), '0');
  return pattern.prefix + digits + pattern.suffix;
}

std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  // Backslashes double only before a quote, as the C runtime reads them back.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}
