// Text and outline effect: a text drifting and bouncing over a green closed outline of
// 16 vertices, which is drawn together with its positions of the last frames.
#pragma once

#include <cstdint>

#include "deliverable.h"

constexpr int HISTORY_LENGTH = 8;          // snapshot 0 is the live outline
constexpr int VERTEX_COUNT = 16;
constexpr int32_t VERTEX_STEP = 8;         // pixels per frame on each axis
constexpr int32_t TEXT_BYTE_WIDTH = 8;     // pixels per byte of text, for bouncing
constexpr int32_t TEXT_HEIGHT = 16;
constexpr uint32_t OUTLINE_COLOR = 0x00C000;  // green 192

struct Vertex {
  int32_t x;
  int32_t y;
};

// Each -1 or +1.
struct Direction {
  int32_t dx;
  int32_t dy;
};

// The module's state, open to tests and tools. `text` is the held setting.
extern char text[TEXT_SETTING_SIZE];
extern int32_t textX;
extern int32_t textY;
extern int32_t textVX;
extern int32_t textVY;
extern Vertex history[HISTORY_LENGTH][VERTEX_COUNT];
extern Direction vertexVelocity[VERTEX_COUNT];
