// Starting an effect of the native build the way the host does, at a chosen count.
#pragma once

#include <cstdint>

// Init on an 800 x 600 view. A count of 0 leaves the setting at its default (and is
// the only choice for an effect whose setting is a text).
void StartEffect(int32_t count);

// What one Draw call handles: particles or lines at the loaded count; 1 for an
// effect whose setting is not a count. Times ITEMS_PER_ELEMENT (16 pixels for a
// particle) it gives the pixels or segments of a frame.
int32_t ElementsPerFrame();
