// A fuzzed session with one plug-in over the recording stand-in: the fuzzer's bytes
// choose the host's calls (Init, Draw, Config, Quit), the view sizes, what the profile
// file holds and what the user leaves in the settings dialog. The session checks what
// every plug-in shares (the held setting, the profile, the DC's pen); each target adds
// the checks of its effect.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin.h"

struct EffectChecks {
  void (*afterInit)(const ViewInfo& view);
  void (*beforeDraw)();
  void (*afterDraw)(bool running);  // running: between Init and Quit
  void (*afterQuit)();
};

int RunSession(const uint8_t* data, size_t size, const EffectChecks& checks);

// Ends the run with a message when a check fails: libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                          \
  do {                                                                 \
    if (!(condition)) FuzzCheckFailed(#condition, __FILE__, __LINE__); \
  } while (0)
[[noreturn]] void FuzzCheckFailed(const char* condition, const char* file, int line);
