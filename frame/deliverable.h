// What tells one deliverable from another: its strings and its single setting. Each
// deliverable defines `deliverable` once, in a small table of its own.
#pragma once

#include <cstdint>

enum class SettingKind { Count, Text };

// The text setting is held in a buffer of this size, NUL included.
constexpr int TEXT_SETTING_SIZE = 256;

struct Setting {
  const char* section;
  const char* key;
  SettingKind kind;
  int32_t defaultCount;     // Count only
  const char* defaultText;  // Text only
  int32_t* count;           // the held count, for Count
  char* text;               // the held text (TEXT_SETTING_SIZE bytes), for Text
};

struct Deliverable {
  const char* name;         // code page 932
  const char* configLabel;  // code page 932
  Setting setting;
};

extern const Deliverable deliverable;
