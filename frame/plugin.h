// The records exchanged with the host and the entry points every plug-in provides.
#pragma once

#include <cstdint>

#include "platform.h"

#ifdef _WIN32
#define PLUGIN_CALL __cdecl
#else
#define PLUGIN_CALL
#endif

// Passed by value (seven 32-bit words) to Init and Config.
struct ViewInfo {
  int32_t width;
  int32_t height;
  uint32_t hostWord2;
  HWND ownerWindow;
  uint32_t hostWord4;
  const char* profilePath;
  uint32_t hostWord6;
};

typedef void(PLUGIN_CALL* InitProc)(ViewInfo view);
typedef void(PLUGIN_CALL* QuitProc)();
typedef bool(PLUGIN_CALL* ConfigProc)(ViewInfo view);
typedef void(PLUGIN_CALL* DrawProc)(uint32_t hostArg1, uint32_t hostArg2, HDC dc);

// Lives in the host's memory; Stat fills all but the reserved words.
struct PluginInfo {
  uint32_t version;
  uint32_t reserved[2];
  const char* name;
  const char* configLabel;
  InitProc Init;
  QuitProc Quit;
  ConfigProc Config;
  DrawProc Draw;
};

#ifdef _WIN32
static_assert(sizeof(ViewInfo) == 28, "the host passes ViewInfo as 28 bytes");
static_assert(sizeof(PluginInfo) == 36, "the host reserves 36 bytes for PluginInfo");
#endif

constexpr uint32_t PLUGIN_VERSION = 0x00010001;

extern HINSTANCE moduleInstance;
// The most recent ViewInfo given to Init or Config. Its profilePath is only valid
// during the call that delivered it.
extern ViewInfo recordedView;

void RecordView(const ViewInfo& view);

// Defined by each effect.
void PLUGIN_CALL Init(ViewInfo view);
void PLUGIN_CALL Quit();
void PLUGIN_CALL Draw(uint32_t hostArg1, uint32_t hostArg2, HDC dc);

// Defined by the frame.
bool PLUGIN_CALL Config(ViewInfo view);
extern "C" int32_t WINAPI Stat(PluginInfo* info);
