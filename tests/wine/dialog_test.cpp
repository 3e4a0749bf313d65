// The settings dialog of each shipped plug-in, driven for real: a second thread finds
// the dialog, types into the field and presses a button or a key.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support.h"

namespace {

struct Deliverable {
  const char* file;
  const char* section;
  const char* key;
  bool isText;
  const char* sample;  // a value to store, as the field shows it
};

const Deliverable DELIVERABLES[] = {
    {"particle.zvx", "Particle", "cnt", false, "77"},
    {"vectrel.zvx", "BG01", "string", true, "表示テスト"},
    {"line.zvx", "Test", "line", false, "77"},
};

std::string Entry(const Deliverable& d, const std::string& value) {
  return std::string("[") + d.section + "]\r\n" + d.key + "=" + value + "\r\n";
}

class SettingsDialog : public testing::TestWithParam<Deliverable> {
 protected:
  void SetUp() override {
    plugin = LoadShipped(GetParam().file);
    ASSERT_NE(plugin.module, nullptr);
  }
  void TearDown() override { ClosePlugin(&plugin); }

  void UseProfile(const std::string& content) { profile = std::make_unique<TempProfile>(content); }
  ViewInfo View() { return MakeView(640, 480, nullptr, profile->path.c_str()); }

  // Opens the dialog, hands it to `act` and returns Config's result (its low byte).
  uint32_t Config(const std::function<void(HWND)>& act) {
    return WithDialog([&] { return static_cast<uint32_t>(plugin.info.Config(View())); }, act) & 0xFF;
  }

  // What the field shows when the dialog opens; the dialog is then cancelled.
  std::string Shown() {
    std::string shown;
    Config([&](HWND dialog) {
      shown = FieldText(dialog, 1000);
      ClickButton(dialog, IDCANCEL);
    });
    return shown;
  }

