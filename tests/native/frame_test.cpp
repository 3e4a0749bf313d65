// The frame as a count-setting deliverable sees it.
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "deliverable.h"
#include "plugin.h"
#include "random.h"
#include "recorder.h"
#include "settings.h"

namespace {

class FrameTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetRecorder();
    recordedView = ViewInfo{640, 480, 0, nullptr, 0, "frame-test.ini", 0};
  }
  int32_t& Held() { return *deliverable.setting.count; }
  std::string Key() { return std::string(deliverable.setting.section) + "/" + deliverable.setting.key; }
};

TEST_F(FrameTest, RandomSourceIsTheClassicGeneratorPerThread) {
  SeedRandomSource(1);
  EXPECT_EQ(DrawRandom(), 41);
  EXPECT_EQ(DrawRandom(), 18467);
  SeedRandomSource(0);
  EXPECT_EQ(DrawRandom(), 38);  // state 2531011
  SeedRandomSource(0xFFFFFFFFu);
  EXPECT_EQ(DrawRandom(), RandomValue(NextRandomState(0xFFFFFFFFu)));

  SeedRandomSource(12345);
  const int32_t mainFirst = DrawRandom();
  int32_t otherFirst = -1;
  int32_t otherSecond = -1;
  std::thread other([&] {
    otherFirst = DrawRandom();  // never seeded here: starts from state 1
    SeedRandomSource(777);
    otherSecond = DrawRandom();
  });
  other.join();
  EXPECT_EQ(otherFirst, 41);
  EXPECT_EQ(otherSecond, RandomValue(NextRandomState(777)));
  // The other thread's seeding left this thread's sequence alone.
  SeedRandomSource(12345);
  EXPECT_EQ(DrawRandom(), mainFirst);
}

TEST_F(FrameTest, CountsAreClampedOnLoad) {
  const std::pair<const char*, int32_t> cases[] = {
      {nullptr, deliverable.setting.defaultCount},  // no key
      {"0", 1},          {"-1", 1},         {"-5", 1},           {"1", 1},
      {"4096", 4096},    {"5000", 4096},    {"2147483647", 4096}, {"2147483648", 1},
      {"4294967295", 1}, {"12abc", 12},     {"abc", 1},
  };
  for (auto [stored, expected] : cases) {
    recorder.profile.clear();
    if (stored != nullptr) recorder.profile[Key()] = stored;
    LoadSetting();
    EXPECT_EQ(Held(), expected) << "stored " << (stored ? stored : "(missing)");
  }
  EXPECT_EQ(recorder.profilePathsUsed.back(), "frame-test.ini");
}

TEST_F(FrameTest, CountsAreSavedAsPlainSignedDecimal) {
  const std::pair<int32_t, const char*> cases[] = {
      {32, "32"}, {0, "0"}, {5000, "5000"}, {-1, "-1"}, {INT32_MIN, "-2147483648"}, {INT32_MAX, "2147483647"}};
  for (auto [held, written] : cases) {
    Held() = held;
    SaveSetting();
    EXPECT_EQ(recorder.profile[Key()], written);
  }
}

TEST_F(FrameTest, NullProfilePathUsesTheDefaultAndWritesNothing) {
  recordedView.profilePath = nullptr;
  Held() = 7;
  LoadSetting();
  EXPECT_EQ(Held(), deliverable.setting.defaultCount);
  SaveSetting();
  EXPECT_TRUE(recorder.profile.empty());
  EXPECT_TRUE(recorder.profilePathsUsed.empty());
}

TEST_F(FrameTest, StatFillsTheRecordAndLeavesReservedWords) {
  PluginInfo info;
  info.reserved[0] = 0xAAAAAAAA;
  info.reserved[1] = 0x55555555;
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(Stat(&info), 0);
    EXPECT_EQ(info.version, 0x00010001u);
    EXPECT_EQ(info.reserved[0], 0xAAAAAAAAu);
    EXPECT_EQ(info.reserved[1], 0x55555555u);
    EXPECT_STREQ(info.name, deliverable.name);
    EXPECT_STREQ(info.configLabel, "\x90\xdd\x92\xe8");  // 設定 in code page 932
    EXPECT_EQ(info.Init, &Init);
    EXPECT_EQ(info.Quit, &Quit);
    EXPECT_EQ(info.Config, &Config);
    EXPECT_EQ(info.Draw, &Draw);
  }
}

}  // namespace
