#pragma once
// Chooses at most 256 colours for one frame and maps every pixel to one of them,
// for a GIF frame. A frame with few enough colours keeps them all exactly (soft
// white light has at most 256 greys); otherwise the colours, weighted by how many
// pixels have them, are cut into 256 boxes by median cut, always splitting the box
// with the largest squared error along its widest-spread channel at its weighted
// median, and each box becomes its mean colour. No dithering: still areas stay
// still from frame to frame. Deterministic: the same frame gives the same bytes.

#include <cstdint>
#include <vector>

struct IndexedFrame {
    std::vector<uint8_t> palette;  // RGB triples, 1 to 256 of them
    std::vector<uint8_t> indices;  // one per pixel, rows top to bottom
    int transparentIndex = -1;     // the palette entry of transparent pixels; -1: none
};

// `pixels`: width x height pixels of `components` bytes, rows top to bottom. With 4
// components a pixel of alpha 0 becomes the transparent entry and any other keeps
// its colour times its alpha (what it shows laid over black), fully opaque.
void QuantizeFrame(const uint8_t* pixels, uint32_t width, uint32_t height, int components, IndexedFrame& frame);
