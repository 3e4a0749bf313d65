// Line swarm effect: points swinging about the view's centre under a constant pull
// toward it, each drawing a short teal segment per frame.
#pragma once

#include <cstdint>

constexpr uint32_t LINE_COLOR = 0x00C0C000;  // red 0, green 192, blue 192

struct Position {
  int32_t x;
  int32_t y;
};

struct Velocity {
  int32_t dx;
  int32_t dy;
};

extern int32_t lineCount;

// The effect's state, for tests and tools.
Position* Positions();
Velocity* Velocities();
int32_t AllocatedLines();
