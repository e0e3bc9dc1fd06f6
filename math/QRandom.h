#pragma once
// The engine's process-wide random source with the classic 15-bit contract.
// state = state * 214013 + 2531011 (mod 2^32); each draw returns (state >> 16) & 0x7FFF.
// Seeded with 1 at program start, so every run draws the same sequence (41, 18467, 6334, ...).
// Not thread-safe: the one frame-loop thread is its only user.

// Next value of the sequence, 0 to 32767.
int QRand();

// Restarts the sequence from seed; QSeedRandom(1) gives the start-up sequence again.
// Nothing in the editor calls it; tests and tools use it to get known draws.
void QSeedRandom(unsigned int seed);

// The generator's current state: QSeedRandom(QRandomState()) later carries on the
// sequence from this point, so a tool running two simulations in turn can give each
// its own sequence.
unsigned int QRandomState();
