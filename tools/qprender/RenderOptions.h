#pragma once
// qprender's command line: what to render (texture, effect, camera), when (the
// simulation step and the capture times) and where to (one picture, a numbered
// series, a sprite sheet or an animation). Parsing only; nothing here touches files or GL.

#include <cstdint>
#include <string>
#include <vector>

#include "math/Vec3.h"

// Bounds that keep every run finite and every image allocatable.
enum : uint32_t {
    RENDER_MAX_SIDE = 8192,         // pixels per side of one frame
    RENDER_MAX_SHEET_SIDE = 16384,  // pixels per side of a sprite sheet
    RENDER_MAX_WEBP_SIDE = 16383,   // pixels per side of a WebP frame
    RENDER_MAX_FRAMES = 100000,     // captures per run
    RENDER_MAX_TIME = 86400000,     // one day of effect time, milliseconds
    RENDER_MAX_STEP = 3600000,      // one hour, milliseconds
};
// A WebP animation is held whole until its end (the encoder needs every frame), up
// to about 4 bytes a pixel of every frame: frames times frame pixels stay under this
// (873 frames at 640x480), about 1 GiB at most.
const uint64_t RENDER_MAX_WEBP_PIXELS = uint64_t(1) << 28;

enum class RenderContext : unsigned char { Any, Egl, Sdl };

// What the captures become, from the output name and --sheet: one PNG picture (one
// capture), a PNG sprite sheet, a numbered PNG series, or one animation (by the
// extension .gif or .webp, whatever the capture count).
enum class RenderOutput : unsigned char { Picture, Sheet, Series, Gif, Webp };

// Differences in a comparison's third panel are multiplied by this, so that a
// change of 1/64 of full light is full white.
enum : uint32_t { RENDER_DIFFERENCE_SCALE = 4 };

struct RenderOptions {
    std::string texturePath;  // the QTEX file
    std::string effectPath;   // the .QP file; empty: the editor's default settings
    std::string againstPath;  // --against: the second effect to compare with
    std::string fontPath;     // --font: the comparison labels' QBMFONT; empty: the installed or built one
    std::string outputPath;   // picture, sheet, animation, or series pattern with one %d
    RenderOutput output = RenderOutput::Picture;
    int quality = -1;                          // WebP: -1 lossless, else lossy quality 0..100
    uint32_t seed = 1;                         // the random sequence's seed; 1 is the editor's
    uint32_t width = 640, height = 480;        // pixels of one frame
    uint32_t stepMs = 16;                      // length of one simulated frame
    std::vector<uint32_t> times;               // capture times, ms from the effect's start, ascending, distinct
    uint32_t sheetColumns = 0;                 // 0: no sprite sheet
    float cameraDistance = 1.0f;               // 1.0..10.0, as the View menu keeps it
    Vec3 lookAt = {0.0f, 0.0f, 0.0f};          // the point the camera aims at; the editor's is the emitter
    bool fit = false;                          // --fit: choose lookAt and cameraDistance from the particles
    Vec3 turnSpeed = {0.0f, 0.0f, 0.0f};       // degrees per second about X, Y, Z
    float background[3] = {0.0f, 0.0f, 0.0f};  // clear colour, 0..1
    bool transparent = false;                  // alpha from the light, over no background
    bool printState = false;                   // print a digest of the particles after every frame
    bool writeImages = true;                   // false with --no-image: simulation only, no GL
    RenderContext context = RenderContext::Any;
    bool showHelp = false;
    // --against anywhere on the command line, even where the parse stopped before it: a
    // comparison's caller reads every failure, a bad command line too, as trouble (exit 2).
    bool comparing = false;
};

// Fills `options` from argv (argv[0] is the program). On a bad command line returns
// false with `error` saying what is wrong; `options` may then be partly filled, and
// `comparing` is set all the same.
bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& options, std::string& error);

// The --help text, made from the same table of options as the parsing.
const char* RenderUsage();

// Expands the one "%d" (optionally "%0Nd", N up to 9) of a series pattern with
// `index`; "%%" stands for '%'. False when the pattern has no such conversion, more
// than one, or any other '%' conversion.
bool ExpandSeriesName(const std::string& pattern, uint32_t index, std::string& name);
