#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "line.h"
#include "plugin.h"
#include "expect_pen.h"
#include "recorder.h"

// The test program is linked with --wrap=malloc and --wrap=free, so that an
// allocation of the effect can be made to fail and its blocks can be counted.
extern "C" void* __real_malloc(size_t size);
extern "C" void __real_free(void* block);

namespace {

int failingAllocation = 0;  // the n-th malloc from now fails; 0 for none
int allocationsFailed = 0;
constexpr int TRACKED_BLOCKS = 64;
void* liveBlocks[TRACKED_BLOCKS];  // blocks handed out and not yet freed

int LiveBlocks() {
  int live = 0;
  for (void* block : liveBlocks) live += block != nullptr;
  return live;
}

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
  if (failingAllocation > 0 && --failingAllocation == 0) {
    ++allocationsFailed;
    return nullptr;
  }
  void* block = __real_malloc(size);
  for (void*& slot : liveBlocks) {
    if (slot == nullptr) {
      slot = block;
      break;
    }
  }
  return block;
}

extern "C" void __wrap_free(void* block) {
  for (void*& slot : liveBlocks) {
    if (block != nullptr && slot == block) slot = nullptr;
  }
  __real_free(block);
}

namespace {

const char PROFILE[] = "line-test.ini";

struct Segment {
  int fromX;
  int fromY;
  int toX;
  int toY;
  bool operator==(const Segment&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Segment& s) {
  return out << "(" << s.fromX << ", " << s.fromY << ")-(" << s.toX << ", " << s.toY << ")";
}

class LineTest : public testing::Test {
 protected:
  void SetUp() override { ResetRecorder(); }
  void TearDown() override {
    Quit();
    EXPECT_EQ(LiveBlocks(), 0);
  }

  void Start(int32_t width, int32_t height, const char* count) {
    if (count != nullptr) recorder.profile["Test/line"] = count;
    Init(ViewInfo{width, height, 0, nullptr, 0, PROFILE, 0});
  }

  // One frame's segments, checking that the frame had its pen from start to end.
  std::vector<Segment> DrawFrame() {
    recorder.calls.clear();
    Draw(0, 0, TestDc());
    std::vector<Segment> segments;
    const std::vector<GdiCall>& calls = recorder.calls;
    if (ExpectOwnPenFrame(calls, LINE_COLOR) == nullptr) return segments;
    for (size_t k = 2; k + 2 < calls.size(); k += 2) {
      EXPECT_EQ(calls[k].op, Op::MoveTo);
      EXPECT_EQ(calls[k + 1].op, Op::LineTo);
      segments.push_back({calls[k].x, calls[k].y, calls[k + 1].x, calls[k + 1].y});
    }
    return segments;
  }
};

TEST_F(LineTest, OnePointMovesFrameByFrame) {
  struct Case {
    const char* what;
    int32_t width;
    int32_t height;
    Position start;
    Velocity startVelocity;
    int frames;
    Segment last;  // drawn in the last frame
    Position end;
    Velocity endVelocity;
  };
  const Case cases[] = {
      {"right of the centre, on its row", 800, 600, {410, 300}, {1, -1}, 1, {410, 300, 410, 299}, {410, 299}, {0, -1}},
      {"left of and below the centre", 800, 600, {390, 310}, {-1, 1}, 1, {390, 310, 390, 310}, {390, 310}, {0, 0}},
      {"on the centre keeps its velocity", 800, 600, {400, 300}, {1, -1}, 1, {400, 300, 401, 299}, {401, 299}, {1, -1}},
      // From the left edge of a 600-wide view, past the right edge and back.
      {"swing: reaches 624", 600, 600, {0, 0}, {1, 1}, 48, {623, 623, 624, 624}, {624, 624}, {1, 1}},
      {"swing: turns at 624", 600, 600, {0, 0}, {1, 1}, 49, {624, 624, 624, 624}, {624, 624}, {0, 0}},
      {"swing: reaches -1", 600, 600, {0, 0}, {1, 1}, 98, {0, 0, -1, -1}, {-1, -1}, {-1, -1}},
      {"swing: turns at -1", 600, 600, {0, 0}, {1, 1}, 99, {-1, -1, -1, -1}, {-1, -1}, {0, 0}},
      {"swing: whole", 600, 600, {0, 0}, {1, 1}, 100, {-1, -1, 0, 0}, {0, 0}, {1, 1}},
      {"1 pixel wide: half a swing", 1, 600, {0, 300}, {1, -1}, 3, {1, 299, 0, 300}, {0, 300}, {-1, 1}},
      {"1 pixel wide: whole swing", 1, 600, {0, 300}, {1, -1}, 6, {-1, 301, 0, 300}, {0, 300}, {1, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start(c.width, c.height, "1");
    Positions()[0] = c.start;
    Velocities()[0] = c.startVelocity;
    std::vector<Segment> segments;
    for (int frame = 0; frame < c.frames; ++frame) segments = DrawFrame();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0], c.last);
    EXPECT_EQ(Positions()[0].x, c.end.x);
    EXPECT_EQ(Positions()[0].y, c.end.y);
    EXPECT_EQ(Velocities()[0].dx, c.endVelocity.dx);
    EXPECT_EQ(Velocities()[0].dy, c.endVelocity.dy);
    Quit();
  }
}

TEST_F(LineTest, PointsArePlacedFromTheTickSeededSource) {
  // From state 1 the generator gives 41, 18467, 6334, 26500, 19169, 15724, 11478, 29358.
  recorder.tick = 1;
  Start(800, 600, "2");
  ASSERT_EQ(AllocatedLines(), 2);
  EXPECT_EQ(Positions()[0].x, 41);
  EXPECT_EQ(Positions()[0].y, 467);
  EXPECT_EQ(Velocities()[0].dx, -1);
  EXPECT_EQ(Velocities()[0].dy, -1);
  EXPECT_EQ(Positions()[1].x, 769);
  EXPECT_EQ(Positions()[1].y, 124);
  const std::vector<Segment> expected = {{41, 467, 41, 465}, {769, 124, 767, 124}};
  EXPECT_EQ(DrawFrame(), expected);
}

TEST_F(LineTest, EveryAxisComesBackAfterAWholeSwing) {
  recorder.tick = 20261211;
  Start(800, 600, "64");
  struct Axis {
    int32_t start;
    int32_t startVelocity;
    int back = 0;  // the frame it first came back, 0 while it has not
  };
  std::vector<Axis> axes;
  for (int i = 0; i < 64; ++i) {
    axes.push_back({Positions()[i].x, Velocities()[i].dx});
    axes.push_back({Positions()[i].y, Velocities()[i].dy});
  }
  for (int frame = 1; frame <= 1000; ++frame) {
    DrawFrame();
    for (int i = 0; i < 64; ++i) {
      Axis& x = axes[2 * i];
      Axis& y = axes[2 * i + 1];
      if (x.back == 0 && Positions()[i].x == x.start && Velocities()[i].dx == x.startVelocity) x.back = frame;
      if (y.back == 0 && Positions()[i].y == y.start && Velocities()[i].dy == y.startVelocity) y.back = frame;
    }
  }
  for (size_t a = 0; a < axes.size(); ++a) EXPECT_GT(axes[a].back, 0) << "axis " << a;
}

TEST_F(LineTest, SizesBelowOneActAsOnePixel) {
  const std::pair<int32_t, int32_t> views[] = {{0, 600}, {-7, 600}, {INT32_MIN, 600}, {800, 0}, {800, -1}, {0, 0}};
  for (auto [width, height] : views) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    recorder.tick = 1;
    Start(width, height, "2");
    ASSERT_EQ(AllocatedLines(), 2);
    // The other axis takes the same draws as in a valid view.
    EXPECT_EQ(Positions()[0].x, width < 1 ? 0 : 41);
    EXPECT_EQ(Positions()[0].y, height < 1 ? 0 : 467);
    EXPECT_EQ(Positions()[1].x, width < 1 ? 0 : 769);
    EXPECT_EQ(Positions()[1].y, height < 1 ? 0 : 124);
    // A one-pixel axis has its centre at 0, where the first point keeps its -1.
    std::vector<Segment> segments = DrawFrame();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].toX, width < 1 ? -1 : 41);
    EXPECT_EQ(segments[0].toY, height < 1 ? -1 : 465);
    Quit();
  }
  recorder.tick = 7;
  Start(1, 600, "64");
  for (int i = 0; i < 64; ++i) EXPECT_EQ(Positions()[i].x, 0) << "point " << i;
}

