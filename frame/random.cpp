#include "random.h"

#include "platform.h"

// One thread-local slot per module, taken on first use. The slot holds the state
// XOR 1, so that the zero a fresh thread reads is the starting state 1.
static DWORD slot = TLS_OUT_OF_INDEXES;
// Used only when the system has no slot left; then threads share one state.
static uint32_t sharedState = 1;

static bool HaveSlot() {
  if (slot == TLS_OUT_OF_INDEXES) slot = TlsAlloc();
  return slot != TLS_OUT_OF_INDEXES;
}

static uint32_t LoadState() {
  if (!HaveSlot()) return sharedState;
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(TlsGetValue(slot))) ^ 1u;
}

static void StoreState(uint32_t state) {
  if (!HaveSlot()) {
    sharedState = state;
    return;
  }
  TlsSetValue(slot, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(state ^ 1u)));
}

void SeedRandomSource(uint32_t seed) { StoreState(seed); }

int32_t DrawRandom() {
  uint32_t state = NextRandomState(LoadState());
  StoreState(state);
  return RandomValue(state);
}

void ReleaseRandomSource() {
  if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
  slot = TLS_OUT_OF_INDEXES;
}
