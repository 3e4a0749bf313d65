// The text and outline effect and its text setting, over the recording stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "deliverable.h"
#include "plugin.h"
#include "random.h"
#include "expect_pen.h"
#include "recorder.h"
#include "settings.h"
#include "vectrel.h"

namespace {

const char PROFILE[] = "vectrel-test.ini";
const char KEY[] = "BG01/string";
const char HYOJI[] = "\x95\x5c\x8e\xa6";  // 表示 in code page 932; 0x5C is a trail byte
const DWORD TICK = 20261211;

ViewInfo View(int32_t width, int32_t height) { return ViewInfo{width, height, 0, nullptr, 0, PROFILE, 0}; }

// The generator's draws from a given state, as the effect will see them.
struct Draws {
  uint32_t state;
  int32_t Next() {
    state = NextRandomState(state);
    return RandomValue(state);
  }
};

struct Placement {
  int32_t textX, textY, textVX, textVY;
  Vertex vertices[VERTEX_COUNT];
  Direction directions[VERTEX_COUNT];
};

// Where Init puts everything for a tick, following its order of draws.
Placement PredictInit(DWORD tick, int32_t width, int32_t height) {
  Draws r{tick};
  Placement p;
  p.textX = r.Next() % width;
  p.textY = r.Next() % height;
  p.textVX = r.Next() % 16 - 8;
  p.textVY = r.Next() % 16 - 8;
  for (int v = 0; v < VERTEX_COUNT; ++v) {
    p.vertices[v].x = r.Next() % width;
    p.vertices[v].y = r.Next() % height;
    p.directions[v].dx = r.Next() % 2 ? 1 : -1;
    p.directions[v].dy = r.Next() % 2 ? 1 : -1;
  }
  return p;
}

class VectrelTest : public testing::Test {
 protected:
  void SetUp() override { ResetRecorder(); }
  void TearDown() override { Quit(); }

  void Start(int32_t width, int32_t height, DWORD tick = TICK) {
    recorder.tick = tick;
    Init(View(width, height));
  }

  std::vector<GdiCall> DrawFrame() {
    recorder.calls.clear();
    Draw(0, 0, TestDc());
    return recorder.calls;
  }

