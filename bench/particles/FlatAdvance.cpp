#include "FlatAdvance.h"

__attribute__((noinline)) void FlatAdvance(float* __restrict px, float* __restrict py, float* __restrict pz,
                                           const float* __restrict vx, const float* __restrict vy,
                                           const float* __restrict vz, float s, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        px[i] += s * vx[i];
        py[i] += s * vy[i];
        pz[i] += s * vz[i];
    }
}
