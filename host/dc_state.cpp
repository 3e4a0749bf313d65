#include "dc_state.h"

#include <cstdio>

namespace {

HPEN hostPen;
HBRUSH hostBrush;
HFONT hostFont;

std::string PointText(POINT p) {
  char text[48];
  std::snprintf(text, sizeof text, "(%ld,%ld)", p.x, p.y);
  return text;
}

bool Same(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }
bool Same(SIZE a, SIZE b) { return a.cx == b.cx && a.cy == b.cy; }
bool Same(RECT a, RECT b) { return EqualRect(&a, &b) != 0; }

}  // namespace

DcState ReadDcState(HDC dc) {
  DcState s = {};
  s.pen = GetCurrentObject(dc, OBJ_PEN);
  s.brush = GetCurrentObject(dc, OBJ_BRUSH);
  s.font = GetCurrentObject(dc, OBJ_FONT);
  s.bitmap = GetCurrentObject(dc, OBJ_BITMAP);
  s.palette = GetCurrentObject(dc, OBJ_PAL);
  s.textColour = GetTextColor(dc);
  s.backgroundColour = GetBkColor(dc);
  s.backgroundMode = GetBkMode(dc);
  s.rop2 = GetROP2(dc);
  s.mapMode = GetMapMode(dc);
  s.polyFillMode = GetPolyFillMode(dc);
  s.stretchMode = GetStretchBltMode(dc);
  s.graphicsMode = GetGraphicsMode(dc);
  s.arcDirection = GetArcDirection(dc);
  s.textAlign = GetTextAlign(dc);
  s.characterExtra = GetTextCharacterExtra(dc);
  GetCurrentPositionEx(dc, &s.position);
  GetViewportOrgEx(dc, &s.viewportOrigin);
  GetWindowOrgEx(dc, &s.windowOrigin);
  GetViewportExtEx(dc, &s.viewportExtent);
  GetWindowExtEx(dc, &s.windowExtent);
  GetClipBox(dc, &s.clipBox);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  s.clipRegion = GetClipRgn(dc, region);
  DeleteObject(region);
  return s;
}

void ApplyHostDcState(HDC dc) {
  if (hostPen == nullptr) {
    hostPen = CreatePen(PS_SOLID, 1, RGB(0x40, 0x80, 0xC0));
    hostBrush = CreateSolidBrush(RGB(0x20, 0x30, 0x40));
    hostFont = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
  }
  SelectObject(dc, hostPen);
  SelectObject(dc, hostBrush);
  SelectObject(dc, hostFont);
  SetTextColor(dc, RGB(0xF0, 0xE0, 0xD0));
  SetBkColor(dc, RGB(0x10, 0x20, 0x30));
  SetBkMode(dc, TRANSPARENT);
  SetROP2(dc, R2_COPYPEN);
  SetMapMode(dc, MM_TEXT);
  SetPolyFillMode(dc, WINDING);
  SetStretchBltMode(dc, COLORONCOLOR);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetTextCharacterExtra(dc, 0);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SelectClipRgn(dc, nullptr);
  MoveToEx(dc, 7, 5, nullptr);
}

void ReleaseHostDcObjects() {
  for (HGDIOBJ object :
       {static_cast<HGDIOBJ>(hostPen), static_cast<HGDIOBJ>(hostBrush), static_cast<HGDIOBJ>(hostFont)}) {
    if (object != nullptr) DeleteObject(object);
  }
  hostPen = nullptr;
  hostBrush = nullptr;
  hostFont = nullptr;
}

std::string DcStateChange(const DcState& before, const DcState& after, const POINT* lineEnd) {
  struct Field {
    const char* name;
    bool same;
  };
  const Field fields[] = {
      {"the selected pen", before.pen == after.pen},
      {"the selected brush", before.brush == after.brush},
      {"the selected font", before.font == after.font},
      {"the selected bitmap", before.bitmap == after.bitmap},
      {"the selected palette", before.palette == after.palette},
      {"the text colour", before.textColour == after.textColour},
      {"the background colour", before.backgroundColour == after.backgroundColour},
      {"the background mode", before.backgroundMode == after.backgroundMode},
      {"the drawing mode (ROP2)", before.rop2 == after.rop2},
      {"the mapping mode", before.mapMode == after.mapMode},
      {"the polygon fill mode", before.polyFillMode == after.polyFillMode},
      {"the stretch mode", before.stretchMode == after.stretchMode},
      {"the graphics mode", before.graphicsMode == after.graphicsMode},
      {"the arc direction", before.arcDirection == after.arcDirection},
      {"the text alignment", before.textAlign == after.textAlign},
      {"the character spacing", before.characterExtra == after.characterExtra},
      {"the viewport origin", Same(before.viewportOrigin, after.viewportOrigin)},
      {"the window origin", Same(before.windowOrigin, after.windowOrigin)},
      {"the viewport extent", Same(before.viewportExtent, after.viewportExtent)},
      {"the window extent", Same(before.windowExtent, after.windowExtent)},
      {"the clipping", before.clipRegion == after.clipRegion && Same(before.clipBox, after.clipBox)},
  };
  for (const Field& field : fields) {
    if (!field.same) return std::string(field.name) + " changed";
  }
  if (Same(after.position, before.position) || (lineEnd != nullptr && Same(after.position, *lineEnd))) return "";
  std::string allowed = "the previous " + PointText(before.position);
  if (lineEnd != nullptr) allowed = "where its last line ended " + PointText(*lineEnd) + " or " + allowed;
  return "the current position moved to " + PointText(after.position) + "; expected " + allowed;
}
