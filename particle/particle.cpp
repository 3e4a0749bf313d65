#include "particle.h"

#include <cmath>
#include <cstdlib>

#include "arith.h"
#include "platform.h"
#include "plugin.h"
#include "random.h"
#include "settings.h"

int32_t particleCount;

static int32_t* phases;
static int32_t allocatedParticles;  // entries in phases; Draw never goes past it
static int16_t sineTable[SINE_TABLE_SIZE];
static int32_t centerX;
static int32_t centerY;

const int16_t* SineTable() { return sineTable; }
int32_t* Phases() { return phases; }
int32_t AllocatedParticles() { return allocatedParticles; }

static void ReleasePhases() {
  free(phases);
  phases = nullptr;
  allocatedParticles = 0;
}

// The angle factor is 6.28, not 2 pi: the table stops just short of a full turn.
static void FillSineTable() {
  for (int i = 0; i < SINE_TABLE_SIZE; ++i) {
    sineTable[i] = static_cast<int16_t>(std::sin(i * 6.28 * (1.0 / SINE_TABLE_SIZE)) * 1024);
  }
}

// centre × sine × sine / 2^20. The product is formed in 64 bits so that views wider
// than about 4000 pixels stay on the same curves; below that it equals the 32-bit one.
static int32_t Offset(int32_t sineProduct, int32_t center) {
  return static_cast<int32_t>((static_cast<int64_t>(sineProduct) * center) >> 20);
}

void PLUGIN_CALL Init(ViewInfo view) {
  RecordView(view);
  LoadSetting();
  SeedRandomSource(GetTickCount());
  centerX = view.width >> 1;
  centerY = view.height >> 1;

  // A second Init without Quit must not leak the first array.
  ReleasePhases();
  phases = static_cast<int32_t*>(malloc(static_cast<size_t>(particleCount) * sizeof(int32_t)));
  // Without the array the effect runs with nothing to draw.
  if (phases != nullptr) allocatedParticles = particleCount;
  for (int32_t i = 0; i < allocatedParticles; ++i) phases[i] = DrawRandom();

  FillSineTable();
}

void PLUGIN_CALL Draw(uint32_t, uint32_t, HDC dc) {
  // The settings dialog may raise the count above what Init allocated.
  const int32_t count = particleCount < allocatedParticles ? particleCount : allocatedParticles;
  for (int32_t i = 0; i < count; ++i) {
    int32_t a = phases[i];
    int32_t b = WrapMul(3, phases[i]) / 4;
    COLORREF colour = 0;
    // Unrolled, the steps of a and b and the colours become constants of each pixel.
#pragma GCC unroll TRAIL_LENGTH
    for (int k = 0; k < TRAIL_LENGTH; ++k) {
      a = WrapAdd(a, TRAIL_SPACING);
      b = WrapAdd(b, TRAIL_SPACING);
      const int32_t y = centerY + Offset(sineTable[(a >> 5) & 511] * sineTable[b & 511], centerY);
      const int32_t x = centerX + Offset(sineTable[(b >> 5) & 511] * sineTable[a & 511], centerX);
      SetPixel(dc, x, y, colour);
      colour += TRAIL_COLOR_STEP;
    }
    phases[i] = WrapAdd(phases[i], PHASE_STEP);
  }
}

void PLUGIN_CALL Quit() { ReleasePhases(); }
