// Calls a function with 32-bit arguments pushed right to left, as both C and standard
// calls do, and reports how far the stack pointer moved across the call: minus the
// argument bytes when the caller must pop them (C), zero when the callee did (stdcall).
// The way back does not trust the callee: the stack pointer and the frame are restored
// from what was saved before the call, so a wrong convention or a lost EBP is reported
// instead of corrupting the caller. Calls may nest, but only on one thread.
#pragma once

#include <cstdint>

struct MeasuredCall {
  uint32_t result;     // EAX
  int32_t stackMoved;  // ESP after the call minus ESP before the arguments were pushed
  bool preserved;      // EBX, ESI, EDI and EBP came back unchanged
};

MeasuredCall CallMeasured(const void* function, const uint32_t* args, int count);
