// The state of a device context that an effect must leave as it found it: the
// selected objects, colours, modes, origins, clipping and the current position.
#pragma once

#include <windows.h>

#include <string>

struct DcState {
  HGDIOBJ pen, brush, font, bitmap, palette;
  COLORREF textColour, backgroundColour;
  int backgroundMode, rop2, mapMode, polyFillMode, stretchMode, graphicsMode, arcDirection;
  UINT textAlign;
  int characterExtra;
  POINT position, viewportOrigin, windowOrigin;
  SIZE viewportExtent, windowExtent;
  RECT clipBox;
  int clipRegion;  // GetClipRgn: 1 when one is set
};

DcState ReadDcState(HDC dc);

// Gives a DC the host's own state, away from the defaults where that is harmless, so
// that an effect that sets a default and leaves it is seen too. The objects are the
// host's, made once; ReleaseHostDcObjects deletes them.
void ApplyHostDcState(HDC dc);
void ReleaseHostDcObjects();

// "" when `after` matches `before` but for a current position that an effect may
// leave where its last line ended (`lineEnd`, when it drew one); else what changed.
std::string DcStateChange(const DcState& before, const DcState& after, const POINT* lineEnd);
