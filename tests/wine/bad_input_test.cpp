// Bad input through each shipped plug-in on the real API: profile files, views and
// calls out of order. Every row says what it gives the plug-in and what the plug-in
// must do; after every row the fixture checks that the plug-in holds no heap block
// and no pen, that no block was freed twice, that the host's pen is back in the DC and
// (where no dialog ran) that the process has as many GDI objects as before. The
// plug-in's arrays sit against untouchable pages (watch.h), so an access past them or
// after Quit ends the row with a fault report.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>

#include "canvas.h"
#include "support.h"
#include "watch.h"

namespace {

const DWORD TICK = 4242;

struct Plugin {
  const char* file;
  const char* section;
  const char* key;
  bool isText;
  const char* defaultValue;  // as Held() shows it
  long blocks;               // heap blocks while running
};

const Plugin PLUGINS[] = {
    {"particle.zvx", "Particle", "cnt", false, "32", 1},
    {"vectrel.zvx", "BG01", "string", true, "Velmora", 0},
    {"line.zvx", "Test", "line", false, "1024", 2},
};

// Counts drawn by one frame: particles (16 pixels each), lines, or outlines for vectrel.
size_t Drawn(const Plugin& plugin, const std::vector<EmfRecord>& records) {
  if (plugin.file[0] == 'p') return RecordsOfType(records, EMR_SETPIXELV).size() / 16;
  if (plugin.isText) return RecordsOfType(records, EMR_MOVETOEX).size();
  return RecordsOfType(records, EMR_LINETO).size();
}

// 表 ソ 能 予 ポ in code page 932: trail bytes 0x5C and 0x7C, which a byte-wise scan
// takes for '\' and '|'.
const std::string TRAIL_BYTES = "\x95\x5c\x83\x5c\x94\x5c\x97\x5c\x83\x7c|\\";

class BadInput;

struct Row {
  const char* name;
  const char* input;
  const char* must;
  std::function<void(BadInput&)> check;
  const char* only = nullptr;  // the plug-ins the row is about, if not all
};

class BadInput : public testing::TestWithParam<std::tuple<Plugin, Row>> {
 public:
  const Plugin& P() const { return std::get<0>(GetParam()); }
  bool IsParticle() const { return P().file[0] == 'p'; }

  std::string Entry(const std::string& value) const {
    return std::string("[") + P().section + "]\r\n" + P().key + "=" + value + "\r\n";
  }
  // A value that reads as `count` for the counts and as its own text for vectrel.
  std::string Pick(const char* count, const char* text) const { return P().isText ? text : count; }

  void UseProfile(const std::string& content) {
    profile = std::make_unique<TempProfile>(content);
    path = profile->path;
  }
  ViewInfo View(int32_t width = 640, int32_t height = 480) const {
    return MakeView(width, height, nullptr, nullPath ? nullptr : path.c_str());
  }
  void Init(int32_t width = 640, int32_t height = 480) {
    loaded.info.Init(View(width, height));
    running = true;
  }
  void Quit() {
    loaded.info.Quit();
    running = false;
  }

