// Particle orbit effect: particles following products of sines, drawn as trails.
#pragma once

#include <cstdint>

constexpr int SINE_TABLE_SIZE = 512;
constexpr int32_t PHASE_STEP = 8;
constexpr int TRAIL_LENGTH = 16;
constexpr int32_t TRAIL_SPACING = 4;          // phase units between trail pixels
constexpr uint32_t TRAIL_COLOR_STEP = 0x081010;  // red +16, green +16, blue +8

extern int32_t particleCount;

// Read-only views of the effect's state, for tests and tools.
const int16_t* SineTable();
int32_t* Phases();
int32_t AllocatedParticles();
