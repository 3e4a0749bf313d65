// vectrel under fuzzed sessions: every frame draws the eight outlines of its history
// and its text, moves every vertex by 8 pixels on each axis and turns it at the bounds
// of the latest view, and keeps the text's speed within 9 pixels.
#include <cstdint>
#include <cstring>

#include "plugin.h"
#include "recorder.h"
#include "session.h"
#include "vectrel.h"

namespace {

Vertex historyBefore[HISTORY_LENGTH][VERTEX_COUNT];
int32_t textXBefore;
int32_t textYBefore;

int32_t Step(int32_t after, int32_t before) {
  return static_cast<int32_t>(static_cast<uint32_t>(after) - static_cast<uint32_t>(before));
}

bool IsSpeed(int32_t v) { return v >= -9 && v <= 9; }

void AfterInit(const ViewInfo& view) {
  for (int v = 0; v < VERTEX_COUNT; ++v) {
    const Vertex& at = history[0][v];
    FUZZ_CHECK(view.width >= 1 ? at.x >= 0 && at.x < view.width : at.x == 0);
    FUZZ_CHECK(view.height >= 1 ? at.y >= 0 && at.y < view.height : at.y == 0);
    for (int s = 1; s < HISTORY_LENGTH; ++s) FUZZ_CHECK(history[s][v].x == at.x && history[s][v].y == at.y);
  }
  FUZZ_CHECK(textVX >= -8 && textVX <= 7 && textVY >= -8 && textVY <= 7);
}

void BeforeDraw() {
  std::memcpy(historyBefore, history, sizeof(history));
  textXBefore = textX;
  textYBefore = textY;
}

void AfterDraw(bool running) {
  const auto& calls = recorder.calls;
  if (!running) {
    FUZZ_CHECK(calls.empty());
    return;
  }
  FUZZ_CHECK(calls.size() == 2 + HISTORY_LENGTH * (1 + VERTEX_COUNT) + 1 + 2);
  FUZZ_CHECK(calls[0].op == Op::CreatePen && calls[0].colour == OUTLINE_COLOR);
  FUZZ_CHECK(calls[1].op == Op::SelectObject && calls[1].object == calls[0].object);
  size_t at = 2;
  for (int s = 0; s < HISTORY_LENGTH; ++s) {
    // Drawn after the shift: snapshot 0 twice, then the older ones.
    const Vertex* drawn = historyBefore[s == 0 ? 0 : s - 1];
    FUZZ_CHECK(calls[at].op == Op::MoveTo && calls[at].x == drawn[VERTEX_COUNT - 1].x &&
               calls[at].y == drawn[VERTEX_COUNT - 1].y);
    ++at;
    for (int v = 0; v < VERTEX_COUNT; ++v, ++at) {
      FUZZ_CHECK(calls[at].op == Op::LineTo && calls[at].x == drawn[v].x && calls[at].y == drawn[v].y);
    }
    if (s > 0) FUZZ_CHECK(std::memcmp(history[s], historyBefore[s - 1], sizeof(history[s])) == 0);
  }
  const GdiCall& textOut = calls[at++];
  FUZZ_CHECK(textOut.op == Op::TextOut && textOut.x == textXBefore && textOut.y == textYBefore);
  FUZZ_CHECK(textOut.text.size() <= TEXT_SETTING_SIZE - 1 && textOut.text == std::string(text));
  FUZZ_CHECK(calls[at].op == Op::SelectObject && calls[at].object == recorder.initialPen);
  FUZZ_CHECK(calls[at + 1].op == Op::DeleteObject && calls[at + 1].object == calls[0].object);

  for (int v = 0; v < VERTEX_COUNT; ++v) {
    const Vertex& is = history[0][v];
    const Direction& d = vertexVelocity[v];
    FUZZ_CHECK(Step(is.x, historyBefore[0][v].x) == 8 || Step(is.x, historyBefore[0][v].x) == -8);
    FUZZ_CHECK(Step(is.y, historyBefore[0][v].y) == 8 || Step(is.y, historyBefore[0][v].y) == -8);
    if (is.x >= recordedView.width) FUZZ_CHECK(d.dx == -1);
    if (is.x < 0 && is.x < recordedView.width) FUZZ_CHECK(d.dx == 1);
    if (is.y >= recordedView.height) FUZZ_CHECK(d.dy == -1);
    if (is.y < 0 && is.y < recordedView.height) FUZZ_CHECK(d.dy == 1);
    FUZZ_CHECK((d.dx == 1 || d.dx == -1) && (d.dy == 1 || d.dy == -1));
  }
  FUZZ_CHECK(IsSpeed(textVX) && IsSpeed(textVY));
}

void AfterQuit() {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RunSession(data, size, {AfterInit, BeforeDraw, AfterDraw, AfterQuit});
}
