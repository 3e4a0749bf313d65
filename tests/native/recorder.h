// A recording stand-in for the Win32 calls of the native build: every GDI call is
// kept in order, the profile file is a map, the tick count and dialog are set by tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform.h"

enum class Op { SetPixel, CreatePen, SelectObject, DeleteObject, MoveTo, LineTo, TextOut };

struct GdiCall {
  Op op;
  int x = 0;
  int y = 0;
  uint32_t colour = 0;    // SetPixel and CreatePen
  HGDIOBJ object = nullptr;  // SelectObject and DeleteObject
  std::string text;       // TextOut, the bytes given with their length
};

struct Recorder {
  std::vector<GdiCall> calls;
  // Profile entries keyed "section/key"; a missing entry is a missing key.
  std::map<std::string, std::string> profile;
  std::vector<std::string> profilePathsUsed;
  DWORD tick = 0;
  HGDIOBJ initialPen = reinterpret_cast<HGDIOBJ>(0x1000);
  HGDIOBJ selectedPen = reinterpret_cast<HGDIOBJ>(0x1000);
  int livePens = 0;  // created and not yet deleted
  // The settings dialog: without `dialogOpens` it fails to open, as if its resource
  // were missing. Otherwise it shows the setting, the user leaves `dialogField` in the
  // field and ends it with `dialogButton`.
  bool dialogOpens = false;
  std::string dialogField;
  int dialogButton = IDOK;
  std::string dialogShown;  // what the field showed when the dialog opened
};

extern Recorder recorder;

// Clears the calls and the profile and puts the DC back in its initial state.
void ResetRecorder();
HDC TestDc();
std::vector<GdiCall> CallsOf(Op op);
