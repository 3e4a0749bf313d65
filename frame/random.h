// The pseudo-random generator of every effect: a linear congruential generator whose
// state lives per thread and starts at 1 in a thread that never seeded it.
#pragma once

#include <cstdint>

void SeedRandomSource(uint32_t seed);
// The next draw, 0 to 32767.
int32_t DrawRandom();
void ReleaseRandomSource();

// The generator's step on a state, shared with tests and tools that predict draws.
constexpr uint32_t NextRandomState(uint32_t state) { return state * 214013u + 2531011u; }
constexpr int32_t RandomValue(uint32_t state) { return static_cast<int32_t>((state >> 16) & 0x7FFF); }
