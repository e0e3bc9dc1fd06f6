#pragma once
// Animated pictures built frame by frame: a GIF through giflib, its bytes handed to
// an output as each frame is encoded (so memory holds one frame at a time), and a
// WebP through libwebp's animation encoder, which keeps every frame until the end
// and gives the file as bytes. Both loop forever and show each frame for its own
// duration. Frames go in in order from one thread at a time. Failures come back as
// false with one line (no file name).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/qprender/FramePalette.h"

// Takes the file's bytes in order; false (with the reason) stops the encoder.
using GifOutput = std::function<bool(const uint8_t* bytes, size_t size, std::string& error)>;

class GifBuilder {
public:
    GifBuilder(uint32_t width, uint32_t height);
    ~GifBuilder();
    GifBuilder(const GifBuilder&) = delete;
    GifBuilder& operator=(const GifBuilder&) = delete;

    // Writes the header and the looping block to `output`, which then takes every
    // byte up to Finish. False with one line when that fails.
    bool Start(GifOutput output, std::string& error);
    // Appends a full frame shown for `centiseconds`. A frame with a transparent
    // entry is cleared away before the next one, so nothing shows through it.
    bool Add(const IndexedFrame& frame, uint32_t centiseconds, std::string& error);
    // Writes the end of the file; the builder takes no more frames.
    bool Finish(std::string& error);

    struct State;  // the encoder and its output; giflib's write callback reaches it

private:
    std::unique_ptr<State> state;
};

class WebpBuilder {
public:
    // quality -1: lossless (exact pixels); 0..100: lossy at that quality.
    WebpBuilder(uint32_t width, uint32_t height, int components, int quality);
    ~WebpBuilder();
    WebpBuilder(const WebpBuilder&) = delete;
    WebpBuilder& operator=(const WebpBuilder&) = delete;

    // Appends a frame (rows top to bottom, RGB or RGBA as constructed) starting at
    // `startMs` from the animation's start; times only grow.
    bool Add(const uint8_t* pixels, uint32_t startMs, std::string& error);
    // Closes the animation with the last frame ending at `endMs`; the whole file.
    bool Finish(uint32_t endMs, std::vector<uint8_t>& bytes, std::string& error);

private:
    struct State;
    std::unique_ptr<State> state;
};
