#pragma once
// A sprite sheet (or a single picture, a sheet of one) assembled from rendered
// frames: frames fill cells left to right, top to bottom; cells no frame reaches
// keep the background. Turns GL's bottom-up RGBA rows into the top-down rows of
// a PNG, as RGB, or as RGBA for a transparent picture. Owns its pixels; no GL.

#include <cstddef>
#include <cstdint>
#include <vector>

class SheetImage {
public:
    // A sheet for `frames` frames of frameWidth x frameHeight, `columns` wide (fewer
    // when there are fewer frames). Colour `background` (0..1 each) fills it, or
    // nothing (alpha 0) when transparent.
    SheetImage(uint32_t frames, uint32_t columns, uint32_t frameWidth, uint32_t frameHeight, const float background[3],
               bool transparent);

    // Copies a frame (frameWidth x frameHeight x 4 bytes, bottom row first) into
    // cell `index` (0 based; must be below the frame count). For a transparent
    // sheet a pixel's alpha becomes its brightest channel and its colour is
    // divided by that alpha, so the picture laid over black gives the frame back.
    void Place(uint32_t index, const uint8_t* rgbaBottomUp);

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    int Components() const { return transparent ? 4 : 3; }
    const std::vector<uint8_t>& Pixels() const { return pixels; }  // top row first

private:
    uint32_t columns;                  // cells per row
    uint32_t frameWidth, frameHeight;  // pixels of one cell
    uint32_t width, height;            // pixels of the whole sheet
    bool transparent;                  // RGBA with alpha from the light, else RGB
    std::vector<uint8_t> pixels;       // width x height x Components(), rows top to bottom
};

// Turns a frame (width x height x 4 bytes, bottom row first, as GL reads it) into
// the top-down rows of a picture, `stride` bytes apart: RGB, or for a transparent
// picture RGBA with alpha from the light, as SheetImage::Place does for a cell.
void ToPictureRows(const uint8_t* rgbaBottomUp, uint32_t width, uint32_t height, bool transparent, uint8_t* to,
                   size_t stride);
