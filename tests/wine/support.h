// Helpers for tests that drive the shipped plug-ins through the real Win32 API.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin_host.h"

// The folder of the test program, where the build puts the .zvx files too.
std::string OutputDir();
std::string ShippedPath(const std::string& fileName);

// Loads a shipped plug-in and fixes its tick count; fails the test when it cannot.
LoadedPlugin LoadShipped(const std::string& fileName, DWORD tick = 0);

// The tick count whose seeding makes the next draw return `value` (0 to 32767).
DWORD TickForFirstDraw(int32_t value);

// A profile file in the temporary folder, removed again at the end of the test.
struct TempProfile {
  explicit TempProfile(const std::string& content);
  ~TempProfile();
  TempProfile(const TempProfile&) = delete;
  TempProfile& operator=(const TempProfile&) = delete;
  std::string Read() const;
  std::string path;  // absolute
};

// One record of an enhanced metafile: its type and its parameter words.
struct EmfRecord {
  DWORD type;
  std::vector<DWORD> params;
};

// Runs `draw` on a fresh enhanced-metafile DC and returns what it recorded, without
// the header and end records.
std::vector<EmfRecord> RecordEmf(const std::function<void(HDC)>& draw);
std::vector<EmfRecord> RecordsOfType(const std::vector<EmfRecord>& records, DWORD type);

// Calls `config` (which opens a modal dialog on this thread) while a second thread
// waits for the dialog and hands it to `act`, which must end it. Returns what
// `config` returned. A dialog that never comes or is not ended fails the test; a
// dialog left open is cancelled so that the test goes on.
uint32_t WithDialog(const std::function<uint32_t()>& config, const std::function<void(HWND dialog)>& act);

// Posts the keys or click that end a dialog the way a person would.
void ClickButton(HWND dialog, int id);
void PressKey(HWND dialog, WPARAM key);  // to the focused field: VK_RETURN, VK_ESCAPE
void CloseBox(HWND dialog);
// Replaces the field's text by typing `text` into it.
void TypeInto(HWND dialog, int id, const std::string& text);
std::string FieldText(HWND dialog, int id);

// The seven words of a ViewInfo, as pushed for a call by value.
std::vector<uint32_t> ViewWords(const ViewInfo& view);

// A test of one shipped plug-in, started on a profile file of its own. At the end the
// effect is stopped and the plug-in unloaded.
class ShippedEffectTest : public testing::Test {
 protected:
  void TearDown() override;
  // Loads `file` with the tick fixed at `tick`, writes the profile and calls Init.
  void Start(const char* file, const std::string& profileText, int width, int height, DWORD tick);
  // One Draw on a fresh enhanced-metafile DC.
  std::vector<EmfRecord> DrawRecorded();

  LoadedPlugin plugin;
  std::unique_ptr<TempProfile> profile;
};
