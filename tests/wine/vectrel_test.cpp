// vectrel.zvx on the real GDI: the records of one frame, its text from a real profile
// file, and the state of the device context it leaves behind.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "random.h"
#include "support.h"

namespace {

const DWORD TICK = 20261211;
const int VERTICES = 16;
const int SNAPSHOTS = 8;
// 表示テスト in code page 932 (表 has the trail byte 0x5C) and in UTF-16.
const char HYOJI_TESUTO[] = "\x95\x5c\x8e\xa6\x83\x65\x83\x58\x83\x67";
const std::wstring HYOJI_TESUTO_UTF16 = {0x8868, 0x793A, 0x30C6, 0x30B9, 0x30C8};

struct Placement {
  LONG textX, textY;
  POINT vertices[VERTICES];
  int dx[VERTICES], dy[VERTICES];
};

// Where the effect's Init puts the text and the outline for a tick, taking the draws
// in its order: text place, text speed, then place and directions of each vertex.
Placement PredictStart(DWORD tick, LONG width, LONG height) {
  uint32_t state = tick;
  auto next = [&] {
    state = NextRandomState(state);
    return RandomValue(state);
  };
  Placement s;
  s.textX = next() % width;
  s.textY = next() % height;
  next();  // the text's speed
  next();
  for (int v = 0; v < VERTICES; ++v) {
    s.vertices[v].x = next() % width;
    s.vertices[v].y = next() % height;
    s.dx[v] = next() % 2 ? 1 : -1;
    s.dy[v] = next() % 2 ? 1 : -1;
  }
  return s;
}

std::string Profile(const std::string& value) { return "[BG01]\r\nstring=" + value + "\r\n"; }

// What reached the plug-in's TextOutA, byte for byte.
struct TextCall {
  int x, y;
  std::string bytes;
};
std::vector<TextCall> textCalls;

BOOL WINAPI CapturingTextOut(HDC dc, int x, int y, LPCSTR text, int length) {
  textCalls.push_back({x, y, std::string(text, length)});
  return TextOutA(dc, x, y, text, length);
}

class VectrelOnWin32 : public ShippedEffectTest {
 protected:
  void Start(const std::string& profileText, DWORD tick = TICK) {
    ShippedEffectTest::Start("vectrel.zvx", profileText, 640, 480, tick);
    textCalls.clear();
    ASSERT_NE(ReplaceImport(plugin.module, "GDI32.dll", "TextOutA", reinterpret_cast<void*>(&CapturingTextOut)),
              nullptr);
  }
};

std::wstring FromCodePage932(const std::string& bytes) {
  std::wstring wide(bytes.size(), L'\0');
  int length = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                                   static_cast<int>(wide.size()));
  wide.resize(length);
  return wide;
}

TEST_F(VectrelOnWin32, OneDrawRecordsPenOutlinesTextAndCleanUp) {
  Start(Profile(HYOJI_TESUTO));
  const Placement expected = PredictStart(TICK, 640, 480);
  const std::vector<EmfRecord> records = RecordEmf([&](HDC dc) { plugin.info.Draw(0, 0, dc); });
  ASSERT_EQ(records.size(), 2u + SNAPSHOTS * (1 + VERTICES) + 3);

  const EmfRecord& create = records[0];
  ASSERT_EQ(create.type, static_cast<DWORD>(EMR_CREATEPEN));
  const DWORD pen = create.params[0];
  EXPECT_EQ(create.params[1], static_cast<DWORD>(PS_SOLID));
  EXPECT_EQ(create.params[2], 0u) << "width 0";
  EXPECT_EQ(create.params[4], 0x00C000u);
  ASSERT_EQ(records[1].type, static_cast<DWORD>(EMR_SELECTOBJECT));
  EXPECT_EQ(records[1].params[0], pen);

  // All snapshots are equal right after Init: eight times the same closed outline.
  size_t at = 2;
  for (int s = 0; s < SNAPSHOTS; ++s) {
    SCOPED_TRACE(testing::Message() << "snapshot " << s);
    ASSERT_EQ(records[at].type, static_cast<DWORD>(EMR_MOVETOEX));
    EXPECT_EQ(static_cast<LONG>(records[at].params[0]), expected.vertices[VERTICES - 1].x);
    EXPECT_EQ(static_cast<LONG>(records[at].params[1]), expected.vertices[VERTICES - 1].y);
    ++at;
    for (int v = 0; v < VERTICES; ++v, ++at) {
      ASSERT_EQ(records[at].type, static_cast<DWORD>(EMR_LINETO));
      EXPECT_EQ(static_cast<LONG>(records[at].params[0]), expected.vertices[v].x) << "vertex " << v;
      EXPECT_EQ(static_cast<LONG>(records[at].params[1]), expected.vertices[v].y) << "vertex " << v;
    }
  }

  // Wine records TextOutA as its wide form; EMREXTTEXTOUTW's text block starts at word 7.
  const EmfRecord& text = records[at++];
  ASSERT_EQ(text.type, static_cast<DWORD>(EMR_EXTTEXTOUTW));
  EXPECT_EQ(static_cast<LONG>(text.params[7]), expected.textX);
  EXPECT_EQ(static_cast<LONG>(text.params[8]), expected.textY);
  const DWORD chars = text.params[9];
  const DWORD offset = text.params[10] - 8;  // from the record's start; params skip 8 bytes
  ASSERT_LE(offset + chars * 2, text.params.size() * 4);
  const std::wstring drawn(reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(text.params.data()) + offset),
                           chars);
  EXPECT_EQ(drawn, FromCodePage932(HYOJI_TESUTO));
  EXPECT_EQ(drawn, HYOJI_TESUTO_UTF16);

  ASSERT_EQ(records[at].type, static_cast<DWORD>(EMR_SELECTOBJECT));
  EXPECT_EQ(records[at].params[0], 0x80000000u | BLACK_PEN) << "the metafile DC's own pen, back";
  ++at;
  ASSERT_EQ(records[at].type, static_cast<DWORD>(EMR_DELETEOBJECT));
  EXPECT_EQ(records[at].params[0], pen);
}