  LoadedPlugin plugin;
  std::unique_ptr<TempProfile> profile;
};

TEST_P(SettingsDialog, FieldShowsWhatTheFileHoldsWhenItOpens) {
  const Deliverable& d = GetParam();
  UseProfile(Entry(d, d.sample));
  EXPECT_EQ(Shown(), d.sample) << "Config before any Init";

  plugin.info.Init(View());
  const std::string changed = d.isText ? "after Init" : "123";
  UseProfile(Entry(d, changed));
  EXPECT_EQ(Shown(), changed) << "the file changed since Init";
  plugin.info.Quit();
}

TEST_P(SettingsDialog, OkWithTheFieldUnchangedWritesTheSettingAgain) {
  const Deliverable& d = GetParam();
  // Loading drops the quotes (for counts the leading zeros); saving writes it plainly.
  const std::string stored = d.isText ? "\"padded\"" : "0042";
  UseProfile("[Other]\r\nkey=1\r\n" + Entry(d, stored));
  EXPECT_EQ(Config([](HWND dialog) { ClickButton(dialog, IDOK); }), 1u);
  EXPECT_EQ(profile->Read(), "[Other]\r\nkey=1\r\n" + Entry(d, d.isText ? "padded" : "42"));
}

TEST_P(SettingsDialog, CancelEscapeAndTheCloseBoxLeaveTheFileAlone) {
  const Deliverable& d = GetParam();
  const std::string content = "; kept as it is\r\n" + Entry(d, d.sample);
  const std::pair<const char*, std::function<void(HWND)>> ways[] = {
      {"Cancel", [](HWND dialog) { ClickButton(dialog, IDCANCEL); }},
      {"Escape", [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }},
      {"close box", [](HWND dialog) { CloseBox(dialog); }},
  };
  for (const auto& [name, end] : ways) {
    UseProfile(content);
    EXPECT_EQ(Config([&](HWND dialog) {
                TypeInto(dialog, 1000, d.isText ? "typed" : "99");
                end(dialog);
              }),
              0u)
        << name;
    EXPECT_EQ(profile->Read(), content) << name;
  }
}

TEST_P(SettingsDialog, ADialogThatCannotOpenReturnsFalse) {
  const Deliverable& d = GetParam();
  const std::string content = Entry(d, d.sample);
  UseProfile(content);
  ViewInfo view = View();
  view.ownerWindow = reinterpret_cast<HWND>(0xDEAD0);  // no such window: the dialog cannot open
  EXPECT_FALSE(plugin.info.Config(view));
  EXPECT_EQ(profile->Read(), content);
}

TEST_P(SettingsDialog, SavingKeepsEverythingElseInASharedFile) {
  const Deliverable& d = GetParam();
  const std::string before =
      "; settings of all three effects\r\n"
      "[Particle]\r\n; particles\r\ncnt=12\r\nother=1\r\n"
      "[BG01]\r\nstring=\x95\x5c\r\n"
      "[Test]\r\nline=7\r\n";
  UseProfile(before);
  const std::string typed = d.isText ? "new" : "300";
  EXPECT_EQ(Config([&](HWND dialog) {
              TypeInto(dialog, 1000, typed);
              PressKey(dialog, VK_RETURN);  // Enter presses the default button, OK
            }),
            1u);
  std::string after = before;
  const std::string oldLine = std::string(d.key) + "=";
  const size_t at = after.find(oldLine, after.find(std::string("[") + d.section + "]"));
  after.replace(at, after.find("\r\n", at) - at, oldLine + typed);
  EXPECT_EQ(profile->Read(), after);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, SettingsDialog, testing::ValuesIn(DELIVERABLES),
                         [](const testing::TestParamInfo<Deliverable>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

// The counts: what was typed is saved without a range check; loading clamps it.
class CountDialog : public SettingsDialog {};

TEST_P(CountDialog, OkSavesTheNumberAsTypedAndTheNextLoadClampsIt) {
  const Deliverable& d = GetParam();
  struct Case {
    const char* typed;
    const char* saved;
    const char* nextLoad;
  };
  const Case cases[] = {
      {"5000", "5000", "4096"}, {"4096", "4096", "4096"}, {"", "0", "1"},
      {"abc", "0", "1"},        {"4294967295", "-1", "1"}, {"2147483648", "-2147483648", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("typed '") + c.typed + "'");
    UseProfile(Entry(d, "32"));
    EXPECT_EQ(Config([&](HWND dialog) {
                TypeInto(dialog, 1000, c.typed);
                ClickButton(dialog, IDOK);
              }),
              1u);
    EXPECT_EQ(profile->Read(), Entry(d, c.saved));
    EXPECT_EQ(Shown(), c.nextLoad);
  }
}

TEST_P(CountDialog, ARunningEffectDrawsOnlyWhatInitAllocated) {
  const Deliverable& d = GetParam();
  UseProfile(Entry(d, "10"));
  plugin.info.Init(View());
  auto drawn = [&] {
    std::vector<EmfRecord> records = RecordEmf([&](HDC dc) { plugin.info.Draw(0, 0, dc); });
    return RecordsOfType(records, EMR_SETPIXELV).size() / 16 + RecordsOfType(records, EMR_LINETO).size();
  };
  EXPECT_EQ(drawn(), 10u);
  auto typeAndOk = [](const char* value) {
    return [value](HWND dialog) {
      TypeInto(dialog, 1000, value);
      ClickButton(dialog, IDOK);
    };
  };
  EXPECT_EQ(Config(typeAndOk("4000")), 1u);
  EXPECT_EQ(drawn(), 10u) << "raised above the allocation";
  EXPECT_EQ(Config(typeAndOk("4")), 1u);
  EXPECT_EQ(drawn(), 4u) << "lowered";
  EXPECT_EQ(Config(typeAndOk("0")), 1u);
  EXPECT_EQ(drawn(), 0u) << "zero";
  plugin.info.Quit();
}

INSTANTIATE_TEST_SUITE_P(Deliverables, CountDialog, testing::Values(DELIVERABLES[0], DELIVERABLES[2]),
                         [](const testing::TestParamInfo<Deliverable>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

TEST(TextDialog, OkHoldsAndSavesTheFirst249BytesAndTheNextFrameDrawsThem) {
  LoadedPlugin plugin = LoadShipped("vectrel.zvx");
  ASSERT_NE(plugin.module, nullptr);
  TempProfile profile("[BG01]\r\nstring=old\r\n");
  const ViewInfo view = MakeView(640, 480, nullptr, profile.path.c_str());
  plugin.info.Init(view);

  std::string typed;
  for (int i = 0; i < 300; ++i) typed += static_cast<char>('a' + i % 26);
  const uint32_t ok = WithDialog([&] { return static_cast<uint32_t>(plugin.info.Config(view)); },
                                 [&](HWND dialog) {
                                   SetDlgItemTextA(dialog, 1000, typed.c_str());
                                   ClickButton(dialog, IDOK);
                                 });
  EXPECT_EQ(ok & 0xFF, 1u);
  const std::string held = typed.substr(0, 249);
  EXPECT_EQ(profile.Read(), "[BG01]\r\nstring=" + held + "\r\n");

  std::vector<EmfRecord> texts =
      RecordsOfType(RecordEmf([&](HDC dc) { plugin.info.Draw(0, 0, dc); }), EMR_EXTTEXTOUTW);
  ASSERT_EQ(texts.size(), 1u);
  // EMREXTTEXTOUTW: the character count is word 9 of the parameters.
  EXPECT_EQ(texts[0].params[9], 249u);
  plugin.info.Quit();
  ClosePlugin(&plugin);
}

}  // namespace
