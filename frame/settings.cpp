#include "settings.h"

#include "deliverable.h"
#include "platform.h"
#include "plugin.h"

// Signed decimal without leading zeros or blanks; `digits` holds at least 12 bytes.
static void FormatCount(int32_t value, char* digits) {
  char reversed[12];
  int length = 0;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    reversed[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *digits++ = '-';
  while (length > 0) *digits++ = reversed[--length];
  *digits = '\0';
}

static int32_t ClampCount(int32_t value) {
  if (value > COUNT_MAX) return COUNT_MAX;
  if (value < COUNT_MIN) return COUNT_MIN;
  return value;
}

void LoadSetting() {
  const Setting& setting = deliverable.setting;
  const char* path = recordedView.profilePath;
  if (setting.kind == SettingKind::Count) {
    // A null path would make the system fall back to WIN.INI; it names no file of ours.
    int32_t value = setting.defaultCount;
    if (path != nullptr) {
      // The system returns the number as unsigned; from 2^31 up it counts as negative.
      value = static_cast<int32_t>(
          GetPrivateProfileIntA(setting.section, setting.key, setting.defaultCount, path));
    }
    *setting.count = ClampCount(value);
    return;
  }
  char* text = setting.text;
  if (path == nullptr) {
    int i = 0;
    for (; i < TEXT_SETTING_SIZE - 1 && setting.defaultText[i] != '\0'; ++i) text[i] = setting.defaultText[i];
    text[i] = '\0';
    return;
  }
  // Cleared first: when the cut falls inside a two-byte character, the system may
  // leave the byte before the NUL as it was, a byte of the previous text.
  for (int i = 0; i < TEXT_SETTING_SIZE; ++i) text[i] = '\0';
  GetPrivateProfileStringA(setting.section, setting.key, setting.defaultText, text,
                           TEXT_SETTING_SIZE, path);
  text[TEXT_SETTING_SIZE - 1] = '\0';
  DropSplitCharacter(text);
}

void DropSplitCharacter(char* text) {
  for (int i = 0; text[i] != '\0'; ++i) {
    if (!IsDBCSLeadByte(static_cast<BYTE>(text[i]))) continue;
    if (text[i + 1] == '\0') {
      text[i] = '\0';
      return;
    }
    ++i;
  }
}

void SaveSetting() {
  const Setting& setting = deliverable.setting;
  const char* path = recordedView.profilePath;
  if (path == nullptr) return;
  if (setting.kind == SettingKind::Count) {
    char digits[12];
    FormatCount(*setting.count, digits);
    WritePrivateProfileStringA(setting.section, setting.key, digits, path);
  } else {
    WritePrivateProfileStringA(setting.section, setting.key, setting.text, path);
  }
}
