// libFuzzer target for the effect-file reader. Beyond not crashing, every input
// must keep the reader's promises: a refused input changes nothing, an accepted
// one is read field by field exactly as the writer would have written it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "effect/EffectFile.h"
#include "fuzz/effect/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EmitterSettings s = Marker();
    EffectFileResult result = DecodeEffect(data, size, s);

    bool headerOk = size >= EFFECT_HEADER_SIZE && std::memcmp(data, "QPARTICLESYSTEM", EFFECT_MAGIC_SIZE) == 0 &&
                    data[15] == 0x00 && data[16] == 0x10;
    Check((result == EFFECT_OK) == headerOk);
    EmitterSettings untouched = Marker();
    if (result != EFFECT_OK) {
        Check(std::memcmp(&s, &untouched, sizeof(s)) == 0);
        return 0;
    }
    Check(s.coneEnabled == (size >= 77));

    // Whole records read back to the same bytes.
    unsigned char again[EFFECT_FILE_CONE_SIZE];
    if (size >= EFFECT_FILE_CONE_SIZE) {
        Check(EncodeEffect(s, again) == EFFECT_FILE_CONE_SIZE);
        Check(std::memcmp(again, data, EFFECT_FILE_CONE_SIZE) == 0);
    } else if (size >= EFFECT_FILE_SIZE && size < 77) {
        Check(EncodeEffect(s, again) == EFFECT_FILE_SIZE);
        Check(std::memcmp(again, data, EFFECT_FILE_SIZE) == 0);
    } else if (size < EFFECT_FILE_SIZE) {
        // The emission rate's bytes are missing: it keeps its old bits.
        Check(s.emitRate == untouched.emitRate);
    }
    return 0;
}