  // Puts the text at a place with a speed, skipping the random start.
  void PlaceText(const char* bytes, int32_t x, int32_t y, int32_t vx, int32_t vy) {
    std::strcpy(text, bytes);
    textX = x;
    textY = y;
    textVX = vx;
    textVY = vy;
  }
};

// The outlines a frame drew, each as its 16 vertices, checking that each is closed.
std::vector<std::vector<std::pair<int, int>>> OutlinesOf(const std::vector<GdiCall>& calls) {
  std::vector<std::vector<std::pair<int, int>>> outlines;
  for (size_t at = 0; at < calls.size(); ++at) {
    if (calls[at].op != Op::MoveTo) continue;
    std::vector<std::pair<int, int>> outline;
    for (size_t v = 0; v < VERTEX_COUNT && at + 1 + v < calls.size(); ++v) {
      EXPECT_EQ(calls[at + 1 + v].op, Op::LineTo);
      outline.emplace_back(calls[at + 1 + v].x, calls[at + 1 + v].y);
    }
    EXPECT_EQ(outline.size(), size_t(VERTEX_COUNT));
    if (!outline.empty()) {
      EXPECT_EQ(std::make_pair(calls[at].x, calls[at].y), outline.back()) << "starts at vertex 15";
    }
    outlines.push_back(outline);
  }
  return outlines;
}

TEST_F(VectrelTest, FirstFrameDrawsTheSeededOutlineEightTimesThenTheText) {
  Start(640, 480);
  const Placement p = PredictInit(TICK, 640, 480);
  EXPECT_EQ(textX, p.textX);
  EXPECT_EQ(textY, p.textY);
  EXPECT_EQ(textVX, p.textVX);
  EXPECT_EQ(textVY, p.textVY);
  for (int v = 0; v < VERTEX_COUNT; ++v) {
    EXPECT_EQ(vertexVelocity[v].dx, p.directions[v].dx) << "vertex " << v;
    EXPECT_EQ(vertexVelocity[v].dy, p.directions[v].dy) << "vertex " << v;
  }

  const std::vector<GdiCall> calls = DrawFrame();
  ASSERT_EQ(calls.size(), 2u + HISTORY_LENGTH * (1 + VERTEX_COUNT) + 3);
  ExpectOwnPenFrame(calls, 0x00C000u);

  const auto outlines = OutlinesOf(calls);
  ASSERT_EQ(outlines.size(), size_t(HISTORY_LENGTH));
  for (const auto& outline : outlines) {
    for (int v = 0; v < VERTEX_COUNT; ++v) {
      EXPECT_EQ(outline[v], std::make_pair(p.vertices[v].x, p.vertices[v].y)) << "vertex " << v;
    }
  }

  const GdiCall& textCall = calls[calls.size() - 3];
  EXPECT_EQ(textCall.op, Op::TextOut);
  EXPECT_EQ(textCall.x, p.textX);
  EXPECT_EQ(textCall.y, p.textY);
  EXPECT_EQ(textCall.text, "Velmora");
}

TEST_F(VectrelTest, SnapshotsTrailTheLiveOutlineFrameByFrame) {
  Start(640, 480);
  std::vector<std::vector<std::pair<int, int>>> live;  // the live outline drawn in each frame
  for (int frame = 0; frame < 12; ++frame) {
    const auto outlines = OutlinesOf(DrawFrame());
    ASSERT_EQ(outlines.size(), size_t(HISTORY_LENGTH));
    live.push_back(outlines[0]);
    EXPECT_EQ(outlines[1], outlines[0]) << "frame " << frame;
    for (int s = 2; s < HISTORY_LENGTH; ++s) {
      // Snapshot s shows the live outline of s - 1 frames ago, or the start.
      const int from = std::max(frame - (s - 1), 0);
      EXPECT_EQ(outlines[s], live[from]) << "frame " << frame << ", snapshot " << s;
    }
  }
  EXPECT_NE(live[1], live[0]) << "the outline moves";
}

TEST_F(VectrelTest, VerticesTurnBeyondABoundAndComeBack) {
  struct Case {
    bool onX;
    int32_t start;
    int32_t direction;
    int32_t afterTurn;  // position after the first frame; the direction then flips
  };
  const Case cases[] = {
      {true, 637, +1, 645}, {true, 632, +1, 640}, {true, 3, -1, -5}, {true, 0, -1, -8},
      {false, 477, +1, 485}, {false, 472, +1, 480}, {false, 3, -1, -5}, {false, 0, -1, -8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.onX ? "x " : "y ") + std::to_string(c.start));
    Start(640, 480);
    Vertex& vertex = history[0][5];
    int32_t& position = c.onX ? vertex.x : vertex.y;
    int32_t& direction = c.onX ? vertexVelocity[5].dx : vertexVelocity[5].dy;
    position = c.start;
    direction = c.direction;
    DrawFrame();
    EXPECT_EQ(position, c.afterTurn);
    EXPECT_EQ(direction, -c.direction);
    DrawFrame();
    EXPECT_EQ(position, c.start);
    EXPECT_EQ(direction, -c.direction);
    Quit();
  }
  // Inside the view nothing turns.
  Start(640, 480);
  history[0][0] = {320, 240};
  vertexVelocity[0] = {+1, -1};
  DrawFrame();
  EXPECT_EQ(history[0][0].x, 328);
  EXPECT_EQ(history[0][0].y, 232);
  EXPECT_EQ(vertexVelocity[0].dx, +1);
  EXPECT_EQ(vertexVelocity[0].dy, -1);
}

TEST_F(VectrelTest, TextBounceTestsDrawOnlyWhenTheyHold) {
  // From state 1 the draws are 41, 18467, 6334: r % 8 gives 1, 3, 6.
  struct Case {
    const char* name;
    const char* bytes;
    int32_t x, y, vx, vy;
    int32_t newVX, newVY;
    int draws;
  };
  // On 640 x 480, "Velmora" (7 bytes) bounces at x > 584 and y > 464.
  const Case cases[] = {
      {"inside", "Velmora", 100, 100, 3, -2, 3, -2, 0},
      {"still inside", "Velmora", 100, 100, 0, 0, 0, 0, 0},
      {"right", "Velmora", 580, 100, 5, 1, -3, 1, 1},
      {"right edge itself", "Velmora", 579, 100, 5, 1, 5, 1, 0},
      {"right at speed 0", "Velmora", 585, 100, 0, 0, -3, 0, 1},
      {"bottom", "Velmora", 100, 460, 1, 5, 1, -3, 1},
      {"bottom edge itself", "Velmora", 100, 459, 1, 5, 1, 5, 0},
      {"left", "Velmora", 1, 100, -2, 1, 3, 1, 1},
      {"left edge itself", "Velmora", 2, 100, -2, 1, -2, 1, 0},
      {"top", "Velmora", 100, 3, 1, -4, 1, 3, 1},
      {"top edge itself", "Velmora", 100, 4, 1, -4, 1, -4, 0},
      {"bottom right, x first", "Velmora", 583, 463, 7, 7, -3, -5, 2},
      {"top left, x first", "Velmora", 3, 3, -5, -5, 3, 5, 2},
      // The right-hand bound counts bytes: 4 bytes put it at 608, 2 characters would at 624.
      {"right, code-page-932 bytes", HYOJI, 605, 100, 5, 0, -3, 0, 1},
      {"empty text, right", "", 638, 100, 3, 0, -3, 0, 1},
      {"empty text, at the right edge", "", 637, 100, 3, 0, 3, 0, 0},
  };
  const int32_t sequence[] = {41, 18467, 6334};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Start(640, 480);
    PlaceText(c.bytes, c.x, c.y, c.vx, c.vy);
    SeedRandomSource(1);
    const std::vector<GdiCall> texts = [&] {
      DrawFrame();
      return CallsOf(Op::TextOut);
    }();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x, c.x);
    EXPECT_EQ(texts[0].y, c.y);
    EXPECT_EQ(texts[0].text, c.bytes);
    // Moved, never pulled back.
    EXPECT_EQ(textX, c.x + c.vx);
    EXPECT_EQ(textY, c.y + c.vy);
    EXPECT_EQ(textVX, c.newVX);
    EXPECT_EQ(textVY, c.newVY);
    EXPECT_EQ(DrawRandom(), sequence[c.draws]) << "draws taken";
    Quit();
  }
}

