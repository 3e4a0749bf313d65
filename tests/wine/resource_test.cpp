// Dialog resource 101 of each shipped plug-in, read back from the file and compared
// field by field with the dialog it must be.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support.h"

namespace {

struct Control {
  WORD id;
  WORD windowClass;  // atom: 0x80 button, 0x81 edit, 0x82 static
  std::u16string text;
  short x, y, cx, cy;
  DWORD style;
};

struct Dialog {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
  std::u16string caption;
  WORD pointSize;
  std::u16string face;
  std::vector<Control> controls;
};

const DWORD OK_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
const DWORD CANCEL_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
const DWORD FIELD_STYLE = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
const DWORD LABEL_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;

Dialog Expected(short fieldWidth, const std::u16string& label, short labelWidth) {
  return Dialog{0x80C800C0, 0, 0, 0, 187, 93, u"設定", 9, u"ＭＳ Ｐゴシック",
                {{1, 0x80, u"OK", 71, 72, 50, 14, OK_STYLE},
                 {2, 0x80, u"ｷｬﾝｾﾙ", 130, 72, 50, 14, CANCEL_STYLE},
                 {1000, 0x81, u"", 30, 40, fieldWidth, 14, FIELD_STYLE},
                 {0xFFFF, 0x82, label, 21, 27, labelWidth, 8, LABEL_STYLE}}};
}

Dialog ExpectedParticle() {
  Dialog dialog = Expected(37, u"粒子の数", 28);
  dialog.controls.push_back({0xFFFF, 0x82, u"'Particle' Ver 0.1\n点の数を1～4096の範囲で指定してください．", 96, 25,
                             74, 31, LABEL_STYLE});
  return dialog;
}

// Reads a classic DLGTEMPLATE; the test fails on anything else.
struct TemplateReader {
  const BYTE* at;
  WORD Word() {
    WORD value;
    std::memcpy(&value, at, 2);
    at += 2;
    return value;
  }
  DWORD Dword() { return Word() | (static_cast<DWORD>(Word()) << 16); }
  short Short() { return static_cast<short>(Word()); }
  std::u16string Text() {
    std::u16string text;
    for (WORD c = Word(); c != 0; c = Word()) text += static_cast<char16_t>(c);
    return text;
  }
  void AlignDword(const BYTE* base) { at += (4 - (at - base) % 4) % 4; }
};

Dialog ReadDialog(const std::string& file) {
  HMODULE module = LoadLibraryExA(ShippedPath(file).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(module, nullptr);
  HRSRC resource = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(101), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
  EXPECT_NE(resource, nullptr) << "dialog 101 in language 0x0411";
  Dialog dialog = {};
  if (resource == nullptr) return dialog;
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
  TemplateReader r{base};
  dialog.style = r.Dword();
  dialog.exStyle = r.Dword();
  EXPECT_NE(dialog.style >> 16, 0xFFFFu) << "a classic DIALOG, not DIALOGEX";
  WORD count = r.Word();
  dialog.x = r.Short();
  dialog.y = r.Short();
  dialog.cx = r.Short();
  dialog.cy = r.Short();
  EXPECT_EQ(r.Word(), 0) << "no menu";
  EXPECT_EQ(r.Word(), 0) << "the standard dialog class";
  dialog.caption = r.Text();
  if (dialog.style & DS_SETFONT) {
    dialog.pointSize = r.Word();
    dialog.face = r.Text();
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignDword(base);
    Control c;
    c.style = r.Dword();
    EXPECT_EQ(r.Dword(), 0u) << "control " << i << " has no extended style";
    c.x = r.Short();
    c.y = r.Short();
    c.cx = r.Short();
    c.cy = r.Short();
    c.id = r.Word();
    EXPECT_EQ(r.Word(), 0xFFFF) << "control " << i << " of a predefined class";
    c.windowClass = r.Word();
    c.text = r.Text();
    EXPECT_EQ(r.Word(), 0) << "control " << i << " has no creation data";
    dialog.controls.push_back(c);
  }
  FreeLibrary(module);
  return dialog;
}

std::string Hex(const std::u16string& text) {
  std::string out;
  char unit[8];
  for (char16_t c : text) {
    snprintf(unit, sizeof(unit), "%04X ", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

TEST(SettingsDialogResource, MatchesTheDialogOfEachPlugin) {
  const std::pair<const char*, Dialog> cases[] = {
      {"particle.zvx", ExpectedParticle()},
      {"vectrel.zvx", Expected(112, u"文字", 15)},
      {"line.zvx", Expected(112, u"線の本数", 28)},
  };
  for (const auto& [file, want] : cases) {
    SCOPED_TRACE(file);
    Dialog got = ReadDialog(file);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.exStyle, want.exStyle);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(Hex(got.caption), Hex(want.caption));
    EXPECT_EQ(got.pointSize, want.pointSize);
    EXPECT_EQ(Hex(got.face), Hex(want.face));
    ASSERT_EQ(got.controls.size(), want.controls.size());
    for (size_t i = 0; i < want.controls.size(); ++i) {
      SCOPED_TRACE("control " + std::to_string(i + 1));
      const Control& g = got.controls[i];
      const Control& w = want.controls[i];
      EXPECT_EQ(g.id, w.id);
      EXPECT_EQ(g.windowClass, w.windowClass);
      EXPECT_EQ(Hex(g.text), Hex(w.text));
      EXPECT_EQ(g.x, w.x);
      EXPECT_EQ(g.y, w.y);
      EXPECT_EQ(g.cx, w.cx);
      EXPECT_EQ(g.cy, w.cy);
      EXPECT_EQ(g.style, w.style) << std::hex << g.style << " " << w.style;
    }
  }
}

}  // namespace
