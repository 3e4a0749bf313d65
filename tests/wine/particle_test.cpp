// particle.zvx on the real GDI: its setting from a real profile file and a frame that
// lands on the exact pixels.
#include <gtest/gtest.h>

#include "canvas.h"
#include "support.h"

namespace {

struct Pixel {
  LONG x;
  LONG y;
};

// A particle at phase 1000 on an 800 x 600 view.
const Pixel PHASE_1000_TRAIL[16] = {{372, 319}, {378, 313}, {383, 308}, {388, 302}, {393, 297}, {400, 291},
                                    {405, 286}, {411, 280}, {416, 275}, {422, 269}, {428, 264}, {433, 259},
                                    {440, 253}, {446, 247}, {451, 242}, {456, 237}};

class ParticleOnWin32 : public ShippedEffectTest {
 protected:
  void Start(const std::string& profileText, int width = 800, int height = 600, DWORD tick = 0) {
    ShippedEffectTest::Start("particle.zvx", profileText, width, height, tick);
  }
};

TEST_F(ParticleOnWin32, CountComesFromTheProfileFileClamped) {
  const std::pair<const char*, size_t> cases[] = {
      {"", 32},                           // no file content at all
      {"[Particle]\n", 32},               // section without the key
      {"[Other]\ncnt=7\n", 32},           // the key in another section
      {"[Particle]\ncnt=0\n", 1},         {"[Particle]\ncnt=-5\n", 1},
      {"[Particle]\ncnt=1\n", 1},         {"[Particle]\ncnt=4096\n", 4096},
      {"[Particle]\ncnt=5000\n", 4096},   {"[Particle]\ncnt=2147483648\n", 1},
      {"[Particle]\ncnt=3000000000\n", 1},
  };
  for (auto [text, count] : cases) {
    SCOPED_TRACE(text);
    Start(text);
    EXPECT_EQ(DrawRecorded().size(), 16 * count);
    plugin.info.Quit();
    ClosePlugin(&plugin);
  }
}

TEST_F(ParticleOnWin32, MissingProfileFileGivesTheDefault) {
  plugin = LoadShipped("particle.zvx");
  std::string missing = OutputDir() + "no-such-folder\\particle.ini";
  plugin.info.Init(MakeView(800, 600, nullptr, missing.c_str()));
  EXPECT_EQ(DrawRecorded().size(), 16u * 32);
  plugin.info.Quit();
}

TEST_F(ParticleOnWin32, FrameOnAMetafileIsTheWorkedExample) {
  Start("[Particle]\ncnt=1\n", 800, 600, TickForFirstDraw(1000));
  std::vector<EmfRecord> records = DrawRecorded();
  ASSERT_EQ(records.size(), 16u);
  for (size_t k = 0; k < 16; ++k) {
    ASSERT_EQ(records[k].type, static_cast<DWORD>(EMR_SETPIXELV));
    EXPECT_EQ(static_cast<LONG>(records[k].params[0]), PHASE_1000_TRAIL[k].x) << "pixel " << k;
    EXPECT_EQ(static_cast<LONG>(records[k].params[1]), PHASE_1000_TRAIL[k].y) << "pixel " << k;
    EXPECT_EQ(records[k].params[2], k * 0x081010u) << "pixel " << k;
  }
  // The next frame starts 8 phase units on.
  std::vector<EmfRecord> next = DrawRecorded();
  ASSERT_EQ(next.size(), 16u);
  EXPECT_NE(next[0].params[0], records[0].params[0]);
}

TEST_F(ParticleOnWin32, FrameOnADibSectionSetsExactlyTheTrail) {
  Start("[Particle]\ncnt=1\n", 800, 600, TickForFirstDraw(1000));
  Canvas canvas;
  ASSERT_TRUE(CreateCanvas(800, 600, &canvas));
  const uint32_t background = 0x00204060;
  ClearCanvas(canvas, background);
  plugin.info.Draw(0, 0, canvas.dc);
  GdiFlush();
  int changed = 0;
  for (int i = 0; i < 800 * 600; ++i) changed += canvas.pixels[i] != background;
  EXPECT_EQ(changed, 16);
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(GetPixel(canvas.dc, PHASE_1000_TRAIL[k].x, PHASE_1000_TRAIL[k].y), k * 0x081010u) << "pixel " << k;
  }
  DestroyCanvas(&canvas);
}

TEST_F(ParticleOnWin32, CallsOutsideTheOrderDoNotCrash) {
  plugin = LoadShipped("particle.zvx");
  EXPECT_TRUE(DrawRecorded().empty());  // Draw before Init
  profile = std::make_unique<TempProfile>("[Particle]\ncnt=8\n");
  plugin.info.Init(MakeView(800, 600, nullptr, profile->path.c_str()));
  plugin.info.Init(MakeView(800, 600, nullptr, profile->path.c_str()));
  plugin.info.Quit();
  EXPECT_TRUE(DrawRecorded().empty());  // Draw after Quit
  plugin.info.Quit();
}

}  // namespace
