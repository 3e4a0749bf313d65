// Animated GIF files, written with giflib. After the first frame each frame holds only
// the rectangle that changed, with the pixels that did not change in it transparent,
// so an effect that draws a little per frame makes a small file. Colours are exact
// while the changed pixels of a frame have at most 255 of them; beyond that giflib's
// median-cut quantizer reduces them. The same frames always give the same bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gif_lib.h"

struct GifOutput {
  GifFileType* file = nullptr;
  FILE* stream = nullptr;
  int width = 0;
  int height = 0;
  std::vector<uint32_t> previous;  // the last frame added
};

// Starts the file: a picture of `width` x `height` that loops for ever.
bool OpenGif(const std::string& path, int width, int height, GifOutput* gif, std::string* error);
// Adds a frame of width x height pixels 0x00RRGGBB, top row first, shown for
// `delay` hundredths of a second.
bool AddGifFrame(GifOutput* gif, const uint32_t* pixels, int delay);
bool CloseGif(GifOutput* gif, std::string* error);

// How long frame `index` (from 0) stands at `fps` frames a second, in hundredths of a
// second: rounded so that the delays add up to the exact running time.
int GifFrameDelay(long index, int fps);