TEST_F(VectrelTest, TextWiderThanTheViewHoversAboutTheLeftEdge) {
  Start(640, 480);
  const std::string wide(100, 'W');  // 800 pixels
  PlaceText(wide.c_str(), 5, 200, 3, 0);
  int lowest = 0;
  int highest = 0;
  for (int frame = 0; frame < 300; ++frame) {
    DrawFrame();
    const std::vector<GdiCall> texts = CallsOf(Op::TextOut);
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(texts[0].text.size(), 100u);
    lowest = std::min(lowest, texts[0].x);
    highest = std::max(highest, texts[0].x);
  }
  EXPECT_GE(lowest, -9);
  EXPECT_LT(lowest, 0);
  EXPECT_LE(highest, 9);
  EXPECT_GT(highest, 0);
}

TEST_F(VectrelTest, EmptyTextDrawsNothingAndBouncesAcrossTheWholeWidth) {
  Start(100, 480);
  PlaceText("", 50, 200, 3, 0);
  int lowest = 50;
  int highest = 50;
  for (int frame = 0; frame < 500; ++frame) {
    DrawFrame();
    const std::vector<GdiCall> texts = CallsOf(Op::TextOut);
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_TRUE(texts[0].text.empty());
    lowest = std::min(lowest, texts[0].x);
    highest = std::max(highest, texts[0].x);
  }
  EXPECT_GE(lowest, -9);
  EXPECT_LT(lowest, 0);
  EXPECT_LE(highest, 109);
  EXPECT_GT(highest, 100);
}

TEST_F(VectrelTest, ShrunkViewBecomesTheBoundsAtTheNextFrame) {
  Start(640, 480);
  history[0][0] = {600, 400};
  vertexVelocity[0] = {+1, +1};
  PlaceText("Velmora", 500, 300, 3, 3);
  Config(View(200, 150));  // "Velmora" now bounces at x > 144 and y > 134

  DrawFrame();
  EXPECT_EQ(history[0][0].x, 608);
  EXPECT_EQ(history[0][0].y, 408);
  EXPECT_EQ(vertexVelocity[0].dx, -1);
  EXPECT_EQ(vertexVelocity[0].dy, -1);
  // Nothing is moved into the view: everything comes back at its own speed.
  int32_t previousX = 503;
  int32_t previousY = 303;
  int framesBeyond = 0;
  for (int frame = 1; frame < 200; ++frame) {
    DrawFrame();
    if (frame <= 76) {  // until it passes 0
      EXPECT_EQ(history[0][0].x, 608 - 8 * frame);
    }
    const GdiCall drawn = CallsOf(Op::TextOut).at(0);
    EXPECT_EQ(drawn.x, previousX);
    EXPECT_EQ(drawn.y, previousY);
    if (previousX > 144) {
      ++framesBeyond;
      EXPECT_LE(textX - previousX, -2);
      EXPECT_GE(textX - previousX, -9);
    }
    if (previousY > 134) {
      EXPECT_LE(textY - previousY, -2);
      EXPECT_GE(textY - previousY, -9);
    }
    previousX = textX;
    previousY = textY;
  }
  EXPECT_GT(framesBeyond, 30);
  EXPECT_LE(previousX, 144);
  EXPECT_LE(previousY, 134);
  // By now no vertex stands further out than one step.
  for (int frame = 0; frame < 40; ++frame) {
    DrawFrame();
    for (const Vertex& vertex : history[0]) {
      ASSERT_GE(vertex.x, -8);
      ASSERT_LE(vertex.x, 207);
      ASSERT_GE(vertex.y, -8);
      ASSERT_LE(vertex.y, 157);
    }
  }
}

