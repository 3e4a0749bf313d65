// zvxhost's command line: the commands, their options and their help texts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class Command { Run, Render, Check };

struct Options {
  Command command = Command::Run;
  std::vector<std::string> plugins;
  std::vector<std::string> optionArguments;  // as given, to hand on to the worker
  bool help = false;
  int width = 0;
  int height = 0;
  long frames = 0;  // run: 0 = until the window is closed
  int fps = 30;
  bool fixTick = false;
  DWORD tick = 0;
  std::string profile;
  bool clear = false;
  std::string gif;
  bool noGif = false;
  std::string pngPattern;
  long cycles = 1000;
  DWORD timeoutMs = 10000;
};

extern const char MAIN_HELP[];
const char* CommandHelp(Command command);
// False for an unknown name.
bool CommandNamed(const std::string& name, Command* command);

// Parses the arguments after the command name. False, with a one-line `error`, for
// anything it cannot use.
bool ParseOptions(Command command, int argc, char** argv, Options* options, std::string* error);

// A --png pattern split around its one %d (or %0Nd).
struct NumberPattern {
  std::string prefix;
  int width = 0;  // zero-padded to this many digits
  std::string suffix;
};
bool ParseNumberPattern(const std::string& pattern, NumberPattern* parsed);
std::string FormatNumberPattern(const NumberPattern& pattern, long number);

// One argument quoted for a Windows command line.
std::string QuoteArgument(const std::string& argument);
