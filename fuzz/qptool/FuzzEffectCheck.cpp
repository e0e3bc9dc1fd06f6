// Fuzzes the effect inspection behind `qptool dump`, `set`, `diff` and `cost`: the input
// is written to a real file and inspected by name, as the tool does. An accepted file
// has its size and says whether it is whole; a refused one says why; and what dump
// prints of an accepted file reads back (`new --from`) to the very same record.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "effect/EffectCheck.h"
#include "effect/EffectText.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// One file per fuzzing process, in the temporary folder, rewritten for each input
// (without the flush a whole-file replace makes, which would slow the fuzzer down a
// hundredfold) and removed at exit.
const std::string& InputPath()
{
    static const std::string path = [] {
        const char* base = getenv("TMPDIR");
        std::string name =
            std::string(base && *base ? base : "/tmp") + "/fuzz-inspect-" + std::to_string(getpid()) + ".QP";
        atexit([] { unlink(InputPath().c_str()); });
        return name;
    }();
    return path;
}

bool WriteInput(const uint8_t* data, size_t size)
{
    FILE* file = fopen(InputPath().c_str(), "wb");
    if (!file)
        return false;
    const bool written = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check(WriteInput(data, size));
    const EffectReport report = InspectEffectFile(InputPath().c_str());
    if (report.result != EFFECT_OK) {
        Check(!report.problems.empty());
        return 0;
    }
    Check(report.fileSize == size);
    Check(report.partial == !report.problems.empty());
    RangeWarnings(report.settings);

    EmitterSettings again = DefaultEmitterSettings();
    std::string error;
    Check(ParseEffectText(FormatEffect(report.settings), "dump", again, error));
    unsigned char before[EFFECT_FILE_CONE_SIZE], after[EFFECT_FILE_CONE_SIZE];
    const size_t length = EncodeEffect(report.settings, before);
    Check(EncodeEffect(again, after) == length);
    for (size_t i = 0; i < length; ++i)
        Check(before[i] == after[i]);
    return 0;
}