TEST_F(LineTest, CountChangesAfterInitStayWithinTheAllocation) {
  Start(800, 600, "4");
  lineCount = 2;  // lowered: the last points keep their state
  const Position kept = Positions()[3];
  const Velocity keptVelocity = Velocities()[3];
  EXPECT_EQ(DrawFrame().size(), 2u);
  EXPECT_EQ(Positions()[3].x, kept.x);
  EXPECT_EQ(Positions()[3].y, kept.y);
  EXPECT_EQ(Velocities()[3].dx, keptVelocity.dx);
  EXPECT_EQ(Velocities()[3].dy, keptVelocity.dy);
  lineCount = 4000;  // raised beyond the allocation: they carry on from there
  std::vector<Segment> segments = DrawFrame();
  ASSERT_EQ(segments.size(), 4u);
  EXPECT_EQ(segments[3].fromX, kept.x);
  EXPECT_EQ(segments[3].fromY, kept.y);
  for (int32_t count : {0, -5, INT32_MIN}) {
    lineCount = count;
    EXPECT_TRUE(DrawFrame().empty()) << "count " << count;
  }
}

TEST_F(LineTest, FailedAllocationDrawsNothingAndLeaksNothing) {
  const std::pair<const char*, int> failures[] = {{"positions", 1}, {"velocities", 2}};
  for (auto [array, nth] : failures) {
    SCOPED_TRACE(array);
    allocationsFailed = 0;
    failingAllocation = nth;
    Start(800, 600, "16");
    failingAllocation = 0;
    ASSERT_EQ(allocationsFailed, 1);
    EXPECT_EQ(LiveBlocks(), 0) << "the array that was allocated is given back";
    EXPECT_EQ(AllocatedLines(), 0);
    EXPECT_TRUE(DrawFrame().empty());
    Quit();
    Quit();
  }
  Start(800, 600, "16");  // the next Init that gets its memory runs normally
  EXPECT_EQ(DrawFrame().size(), 16u);
}

TEST_F(LineTest, CallsOutsideTheOrderAreHarmless) {
  EXPECT_TRUE(DrawFrame().empty());  // before any Init
  Start(800, 600, "8");
  Start(800, 600, "8");  // a second Init gives the first arrays back
  EXPECT_EQ(LiveBlocks(), 2);
  Quit();
  EXPECT_EQ(LiveBlocks(), 0);
  EXPECT_TRUE(DrawFrame().empty());
  Quit();
  EXPECT_EQ(AllocatedLines(), 0);
}

}  // namespace
