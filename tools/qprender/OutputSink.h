#pragma once
// Where qprender's captures go: one picture, a sprite sheet, a numbered PNG series,
// an animated GIF or an animated WebP, each a sink of its own with the same life:
// Begin once, Add every capture in order, Finish once. A sink owns what it is
// building; nothing reaches the file system before Finish except a series' pictures.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/qprender/RenderOptions.h"

class OutputSink {
public:
    virtual ~OutputSink() = default;

    // Gets ready for the first capture; warnings (nothing that stops the run) go to
    // `messages`. False with `error` when the output can't be made.
    virtual bool Begin(FILE* messages, std::string& error) = 0;
    // Takes capture `index` (0 up, one after another): frame-width x height RGBA
    // pixels, bottom row first, as GL reads them. False once the output has failed;
    // Finish then says why.
    virtual bool Add(uint32_t index, const uint8_t* rgbaBottomUp) = 0;
    // Waits up to `most` for captures still being encoded; true when none is left.
    virtual bool Settle(std::chrono::milliseconds most) = 0;
    // Captures fully handled so far, for the progress line.
    virtual uint32_t Handled() const = 0;
    // Writes what is left; false with `error` naming the file and the problem.
    virtual bool Finish(std::string& error) = 0;
};

// What the command line can't choose: seams for the benchmark and the tests.
struct RenderTuning {
    bool plainPng = false;  // a series through the plain one-thread PNG writer at libpng's default
                            // effort (the benchmark's baseline), instead of the fast parallel encoder
    int workers = -1;       // encoding threads, 0 for inline; -1: FramePipeline::DefaultWorkers()
};

// The sink for the options' output form, for frames `frameWidth` pixels wide
// (three panels in a comparison) and the options' height.
std::unique_ptr<OutputSink> MakeOutputSink(const RenderOptions& options, uint32_t frameWidth,
                                           const RenderTuning& tuning);

// False with `error` naming both when an output the run would write (each picture of
// a series) is the same file as one of its inputs (texture, effects, font), by any
// name: hard or symbolic link. Checked before anything is written.
bool OutputIsNoInput(const RenderOptions& options, std::string& error);

// In an animation, capture k starts this many milliseconds after the first one and
// ends when the next one starts; the last lasts as long as the gap before it (one
// step when there is only one capture).
uint32_t CaptureStartMs(const RenderOptions& options, size_t k);
uint32_t CaptureEndMs(const RenderOptions& options, size_t k);
