#include "line.h"

#include <cstdlib>

#include "arith.h"
#include "platform.h"
#include "plugin.h"
#include "random.h"
#include "settings.h"

int32_t lineCount;

static Position* positions;
static Velocity* velocities;
static int32_t allocatedLines;  // entries in each array; Draw never goes past it
static int32_t centerX;
static int32_t centerY;

Position* Positions() { return positions; }
Velocity* Velocities() { return velocities; }
int32_t AllocatedLines() { return allocatedLines; }

static void ReleaseArrays() {
  free(positions);
  positions = nullptr;
  free(velocities);
  velocities = nullptr;
  allocatedLines = 0;
}

// The placement takes remainders by the view's size. A size below 1 counts as one
// pixel: that axis then has its centre at 0 and every point starts there.
static int32_t UsableSize(int32_t size) { return size < 1 ? 1 : size; }

// An odd draw gives +1, an even one -1.
static int32_t Direction(int32_t r) { return r % 2 != 0 ? 1 : -1; }

// One unit toward the centre; a point on the centre line keeps its velocity. Without
// branches: the side of the centre changes at random from one point to the next, and
// a mispredicted branch would cost more than the whole step.
static int32_t Bend(int32_t velocity, int32_t coordinate, int32_t center) {
  return WrapAdd(velocity, (coordinate < center) - (coordinate > center));
}

void PLUGIN_CALL Init(ViewInfo view) {
  RecordView(view);
  LoadSetting();
  SeedRandomSource(GetTickCount());

  // A second Init without Quit must not leak the first arrays.
  ReleaseArrays();
  const size_t count = static_cast<size_t>(lineCount);
  positions = static_cast<Position*>(malloc(count * sizeof(Position)));
  velocities = static_cast<Velocity*>(malloc(count * sizeof(Velocity)));
  // The effect needs both; without them it runs with nothing to draw.
  if (positions == nullptr || velocities == nullptr) {
    ReleaseArrays();
  } else {
    allocatedLines = lineCount;
  }

  const int32_t width = UsableSize(view.width);
  const int32_t height = UsableSize(view.height);
  centerX = width >> 1;
  centerY = height >> 1;
  for (int32_t i = 0; i < allocatedLines; ++i) {
    positions[i].x = DrawRandom() % width;
    positions[i].y = DrawRandom() % height;
    velocities[i].dx = Direction(DrawRandom());
    velocities[i].dy = Direction(DrawRandom());
  }
}

void PLUGIN_CALL Draw(uint32_t, uint32_t, HDC dc) {
  HPEN pen = CreatePen(PS_SOLID, 0, LINE_COLOR);
  HGDIOBJ previous = SelectObject(dc, pen);

  // The settings dialog may raise the count above what Init allocated.
  const int32_t count = lineCount < allocatedLines ? lineCount : allocatedLines;
  // Held in locals, which the GDI calls cannot change: module variables would have to
  // be read again after every call.
  Position* const position = positions;
  Velocity* const velocity = velocities;
  const Position center = {centerX, centerY};
  for (int32_t i = 0; i < count; ++i) {
    velocity[i].dx = Bend(velocity[i].dx, position[i].x, center.x);
    velocity[i].dy = Bend(velocity[i].dy, position[i].y, center.y);
    MoveToEx(dc, position[i].x, position[i].y, nullptr);
    position[i].x = WrapAdd(position[i].x, velocity[i].dx);
    position[i].y = WrapAdd(position[i].y, velocity[i].dy);
    LineTo(dc, position[i].x, position[i].y);
  }

  SelectObject(dc, previous);
  DeleteObject(pen);
}

void PLUGIN_CALL Quit() { ReleaseArrays(); }
