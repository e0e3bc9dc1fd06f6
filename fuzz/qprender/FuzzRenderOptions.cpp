// Fuzzes qprender's command line: the input split at zero bytes is the argument list.
// Whatever it holds, a command line that parses must describe a finite run with
// allocatable frames, and a series pattern it accepts must give one distinct name
// per capture.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/qprender/RenderOptions.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckSeriesNames(const std::string& pattern, uint32_t last)
{
    std::string first, other;
    if (!ExpandSeriesName(pattern, 0, first))
        return;
    Check(ExpandSeriesName(pattern, last == 0 ? 1 : last, other));
    Check(first != other);
    Check(first.size() <= pattern.size() + 10 && other.size() <= pattern.size() + 10);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words = {"qprender"};
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += char(data[i]);
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    argv.push_back(nullptr);

    RenderOptions o;
    std::string error;
    const bool parsed = ParseRenderOptions(int(words.size()), argv.data(), o, error);
    Check(parsed || !error.empty());
    // The pattern alone, with an index taken from the first bytes.
    uint32_t index = 0;
    for (size_t i = 0; i < size && i < 4; ++i)
        index = index << 8 | data[i];
    CheckSeriesNames(word, index);
    if (!parsed || o.showHelp)
        return 0;
    Check(o.width >= 1 && o.width <= RENDER_MAX_SIDE);
    Check(o.height >= 1 && o.height <= RENDER_MAX_SIDE);
    Check(o.stepMs >= 1 && o.stepMs <= RENDER_MAX_STEP);
    Check(o.times.size() <= RENDER_MAX_FRAMES);
    for (size_t i = 0; i < o.times.size(); ++i) {
        Check(o.times[i] <= RENDER_MAX_TIME);
        Check(i == 0 || o.times[i - 1] < o.times[i]);
    }
    Check(o.quality >= -1 && o.quality <= 100);
    Check(o.cameraDistance >= 1.0f && o.cameraDistance <= 10.0f);
    if (o.output == RenderOutput::Series && !o.times.empty())
        CheckSeriesNames(o.outputPath, uint32_t(o.times.size() - 1));
    return 0;
}