  // One frame on a metafile DC with a pen of the host's selected: the pen is back and
  // the plug-in holds no pen afterwards.
  std::vector<EmfRecord> Frame() {
    return RecordEmf([&](HDC dc) {
      HGDIOBJ before = SelectObject(dc, hostPen);
      loaded.info.Draw(0, 0, dc);
      EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), hostPen) << "the host's pen after Draw";
      EXPECT_EQ(CountsOf(loaded.module).pens, 0) << "pens alive after Draw";
      SelectObject(dc, before);
    });
  }
  // Frames on the DIB canvas: real drawing, whatever the coordinates.
  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      loaded.info.Draw(0, 0, canvas.dc);
      ASSERT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), hostPen) << "frame " << i;
      ASSERT_EQ(CountsOf(loaded.module).pens, 0) << "frame " << i;
    }
  }
  // The held setting, as the next frame shows it: the count drawn, or the text's bytes.
  std::string Held() {
    const long textsBefore = CountsOf(loaded.module).texts;
    const size_t drawn = Drawn(P(), Frame());
    if (!P().isText) return std::to_string(drawn);
    EXPECT_EQ(CountsOf(loaded.module).texts, textsBefore + 1) << "one TextOutA per frame";
    return CountsOf(loaded.module).lastText;
  }

  // Opens the dialog and confirms it with `value` in the field (or cancels it).
  uint32_t ConfigOk(const std::string& value, int32_t width = 640, int32_t height = 480) {
    return Config(width, height, [&](HWND dialog) {
      SetDlgItemTextA(dialog, 1000, value.c_str());
      ClickButton(dialog, IDOK);
    });
  }
  uint32_t ConfigCancel(int32_t width = 640, int32_t height = 480) {
    return Config(width, height, [](HWND dialog) { ClickButton(dialog, IDCANCEL); });
  }

  LoadedPlugin loaded;
  std::unique_ptr<TempProfile> profile;
  std::string path;
  bool nullPath = false;
  bool running = false;
  Canvas canvas;
  HPEN hostPen = nullptr;

 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u);
    // The first DCs make the system's own objects; count after them.
    RecordEmf([](HDC) {});
    ASSERT_TRUE(CreateCanvas(64, 48, &canvas));
    DestroyCanvas(&canvas);
    gdiBefore = GdiObjects();
    ASSERT_TRUE(CreateCanvas(64, 48, &canvas));
    hostPen = CreatePen(PS_DOT, 0, RGB(255, 0, 0));
    previousPen = SelectObject(canvas.dc, hostPen);
    loaded = LoadShipped(P().file, TICK);
    ASSERT_NE(loaded.module, nullptr);
    ASSERT_TRUE(Watch(loaded.module));
  }

  void TearDown() override {
    if (loaded.module == nullptr) return;
    if (running) Quit();
    const ModuleCounts counts = CountsOf(loaded.module);
    EXPECT_EQ(counts.blocks, 0) << "heap blocks kept after Quit";
    EXPECT_EQ(counts.badFrees, 0) << "a block freed twice";
    EXPECT_EQ(counts.pens, 0) << "pens kept";
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), hostPen);
    ClosePlugin(&loaded);
    SelectObject(canvas.dc, previousPen);
    DeleteObject(hostPen);
    DestroyCanvas(&canvas);
    // A dialog leaves system caches that depend on what it painted (fonts, DCs); the
    // plug-in's own objects are its pens, counted above (CreatePen is the only GDI
    // constructor the plug-ins import).
    if (!dialogOpened) {
      EXPECT_EQ(GdiObjects(), gdiBefore) << "GDI objects of the process";
    }
  }

 private:
  uint32_t Config(int32_t width, int32_t height, const std::function<void(HWND)>& act) {
    dialogOpened = true;
    return WithDialog([&] { return static_cast<uint32_t>(loaded.info.Config(View(width, height))); }, act) & 0xFF;
  }

  HGDIOBJ previousPen = nullptr;
  long gdiBefore = 0;
  bool dialogOpened = false;
};

