// particle under fuzzed sessions: every frame sets 16 pixels per particle it may draw,
// on its curves, in the trail's colours, and advances exactly those particles.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "particle.h"
#include "recorder.h"
#include "session.h"

namespace {

int32_t centerX;
int32_t centerY;
std::vector<int32_t> phasesBefore;

bool Within(int32_t v, int32_t center) {
  const int64_t twice = 2 * static_cast<int64_t>(center);
  return v >= std::min<int64_t>(0, twice) && v <= std::max<int64_t>(0, twice);
}

int32_t Drawable() { return std::max(0, std::min(particleCount, AllocatedParticles())); }

void AfterInit(const ViewInfo& view) {
  centerX = view.width >> 1;
  centerY = view.height >> 1;
  FUZZ_CHECK(AllocatedParticles() == particleCount);
  for (int32_t i = 0; i < AllocatedParticles(); ++i) FUZZ_CHECK(Phases()[i] >= 0 && Phases()[i] <= 32767);
  for (int i = 0; i < SINE_TABLE_SIZE; ++i) FUZZ_CHECK(SineTable()[i] >= -1023 && SineTable()[i] <= 1023);
}

void BeforeDraw() { phasesBefore.assign(Phases(), Phases() + AllocatedParticles()); }

void AfterDraw(bool) {
  const int32_t drawn = Drawable();
  FUZZ_CHECK(recorder.calls.size() == 16 * static_cast<size_t>(drawn));
  for (size_t c = 0; c < recorder.calls.size(); ++c) {
    const GdiCall& call = recorder.calls[c];
    FUZZ_CHECK(call.op == Op::SetPixel);
    FUZZ_CHECK(call.colour == (c % 16) * TRAIL_COLOR_STEP);
    FUZZ_CHECK(Within(call.x, centerX) && Within(call.y, centerY));
  }
  FUZZ_CHECK(static_cast<int32_t>(phasesBefore.size()) == AllocatedParticles());
  for (int32_t i = 0; i < AllocatedParticles(); ++i) {
    const int32_t step = i < drawn ? PHASE_STEP : 0;
    FUZZ_CHECK(static_cast<uint32_t>(Phases()[i]) ==
               static_cast<uint32_t>(phasesBefore[i]) + static_cast<uint32_t>(step));
  }
}

void AfterQuit() {
  FUZZ_CHECK(Phases() == nullptr);
  FUZZ_CHECK(AllocatedParticles() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RunSession(data, size, {AfterInit, BeforeDraw, AfterDraw, AfterQuit});
}
