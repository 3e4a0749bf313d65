// The effect's single setting in the profile file named by the recorded view.
#pragma once

#include <cstdint>

constexpr int32_t COUNT_MIN = 1;
constexpr int32_t COUNT_MAX = 4096;

// Reads the setting into the held value; counts are clamped to COUNT_MIN..COUNT_MAX.
void LoadSetting();
// Writes the held value back as it is.
void SaveSetting();
// A text cut to a number of bytes may end in the first half of a two-byte character
// (code page 932): that would show as a stray glyph and be dropped by the next save,
// so the cut goes before it.
void DropSplitCharacter(char* text);
