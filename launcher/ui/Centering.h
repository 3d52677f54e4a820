//===- Centering.h - Where a dialog goes on its reference window ----------===//
#pragma once

struct ScreenRect {
    long left;
    long top;
    long right;
    long bottom;
};

struct ScreenPoint {
    long x;
    long y;
};

// The top-left corner that centres window on reference. Each half is a signed
// division that truncates toward zero; a corner at or left of (above) 0 becomes 0,
// so a window larger than its reference starts at the screen's edge.
ScreenPoint centeredOrigin(const ScreenRect& reference, const ScreenRect& window);
