// line.zvx on the real GDI: its setting from a real profile file, the calls of one
// frame as a metafile records them, and what a frame leaves in a memory DC.
#include <gtest/gtest.h>

#include <memory>

#include "canvas.h"
#include "random.h"
#include "support.h"

namespace {

const DWORD TICK = 12345;
const COLORREF TEAL = 0x00C0C000;

struct Segment {
  POINT from;
  POINT to;
};

// The first frame of `count` points that Init places from `tick`: per point the draws
// give x, y, then the signs of dx and dy; the frame bends each velocity by one unit
// toward the centre and moves.
std::vector<Segment> PredictFirstFrame(DWORD tick, int count, LONG width, LONG height) {
  uint32_t state = tick;
  auto draw = [&state] {
    state = NextRandomState(state);
    return RandomValue(state);
  };
  auto toward = [](LONG at, LONG center) { return at < center ? 1 : at > center ? -1 : 0; };
  std::vector<Segment> frame;
  for (int i = 0; i < count; ++i) {
    const LONG x = draw() % width;
    const LONG y = draw() % height;
    const LONG dx = (draw() % 2 != 0 ? 1 : -1) + toward(x, width / 2);
    const LONG dy = (draw() % 2 != 0 ? 1 : -1) + toward(y, height / 2);
    frame.push_back({{x, y}, {x + dx, y + dy}});
  }
  return frame;
}

class LineOnWin32 : public ShippedEffectTest {
 protected:
  void Start(const std::string& profileText, int width = 800, int height = 600, DWORD tick = TICK) {
    ShippedEffectTest::Start("line.zvx", profileText, width, height, tick);
  }
};

TEST_F(LineOnWin32, CountComesFromTheProfileFileClamped) {
  const std::pair<const char*, size_t> cases[] = {
      {"", 1024},           {"[Other]\nline=7\n", 1024}, {"[Test]\nline=7\n", 7},
      {"[Test]\nline=0\n", 1}, {"[Test]\nline=5000\n", 4096},
  };
  for (auto [text, count] : cases) {
    SCOPED_TRACE(text);
    Start(text);
    EXPECT_EQ(RecordsOfType(DrawRecorded(), EMR_LINETO).size(), count);
    plugin.info.Quit();
    ClosePlugin(&plugin);
  }
}

TEST_F(LineOnWin32, FrameOnAMetafileUsesOneTealPenAndGivesItBack) {
  Start("[Test]\nline=3\n");
  const std::vector<Segment> expected = PredictFirstFrame(TICK, 3, 800, 600);
  std::vector<EmfRecord> records = RecordEmf([&](HDC dc) {
    HPEN hostPen = CreatePen(PS_DASH, 0, RGB(255, 0, 0));  // metafile object 1
    SelectObject(dc, hostPen);
    plugin.info.Draw(0, 0, dc);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(hostPen);
  });

  // Host pen created and selected, then the frame: its pen is metafile object 2.
  ASSERT_GE(records.size(), 2u + 2 + 6 + 2);
  size_t at = 2;
  EXPECT_EQ(records[at].type, static_cast<DWORD>(EMR_CREATEPEN));
  const std::vector<DWORD> pen = {2, PS_SOLID, 0, 0, TEAL};
  EXPECT_EQ(records[at++].params, pen);
  EXPECT_EQ(records[at].type, static_cast<DWORD>(EMR_SELECTOBJECT));
  EXPECT_EQ(records[at++].params, std::vector<DWORD>{2});
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    const Segment& s = expected[i];
    EXPECT_EQ(records[at].type, static_cast<DWORD>(EMR_MOVETOEX));
    EXPECT_EQ(records[at++].params, (std::vector<DWORD>{DWORD(s.from.x), DWORD(s.from.y)}));
    EXPECT_EQ(records[at].type, static_cast<DWORD>(EMR_LINETO));
    EXPECT_EQ(records[at++].params, (std::vector<DWORD>{DWORD(s.to.x), DWORD(s.to.y)}));
  }
  EXPECT_EQ(records[at].type, static_cast<DWORD>(EMR_SELECTOBJECT));
  EXPECT_EQ(records[at++].params, std::vector<DWORD>{1}) << "the host's pen back";
  EXPECT_EQ(records[at].type, static_cast<DWORD>(EMR_DELETEOBJECT));
  EXPECT_EQ(records[at++].params, std::vector<DWORD>{2});
}

TEST_F(LineOnWin32, FramesLeaveTheHostPenAndEndAtTheLastPoint) {
  Start("[Test]\nline=3\n");
  const std::vector<Segment> expected = PredictFirstFrame(TICK, 3, 800, 600);
  ASSERT_TRUE(WatchPens(plugin.module));
  Canvas canvas;
  ASSERT_TRUE(CreateCanvas(800, 600, &canvas));
  ClearCanvas(canvas, 0x000000);
  HPEN hostPen = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
  HGDIOBJ original = SelectObject(canvas.dc, hostPen);

  plugin.info.Draw(0, 0, canvas.dc);
  POINT at;
  ASSERT_TRUE(GetCurrentPositionEx(canvas.dc, &at));
  EXPECT_EQ(at.x, expected.back().to.x);
  EXPECT_EQ(at.y, expected.back().to.y);
  EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), hostPen);
  // A segment covers its start pixel, in teal.
  for (const Segment& s : expected) {
    if (s.from.x != s.to.x || s.from.y != s.to.y) {
      EXPECT_EQ(GetPixel(canvas.dc, s.from.x, s.from.y), TEAL);
    }
  }

  for (int frame = 0; frame < 500; ++frame) {
    plugin.info.Draw(0, 0, canvas.dc);
    ASSERT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), hostPen) << "frame " << frame;
    ASSERT_EQ(LivePens(), 0) << "frame " << frame;
  }
  SelectObject(canvas.dc, original);
  DeleteObject(hostPen);
  DestroyCanvas(&canvas);
}

TEST_F(LineOnWin32, CallsOutsideTheOrderDoNotCrash) {
  plugin = LoadShipped("line.zvx");
  ASSERT_TRUE(WatchPens(plugin.module));
  EXPECT_TRUE(RecordsOfType(DrawRecorded(), EMR_LINETO).empty());  // Draw before Init
  profile = std::make_unique<TempProfile>("[Test]\nline=8\n");
  plugin.info.Init(MakeView(800, 600, nullptr, profile->path.c_str()));
  plugin.info.Init(MakeView(800, 600, nullptr, profile->path.c_str()));
  plugin.info.Quit();
  EXPECT_TRUE(RecordsOfType(DrawRecorded(), EMR_LINETO).empty());  // Draw after Quit
  plugin.info.Quit();
  plugin.info.Init(MakeView(0, -1, nullptr, profile->path.c_str()));  // no size at all
  EXPECT_EQ(RecordsOfType(DrawRecorded(), EMR_LINETO).size(), 8u);
  plugin.info.Quit();
  EXPECT_EQ(LivePens(), 0);
}

}  // namespace
