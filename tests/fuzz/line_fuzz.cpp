// line under fuzzed sessions: every frame draws one segment per point it may draw,
// from where the point was to where it is now, after bending its velocity by at most
// one unit toward the centre, and leaves the other points alone.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "line.h"
#include "recorder.h"
#include "session.h"

namespace {

int32_t centerX;
int32_t centerY;
std::vector<Position> positionsBefore;
std::vector<Velocity> velocitiesBefore;

int32_t Drawable() { return std::max(0, std::min(lineCount, AllocatedLines())); }

// The signed difference of two wrapping 32-bit values.
int32_t Step(int32_t after, int32_t before) {
  return static_cast<int32_t>(static_cast<uint32_t>(after) - static_cast<uint32_t>(before));
}

int32_t Toward(int32_t at, int32_t center) { return at < center ? 1 : at > center ? -1 : 0; }

void AfterInit(const ViewInfo& view) {
  const int32_t width = std::max(view.width, 1);
  const int32_t height = std::max(view.height, 1);
  centerX = width >> 1;
  centerY = height >> 1;
  FUZZ_CHECK(AllocatedLines() == lineCount);
  for (int32_t i = 0; i < AllocatedLines(); ++i) {
    FUZZ_CHECK(Positions()[i].x >= 0 && Positions()[i].x < width);
    FUZZ_CHECK(Positions()[i].y >= 0 && Positions()[i].y < height);
    FUZZ_CHECK(Velocities()[i].dx == 1 || Velocities()[i].dx == -1);
    FUZZ_CHECK(Velocities()[i].dy == 1 || Velocities()[i].dy == -1);
  }
}

void BeforeDraw() {
  positionsBefore.assign(Positions(), Positions() + AllocatedLines());
  velocitiesBefore.assign(Velocities(), Velocities() + AllocatedLines());
}

void AfterDraw(bool) {
  const int32_t drawn = Drawable();
  const auto& calls = recorder.calls;
  FUZZ_CHECK(calls.size() == 4 + 2 * static_cast<size_t>(drawn));
  FUZZ_CHECK(calls[0].op == Op::CreatePen && calls[0].colour == LINE_COLOR);
  FUZZ_CHECK(calls[1].op == Op::SelectObject && calls[1].object == calls[0].object);
  FUZZ_CHECK(calls[calls.size() - 2].op == Op::SelectObject && calls[calls.size() - 2].object == recorder.initialPen);
  FUZZ_CHECK(calls.back().op == Op::DeleteObject && calls.back().object == calls[0].object);
  for (int32_t i = 0; i < AllocatedLines(); ++i) {
    const Position& was = positionsBefore[i];
    const Position& is = Positions()[i];
    const Velocity& v = Velocities()[i];
    if (i >= drawn) {
      FUZZ_CHECK(is.x == was.x && is.y == was.y);
      FUZZ_CHECK(v.dx == velocitiesBefore[i].dx && v.dy == velocitiesBefore[i].dy);
      continue;
    }
    const GdiCall& move = calls[2 + 2 * static_cast<size_t>(i)];
    const GdiCall& line = calls[3 + 2 * static_cast<size_t>(i)];
    FUZZ_CHECK(move.op == Op::MoveTo && move.x == was.x && move.y == was.y);
    FUZZ_CHECK(line.op == Op::LineTo && line.x == is.x && line.y == is.y);
    FUZZ_CHECK(Step(v.dx, velocitiesBefore[i].dx) == Toward(was.x, centerX));
    FUZZ_CHECK(Step(v.dy, velocitiesBefore[i].dy) == Toward(was.y, centerY));
    FUZZ_CHECK(Step(is.x, was.x) == v.dx && Step(is.y, was.y) == v.dy);
  }
}

void AfterQuit() {
  FUZZ_CHECK(Positions() == nullptr && Velocities() == nullptr);
  FUZZ_CHECK(AllocatedLines() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RunSession(data, size, {AfterInit, BeforeDraw, AfterDraw, AfterQuit});
}
