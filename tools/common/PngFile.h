#pragma once
// PNG reading and writing for the asset tools, through libpng's simplified API: any PNG
// comes in as 8-bit RGB or RGBA, and images go out as 8-bit RGB or RGBA. Files are
// written whole or not at all (see WholeFile.h). Failures come back as false with one
// line of text naming the file and the problem.

#include <cstdint>
#include <string>
#include <vector>

struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;           // 3 = RGB, 4 = RGBA
    std::vector<uint8_t> pixels;  // rows top to bottom, width * components bytes each, no padding
};

// Reads any PNG as RGBA when it carries alpha (an alpha channel or a transparent colour),
// as RGB otherwise. wantComponents 3 or 4 forces that layout; 0 keeps the file's. A side
// longer than maxSide (0: no limit) is refused before any pixel memory is taken, and so
// is an image too large for the memory there is.
bool ReadPng(const std::string& path, PngImage& image, std::string& error, int wantComponents = 0,
             uint32_t maxSide = 0);

// Writes width x height pixels of `components` bytes (3 = RGB, 4 = RGBA), rows without
// padding, top row first; when bottomUp is set the first row is the picture's bottom row
// (as glReadPixels returns it).
bool WritePng(const std::string& path, uint32_t width, uint32_t height, int components, const uint8_t* pixels,
              std::string& error, bool bottomUp = false);
