#include "math/QRandom.h"

#include <cstdint>

namespace {
uint32_t randomState = 1;  // unsigned, so the update wraps modulo 2^32 by definition
}

int QRand()
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

void QSeedRandom(unsigned int seed)
{
    randomState = seed;
}

unsigned int QRandomState()
{
    return randomState;
}
