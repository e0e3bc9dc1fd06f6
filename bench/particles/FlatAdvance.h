#pragma once
// The baseline the particle update is measured against: the same position += s *
// velocity work over plain arrays. Compiled in its own file and never inlined, with
// restrict-qualified arrays, so the compiler vectorises it as it would a real flat
// kernel and can't fold it into the timing loop.

#include <cstddef>

void FlatAdvance(float* __restrict px, float* __restrict py, float* __restrict pz, const float* __restrict vx,
                 const float* __restrict vy, const float* __restrict vz, float s, size_t count);
