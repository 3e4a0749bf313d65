// The commands as a worker process carries them out, one plug-in each. Each returns
// the process's exit status; a plug-in that crashes or hangs never returns here, and
// the parent reports it (supervise.h).
#pragma once

#include <string>

#include "options.h"
#include "plugin_host.h"

int CheckPlugin(const Options& options, const std::string& plugin);
int RenderPlugin(const Options& options, const std::string& plugin);
int RunPlugin(const Options& options, const std::string& plugin);

// The check's line for one item, printed by the worker or, after a crash, the parent.
std::string CheckLine(const std::string& plugin, bool passed, const std::string& item, const std::string& evidence);
// The number of items a full check has.
int CheckItemCount();

// The profile file for render and run: the one asked for, else zvxhost.ini here.
std::string ProfilePath(const Options& options);
// Opens the plug-in and fixes its tick as the options say, reporting what fails on
// standard error. False when the plug-in cannot be used.
bool OpenForCommand(const Options& options, const std::string& path, LoadedPlugin* plugin);
// "zvxhost: FILE: what went wrong", on standard error; returns exit status 1.
int FailPlugin(const std::string& plugin, const std::string& problem);
