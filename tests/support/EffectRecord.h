#pragma once
// The bytes of an effect record, as the tested writer encodes it, for comparing files.

#include "effect/EffectFile.h"
#include "tests/support/ScratchFolder.h"

inline Bytes Record(const EmitterSettings& s)
{
    unsigned char out[EFFECT_FILE_CONE_SIZE];
    return Bytes(out, out + EncodeEffect(s, out));
}