std::string FileOrMissing(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(missing)";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Rows that store `value` under the plug-in's key and start the effect: the held
// setting is `count` (particle, line) or `text` (vectrel), and loading leaves the
// file as it was.
Row Loads(const char* name, const char* input, std::string value, const char* count, std::string text) {
  return {name, input, "loads the clamped count or the text as the platform reads it; the file is untouched",
          [=](BadInput& t) {
            t.UseProfile(t.Entry(value));
            t.Init();
            EXPECT_EQ(t.Held(), t.Pick(count, text.c_str()));
            t.Quit();
            EXPECT_EQ(t.profile->Read(), t.Entry(value));
          }};
}

// Rows that give the plug-in a file it finds nothing in: the default, file untouched.
Row Defaults(const char* name, const char* input, std::function<std::string(const BadInput&)> content) {
  return {name, input, "loads the default; the file is untouched", [=](BadInput& t) {
            const std::string before = content(t);
            t.UseProfile(before);
            t.Init();
            EXPECT_EQ(t.Held(), t.P().defaultValue);
            t.Quit();
            EXPECT_EQ(t.profile->Read(), before);
          }};
}

std::string RandomBytes() {
  std::string bytes;
  uint32_t state = 7;
  for (int i = 0; i < 4096; ++i) {
    state = state * 1103515245u + 12345u;
    bytes += static_cast<char>(state >> 23);
  }
  return bytes;
}

// 300 bytes of two-byte characters (ポ 表 ...): a cut after 255 or 249 bytes falls
// between the two bytes of one.
std::string Japanese300() {
  std::string text;
  for (int i = 0; i < 150; ++i) text += i % 2 ? "\x95\x5c" : "\x83\x7c";
  return text;
}

// The check on a frame's coordinates at every size: particle stays on its curves
// (within twice its centre on both axes); vectrel's outline within 8 pixels of a view
// it has room in.
void CheckCoordinates(BadInput& t, const std::vector<EmfRecord>& records, int32_t width, int32_t height) {
  auto within = [](LONG v, int64_t a, int64_t b) { return v >= std::min(a, b) && v <= std::max(a, b); };
  if (t.IsParticle()) {
    const int64_t cx = width >> 1, cy = height >> 1;
    for (const EmfRecord& pixel : RecordsOfType(records, EMR_SETPIXELV)) {
      ASSERT_TRUE(within(static_cast<LONG>(pixel.params[0]), 0, 2 * cx)) << static_cast<LONG>(pixel.params[0]);
      ASSERT_TRUE(within(static_cast<LONG>(pixel.params[1]), 0, 2 * cy)) << static_cast<LONG>(pixel.params[1]);
    }
  } else if (t.P().isText && width >= 1 && height >= 1) {
    for (const EmfRecord& line : RecordsOfType(records, EMR_LINETO)) {
      ASSERT_TRUE(within(static_cast<LONG>(line.params[0]), -8, width + 7)) << static_cast<LONG>(line.params[0]);
      ASSERT_TRUE(within(static_cast<LONG>(line.params[1]), -8, height + 7)) << static_cast<LONG>(line.params[1]);
    }
  }
}

Row ViewRow(const char* name, const char* input, int32_t width, int32_t height) {
  return {name, input, "draws its whole count every frame without a fault; particle stays within its curves",
          [=](BadInput& t) {
            t.UseProfile(t.Entry(t.Pick("50", "Velmora")));
            t.Init(width, height);
            for (int round = 0; round < 3; ++round) {
              std::vector<EmfRecord> frame = t.Frame();
              EXPECT_EQ(Drawn(t.P(), frame), t.P().isText ? 8u : 50u);
              CheckCoordinates(t, frame, width, height);
              t.Frames(20);
            }
          }};
}

const Row ROWS[] = {
    // The profile file.
    {"MissingFile", "a profile path naming no file, then Cancel and OK in the dialog",
     "loads the default and creates nothing; only OK makes the file, holding its own key alone",
     [](BadInput& t) {
       char temp[MAX_PATH];
       GetTempPathA(MAX_PATH, temp);
       t.path = std::string(temp) + "zvx-missing-" + t.P().key + ".ini";
       DeleteFileA(t.path.c_str());
       t.Init();
       EXPECT_EQ(t.Held(), t.P().defaultValue);
       EXPECT_EQ(t.ConfigCancel(), 0u);
       EXPECT_EQ(FileOrMissing(t.path), "(missing)");
       EXPECT_EQ(t.ConfigOk(t.Pick("3", "neu")), 1u);
       t.Quit();
       EXPECT_EQ(FileOrMissing(t.path), t.Entry(t.Pick("3", "neu")));
       DeleteFileA(t.path.c_str());
     }},
    {"FolderPath", "a profile path naming a folder, and OK in the dialog",
     "loads the default; the dialog's value is held though it cannot be saved; the folder stays",
     [](BadInput& t) {
       char temp[MAX_PATH];
       GetTempPathA(MAX_PATH, temp);
       t.path = std::string(temp) + "zvx-folder";
       CreateDirectoryA(t.path.c_str(), nullptr);
       t.Init();
       EXPECT_EQ(t.Held(), t.P().defaultValue);
       EXPECT_EQ(t.ConfigOk(t.Pick("3", "neu")), 1u);
       EXPECT_EQ(t.Held(), t.Pick("3", "neu"));
       t.Quit();
       EXPECT_EQ(GetFileAttributesA(t.path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
       RemoveDirectoryA(t.path.c_str());
     }},
    {"NullPath", "no profile path at all (null), and OK in the dialog",
     "loads the default and writes nothing anywhere, WIN.INI included; the dialog's value is held",
     [](BadInput& t) {
       char windows[MAX_PATH];
       GetWindowsDirectoryA(windows, MAX_PATH);
       const std::string winIni = std::string(windows) + "\\win.ini";
       const std::string before = FileOrMissing(winIni);
       t.nullPath = true;
       t.Init();
       EXPECT_EQ(t.Held(), t.P().defaultValue);
       EXPECT_EQ(t.ConfigOk(t.Pick("3", "neu")), 1u);
       EXPECT_EQ(t.Held(), t.Pick("3", "neu"));
       t.Quit();
       EXPECT_EQ(FileOrMissing(winIni), before);
     }},
    {"OverlongPath", "a profile path of 400 bytes", "loads the default and creates no file",
     [](BadInput& t) {
       t.path = OutputDir() + std::string(400 - OutputDir().size(), 'p');
       t.Init();
       EXPECT_EQ(t.Held(), t.P().defaultValue);
       t.Quit();
     }},
    Defaults("EmptyFile", "an empty file", [](const BadInput&) { return std::string(); }),
    Defaults("RandomBytes", "4 KiB of random bytes", [](const BadInput&) { return RandomBytes(); }),
    Defaults("SectionWithoutKey", "the section with other keys only",
             [](const BadInput& t) { return std::string("[") + t.P().section + "]\r\nother=5\r\n"; }),
    Defaults("KeyWithoutEquals", "the key alone on its line, without '='",
             [](const BadInput& t) { return std::string("[") + t.P().section + "]\r\n" + t.P().key + "\r\n"; }),
    Defaults("KeyInAnotherSection", "the key under another section",
             [](const BadInput& t) { return std::string("[Other]\r\n") + t.P().key + "=5\r\n"; }),
    // The platform reads an empty value as missing for numbers, as "" for text.
    {"KeyWithoutValue", "the key with an empty value", "counts: the default; vectrel: the empty text",
     [](BadInput& t) {
       t.UseProfile(t.Entry(""));
       t.Init();
       EXPECT_EQ(t.Held(), t.Pick(t.P().defaultValue, ""));
       t.Quit();
     }},
    Loads("Zero", "0", "0", "1", "0"),
    Loads("MinusOne", "-1", "-1", "1", "-1"),
    Loads("Max", "4096", "4096", "4096", "4096"),
    Loads("AboveMax", "4097", "4097", "4096", "4097"),
    Loads("Int32Max", "2147483647", "2147483647", "4096", "2147483647"),
    Loads("TwoToThe31", "2147483648 (negative as 32-bit)", "2147483648", "1", "2147483648"),
    Loads("UInt32Max", "4294967295", "4294967295", "1", "4294967295"),
    // The platform keeps the low 32 bits: 1215752191.
    Loads("ElevenDigits", "99999999999", "99999999999", "4096", "99999999999"),
    Loads("LeadingBlanks", "'  12'", "  12", "12", "12"),
    Loads("TrailingLetters", "'12abc'", "12abc", "12", "12abc"),
    Loads("Letters", "'abc'", "abc", "1", "abc"),
    Loads("Text255", "'7' and 254 more bytes", "7" + std::string(254, 'x'), "7", "7" + std::string(254, 'x')),
    Loads("Text256", "'7' and 255 more bytes", "7" + std::string(255, 'x'), "7", "7" + std::string(254, 'x')),
    Loads("Text300", "'7' and 299 more bytes", "7" + std::string(299, 'x'), "7", "7" + std::string(254, 'x')),
    Loads("JapaneseTrailBytes", "Japanese with trail bytes 0x5C and 0x7C", TRAIL_BYTES, "1", TRAIL_BYTES),
    Loads("QuotedText", "'\"12 quoted\"'", "\"12 quoted\"", "12", "12 quoted"),
    {"JapaneseCutAt255", "300 bytes of two-byte characters, after a 255-byte text",
     "holds the whole characters within 255 bytes and no byte of the earlier text",
     [](BadInput& t) {
       t.UseProfile(t.Entry(std::string(255, 'x')));
       t.Init();
       t.Quit();
       const std::string japanese = Japanese300();
       t.UseProfile(t.Entry(japanese));
       t.Init();
       EXPECT_EQ(t.Held(), t.Pick("1", japanese.substr(0, 254).c_str()));
       t.Quit();
       EXPECT_EQ(t.profile->Read(), t.Entry(japanese));
     }},
    {"TwoSectionsOfOneName", "the section twice, with 5 in the first and 9 in the second",
     "loads the first; the dialog's OK writes into the first and leaves the second",
     [](BadInput& t) {
       const std::string second = std::string("[") + t.P().section + "]\r\n" + t.P().key + "=9\r\n";
       t.UseProfile(t.Entry("5") + second);
       t.Init();
       EXPECT_EQ(t.Held(), "5");
       EXPECT_EQ(t.ConfigOk(t.Pick("3", "neu")), 1u);
       t.Quit();
       EXPECT_EQ(t.profile->Read(), t.Entry(t.Pick("3", "neu")) + second);
     }},
    // Wine maps the read-only attribute to Unix permissions, which root passes; the
    // handle without write sharing is what keeps the writer out there.
    {"ReadOnlyFileOnSave", "a read-only file that another handle holds, and OK in the dialog",
     "holds and draws the new value at once; the file is unchanged",
     [](BadInput& t) {
       t.UseProfile(t.Entry("5"));
       t.Init();
       ASSERT_TRUE(SetFileAttributesA(t.path.c_str(), FILE_ATTRIBUTE_READONLY));
       HANDLE held = CreateFileA(t.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
       EXPECT_EQ(t.ConfigOk(t.Pick("3", "neu")), 1u);
       EXPECT_EQ(t.Held(), t.Pick("3", "neu"));
       CloseHandle(held);
       SetFileAttributesA(t.path.c_str(), FILE_ATTRIBUTE_NORMAL);
       t.Quit();
       EXPECT_EQ(t.profile->Read(), t.Entry("5"));
     }},

    // The view.
    ViewRow("View1x1", "a view of 1 x 1", 1, 1),
    ViewRow("View0x0", "a view of 0 x 0", 0, 0),
    ViewRow("ViewNegative", "a view of -640 x -480", -640, -480),
    ViewRow("View5000", "a view of 5000 x 5000", 5000, 5000),
    ViewRow("View100000", "a view of 100000 x 100000", 100000, 100000),
    {"View100000IsView2000Scaled", "the same start on 2000 x 2000 and on 100000 x 100000",
     "particle: every pixel of the large view is 50 times the small one's, to within the rounding",
     [](BadInput& t) {
       t.UseProfile(t.Entry("20"));
       t.Init(2000, 2000);
       const std::vector<EmfRecord> small = RecordsOfType(t.Frame(), EMR_SETPIXELV);
       t.Quit();
       t.Init(100000, 100000);
       const std::vector<EmfRecord> large = RecordsOfType(t.Frame(), EMR_SETPIXELV);
       ASSERT_EQ(small.size(), large.size());
       for (size_t i = 0; i < small.size(); ++i) {
         for (int axis = 0; axis < 2; ++axis) {
           // c + (p * c >> 20) at c = 50 000 and at c = 1000: apart by the rounding only.
           const int64_t gap = static_cast<LONG>(large[i].params[axis]) -
                               50 * static_cast<int64_t>(static_cast<LONG>(small[i].params[axis]));
           ASSERT_GE(gap, 0) << "pixel " << i;
           ASSERT_LE(gap, 49) << "pixel " << i;
         }
       }
     },
     "particle.zvx"},
    {"ConfigResizesBetweenFrames", "640 x 480 at Init, then a Config with 200 x 150 between frames",
     "particle and line keep the frames they had; vectrel takes the new bounds and comes back into them",
     [](BadInput& t) {
       t.UseProfile(t.Entry(t.Pick("40", "Velmora")));
       auto run = [&](bool resize) {
         t.Init(640, 480);
         t.Frames(10);
         if (resize) {
           EXPECT_EQ(t.ConfigCancel(200, 150), 0u);
         }
         t.Frames(100);
         std::vector<EmfRecord> frame = t.Frame();
         t.Quit();
         return frame;
       };
       const std::vector<EmfRecord> kept = run(false);
       const std::vector<EmfRecord> resized = run(true);
       if (t.P().isText) {
         CheckCoordinates(t, resized, 200, 150);
         EXPECT_EQ(RecordsOfType(resized, EMR_LINETO).size(), 8u * 16);
       } else {
         ASSERT_EQ(kept.size(), resized.size());
         for (size_t i = 0; i < kept.size(); ++i) ASSERT_EQ(kept[i].params, resized[i].params) << "record " << i;
       }
     }},

    // The order of calls.
    {"DrawBeforeInit", "Draw on a fresh module", "draws nothing and leaves the DC as it was",
     [](BadInput& t) {
       const std::vector<EmfRecord> frame = t.Frame();
       EXPECT_EQ(Drawn(t.P(), frame), 0u);
       EXPECT_TRUE(RecordsOfType(frame, EMR_EXTTEXTOUTW).empty());
       t.Frames(5);
     }},
    {"DrawAfterQuit", "Draw after Quit", "draws nothing; touches none of the freed arrays",
     [](BadInput& t) {
       t.UseProfile(t.Entry(t.Pick("40", "Velmora")));
       t.Init();
       t.Frames(3);
       t.Quit();
       EXPECT_EQ(Drawn(t.P(), t.Frame()), 0u);
       t.Frames(5);
     }},
    {"SecondQuit", "Quit twice, then a new start", "frees nothing twice; the next Init runs as ever",
     [](BadInput& t) {
       t.UseProfile(t.Entry(t.Pick("40", "Velmora")));
       t.Init();
       t.Quit();
       t.Quit();
       t.Init();
       EXPECT_EQ(t.Held(), t.Pick("40", "Velmora"));
     }},
    {"InitTwice", "Init with 5, then Init with 9 without Quit", "runs with 9 and keeps no array of the first Init",
     [](BadInput& t) {
       t.UseProfile(t.Entry("5"));
       t.Init();
       t.UseProfile(t.Entry("9"));
       t.Init();
       EXPECT_EQ(t.Held(), "9");
       EXPECT_EQ(CountsOf(t.loaded.module).blocks, t.P().blocks);
     }},
    {"ManyStarts", "200 Init-Draw-Quit cycles", "keeps nothing from one cycle to the next",
     [](BadInput& t) {
       t.UseProfile(t.Entry(t.Pick("100", "Velmora")));
       for (int i = 0; i < 200; ++i) {
         t.Init();
         t.Frames(1);
         ASSERT_EQ(CountsOf(t.loaded.module).blocks, t.P().blocks) << "cycle " << i;
         t.Quit();
         ASSERT_EQ(CountsOf(t.loaded.module).blocks, 0) << "cycle " << i;
       }
     }},
    {"ConfigBeforeInit", "Config with OK before any Init", "saves the value; the next Init loads it",
     [](BadInput& t) {
       t.UseProfile(t.Entry("5"));
       EXPECT_EQ(t.ConfigOk(t.Pick("7", "neu")), 1u);
       EXPECT_EQ(Drawn(t.P(), t.Frame()), 0u) << "still not started";
       EXPECT_EQ(t.profile->Read(), t.Entry(t.Pick("7", "neu")));
       t.Init();
       EXPECT_EQ(t.Held(), t.Pick("7", "neu"));
     }},
    {"DialogRaisesAboveTheAllocation", "Init with 10, then OK with 4096 (vectrel: a 249-byte text), then 3",
     "draws only what Init allocated (the full text), then 3; the next Init takes the saved 3",
     [](BadInput& t) {
       t.UseProfile(t.Entry(t.Pick("10", "a")));
       t.Init();
       EXPECT_EQ(t.ConfigOk(t.Pick("4096", std::string(249, 'w').c_str())), 1u);
       EXPECT_EQ(t.Held(), t.Pick("10", std::string(249, 'w').c_str()));
       t.Frames(10);
       EXPECT_EQ(t.ConfigOk("3"), 1u);
       EXPECT_EQ(t.Held(), "3");
       t.Quit();
       t.Init();
       EXPECT_EQ(t.Held(), "3");
     }},
    {"DialogTextCutInACharacter", "OK with 300 bytes of Japanese, after a 255-byte text",
     "vectrel holds and saves the whole characters within 249 bytes",
     [](BadInput& t) {
       t.UseProfile(t.Entry(std::string(255, 'x')));
       t.Init();
       const std::string japanese = Japanese300();
       EXPECT_EQ(t.ConfigOk(japanese), 1u);
       EXPECT_EQ(t.Held(), japanese.substr(0, 248));
       t.Quit();
       EXPECT_EQ(t.profile->Read(), t.Entry(japanese.substr(0, 248)));
     },
     "vectrel.zvx"},
    {"AllocationFails", "Init while memory runs out, at each of its allocations",
     "draws nothing, keeps nothing, and starts normally once memory is back",
     [](BadInput& t) {
       t.UseProfile(t.Entry("30"));
       for (int nth = 1; nth <= t.P().blocks; ++nth) {
         SCOPED_TRACE("allocation " + std::to_string(nth) + " fails");
         FailAllocation(t.loaded.module, nth);
         t.Init();
         EXPECT_EQ(CountsOf(t.loaded.module).blocks, 0);
         EXPECT_EQ(t.Held(), "0");
         t.Frames(3);
         t.Quit();
         t.Init();
         EXPECT_EQ(t.Held(), "30");
         t.Quit();
       }
     },
     "particle.zvx line.zvx"},
    {"NullDc", "Draw with a null DC", "draws nothing and keeps no pen",
     [](BadInput& t) {
       t.UseProfile(t.Entry(t.Pick("40", "Velmora")));
       t.Init();
       for (int i = 0; i < 3; ++i) t.loaded.info.Draw(0, 0, nullptr);
       EXPECT_EQ(CountsOf(t.loaded.module).pens, 0);
     }},
};

TEST_P(BadInput, Row) {
  const Row& row = std::get<1>(GetParam());
  RecordProperty("input", row.input);
  RecordProperty("must", row.must);
  SCOPED_TRACE(std::string(P().file) + ": " + row.input + " -> " + row.must);
  row.check(*this);
}

std::vector<std::tuple<Plugin, Row>> Cases() {
  std::vector<std::tuple<Plugin, Row>> cases;
  for (const Plugin& plugin : PLUGINS) {
    for (const Row& row : ROWS) {
      if (row.only == nullptr || std::string(row.only).find(plugin.file) != std::string::npos) {
        cases.emplace_back(plugin, row);
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInput, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<BadInput::ParamType>& info) {
                           std::string file = std::get<0>(info.param).file;
                           return file.substr(0, file.find('.')) + "_" + std::get<1>(info.param).name;
                         });

// Several plug-ins in one process: each loaded module has its own state.

std::vector<std::vector<EmfRecord>> SoloFrames(const char* file, const std::string& path, int frames) {
  LoadedPlugin plugin = LoadShipped(file, TICK);
  std::vector<std::vector<EmfRecord>> recorded;
  if (plugin.module == nullptr) return recorded;
  plugin.info.Init(MakeView(640, 480, nullptr, path.c_str()));
  for (int i = 0; i < frames; ++i) recorded.push_back(RecordEmf([&](HDC dc) { plugin.info.Draw(0, 0, dc); }));
  plugin.info.Quit();
  ClosePlugin(&plugin);
  return recorded;
}

std::vector<DWORD> Flat(const std::vector<EmfRecord>& records) {
  std::vector<DWORD> words;
  for (const EmfRecord& record : records) {
    words.push_back(record.type);
    words.insert(words.end(), record.params.begin(), record.params.end());
  }
  return words;
}

TEST(SideBySide, DifferentPluginsKeepTheirOwnState) {
  TempProfile profile("[Particle]\r\ncnt=7\r\n[BG01]\r\nstring=Solo\r\n[Test]\r\nline=9\r\n");
  const int FRAMES = 6;
  std::vector<std::vector<std::vector<EmfRecord>>> solo;
  for (const Plugin& p : PLUGINS) solo.push_back(SoloFrames(p.file, profile.path, FRAMES));

  LoadedPlugin loaded[3];
  for (int i = 0; i < 3; ++i) {
    loaded[i] = LoadShipped(PLUGINS[i].file, TICK);
    ASSERT_NE(loaded[i].module, nullptr);
    ASSERT_TRUE(Watch(loaded[i].module));
    loaded[i].info.Init(MakeView(640, 480, nullptr, profile.path.c_str()));
  }
  for (int frame = 0; frame < FRAMES - 1; ++frame) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(Flat(RecordEmf([&](HDC dc) { loaded[i].info.Draw(0, 0, dc); })), Flat(solo[i][frame]))
          << PLUGINS[i].file << " frame " << frame;
      EXPECT_EQ(CountsOf(loaded[i].module).blocks, PLUGINS[i].blocks) << PLUGINS[i].file;
    }
  }
  // Stopping one leaves the others running.
  loaded[0].info.Quit();
  EXPECT_EQ(CountsOf(loaded[0].module).blocks, 0);
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(Flat(RecordEmf([&](HDC dc) { loaded[i].info.Draw(0, 0, dc); })), Flat(solo[i][FRAMES - 1]))
        << PLUGINS[i].file;
    EXPECT_EQ(CountsOf(loaded[i].module).blocks, PLUGINS[i].blocks) << PLUGINS[i].file;
  }
  for (int i = 1; i < 3; ++i) loaded[i].info.Quit();
  for (LoadedPlugin& plugin : loaded) {
    EXPECT_EQ(CountsOf(plugin.module).blocks, 0) << plugin.path;
    EXPECT_EQ(CountsOf(plugin.module).pens, 0) << plugin.path;
    ClosePlugin(&plugin);
  }
}

class TwoCopies : public testing::TestWithParam<Plugin> {};

TEST_P(TwoCopies, UnderTwoFileNamesKeepTheirStatesApart) {
  const Plugin& p = GetParam();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string copy = std::string(temp) + "copy-of-" + p.file;
  ASSERT_TRUE(CopyFileA(ShippedPath(p.file).c_str(), copy.c_str(), FALSE));
  auto entry = [&](const char* count, const char* text) {
    return std::string("[") + p.section + "]\r\n" + p.key + "=" + (p.isText ? text : count) + "\r\n";
  };
  TempProfile profileA(entry("3", "Copy A"));
  TempProfile profileB(entry("7", "Copy B"));
  const std::vector<std::vector<EmfRecord>> soloA = SoloFrames(p.file, profileA.path, 4);
  ASSERT_EQ(soloA.size(), 4u);

  LoadedPlugin a = LoadShipped(p.file, TICK);
  LoadedPlugin b;
  std::string error;
  ASSERT_TRUE(OpenPlugin(copy.c_str(), &b, &error)) << error;
  ASSERT_NE(a.module, b.module) << "the copy is a module of its own";
  ASSERT_TRUE(Watch(a.module));
  ASSERT_TRUE(Watch(b.module));
  // The fixed tick is one for all modules: set it before each Init.
  ASSERT_TRUE(FixTickCount(a.module, TICK));
  a.info.Init(MakeView(640, 480, nullptr, profileA.path.c_str()));
  ASSERT_TRUE(FixTickCount(b.module, TICK + 1));
  b.info.Init(MakeView(640, 480, nullptr, profileB.path.c_str()));
  auto frame = [](LoadedPlugin& plugin) { return RecordEmf([&](HDC dc) { plugin.info.Draw(0, 0, dc); }); };
  auto held = [&](LoadedPlugin& plugin) {
    const size_t drawn = Drawn(p, frame(plugin));
    return p.isText ? CountsOf(plugin.module).lastText : std::to_string(drawn);
  };
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Flat(frame(a)), Flat(soloA[i])) << "frame " << i;
    EXPECT_EQ(held(b), p.isText ? "Copy B" : "7");
  }
  EXPECT_EQ(CountsOf(a.module).blocks, p.blocks);
  EXPECT_EQ(CountsOf(b.module).blocks, p.blocks);

  // The copy's dialog changes the copy only.
  const uint32_t ok = WithDialog(
      [&] { return static_cast<uint32_t>(b.info.Config(MakeView(640, 480, nullptr, profileB.path.c_str()))); },
      [&](HWND dialog) {
        SetDlgItemTextA(dialog, 1000, p.isText ? "New B" : "5");
        ClickButton(dialog, IDOK);
      });
  EXPECT_EQ(ok & 0xFF, 1u);
  EXPECT_EQ(held(b), p.isText ? "New B" : "5");
  EXPECT_EQ(Flat(frame(a)), Flat(soloA[3])) << "the original runs on as alone";
  EXPECT_EQ(profileA.Read(), entry("3", "Copy A"));

  a.info.Quit();
  EXPECT_EQ(CountsOf(a.module).blocks, 0);
  EXPECT_EQ(CountsOf(b.module).blocks, p.blocks);
  EXPECT_EQ(held(b), p.isText ? "New B" : "5");
  b.info.Quit();
  EXPECT_EQ(CountsOf(b.module).blocks, 0);
  EXPECT_EQ(CountsOf(a.module).pens + CountsOf(b.module).pens, 0);
  ClosePlugin(&a);
  ClosePlugin(&b);
  DeleteFileA(copy.c_str());
}

INSTANTIATE_TEST_SUITE_P(Deliverables, TwoCopies, testing::ValuesIn(PLUGINS),
                         [](const testing::TestParamInfo<Plugin>& info) {
                           std::string file = info.param.file;
                           return file.substr(0, file.find('.'));
                         });

// One profile file shared by all three plug-ins and by the host.

std::string WithValue(std::string file, const Plugin& p, const std::string& value) {
  const size_t section = file.find(std::string("[") + p.section + "]\r\n");
  const size_t key = file.find(std::string("\r\n") + p.key + "=", section) + 2;
  const size_t end = file.find("\r\n", key);
  return file.replace(key, end - key, std::string(p.key) + "=" + value);
}

std::string WithoutBlankLines(std::string file) {
  for (size_t at; (at = file.find("\r\n\r\n")) != std::string::npos;) file.erase(at, 2);
  if (file.compare(0, 2, "\r\n") == 0) file.erase(0, 2);
  return file;
}

// Every byte outside the saving plug-in's own key stays. Wine writes the whole file
// anew and drops blank lines (and blanks around '=') while doing so; what is in the
// plug-ins' hands is a single write of their own key, so the file with blank lines is
// compared without them.
TEST(SharedProfile, EachSaveChangesOnlyItsOwnKey) {
  const std::string canonical =
      "; the host's settings\r\n"
      "[Host]\r\nwindow=1\r\ncnt=99\r\nline=98\r\n"
      "[Particle]\r\n; particles\r\nbefore=1\r\ncnt=12\r\nafter=\x95\x5c\r\n"
      "[BG01]\r\nstring=\x83\x7c old\r\nlength=3\r\n"
      "[Test]\r\nline=7\r\n; last comment\r\n"
      "[Other]\r\nline=8\r\nstring=x\r\n";
  std::string blank = "\r\n" + canonical + "\r\n";  // and a blank line before every section
  for (size_t at = 0; (at = blank.find("\r\n[", at)) != std::string::npos; at += 3) blank.insert(at, "\r\n");
  const char* saved[] = {"300", "\x90\x56\x82\xb5\x82\xa2", "55"};  // 新しい
  for (const std::string& start : {canonical, blank}) {
    const bool exact = start == canonical;
    SCOPED_TRACE(exact ? "canonical file" : "file with blank lines");
    TempProfile profile(start);
    std::string expected = start;
    for (int i = 0; i < 3; ++i) {
      LoadedPlugin plugin = LoadShipped(PLUGINS[i].file, TICK);
      ASSERT_NE(plugin.module, nullptr);
      const uint32_t ok = WithDialog(
          [&] { return static_cast<uint32_t>(plugin.info.Config(MakeView(640, 480, nullptr, profile.path.c_str()))); },
          [&](HWND dialog) {
            SetDlgItemTextA(dialog, 1000, saved[i]);
            ClickButton(dialog, IDOK);
          });
      EXPECT_EQ(ok & 0xFF, 1u);
      expected = WithValue(expected, PLUGINS[i], saved[i]);
      if (exact) {
        EXPECT_EQ(profile.Read(), expected) << "after saving " << PLUGINS[i].file;
      } else {
        EXPECT_EQ(WithoutBlankLines(profile.Read()), WithoutBlankLines(expected)) << "after saving " << PLUGINS[i].file;
      }
      ClosePlugin(&plugin);
    }
  }
}

}  // namespace