TEST_F(VectrelOnWin32, TextComesByteExactFromTheProfileFile) {
  // Only the Japanese code page makes the profile functions read these as double bytes.
  ASSERT_EQ(GetACP(), 932u);
  const std::string long300(300, 'a');
  const struct {
    const char* name;
    std::string file;
    std::string drawn;
  } cases[] = {
      {"Japanese, with a 0x5C trail byte", Profile(HYOJI_TESUTO), HYOJI_TESUTO},
      {"ending in 表", Profile("\x90\x7d\x95\x5c"), "\x90\x7d\x95\x5c"},  // 図表
      {"300 bytes", Profile(long300), std::string(255, 'a')},
      {"no key", "[BG01]\r\nother=1\r\n", "Velmora"},
      {"no file content", "", "Velmora"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Start(c.file);
    HDC dc = CreateCompatibleDC(nullptr);
    plugin.info.Draw(0, 0, dc);
    DeleteDC(dc);
    ASSERT_EQ(textCalls.size(), 1u);
    EXPECT_EQ(textCalls[0].bytes, c.drawn);
    EXPECT_EQ(profile->Read(), c.file) << "loading leaves the file alone";
    plugin.info.Quit();
    ClosePlugin(&plugin);
  }
}

TEST_F(VectrelOnWin32, LeavesTheHostsPenAndTheLastLinesEndOverManyFrames) {
  Start(Profile("Velmora"));
  ASSERT_TRUE(WatchPens(plugin.module));
  const Placement start = PredictStart(TICK, 640, 480);
  HDC dc = CreateCompatibleDC(nullptr);
  HPEN hostPen = CreatePen(PS_DASH, 1, RGB(255, 0, 0));
  HGDIOBJ original = SelectObject(dc, hostPen);
  MoveToEx(dc, 1, 2, nullptr);

  for (int frame = 0; frame < 300; ++frame) {
    plugin.info.Draw(0, 0, dc);
    ASSERT_EQ(GetCurrentObject(dc, OBJ_PEN), hostPen) << "frame " << frame;
    ASSERT_EQ(LivePens(), 0) << "frame " << frame;
    POINT at;
    GetCurrentPositionEx(dc, &at);
    // The last line ends at vertex 15 of the oldest snapshot: the start for seven
    // frames, then the outline after its first move.
    if (frame < 7) {
      EXPECT_EQ(at.x, start.vertices[VERTICES - 1].x) << "frame " << frame;
      EXPECT_EQ(at.y, start.vertices[VERTICES - 1].y) << "frame " << frame;
    } else if (frame == 7) {
      EXPECT_EQ(at.x, start.vertices[VERTICES - 1].x + 8 * start.dx[VERTICES - 1]);
      EXPECT_EQ(at.y, start.vertices[VERTICES - 1].y + 8 * start.dy[VERTICES - 1]);
    }
  }
  EXPECT_EQ(textCalls.size(), 300u);
  SelectObject(dc, original);
  DeleteObject(hostPen);
  DeleteDC(dc);
}

TEST_F(VectrelOnWin32, DrawTakesItsDrawsFromTheThreadItRunsOn) {
  // The text starts at x 600, beyond the right-hand bound 640 - 8 * 7 = 584, so the
  // first Draw draws a new speed, which shows as the step from the second to the third.
  const DWORD tick = TickForFirstDraw(600);
  uint32_t state = tick;
  for (int i = 0; i < 4 + 4 * VERTICES + 1; ++i) state = NextRandomState(state);
  const int seededSpeed = -(RandomValue(state) % 8) - 2;
  const int freshSpeed = -(41 % 8) - 2;  // first draw of a thread that never seeded: 41
  ASSERT_NE(seededSpeed, freshSpeed) << "choose a tick that tells the two apart";

  Start(Profile("Velmora"), tick);
  std::thread other([&] {
    HDC dc = CreateCompatibleDC(nullptr);
    for (int frame = 0; frame < 3; ++frame) plugin.info.Draw(0, 0, dc);
    DeleteDC(dc);
  });
  other.join();
  ASSERT_EQ(textCalls.size(), 3u);
  EXPECT_EQ(textCalls[0].x, 600);
  EXPECT_EQ(textCalls[2].x - textCalls[1].x, freshSpeed);
}

}  // namespace