TEST_F(VectrelTest, SizesBelowOneStartEverythingAtZeroOnThatAxis) {
  const Placement reference = PredictInit(TICK, 640, 480);
  const std::pair<int32_t, int32_t> sizes[] = {{0, 0}, {0, 480}, {640, 0}, {-640, -480}, {INT32_MIN, 480}};
  for (auto [width, height] : sizes) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    Start(width, height);
    const bool xRoom = width >= 1;
    const bool yRoom = height >= 1;
    EXPECT_EQ(textX, xRoom ? reference.textX : 0);
    EXPECT_EQ(textY, yRoom ? reference.textY : 0);
    EXPECT_EQ(textVX, reference.textVX);  // the same draws, in the same order
    EXPECT_EQ(textVY, reference.textVY);
    for (int v = 0; v < VERTEX_COUNT; ++v) {
      EXPECT_EQ(history[0][v].x, xRoom ? reference.vertices[v].x : 0);
      EXPECT_EQ(history[0][v].y, yRoom ? reference.vertices[v].y : 0);
      EXPECT_EQ(vertexVelocity[v].dx, reference.directions[v].dx);
    }
    for (int frame = 0; frame < 20; ++frame) {
      DrawFrame();
      ASSERT_EQ(CallsOf(Op::TextOut).size(), 1u);
    }
    Quit();
  }
}

TEST_F(VectrelTest, CallsOutsideTheOrderAreHarmless) {
  EXPECT_TRUE(DrawFrame().empty());  // before any Init
  Start(640, 480);
  EXPECT_FALSE(DrawFrame().empty());
  Quit();
  EXPECT_TRUE(DrawFrame().empty());  // after Quit
  Quit();
  EXPECT_TRUE(DrawFrame().empty());
  Start(640, 480);
  EXPECT_FALSE(DrawFrame().empty());
  EXPECT_EQ(recorder.livePens, 0);
}

TEST_F(VectrelTest, DrawTakesItsDrawsFromTheCallingThread) {
  Start(640, 480);
  PlaceText("Velmora", 590, 100, 0, 0);  // beyond the right-hand bound: one draw
  std::thread other([&] { DrawFrame(); });
  other.join();
  EXPECT_EQ(textVX, -(41 % 8) - 2) << "a thread that never seeded starts at state 1";
  // This thread's sequence goes on after Init's draws, untouched.
  Draws r{TICK};
  for (int i = 0; i < 4 + 4 * VERTEX_COUNT; ++i) r.Next();
  EXPECT_EQ(DrawRandom(), r.Next());
}

// The text setting, as the frame stores it for this deliverable.
class TextSettingTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetRecorder();
    recordedView = View(640, 480);
  }
};

TEST_F(TextSettingTest, LoadsTheStoredBytesCutTo255OrTheDefault) {
  const std::string long300(300, 'a');
  const std::string long255 = std::string(255, 'b');
  const std::string japanese = std::string(HYOJI) + "\x83\x65\x83\x58\x83\x67";  // 表示テスト
  std::string japanese300;
  for (int i = 0; i < 150; ++i) japanese300 += HYOJI;  // the cut at 255 splits a character
  const struct {
    const char* name;
    const std::string* stored;  // null: no key
    std::string loaded;
  } cases[] = {
      {"no key", nullptr, "Velmora"},
      {"300 bytes", &long300, std::string(255, 'a')},
      {"255 bytes", &long255, long255},
      {"code page 932", &japanese, japanese},
      {"300 bytes of two-byte characters", &japanese300, japanese300.substr(0, 254)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    recorder.profile.clear();
    if (c.stored != nullptr) recorder.profile[KEY] = *c.stored;
    std::memset(text, 'x', sizeof(text));
    LoadSetting();
    EXPECT_EQ(std::string(text), c.loaded);
  }
  EXPECT_EQ(recorder.profilePathsUsed.back(), PROFILE);

  recordedView.profilePath = nullptr;
  std::memset(text, 'x', sizeof(text));
  LoadSetting();
  EXPECT_STREQ(text, "Velmora");
}

TEST_F(TextSettingTest, SaveWritesTheHeldBytesUnchanged) {
  const std::string held = std::string(" \"") + HYOJI + " = x\" ";
  std::strcpy(text, held.c_str());
  SaveSetting();
  EXPECT_EQ(recorder.profile[KEY], held);
  EXPECT_EQ(recorder.profilePathsUsed.back(), PROFILE);
}

}  // namespace
