#include "canvas.h"

#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

bool CreateCanvas(int width, int height, Canvas* canvas) {
  *canvas = Canvas();
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  canvas->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  canvas->dc = CreateCompatibleDC(nullptr);
  if (canvas->bitmap == nullptr || canvas->dc == nullptr) {
    DestroyCanvas(canvas);
    return false;
  }
  canvas->previousBitmap = SelectObject(canvas->dc, canvas->bitmap);
  canvas->pixels = static_cast<uint32_t*>(bits);
  canvas->width = width;
  canvas->height = height;
  return true;
}

void DestroyCanvas(Canvas* canvas) {
  if (canvas->dc != nullptr && canvas->previousBitmap != nullptr) SelectObject(canvas->dc, canvas->previousBitmap);
  if (canvas->dc != nullptr) DeleteDC(canvas->dc);
  if (canvas->bitmap != nullptr) DeleteObject(canvas->bitmap);
  *canvas = Canvas();
}

void ClearCanvas(const Canvas& canvas, uint32_t rgb) {
  GdiFlush();
  for (size_t i = 0, n = static_cast<size_t>(canvas.width) * canvas.height; i < n; ++i) canvas.pixels[i] = rgb;
}

bool WritePng(const Canvas& canvas, const std::string& path) {
  GdiFlush();
  std::vector<uint8_t> rgb(static_cast<size_t>(canvas.width) * canvas.height * 3);
  for (size_t i = 0, n = static_cast<size_t>(canvas.width) * canvas.height; i < n; ++i) {
    uint32_t p = canvas.pixels[i];
    rgb[3 * i] = static_cast<uint8_t>(p >> 16);
    rgb[3 * i + 1] = static_cast<uint8_t>(p >> 8);
    rgb[3 * i + 2] = static_cast<uint8_t>(p);
  }
  return stbi_write_png(path.c_str(), canvas.width, canvas.height, 3, rgb.data(), canvas.width * 3) != 0;
}
