#include "tools/qprender/RenderOptions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

const char* const usageText =
    "usage: qprender TEXTURE [EFFECT] [options]\n"
    "       qprender TEXTURE A.QP --against B.QP [options]\n"
    "\n"
    "Renders a particle effect (.QP; the editor's defaults when EFFECT is left out)\n"
    "with the texture TEXTURE (QTEX) into PNG files or an animated GIF or WebP, with\n"
    "no window: the engine's own simulation and drawing, the editor's projection and\n"
    "camera. Runs are deterministic: the same inputs give the same bytes.\n"
    "\n"
    "when:\n"
    "  --step MS             length of one simulated frame (default 16)\n"
    "  --time T[,T...]       capture at these times, in ms from the effect's start\n"
    "                        (default 1000); when a time falls between two frames,\n"
    "                        the frame before it is shortened to end there and the\n"
    "                        frames after it go on from that time\n"
    "  --frames N            capture N frames, one every --interval ms from the start\n"
    "  --interval MS         spacing of the --frames captures (default: the step)\n"
    "  --seed N              seed of the engine's random sequence, 0 to 4294967295\n"
    "                        (default 1, the editor's: the particles it shows)\n"
    "where:\n"
    "  -o, --output PATH     the picture (default qprender.png); for several captures\n"
    "                        without --sheet, a name with %d (or %04d) for the frame\n"
    "                        number, 1 up (default frame%04d.png); a name ending in\n"
    "                        .gif or .webp makes one animation of every capture, each\n"
    "                        shown until the next capture's time (the last one as\n"
    "                        long as the one before), looping forever\n"
    "  --sheet COLUMNS       put every capture on one sprite sheet, COLUMNS frames\n"
    "                        wide, left to right, top to bottom\n"
    "  --size WxH            pixels of one frame (default 640x480)\n"
    "  --quality Q           WebP only: lossy at quality Q, 0 to 100 (default:\n"
    "                        lossless). A GIF has 256 colours per frame, chosen for\n"
    "                        that frame; GIF delays are in hundredths of a second\n"
    "how:\n"
    "  --distance D          camera distance, 1 to 10 as in the View menu (default 1)\n"
    "  --turn X,Y,Z          view turn speeds in degrees per second (default 0,0,0)\n"
    "  --background R,G,B    background colour, 0..1 each, or #RRGGBB (default black)\n"
    "  --transparent         no background: alpha is the brightest channel and the\n"
    "                        colour is divided by it, so the picture laid over black\n"
    "                        is the black-background picture (a GIF has no partial\n"
    "                        alpha: unlit pixels are transparent, lit ones keep\n"
    "                        their black-background colour)\n"
    "  --state               print, for every simulated frame, the live particle count\n"
    "                        and a hash of their positions and colours\n"
    "  --no-image            simulate only (with --state or --against): no GL, no files\n"
    "  --context KIND        auto (default), egl (no X server needed) or sdl (a hidden\n"
    "                        window)\n"
    "  -h, --help            this text\n"
    "  --version             the version\n"
    "comparing:\n"
    "  --against B.QP        render the effect B beside EFFECT with the same texture,\n"
    "                        camera, times and seed; every frame becomes three panels:\n"
    "                        EFFECT | B | their difference, the absolute difference\n"
    "                        of each channel times 4 (a change of 64 of 255 is full\n"
    "                        white). Prints whether the simulations differ and from\n"
    "                        which frame on, and whether the pictures differ; exits\n"
    "                        like diff: 0 the same, 1 different, 2 trouble\n"
    "\n"
    "Exit code 0 when every file was written, 1 otherwise (with --against: 0, 1, 2).\n"
    "A render that takes more than a second shows its progress on standard error\n"
    "when that is a terminal.\n";

bool ParseUnsigned(const std::string& text, uint32_t low, uint32_t high, uint32_t& value)
{
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0])))
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = strtoull(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < low || parsed > high)
        return false;
    value = uint32_t(parsed);
    return true;
}

