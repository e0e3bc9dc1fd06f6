#pragma once
// What qprender does for one command line: reads the effect (through the
// effect-file code, as the editor reads it), makes the offscreen GL context and
// loads the texture (unless only the simulation is wanted), steps the effect to
// every capture time and writes the pictures. Messages go to `messages`, the
// per-frame digests and a comparison's verdict to `stateOut`.

#include <cstdio>

#include "tools/qprender/OutputSink.h"
#include "tools/qprender/RenderOptions.h"

// qprender's exit codes. A render: 0 when everything asked for was done, 1 after
// a failure. A comparison (--against) answers like diff: 0 the same, 1 different,
// 2 trouble (any failure, a bad command line included).
enum : int { RENDER_DONE = 0, RENDER_FAILED = 1, RENDER_SAME = 0, RENDER_DIFFERENT = 1, RENDER_TROUBLE = 2 };

// The exit code of a failure.
inline int RenderFailure(bool comparing)
{
    return comparing ? RENDER_TROUBLE : RENDER_FAILED;
}

// Returns the exit code above, after reporting a failure on `messages`. Pictures
// already written in a series stay; every other output is written whole or not at all.
int RunRender(const RenderOptions& options, FILE* stateOut, FILE* messages, const RenderTuning& tuning = {});
