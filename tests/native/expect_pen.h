// The frame of every line-drawing Draw: its own pen created and selected first, the
// host's pen selected back and its own deleted last.
#pragma once

#include <gtest/gtest.h>

#include "recorder.h"

// Checks that frame and returns the pen the frame drew with.
inline HGDIOBJ ExpectOwnPenFrame(const std::vector<GdiCall>& calls, COLORREF colour) {
  EXPECT_GE(calls.size(), 4u);
  if (calls.size() < 4) return nullptr;
  EXPECT_EQ(calls[0].op, Op::CreatePen);
  EXPECT_EQ(calls[0].colour, colour);
  const HGDIOBJ pen = calls[0].object;
  EXPECT_EQ(calls[1].op, Op::SelectObject);
  EXPECT_EQ(calls[1].object, pen);
  EXPECT_EQ(calls[calls.size() - 2].op, Op::SelectObject);
  EXPECT_EQ(calls[calls.size() - 2].object, recorder.initialPen);
  EXPECT_EQ(calls.back().op, Op::DeleteObject);
  EXPECT_EQ(calls.back().object, pen);
  EXPECT_EQ(recorder.selectedPen, recorder.initialPen);
  EXPECT_EQ(recorder.livePens, 0);
  return pen;
}
