#pragma once
// PNG encoding tuned for a series of rendered frames: zlib at level 2 with the
// run-length-friendly "up" filter on every row. Frames of light on a plain
// background are mostly long runs, which this packs nearly as small as libpng's
// defaults (level 6, every filter tried on every row) in a fraction of the time.
// Pure function of its input; safe to call from several threads at once.

#include <cstdint>
#include <string>
#include <vector>

// Encodes width x height pixels of `components` bytes (3 = RGB, 4 = RGBA), rows top
// to bottom without padding, into `png`. False with `error` (no file name) when
// libpng refuses.
bool EncodeFastPng(uint32_t width, uint32_t height, int components, const uint8_t* pixels, std::vector<uint8_t>& png,
                   std::string& error);
