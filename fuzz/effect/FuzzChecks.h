#pragma once
// What the effect fuzz targets share: settings no input can produce by accident, to
// see what a refusal left alone, and a check that stops the run where a promise broke.

#include <cstdlib>
#include <cstring>

#include "effect/EmitterSettings.h"

inline EmitterSettings Marker()
{
    EmitterSettings s;
    std::memset(&s, 0xA5, sizeof(s));
    s.coneEnabled = true;
    return s;
}

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}
