#pragma once
// Whether a QTEX texture's mipmap chain is whole: each level half the one above
// (rounded down, at least 1) down to 1 x 1. GL draws a texture with a broken chain
// as if it had none (black), though the texture loads. Reads only the level headers.

#include <string>

// "" for a whole chain (or a file whose levels can't be read: the loader says why);
// else one sentence saying where the chain breaks.
std::string BrokenMipmapChain(const std::string& path);
