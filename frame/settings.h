// The effect's single setting in the profile file named by the recorded view.
#pragma once

#include <cstdint>

constexpr int32_t COUNT_MIN = 1;
constexpr int32_t COUNT_MAX = 4096;

// Reads the setting into the held value; counts are clamped to COUNT_MIN..COUNT_MAX.
void LoadSetting();
// Writes the held value back as it is.
void SaveSetting();
