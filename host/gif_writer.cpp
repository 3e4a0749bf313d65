#include "gif_writer.h"

#include <algorithm>

namespace {

int WriteToStream(GifFileType* file, const GifByteType* bytes, int count) {
  return static_cast<int>(std::fwrite(bytes, 1, static_cast<size_t>(count), static_cast<FILE*>(file->UserData)));
}

GifColorType ColourOf(uint32_t rgb) {
  return GifColorType{static_cast<GifByteType>(rgb >> 16), static_cast<GifByteType>(rgb >> 8),
                      static_cast<GifByteType>(rgb)};
}

// The extension that makes a viewer loop the animation for ever.
bool PutLoopForever(GifFileType* file) {
  static const GifByteType NAME[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType LOOPS[] = {1, 0, 0};  // sub-block 1: loop count 0, for ever
  return EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(file, sizeof NAME, NAME) == GIF_OK &&
         EGifPutExtensionBlock(file, sizeof LOOPS, LOOPS) == GIF_OK && EGifPutExtensionTrailer(file) == GIF_OK;
}

struct Box {
  int left;
  int top;
  int width;
  int height;
};

}  // namespace

bool OpenGif(const std::string& path, int width, int height, GifOutput* gif, std::string* error) {
  *gif = GifOutput();
  gif->stream = std::fopen(path.c_str(), "wb");
  if (gif->stream == nullptr) {
    *error = path + ": cannot be written";
    return false;
  }
  int code = 0;
  gif->file = EGifOpen(gif->stream, WriteToStream, &code);
  gif->width = width;
  gif->height = height;
  if (gif->file != nullptr) {
    EGifSetGifVersion(gif->file, true);
    if (EGifPutScreenDesc(gif->file, width, height, 8, 0, nullptr) == GIF_OK && PutLoopForever(gif->file)) return true;
    code = gif->file->Error;
  }
  *error = path + ": " + GifErrorString(code);
  CloseGif(gif, error);
  return false;
}

bool AddGifFrame(GifOutput* gif, const uint32_t* pixels, int delay) {
  const int width = gif->width;
  const bool first = gif->previous.empty();
  auto changed = [&](int x, int y) { return first || pixels[y * width + x] != gif->previous[y * width + x]; };

  int left = width, top = gif->height, right = -1, bottom = -1;
  for (int y = 0; y < gif->height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!changed(x, y)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = y;
    }
  }
  // An unchanged frame still needs an image for its delay: one transparent pixel.
  Box box = right < 0 ? Box{0, 0, 1, 1} : Box{left, top, right - left + 1, bottom - top + 1};

  std::vector<uint32_t> colours;
  for (int y = box.top; y < box.top + box.height; ++y) {
    for (int x = box.left; x < box.left + box.width; ++x) {
      if (changed(x, y)) colours.push_back(pixels[y * width + x]);
    }
  }
  std::sort(colours.begin(), colours.end());
  colours.erase(std::unique(colours.begin(), colours.end()), colours.end());

  std::vector<GifByteType> indices(static_cast<size_t>(box.width) * box.height);
  GifColorType table[256] = {};
  int transparent;
  int tableSize;
  if (colours.size() <= 255) {
    transparent = static_cast<int>(colours.size());
    tableSize = 1 << GifBitSize(transparent + 1);
    for (size_t i = 0; i < colours.size(); ++i) table[i] = ColourOf(colours[i]);
    for (int y = 0; y < box.height; ++y) {
      for (int x = 0; x < box.width; ++x) {
        uint32_t rgb = pixels[(box.top + y) * width + box.left + x];
        indices[y * box.width + x] =
            static_cast<GifByteType>(std::lower_bound(colours.begin(), colours.end(), rgb) - colours.begin());
      }
    }
  } else {
    // 255 colours from the quantizer; the last index stays free for transparency.
    std::vector<GifByteType> red(indices.size()), green(indices.size()), blue(indices.size());
    for (int y = 0; y < box.height; ++y) {
      for (int x = 0; x < box.width; ++x) {
        GifColorType c = ColourOf(pixels[(box.top + y) * width + box.left + x]);
        red[y * box.width + x] = c.Red;
        green[y * box.width + x] = c.Green;
        blue[y * box.width + x] = c.Blue;
      }
    }
    int count = 255;
    if (GifQuantizeBuffer(box.width, box.height, &count, red.data(), green.data(), blue.data(), indices.data(),
                          table) != GIF_OK) {
      return false;
    }
    transparent = 255;
    tableSize = 256;
  }
  for (int y = 0; y < box.height; ++y) {
    for (int x = 0; x < box.width; ++x) {
      if (!changed(box.left + x, box.top + y)) indices[y * box.width + x] = static_cast<GifByteType>(transparent);
    }
  }

  // Each frame stays under the next, which paints only what changed.
  GraphicsControlBlock control = {DISPOSE_DO_NOT, false, delay, transparent};
  GifByteType extension[4];
  size_t length = EGifGCBToExtension(&control, extension);
  ColorMapObject* map = GifMakeMapObject(tableSize, table);
  bool ok = map != nullptr &&
            EGifPutExtension(gif->file, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK &&
            EGifPutImageDesc(gif->file, box.left, box.top, box.width, box.height, false, map) == GIF_OK;
  for (int y = 0; ok && y < box.height; ++y) {
    ok = EGifPutLine(gif->file, &indices[y * box.width], box.width) == GIF_OK;
  }
  GifFreeMapObject(map);
  gif->previous.assign(pixels, pixels + static_cast<size_t>(width) * gif->height);
  return ok;
}

bool CloseGif(GifOutput* gif, std::string* error) {
  bool ok = true;
  if (gif->file != nullptr) {
    int code = 0;
    if (EGifCloseFile(gif->file, &code) != GIF_OK) {
      *error = GifErrorString(code);
      ok = false;
    }
  }
  if (gif->stream != nullptr && std::fclose(gif->stream) != 0) ok = false;
  *gif = GifOutput();
  return ok;
}

int GifFrameDelay(long index, int fps) {
  auto at = [fps](long long frame) { return (frame * 200 + fps) / (2 * fps); };  // frame * 100 / fps, rounded
  return static_cast<int>(at(index + 1) - at(index));
}
