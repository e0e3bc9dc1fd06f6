#pragma once
// Whether a QTEX file's mipmap chain is whole: each level half the one above (rounded
// down, at least 1) down to 1 x 1. QTexture loads a texture with a broken chain, but
// GL then draws it as incomplete (black), so the programs warn of it. Reads only the
// level headers of a regular file; prints nothing.

#include <string>

// "" for a whole chain, or for a file whose levels can't be read (the loader says
// why); else one sentence saying where the chain breaks, starting "its mipmap chain".
std::string BrokenMipmapChain(const char* path);
