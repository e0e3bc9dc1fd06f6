// libFuzzer target for the effect text: the `--from` text reader and the
// name=value assignments. Beyond not crashing, a refused input changes nothing and
// says where it failed, an accepted one prints back to text that reads to the same
// file bytes, and any four bytes as a float print to text that reads back to the
// same bits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "effect/EffectFile.h"
#include "fuzz/effect/FuzzChecks.h"
#include "effect/EffectText.h"

namespace {

// What an accepted input must keep: its canonical text reads back, on top of the
// defaults, to the same record.
void CheckReadsBack(const EmitterSettings& s)
{
    EmitterSettings again = DefaultEmitterSettings();
    std::string error;
    Check(ParseEffectText(FormatEffect(s), "again", again, error));
    unsigned char first[EFFECT_FILE_CONE_SIZE], second[EFFECT_FILE_CONE_SIZE];
    const size_t length = EncodeEffect(s, first);
    Check(EncodeEffect(again, second) == length);
    Check(std::memcmp(first, second, length) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const EmitterSettings untouched = Marker();

    EmitterSettings s = Marker();
    std::string error;
    if (ParseEffectText(text, "in", s, error)) {
        CheckReadsBack(s);
    } else {
        Check(std::memcmp(&s, &untouched, sizeof(s)) == 0);
        Check(error.compare(0, 3, "in:") == 0);
    }

    // The same bytes as command-line assignments, one per line.
    std::vector<std::string> assignments;
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        assignments.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    EmitterSettings t = Marker();
    if (ApplyAssignments(t, assignments, error))
        CheckReadsBack(t);
    else
        Check(std::memcmp(&t, &untouched, sizeof(t)) == 0);

    if (size >= 4) {
        float value, back;
        std::memcpy(&value, data, sizeof value);
        Check(ParseFloat(FormatFloat(value), back));
        Check(std::memcmp(&value, &back, sizeof value) == 0);
    }
    return 0;
}
