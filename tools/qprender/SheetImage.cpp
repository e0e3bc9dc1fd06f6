#include "tools/qprender/SheetImage.h"

#include <algorithm>
#include <cassert>
#include <cmath>

SheetImage::SheetImage(uint32_t frames, uint32_t columnCount, uint32_t cellWidth, uint32_t cellHeight,
                       const float background[3], bool clear)
    : columns(std::max<uint32_t>(1, std::min(columnCount, frames))),
      frameWidth(cellWidth),
      frameHeight(cellHeight),
      width(columns * cellWidth),
      height(((frames + columns - 1) / columns) * cellHeight),
      transparent(clear)
{
    assert(frames > 0);
    const int n = Components();
    pixels.assign(size_t(width) * height * n, 0);
    if (transparent)
        return;
    // GL stores a clear colour as the nearest byte; empty cells match the frames.
    uint8_t rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = uint8_t(std::lround(std::clamp(background[c], 0.0f, 1.0f) * 255.0f));
    for (size_t i = 0; i < pixels.size(); i += 3)
        std::copy(rgb, rgb + 3, pixels.begin() + i);
}

void SheetImage::Place(uint32_t index, const uint8_t* rgba)
{
    const uint32_t cellX = (index % columns) * frameWidth;
    const uint32_t cellY = (index / columns) * frameHeight;
    assert(cellY + frameHeight <= height);
    const size_t stride = size_t(width) * Components();
    ToPictureRows(rgba, frameWidth, frameHeight, transparent, pixels.data() + cellY * stride + cellX * Components(),
                  stride);
}

void ToPictureRows(const uint8_t* rgba, uint32_t width, uint32_t height, bool transparent, uint8_t* picture,
                   size_t stride)
{
    const int n = transparent ? 4 : 3;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* from = rgba + size_t(height - 1 - y) * width * 4;
        uint8_t* to = picture + y * stride;
        for (uint32_t x = 0; x < width; ++x, from += 4, to += n) {
            if (!transparent) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
                continue;
            }
            const unsigned alpha = std::max({from[0], from[1], from[2]});
            to[3] = uint8_t(alpha);
            for (int c = 0; c < 3; ++c)
                to[c] = alpha ? uint8_t((from[c] * 255u + alpha / 2) / alpha) : 0;
        }
    }
}
