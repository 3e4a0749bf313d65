// Long runs: each plug-in draws many frames in one process, at its default setting and
// at its largest, on a real DIB section. The process's GDI objects, the index a fresh
// GDI object gets, the plug-in's pens and heap blocks and the process's private bytes
// are sampled as it goes; after a warm-up none of them may grow.
//
// ZVX_SOAK_FRAMES sets the frames per row (default 1000; tools/soak.sh runs 10 000).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "canvas.h"
#include "support.h"
#include "watch.h"

namespace {

struct Soak {
  const char* name;
  const char* file;
  std::string profile;
  long blocks;  // heap blocks while running
};

const Soak SOAKS[] = {
    {"particle_default", "particle.zvx", "[Particle]\r\ncnt=32\r\n", 1},
    {"particle_4096", "particle.zvx", "[Particle]\r\ncnt=4096\r\n", 1},
    {"vectrel_default", "vectrel.zvx", "", 0},
    {"vectrel_255_bytes", "vectrel.zvx", "[BG01]\r\nstring=" + std::string(255, 'W') + "\r\n", 0},
    {"line_default", "line.zvx", "", 2},
    {"line_4096", "line.zvx", "[Test]\r\nline=4096\r\n", 2},
};

struct Sample {
  int frame;
  long gdiObjects;
  long freshIndex;
  long pens;
  long blocks;
  uint64_t privateBytes;
};

// Growth the private bytes may show without a leak: the system's own bookkeeping
// moves by a page now and then. A leak of 8 bytes a frame passes this within 10 000
// frames; the block count above catches any leaked allocation of the plug-in exactly.
constexpr uint64_t PRIVATE_SLACK = 64 * 1024;

int Frames() {
  const char* frames = std::getenv("ZVX_SOAK_FRAMES");
  return frames != nullptr && std::atoi(frames) > 0 ? std::atoi(frames) : 1000;
}

class SoakRun : public testing::TestWithParam<Soak> {};

TEST_P(SoakRun, GdiObjectsAndMemoryStayFlat) {
  const Soak& soak = GetParam();
  const int frames = Frames();
  const int every = frames >= 20 ? frames / 20 : 1;
  TempProfile profile(soak.profile);
  Canvas canvas;
  ASSERT_TRUE(CreateCanvas(800, 600, &canvas));
  HPEN hostPen = CreatePen(PS_SOLID, 0, RGB(255, 255, 255));
  HGDIOBJ previous = SelectObject(canvas.dc, hostPen);
  LoadedPlugin plugin = LoadShipped(soak.file, 777);
  ASSERT_NE(plugin.module, nullptr);
  ASSERT_TRUE(Watch(plugin.module));
  plugin.info.Init(MakeView(800, 600, nullptr, profile.path.c_str()));

  std::vector<Sample> samples;
  const DWORD start = GetTickCount();
  for (int frame = 1; frame <= frames; ++frame) {
    plugin.info.Draw(0, 0, canvas.dc);
    if (frame % every != 0) continue;
    const ModuleCounts counts = CountsOf(plugin.module);
    samples.push_back({frame, GdiObjects(), FreshGdiIndex(), counts.pens, counts.blocks, PrivateBytes()});
  }
  const DWORD elapsed = GetTickCount() - start;
  plugin.info.Quit();
  EXPECT_EQ(CountsOf(plugin.module).blocks, 0);
  EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), hostPen);
  ClosePlugin(&plugin);
  SelectObject(canvas.dc, previous);
  DeleteObject(hostPen);
  DestroyCanvas(&canvas);

  // The first tenth is warm-up; everything after must stay where it was then.
  ASSERT_GE(samples.size(), 4u);
  const Sample& base = samples[samples.size() / 10];
  const Sample& last = samples.back();
  std::printf(
      "%-18s %6d frames %7lu ms | GDI objects %ld..%ld, fresh index %ld..%ld, pens %ld, blocks %ld | "
      "private %llu..%llu KiB (warm-up from %llu)\n",
      soak.name, frames, static_cast<unsigned long>(elapsed), base.gdiObjects, last.gdiObjects, base.freshIndex,
      last.freshIndex, last.pens, last.blocks, static_cast<unsigned long long>(base.privateBytes / 1024),
      static_cast<unsigned long long>(last.privateBytes / 1024),
      static_cast<unsigned long long>(samples.front().privateBytes / 1024));
  for (size_t i = samples.size() / 10; i < samples.size(); ++i) {
    const Sample& s = samples[i];
    SCOPED_TRACE("frame " + std::to_string(s.frame));
    EXPECT_EQ(s.gdiObjects, base.gdiObjects);
    EXPECT_EQ(s.freshIndex, base.freshIndex);
    EXPECT_EQ(s.pens, 0);
    EXPECT_EQ(s.blocks, soak.blocks);
    EXPECT_LE(s.privateBytes, base.privateBytes + PRIVATE_SLACK);
  }
}

INSTANTIATE_TEST_SUITE_P(Plugins, SoakRun, testing::ValuesIn(SOAKS),
                         [](const testing::TestParamInfo<Soak>& info) { return std::string(info.param.name); });

}  // namespace
