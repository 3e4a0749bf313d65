// The do-nothing drawing layer of the benchmarks: the native Win32 declarations
// implemented with as little work as possible, so that what is measured is the effect.
#pragma once

#include <cstdint>

#include "platform.h"

// What GetPrivateProfileIntA returns for every key: the count the effect is run at.
extern int32_t profileCount;

HDC BenchDc();
