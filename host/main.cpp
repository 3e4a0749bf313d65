// zvxhost: runs, previews and checks .zvx effect plug-ins outside the host application.
//
// The process a person starts reads the command line and then, for each plug-in, starts
// a worker (this program again, with --worker first) that makes the plug-in's calls, and
// reports whatever ends that worker before its time (supervise.h).
#include <windows.h>

#include <cstring>
#include <string>

#include "commands.h"
#include "console.h"
#include "plugin_host.h"
#include "supervise.h"

namespace {

int Usage(const std::string& message) {
  PrintError("zvxhost: " + message + "\n");
  return 2;
}

// A fresh, empty profile file for a check, so that no setting of the user's applies.
std::string TemporaryProfile() {
  char folder[MAX_PATH];
  char file[MAX_PATH];
  if (GetTempPathA(MAX_PATH, folder) == 0 || GetTempFileNameA(folder, "zvx", 0, file) == 0) return "";
  return file;
}

int Supervise(const Options& options) {
  std::string common;
  for (const std::string& argument : options.optionArguments) common += QuoteArgument(argument) + " ";
  std::string profile;
  if (options.command == Command::Check && options.profile.empty()) {
    profile = TemporaryProfile();
    if (!profile.empty()) common += "--profile " + QuoteArgument(profile) + " ";
  }
  const char* const names[] = {"run", "render", "check"};
  int status = 0;
  for (const std::string& plugin : options.plugins) {
    WorkerEnd end;
    std::string error;
    std::string arguments =
        std::string(names[static_cast<int>(options.command)]) + " " + common + QuoteArgument(plugin);
    if (!RunWorker(arguments, plugin, options.timeoutMs, &end, &error)) {
      PrintError("zvxhost: " + error + "\n");
      return 1;
    }
    if (options.command != Command::Check) {
      if (!end.finished) return FailPlugin(plugin, end.problem);
      status = end.exitCode != 0 ? 1 : status;
      continue;
    }
    if (!end.finished) {
      // The worker printed the items before; this one it could not finish.
      Print(CheckLine(plugin, false, end.item.empty() ? "load" : end.item, end.problem));
      ++end.failed;
    }
    int notRun = CheckItemCount() - end.passed - end.failed;
    Print(plugin + "  " + std::to_string(end.passed) + " passed, " + std::to_string(end.failed) + " failed" +
          (notRun > 0 ? ", " + std::to_string(notRun) + " not checked" : "") + "\n");
    if (end.failed > 0 || !end.finished) status = 1;
  }
  if (!profile.empty()) DeleteFileA(profile.c_str());
  return status;
}

}  // namespace

std::string ProfilePath(const Options& options) {
  return FullPath(options.profile.empty() ? "zvxhost.ini" : options.profile.c_str());
}

bool OpenForCommand(const Options& options, const std::string& path, LoadedPlugin* plugin) {
  std::string error;
  if (!OpenPlugin(path.c_str(), plugin, &error)) {
    PrintError("zvxhost: " + error + "\n");
    return false;
  }
  if (options.fixTick && !FixTickCount(plugin->module, options.tick)) {
    PrintError("zvxhost: " + path + ": imports no GetTickCount, so --tick changes nothing\n");
  }
  return true;
}

int FailPlugin(const std::string& plugin, const std::string& problem) {
  PrintError("zvxhost: " + plugin + ": " + problem + "\n");
  return 1;
}

int main(int argc, char** argv) {
  bool worker = argc >= 3 && std::strcmp(argv[1], "--worker") == 0;
  if (worker && !BecomeWorker(argv[2])) return Usage("--worker is for zvxhost's own use");
  int first = worker ? 3 : 1;
  if (argc <= first) {
    PrintError(MAIN_HELP);
    return 2;
  }
  const std::string name = argv[first];
  Command command;
  if (name == "-h" || name == "--help" || name == "help") {
    if (first + 1 < argc && CommandNamed(argv[first + 1], &command)) {
      Print(CommandHelp(command));
    } else if (first + 1 < argc) {
      return Usage(std::string("no command '") + argv[first + 1] + "' (see 'zvxhost --help')");
    } else {
      Print(MAIN_HELP);
    }
    return 0;
  }
  if (!CommandNamed(name, &command)) {
    return Usage("unknown command '" + name + "' (see 'zvxhost --help')");
  }
  Options options;
  std::string error;
  if (!ParseOptions(command, argc - first - 1, argv + first + 1, &options, &error)) return Usage(error);
  if (options.help) {
    Print(CommandHelp(command));
    return 0;
  }
  if (!worker) return Supervise(options);

  const std::string& plugin = options.plugins.front();
  int status = command == Command::Check    ? CheckPlugin(options, plugin)
               : command == Command::Render ? RenderPlugin(options, plugin)
                                            : RunPlugin(options, plugin);
  FinishWorker();
  return status;
}
