#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "deliverable.h"
#include "particle.h"
#include "plugin.h"
#include "recorder.h"

namespace {

const char PROFILE[] = "particle-test.ini";

ViewInfo View(int32_t width, int32_t height) {
  return ViewInfo{width, height, 0, nullptr, 0, PROFILE, 0};
}

class ParticleTest : public testing::Test {
 protected:
  void SetUp() override { ResetRecorder(); }
  void TearDown() override { Quit(); }

  void Start(int32_t width, int32_t height, const char* count) {
    if (count != nullptr) recorder.profile["Particle/cnt"] = count;
    Init(View(width, height));
  }

  std::vector<GdiCall> DrawFrame() {
    recorder.calls.clear();
    Draw(0, 0, TestDc());
    return recorder.calls;
  }
};

struct Pixel {
  int x;
  int y;
};

TEST_F(ParticleTest, WorkedExamplesOn800x600) {
  struct Case {
    int32_t phase;
    std::vector<Pixel> pixels;
  };
  const Case cases[] = {
      {0, {{400, 300}, {400, 300}, {400, 300}, {400, 300}, {400, 300}, {400, 300}, {400, 300}}},
      {1000, {{372, 319}, {378, 313}, {383, 308}, {388, 302}, {393, 297}, {400, 291}, {405, 286},
              {411, 280}, {416, 275}, {422, 269}, {428, 264}, {433, 259}, {440, 253}, {446, 247},
              {451, 242}, {456, 237}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("phase " + std::to_string(c.phase));
    Start(800, 600, "1");
    Phases()[0] = c.phase;
    std::vector<GdiCall> calls = DrawFrame();
    ASSERT_EQ(calls.size(), 16u);
    for (size_t k = 0; k < calls.size(); ++k) {
      EXPECT_EQ(calls[k].op, Op::SetPixel);
      EXPECT_EQ(calls[k].colour, k * 0x081010u) << "pixel " << k;
      if (k < c.pixels.size()) {
        EXPECT_EQ(calls[k].x, c.pixels[k].x) << "pixel " << k;
        EXPECT_EQ(calls[k].y, c.pixels[k].y) << "pixel " << k;
      }
    }
    EXPECT_EQ(calls[15].colour, 0x0078F0F0u);  // red 240, green 240, blue 120
    EXPECT_EQ(Phases()[0], c.phase + PHASE_STEP);
    Quit();
  }
  // The phase-0 trail ends off the centre, in the brightest colour.
  Start(800, 600, "1");
  Phases()[0] = 0;
  std::vector<GdiCall> calls = DrawFrame();
  EXPECT_EQ(calls[15].x, 406);
  EXPECT_EQ(calls[15].y, 305);
}

TEST_F(ParticleTest, SineTableStopsShortOfAFullTurn) {
  Start(800, 600, "1");
  const std::pair<int, int16_t> entries[] = {{0, 0},      {1, 12},      {2, 25},      {64, 723},
                                             {127, 1023}, {128, 1023},  {255, 14},    {256, 1},
                                             {257, -10},  {383, -1023}, {384, -1023}, {511, -15}};
  for (auto [index, value] : entries) EXPECT_EQ(SineTable()[index], value) << "entry " << index;
  for (int i = 0; i < SINE_TABLE_SIZE; ++i) {
    EXPECT_LE(SineTable()[i], 1023);
    EXPECT_GE(SineTable()[i], -1023);
  }
}

TEST_F(ParticleTest, PixelsPerFrameFollowTheCount) {
  const std::pair<const char*, size_t> cases[] = {{"1", 16}, {"32", 512}, {"4096", 65536}};
  for (auto [count, pixels] : cases) {
    Start(800, 600, count);
    EXPECT_EQ(DrawFrame().size(), pixels) << "count " << count;
    Quit();
  }
}

TEST_F(ParticleTest, OnePixelWideViewDrawsOnXZero) {
  Start(1, 600, "64");
  for (const GdiCall& call : DrawFrame()) ASSERT_EQ(call.x, 0);
}

TEST_F(ParticleTest, LargeViewsStayOnTheirCurves) {
  // 32-bit products overflow beyond about 4000 pixels and would scatter the pixels.
  const std::pair<int32_t, int32_t> views[] = {{5120, 2880}, {100000, 100000}};
  for (auto [width, height] : views) {
    Start(width, height, "4096");
    for (int frame = 0; frame < 3; ++frame) {
      for (const GdiCall& call : DrawFrame()) {
        ASSERT_GE(call.x, 0);
        ASSERT_LE(call.x, width);
        ASSERT_GE(call.y, 0);
        ASSERT_LE(call.y, height);
      }
    }
    Quit();
  }
}

TEST_F(ParticleTest, PhasesWrapAroundWithoutOverflow) {
  Start(800, 600, "2");
  Phases()[0] = INT32_MAX - 3;
  Phases()[1] = INT32_MIN;
  DrawFrame();
  EXPECT_EQ(Phases()[0], INT32_MIN + 4);
  EXPECT_EQ(Phases()[1], INT32_MIN + 8);
}

TEST_F(ParticleTest, CountChangesAfterInitStayWithinTheAllocation) {
  Start(800, 600, "4");
  particleCount = 2;  // lowered: only the first particles move
  int32_t dropped = Phases()[3];
  EXPECT_EQ(DrawFrame().size(), 32u);
  EXPECT_EQ(Phases()[3], dropped);
  particleCount = 4000;  // raised beyond the allocation
  EXPECT_EQ(DrawFrame().size(), 64u);
  EXPECT_EQ(Phases()[3], dropped + PHASE_STEP);
  particleCount = 0;
  EXPECT_TRUE(DrawFrame().empty());
  particleCount = -5;
  EXPECT_TRUE(DrawFrame().empty());
}

TEST_F(ParticleTest, CallsOutsideTheOrderAreHarmless) {
  EXPECT_TRUE(DrawFrame().empty());  // before any Init
  Start(800, 600, "8");
  Start(800, 600, "8");  // a second Init releases the first array
  Quit();
  EXPECT_TRUE(DrawFrame().empty());
  Quit();
  EXPECT_EQ(AllocatedParticles(), 0);
}

TEST_F(ParticleTest, PhasesComeFromTheTickSeededSource) {
  recorder.tick = 1;
  Start(800, 600, "3");
  // The classic sequence of this generator from state 1.
  EXPECT_EQ(Phases()[0], 41);
  EXPECT_EQ(Phases()[1], 18467);
  EXPECT_EQ(Phases()[2], 6334);
}

}  // namespace
