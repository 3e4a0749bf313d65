#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <atomic>
#include <iterator>
#include <thread>

#include "random.h"

std::string OutputDir() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, length);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string ShippedPath(const std::string& fileName) { return OutputDir() + fileName; }

LoadedPlugin LoadShipped(const std::string& fileName, DWORD tick) {
  LoadedPlugin plugin;
  std::string error;
  EXPECT_TRUE(OpenPlugin(ShippedPath(fileName).c_str(), &plugin, &error)) << error;
  if (plugin.module != nullptr) EXPECT_TRUE(FixTickCount(plugin.module, tick));
  return plugin;
}

DWORD TickForFirstDraw(int32_t value) {
  // The state after one step must have `value` in bits 16 to 30; invert the step.
  const uint32_t wanted = static_cast<uint32_t>(value) << 16;
  uint32_t inverse = 214013u;  // Newton's iteration for the inverse modulo 2^32
  for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
  const DWORD tick = (wanted - 2531011u) * inverse;
  EXPECT_EQ(RandomValue(NextRandomState(tick)), value);
  return tick;
}

TempProfile::TempProfile(const std::string& content) {
  char dir[MAX_PATH];
  char file[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  GetTempFileNameA(dir, "zvx", 0, file);
  path = file;
  std::ofstream(path, std::ios::binary) << content;
}

TempProfile::~TempProfile() { DeleteFileA(path.c_str()); }

std::string TempProfile::Read() const {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<EmfRecord> RecordEmf(const std::function<void(HDC)>& draw) {
  HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(dc, nullptr);
  draw(dc);
  HENHMETAFILE emf = CloseEnhMetaFile(dc);
  std::vector<BYTE> bytes(GetEnhMetaFileBits(emf, 0, nullptr));
  GetEnhMetaFileBits(emf, static_cast<UINT>(bytes.size()), bytes.data());
  DeleteEnhMetaFile(emf);

  std::vector<EmfRecord> records;
  for (size_t at = 0; at + 8 <= bytes.size();) {
    auto record = reinterpret_cast<const ENHMETARECORD*>(bytes.data() + at);
    if (record->nSize < 8 || at + record->nSize > bytes.size()) break;
    if (record->iType != EMR_HEADER && record->iType != EMR_EOF) {
      records.push_back({record->iType, std::vector<DWORD>(record->dParm, record->dParm + (record->nSize - 8) / 4)});
    }
    at += record->nSize;
  }
  return records;
}

std::vector<EmfRecord> RecordsOfType(const std::vector<EmfRecord>& records, DWORD type) {
  std::vector<EmfRecord> found;
  for (const EmfRecord& record : records) {
    if (record.type == type) found.push_back(record);
  }
  return found;
}

std::vector<uint32_t> ViewWords(const ViewInfo& view) {
  std::vector<uint32_t> words(7);
  std::memcpy(words.data(), &view, sizeof(view));
  return words;
}

static BOOL CALLBACK KeepDialog(HWND window, LPARAM found) {
  char name[16];
  // Visible only once WM_INITDIALOG is through and the modal loop runs.
  if (GetClassNameA(window, name, sizeof(name)) && std::strcmp(name, "#32770") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

static HWND FindDialogOf(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(thread, KeepDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

uint32_t WithDialog(const std::function<uint32_t()>& config, const std::function<void(HWND dialog)>& act) {
  const DWORD caller = GetCurrentThreadId();
  std::atomic<bool> returned(false);
  bool seen = false;
  bool ended = true;
  std::thread driver([&] {
    HWND dialog = nullptr;
    for (int wait = 0; wait < 1000 && dialog == nullptr && !returned; ++wait) {
      Sleep(10);
      dialog = FindDialogOf(caller);
    }
    if (dialog == nullptr) return;
    seen = true;
    act(dialog);
    for (int wait = 0; wait < 1000 && !returned; ++wait) Sleep(10);
    if (!returned) {
      ended = false;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  });
  const uint32_t result = config();
  returned = true;
  driver.join();
  EXPECT_TRUE(seen) << "no dialog opened";
  EXPECT_TRUE(ended) << "the dialog stayed open";
  return result;
}

void ClickButton(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PressKey(HWND dialog, WPARAM key) {
  HWND field = GetDlgItem(dialog, 1000);
  PostMessageA(field, WM_KEYDOWN, key, 1);
  PostMessageA(field, WM_KEYUP, key, 0xC0000001);
}

void CloseBox(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

void TypeInto(HWND dialog, int id, const std::string& text) {
  HWND field = GetDlgItem(dialog, id);
  SendMessageA(field, EM_SETSEL, 0, -1);
  SendMessageA(field, WM_CLEAR, 0, 0);
  for (unsigned char c : text) SendMessageA(field, WM_CHAR, c, 1);
}

std::string FieldText(HWND dialog, int id) {
  char text[1024];
  UINT length = GetDlgItemTextA(dialog, id, text, sizeof(text));
  return std::string(text, length);
}

void ShippedEffectTest::TearDown() {
  if (plugin.module != nullptr) plugin.info.Quit();
  ClosePlugin(&plugin);
}

void ShippedEffectTest::Start(const char* file, const std::string& profileText, int width, int height,
                              DWORD tick) {
  ClosePlugin(&plugin);
  plugin = LoadShipped(file, tick);
  ASSERT_NE(plugin.module, nullptr);
  profile = std::make_unique<TempProfile>(profileText);
  plugin.info.Init(MakeView(width, height, nullptr, profile->path.c_str()));
}

std::vector<EmfRecord> ShippedEffectTest::DrawRecorded() {
  return RecordEmf([&](HDC dc) { plugin.info.Draw(0, 0, dc); });
}
