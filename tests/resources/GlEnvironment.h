#pragma once
// The GL side of the resource tests: one 64 x 64 window with a current context for the
// whole test program (made by a gtest environment), and helpers to draw in pixels and read
// the picture back.

#include <cstdint>
#include <vector>

const int glTestSize = 64;  // window width and height in pixels

// Clears to black, sets a pixel-exact projection (raster position = window pixel) and
// the raster colour to white.
void StartPixelFrame();
// The back buffer's red channel, row 0 at the bottom: lit[y * glTestSize + x].
std::vector<uint8_t> ReadRed();
float RasterX();  // x of the current raster position, in window pixels
