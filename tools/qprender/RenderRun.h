#pragma once
// What qprender does for one command line: reads the effect (through the
// effect-file code, as the editor reads it), makes the offscreen GL context and
// loads the texture (unless only the simulation is wanted), steps the effect to
// every capture time and writes the pictures. Messages go to `messages`, the
// per-frame digests to `stateOut`.

#include <cstdio>

#include "tools/qprender/RenderOptions.h"

// Returns the process exit code: 0 when everything asked for was done, 1 after
// the first failure (which has been reported on `messages`). Pictures already
// written in a series stay; a sheet or a single picture is written whole or not
// at all.
int RunRender(const RenderOptions& options, FILE* stateOut, FILE* messages);
