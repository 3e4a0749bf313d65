#include "vectrel.h"

#include "arith.h"
#include "platform.h"
#include "plugin.h"
#include "random.h"
#include "settings.h"

char text[TEXT_SETTING_SIZE];
int32_t textX;
int32_t textY;
int32_t textVX;
int32_t textVY;
Vertex history[HISTORY_LENGTH][VERTEX_COUNT];
Direction vertexVelocity[VERTEX_COUNT];

// Between Init and Quit. A Draw outside that span has no effect to show and draws nothing.
static bool running;

// A draw turned into a place on an axis of `size` pixels. A host may pass a size of 0
// for a minimised window; such an axis has no room, and everything starts at 0 on it.
static int32_t PlaceOn(int32_t r, int32_t size) { return size >= 1 ? r % size : 0; }

static int32_t RandomDirection() { return DrawRandom() % 2 != 0 ? +1 : -1; }

// Bytes before the NUL, never looking past the buffer.
static int32_t TextLength() {
  int32_t length = 0;
  while (length < TEXT_SETTING_SIZE - 1 && text[length] != '\0') ++length;
  return length;
}

void PLUGIN_CALL Init(ViewInfo view) {
  RecordView(view);
  LoadSetting();
  SeedRandomSource(GetTickCount());

  textX = PlaceOn(DrawRandom(), view.width);
  textY = PlaceOn(DrawRandom(), view.height);
  textVX = DrawRandom() % 16 - 8;
  textVY = DrawRandom() % 16 - 8;

  for (int v = 0; v < VERTEX_COUNT; ++v) {
    history[0][v].x = PlaceOn(DrawRandom(), view.width);
    history[0][v].y = PlaceOn(DrawRandom(), view.height);
    vertexVelocity[v].dx = RandomDirection();
    vertexVelocity[v].dy = RandomDirection();
  }
  for (int s = 1; s < HISTORY_LENGTH; ++s) {
    for (int v = 0; v < VERTEX_COUNT; ++v) history[s][v] = history[0][v];
  }
  running = true;
}

static void ShiftHistory() {
  Vertex scratch[HISTORY_LENGTH - 1][VERTEX_COUNT];
  for (int s = 0; s < HISTORY_LENGTH - 1; ++s) {
    for (int v = 0; v < VERTEX_COUNT; ++v) scratch[s][v] = history[s][v];
  }
  for (int s = 1; s < HISTORY_LENGTH; ++s) {
    for (int v = 0; v < VERTEX_COUNT; ++v) history[s][v] = scratch[s - 1][v];
  }
}

// Each snapshot as a closed outline: from vertex 15 round through vertices 0 to 15.
static void DrawHistory(HDC dc) {
  for (int s = 0; s < HISTORY_LENGTH; ++s) {
    const Vertex* outline = history[s];
    MoveToEx(dc, outline[VERTEX_COUNT - 1].x, outline[VERTEX_COUNT - 1].y, nullptr);
    for (int v = 0; v < VERTEX_COUNT; ++v) LineTo(dc, outline[v].x, outline[v].y);
  }
}

// Moved first and tested afterwards, so a vertex may stand up to 8 pixels outside.
static void MoveOutline(int32_t width, int32_t height) {
  for (int v = 0; v < VERTEX_COUNT; ++v) {
    Vertex& vertex = history[0][v];
    Direction& direction = vertexVelocity[v];
    vertex.x = WrapAdd(vertex.x, direction.dx * VERTEX_STEP);
    if (vertex.x >= width) {
      direction.dx = -1;
    } else if (vertex.x < 0) {
      direction.dx = +1;
    }
    vertex.y = WrapAdd(vertex.y, direction.dy * VERTEX_STEP);
    if (vertex.y >= height) {
      direction.dy = -1;
    } else if (vertex.y < 0) {
      direction.dy = +1;
    }
  }
}

// The position is never pulled back: beyond a bound a new speed is drawn every frame.
static void MoveText(int32_t width, int32_t height, int32_t length) {
  textX = WrapAdd(textX, textVX);
  textY = WrapAdd(textY, textVY);
  if (textX > WrapAdd(width, WrapMul(-TEXT_BYTE_WIDTH, length))) textVX = -(DrawRandom() % 8) - 2;
  if (textY > WrapAdd(height, -TEXT_HEIGHT)) textVY = -(DrawRandom() % 8) - 2;
  if (textX < 0) textVX = DrawRandom() % 8 + 2;
  if (textY < 0) textVY = DrawRandom() % 8 + 2;
}

void PLUGIN_CALL Draw(uint32_t, uint32_t, HDC dc) {
  if (!running) return;
  // The bounds of every frame, so that a Config with another size acts at once.
  const int32_t width = recordedView.width;
  const int32_t height = recordedView.height;

  HPEN pen = CreatePen(PS_SOLID, 0, OUTLINE_COLOR);
  HGDIOBJ previous = SelectObject(dc, pen);

  ShiftHistory();
  DrawHistory(dc);
  MoveOutline(width, height);

  const int32_t length = TextLength();
  TextOutA(dc, textX, textY, text, length);
  MoveText(width, height, length);

  SelectObject(dc, previous);
  DeleteObject(pen);
}

void PLUGIN_CALL Quit() { running = false; }
