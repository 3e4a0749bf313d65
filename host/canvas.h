// A 32-bit top-down DIB section selected into a memory DC: the surface the host
// draws frames on, with its pixels at hand.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  uint32_t* pixels = nullptr;  // 0x00RRGGBB, rows top to bottom
  int width = 0;
  int height = 0;
};

bool CreateCanvas(int width, int height, Canvas* canvas);
void DestroyCanvas(Canvas* canvas);
void ClearCanvas(const Canvas& canvas, uint32_t rgb);
// Writes the canvas as an RGB PNG file.
bool WritePng(const Canvas& canvas, const std::string& path);