bool ParseFloatText(const std::string& text, float& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const float parsed = strtof(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

std::vector<std::string> SplitCommas(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

bool ParseColour(const std::string& text, float rgb[3])
{
    if (!text.empty() && text[0] == '#') {
        if (text.size() != 7)
            return false;
        for (int i = 0; i < 3; ++i) {
            const std::string pair = text.substr(1 + 2 * i, 2);
            if (!isxdigit(static_cast<unsigned char>(pair[0])) || !isxdigit(static_cast<unsigned char>(pair[1])))
                return false;
            rgb[i] = float(strtoul(pair.c_str(), nullptr, 16)) / 255.0f;
        }
        return true;
    }
    const std::vector<std::string> parts = SplitCommas(text);
    if (parts.size() != 3)
        return false;
    float parsed[3];
    for (int i = 0; i < 3; ++i)
        if (!ParseFloatText(parts[i], parsed[i]) || parsed[i] < 0.0f || parsed[i] > 1.0f)
            return false;
    std::copy(parsed, parsed + 3, rgb);
    return true;
}

bool ParseSize(const std::string& text, uint32_t& width, uint32_t& height)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    return ParseUnsigned(text.substr(0, x), 1, RENDER_MAX_SIDE, width) &&
           ParseUnsigned(text.substr(x + 1), 1, RENDER_MAX_SIDE, height);
}

// The name's extension from its last '.', lower case; empty when there is none.
std::string LowerExtension(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return "";
    std::string extension = path.substr(dot);
    for (char& c : extension)
        c = char(tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

const char* RenderUsage()
{
    return usageText;
}

bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& o, std::string& error)
{
    o = RenderOptions{};
    std::vector<std::string> positional;
    std::string timesText;
    uint32_t frameCount = 0, interval = 0;
    bool haveTimes = false, haveFrames = false, haveInterval = false, haveBackground = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            o.showHelp = true;
            return true;
        }
        std::string value;
        bool inlineValue = false;
        const size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        const bool isFlag = arg == "--transparent" || arg == "--state" || arg == "--no-image";
        if (isFlag) {
            if (inlineValue) {
                error = arg + " takes no value";
                return false;
            }
            if (arg == "--transparent")
                o.transparent = true;
            if (arg == "--state")
                o.printState = true;
            if (arg == "--no-image")
                o.writeImages = false;
            continue;
        }
        static const char* const valued[] = {"-o",           "--output",   "--size",  "--step",     "--time",
                                             "--frames",     "--interval", "--sheet", "--distance", "--turn",
                                             "--background", "--context",  "--seed",  "--against",  "--quality"};
        if (std::find(std::begin(valued), std::end(valued), arg) == std::end(valued)) {
            error = "unknown option " + arg;
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        const std::string bad = "bad " + arg + " '" + value + "': ";
        if (arg == "-o" || arg == "--output") {
            if (value.empty()) {
                error = arg + " needs a file name";
                return false;
            }
            o.outputPath = value;
        } else if (arg == "--size") {
            if (!ParseSize(value, o.width, o.height)) {
                error = bad + "expected WIDTHxHEIGHT, each 1 to " + std::to_string(RENDER_MAX_SIDE);
                return false;
            }
        } else if (arg == "--seed") {
            if (!ParseUnsigned(value, 0, UINT32_MAX, o.seed)) {
                error = bad + "expected a whole number from 0 to 4294967295";
                return false;
            }
        } else if (arg == "--against") {
            if (value.empty()) {
                error = arg + " needs an effect file";
                return false;
            }
            o.againstPath = value;
        } else if (arg == "--quality") {
            uint32_t q = 0;
            if (!ParseUnsigned(value, 0, 100, q)) {
                error = bad + "expected a quality from 0 to 100";
                return false;
            }
            o.quality = int(q);
        } else if (arg == "--step") {
            if (!ParseUnsigned(value, 1, RENDER_MAX_STEP, o.stepMs)) {
                error = bad + "expected whole milliseconds from 1 to " + std::to_string(RENDER_MAX_STEP);
                return false;
            }
        } else if (arg == "--time") {
            timesText = value;
            haveTimes = true;
        } else if (arg == "--frames") {
            if (!ParseUnsigned(value, 1, RENDER_MAX_FRAMES, frameCount)) {
                error = bad + "expected a count from 1 to " + std::to_string(RENDER_MAX_FRAMES);
                return false;
            }
            haveFrames = true;
        } else if (arg == "--interval") {
            if (!ParseUnsigned(value, 1, RENDER_MAX_TIME, interval)) {
                error = bad + "expected whole milliseconds from 1 to " + std::to_string(RENDER_MAX_TIME);
                return false;
            }
            haveInterval = true;
        } else if (arg == "--sheet") {
            if (!ParseUnsigned(value, 1, RENDER_MAX_FRAMES, o.sheetColumns)) {
                error = bad + "expected a column count from 1 up";
                return false;
            }
        } else if (arg == "--distance") {
            if (!ParseFloatText(value, o.cameraDistance) || o.cameraDistance < 1.0f || o.cameraDistance > 10.0f) {
                error = bad + "expected a distance from 1 to 10";
                return false;
            }
        } else if (arg == "--turn") {
            const std::vector<std::string> parts = SplitCommas(value);
            if (parts.size() != 3 || !ParseFloatText(parts[0], o.turnSpeed.x) ||
                !ParseFloatText(parts[1], o.turnSpeed.y) || !ParseFloatText(parts[2], o.turnSpeed.z)) {
                error = bad + "expected three speeds X,Y,Z in degrees per second";
                return false;
            }
        } else if (arg == "--background") {
            if (!ParseColour(value, o.background)) {
                error = bad + "expected R,G,B with each 0 to 1, or #RRGGBB";
                return false;
            }
            haveBackground = true;
        } else {  // --context
            if (value == "auto")
                o.context = RenderContext::Any;
            else if (value == "egl")
                o.context = RenderContext::Egl;
            else if (value == "sdl")
                o.context = RenderContext::Sdl;
            else {
                error = bad + "expected auto, egl or sdl";
                return false;
            }
        }
    }

    if (positional.empty()) {
        error = "no TEXTURE given";
        return false;
    }
    if (positional.size() > 2) {
        error = "too many arguments: '" + positional[2] + "' (expected TEXTURE [EFFECT])";
        return false;
    }
    o.texturePath = positional[0];
    if (positional.size() == 2)
        o.effectPath = positional[1];

    if (haveTimes && haveFrames) {
        error = "--time and --frames can't be used together";
        return false;
    }
    if (haveInterval && !haveFrames) {
        error = "--interval goes with --frames";
        return false;
    }
    if (haveTimes) {
        for (const std::string& part : SplitCommas(timesText)) {
            uint32_t t = 0;
            if (!ParseUnsigned(part, 0, RENDER_MAX_TIME, t)) {
                error = "bad --time '" + timesText + "': expected milliseconds from 0 to " +
                        std::to_string(RENDER_MAX_TIME) + ", separated by commas";
                return false;
            }
            o.times.push_back(t);
        }
        if (o.times.size() > RENDER_MAX_FRAMES) {
            error = "--time: more than " + std::to_string(RENDER_MAX_FRAMES) + " times";
            return false;
        }
        std::sort(o.times.begin(), o.times.end());
        o.times.erase(std::unique(o.times.begin(), o.times.end()), o.times.end());
    } else if (haveFrames) {
        const uint64_t spacing = haveInterval ? interval : o.stepMs;
        if (spacing * frameCount > RENDER_MAX_TIME) {
            error = "--frames " + std::to_string(frameCount) + " every " + std::to_string(spacing) + " ms goes past " +
                    std::to_string(RENDER_MAX_TIME) + " ms";
            return false;
        }
        for (uint32_t k = 1; k <= frameCount; ++k)
            o.times.push_back(uint32_t(spacing * k));
    } else {
        o.times.push_back(1000);
    }

    if (o.transparent && haveBackground) {
        error = "--transparent and --background can't be used together";
        return false;
    }
    if (o.printState && !o.againstPath.empty()) {
        error = "--state prints one effect's digests; --against says where two differ";
        return false;
    }
    if (!o.writeImages) {
        if (!o.printState && o.againstPath.empty()) {
            error = "--no-image makes sense only with --state or --against";
            return false;
        }
        return true;
    }
    const bool several = o.times.size() > 1;
    if (o.outputPath.empty())
        o.outputPath = several && !o.sheetColumns ? "frame%04d.png" : "qprender.png";
    const std::string extension = LowerExtension(o.outputPath);
    if (extension == ".gif" || extension == ".webp") {
        if (o.sheetColumns) {
            error = "--sheet makes one PNG picture; an animation (" + extension + ") has a frame per capture";
            return false;
        }
        o.output = extension == ".gif" ? RenderOutput::Gif : RenderOutput::Webp;
    } else {
        o.output = o.sheetColumns ? RenderOutput::Sheet : several ? RenderOutput::Series : RenderOutput::Picture;
    }
    if (o.quality >= 0 && o.output != RenderOutput::Webp) {
        error = "--quality goes with a .webp output";
        return false;
    }
    // A comparison puts three panels side by side in every frame.
    const uint64_t frameWidth = uint64_t(o.width) * (o.againstPath.empty() ? 1 : 3);
    const uint64_t columns = o.sheetColumns ? std::min<uint64_t>(o.sheetColumns, o.times.size()) : 1;
    const uint64_t rows = o.sheetColumns ? (o.times.size() + o.sheetColumns - 1) / o.sheetColumns : 1;
    const uint64_t maxSide = o.output == RenderOutput::Webp ? RENDER_MAX_WEBP_SIDE : RENDER_MAX_SHEET_SIDE;
    if (columns * frameWidth > maxSide || rows * o.height > maxSide) {
        error = std::string(o.sheetColumns ? "the sprite sheet" : "a frame") + " would be " +
                std::to_string(columns * frameWidth) + "x" + std::to_string(rows * o.height) + " pixels; at most " +
                std::to_string(maxSide) + " per side" + (o.output == RenderOutput::Webp ? " in a WebP" : "");
        return false;
    }
    if (o.output == RenderOutput::Series) {
        std::string probe;
        if (!ExpandSeriesName(o.outputPath, 1, probe)) {
            error = "several frames go to a series: the output name needs one %d (or %04d), or use --sheet";
            return false;
        }
    }
    return true;
}

bool ExpandSeriesName(const std::string& pattern, uint32_t index, std::string& name)
{
    std::string out;
    int conversions = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool zero = false;
        if (j < pattern.size() && pattern[j] == '0') {
            zero = true;
            ++j;
        }
        int width = 0;
        if (j < pattern.size() && pattern[j] >= '1' && pattern[j] <= '9')
            width = pattern[j++] - '0';
        if (j >= pattern.size() || pattern[j] != 'd')
            return false;
        std::string digits = std::to_string(index);
        while (int(digits.size()) < width)
            digits.insert(0, 1, zero ? '0' : ' ');
        out += digits;
        ++conversions;
        i = j;
    }
    if (conversions != 1)
        return false;
    name = out;
    return true;
}
