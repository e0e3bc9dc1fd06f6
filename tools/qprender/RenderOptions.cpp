#include "tools/qprender/RenderOptions.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tools/qprender/OptionValues.h"

namespace {

// What the options gather before the checks that look at several of them at once.
struct Gathered {
    explicit Gathered(RenderOptions& options)
        : o(options)
    {}
    RenderOptions& o;
    std::vector<std::string> positional;
    std::string timesText;
    uint32_t frameCount = 0, interval = 0;
    bool haveTimes = false, haveFrames = false, haveInterval = false, haveBackground = false;
    bool haveDistance = false, haveLookAt = false;
};

// One option as typed: its name (without an "=value" part) and its value.
struct Given {
    std::string name;
    std::string value;
};

// Fills `error` with "bad NAME 'VALUE': expected..." and returns false.
bool Bad(const Given& g, const std::string& expected, std::string& error)
{
    error = "bad " + g.name + " '" + g.value + "': " + expected;
    return false;
}

bool Unsigned(const Given& g, uint32_t low, uint32_t high, uint32_t& value, const std::string& expected,
              std::string& error)
{
    return ParseUnsigned(g.value, low, high, value) || Bad(g, expected, error);
}

std::string Milliseconds(uint32_t high)
{
    return "expected whole milliseconds from 1 to " + std::to_string(high);
}

bool Output(const Given& g, Gathered& s, std::string& error)
{
    if (g.value.empty()) {
        error = g.name + " needs a file name";
        return false;
    }
    s.o.outputPath = g.value;
    return true;
}

bool Size(const Given& g, Gathered& s, std::string& error)
{
    return ParseSize(g.value, s.o.width, s.o.height) ||
           Bad(g, "expected WIDTHxHEIGHT, each 1 to " + std::to_string(RENDER_MAX_SIDE), error);
}

bool Seed(const Given& g, Gathered& s, std::string& error)
{
    return Unsigned(g, 0, UINT32_MAX, s.o.seed, "expected a whole number from 0 to 4294967295", error);
}

bool Against(const Given& g, Gathered& s, std::string& error)
{
    if (g.value.empty()) {
        error = g.name + " needs an effect file";
        return false;
    }
    s.o.againstPath = g.value;
    return true;
}

bool Quality(const Given& g, Gathered& s, std::string& error)
{
    uint32_t q = 0;
    if (!Unsigned(g, 0, 100, q, "expected a quality from 0 to 100", error))
        return false;
    s.o.quality = int(q);
    return true;
}

bool Step(const Given& g, Gathered& s, std::string& error)
{
    return Unsigned(g, 1, RENDER_MAX_STEP, s.o.stepMs, Milliseconds(RENDER_MAX_STEP), error);
}

bool Time(const Given& g, Gathered& s, std::string&)
{
    s.timesText = g.value;
    s.haveTimes = true;
    return true;
}

bool Frames(const Given& g, Gathered& s, std::string& error)
{
    s.haveFrames = true;
    return Unsigned(g, 1, RENDER_MAX_FRAMES, s.frameCount,
                    "expected a count from 1 to " + std::to_string(RENDER_MAX_FRAMES), error);
}

bool Interval(const Given& g, Gathered& s, std::string& error)
{
    s.haveInterval = true;
    return Unsigned(g, 1, RENDER_MAX_TIME, s.interval, Milliseconds(RENDER_MAX_TIME), error);
}

bool Sheet(const Given& g, Gathered& s, std::string& error)
{
    return Unsigned(g, 1, RENDER_MAX_FRAMES, s.o.sheetColumns, "expected a column count from 1 up", error);
}

bool Distance(const Given& g, Gathered& s, std::string& error)
{
    s.haveDistance = true;
    float& d = s.o.cameraDistance;
    return (ParseFloatText(g.value, d) && d >= 1.0f && d <= 10.0f) || Bad(g, "expected a distance from 1 to 10", error);
}

// Three finite numbers X,Y,Z.
bool ParseTriple(const std::string& text, Vec3& v)
{
    const std::vector<std::string> parts = SplitCommas(text);
    return parts.size() == 3 && ParseFloatText(parts[0], v.x) && ParseFloatText(parts[1], v.y) &&
           ParseFloatText(parts[2], v.z);
}

bool Turn(const Given& g, Gathered& s, std::string& error)
{
    return ParseTriple(g.value, s.o.turnSpeed) || Bad(g, "expected three speeds X,Y,Z in degrees per second", error);
}

bool LookAt(const Given& g, Gathered& s, std::string& error)
{
    s.haveLookAt = true;
    return ParseTriple(g.value, s.o.lookAt) || Bad(g, "expected a point X,Y,Z", error);
}

bool Font(const Given& g, Gathered& s, std::string& error)
{
    if (g.value.empty()) {
        error = g.name + " needs a font file";
        return false;
    }
    s.o.fontPath = g.value;
    return true;
}

bool Background(const Given& g, Gathered& s, std::string& error)
{
    s.haveBackground = true;
    return ParseColour(g.value, s.o.background) || Bad(g, "expected R,G,B with each 0 to 1, or #RRGGBB", error);
}

bool Context(const Given& g, Gathered& s, std::string& error)
{
    static const std::pair<const char*, RenderContext> kinds[] = {
        {"auto", RenderContext::Any}, {"egl", RenderContext::Egl}, {"sdl", RenderContext::Sdl}};
    for (const auto& kind : kinds)
        if (g.value == kind.first) {
            s.o.context = kind.second;
            return true;
        }
    return Bad(g, "expected auto, egl or sdl", error);
}

// Flag: no value. Value: the next argument, or the text after '=' in --name=value.
// Word: only the whole argument (no "=value"); with one it is an unknown option.
enum class Takes : unsigned char { Flag, Value, Word };

struct Option {
    const char* group;      // heading in the usage text, on the first option of its group
    const char* shortName;  // "-o", or null
    const char* longName;
    const char* label;  // the option and its value as the usage text shows them
    const char* help;   // the usage text's lines for it, '\n' between them
    Takes takes;
    bool (*handle)(const Given&, Gathered&, std::string&);  // null: --version, answered before parsing
};

// Every option, in the usage text's order; the parsing and the usage text (and so the
// manual page made from it) both come from here.
const Option options[] = {
    {"when:", nullptr, "--step", "--step MS", "length of one simulated frame (default 16)", Takes::Value, Step},
    {nullptr, nullptr, "--time", "--time T[,T...]",
     "capture at these times, in ms from the effect's start\n"
     "(default 1000); when a time falls between two frames,\n"
     "the frame before it is shortened to end there and the\n"
     "frames after it go on from that time",
     Takes::Value, Time},
    {nullptr, nullptr, "--frames", "--frames N", "capture N frames, one every --interval ms from the start",
     Takes::Value, Frames},
    {nullptr, nullptr, "--interval", "--interval MS", "spacing of the --frames captures (default: the step)",
     Takes::Value, Interval},
    {nullptr, nullptr, "--seed", "--seed N",
     "seed of the engine's random sequence, 0 to 4294967295\n"
     "(default 1, the editor's: the particles it shows)",
     Takes::Value, Seed},
    {"where:", "-o", "--output", "-o, --output PATH",
     "the picture (default qprender.png); for several captures\n"
     "without --sheet, a name with %d (or %04d) for the frame\n"
     "number, 1 up (default frame%04d.png); a name ending in\n"
     ".gif or .webp makes one animation of every capture, each\n"
     "shown until the next capture's time (the last one as\n"
     "long as the one before), looping forever. Names must end\n"
     "in .png, .gif or .webp. A series makes its folder (and\n"
     "the folders above it) when missing",
     Takes::Value, Output},
    {nullptr, nullptr, "--sheet", "--sheet COLUMNS",
     "put every capture on one sprite sheet, COLUMNS frames\n"
     "wide, left to right, top to bottom",
     Takes::Value, Sheet},
    {nullptr, nullptr, "--size", "--size WxH", "pixels of one frame (default 640x480)", Takes::Value, Size},
    {nullptr, nullptr, "--quality", "--quality Q",
     "WebP only: lossy at quality Q, 0 to 100 (default:\n"
     "lossless). A WebP is held whole until its end, up to\n"
     "about 4 bytes a pixel of every frame, so frames times\n"
     "pixels stay under 268435456 (873 frames at 640x480).\n"
     "A GIF is written as it goes; it has 256 colours per\n"
     "frame, chosen for that frame; GIF delays are in\n"
     "hundredths of a second",
     Takes::Value, Quality},
    {"how:", nullptr, "--distance", "--distance D", "camera distance, 1 to 10 as in the View menu (default 1)",
     Takes::Value, Distance},
    {nullptr, nullptr, "--look-at", "--look-at X,Y,Z",
     "the point the camera aims at and the view turns about\n"
     "(default 0,0,0: the emitter, as in the editor)",
     Takes::Value, LookAt},
    {nullptr, nullptr, "--fit", "--fit",
     "frame the particles: aim at the centre of their bounds\n"
     "over the capture times, from the distance (1 to 10) that\n"
     "fits them in the frame; prints the --look-at and\n"
     "--distance it chose on standard error, to repeat the shot",
     Takes::Flag,
     [](const Given&, Gathered& s, std::string&) {
         s.o.fit = true;
         return true;
     }},
    {nullptr, nullptr, "--turn", "--turn X,Y,Z", "view turn speeds in degrees per second (default 0,0,0)", Takes::Value,
     Turn},
    {nullptr, nullptr, "--background", "--background R,G,B", "background colour, 0..1 each, or #RRGGBB (default black)",
     Takes::Value, Background},
    {nullptr, nullptr, "--transparent", "--transparent",
     "no background: alpha is the brightest channel and the\n"
     "colour is divided by it, so the picture laid over black\n"
     "is the black-background picture (a GIF has no partial\n"
     "alpha: unlit pixels are transparent, lit ones keep\n"
     "their black-background colour)",
     Takes::Flag,
     [](const Given&, Gathered& s, std::string&) {
         s.o.transparent = true;
         return true;
     }},
    {nullptr, nullptr, "--state", "--state",
     "print, for every simulated frame, the live particle count\n"
     "and a hash of their positions and colours",
     Takes::Flag,
     [](const Given&, Gathered& s, std::string&) {
         s.o.printState = true;
         return true;
     }},
    {nullptr, nullptr, "--no-image", "--no-image", "simulate only (with --state or --against): no GL, no files",
     Takes::Flag,
     [](const Given&, Gathered& s, std::string&) {
         s.o.writeImages = false;
         return true;
     }},
    {nullptr, nullptr, "--context", "--context KIND",
     "auto (default), egl (no X server needed) or sdl (a hidden\n"
     "window)",
     Takes::Value, Context},
    {nullptr, "-h", "--help", "-h, --help", "this text", Takes::Word,
     [](const Given&, Gathered& s, std::string&) {
         s.o.showHelp = true;
         return true;
     }},
    {nullptr, nullptr, "--version", "--version", "the version", Takes::Word, nullptr},
    {"comparing:", nullptr, "--against", "--against B.QP",
     "render the effect B beside EFFECT with the same texture,\n"
     "camera, times and seed; every frame becomes three panels:\n"
     "EFFECT | B | their difference, the absolute difference\n"
     "of each channel times 4 (a change of 64 of 255 is full\n"
     "white). Prints whether the simulations differ and from\n"
     "which frame on, and whether the pictures differ; exits\n"
     "like diff: 0 the same, 1 different, 2 trouble. Also\n"
     "names the settings that differ, as qptool diff does",
     Takes::Value, Against},
    {nullptr, nullptr, "--font", "--font PATH",
     "the QBMFONT font of the panels' labels (the effects'\n"
     "names and \"difference\"); default Font.QF from the\n"
     "installed share/qpedit, else from the build's assets.\n"
     "Without one the panels go unlabelled, with a warning",
     Takes::Value, Font},
};

const char* const usageHead =
    "usage: qprender TEXTURE [EFFECT] [options]\n"
    "       qprender TEXTURE A.QP --against B.QP [options]\n"
    "\n"
    "Renders a particle effect (.QP; the editor's defaults when EFFECT is left out)\n"
    "with the texture TEXTURE (QTEX) into PNG files or an animated GIF or WebP, with\n"
    "no window: the engine's own simulation and drawing, the editor's projection and\n"
    "camera. Runs are deterministic: the same inputs give the same bytes.\n"
    "\n";

const char* const usageTail =
    "\n"
    "Exit code 0 when every file was written, 1 otherwise (with --against: 0, 1, 2).\n"
    "A render that takes more than a second shows its progress on standard error\n"
    "when that is a terminal.\n";

std::string BuildUsage()
{
    const size_t helpColumn = 24;  // labels are indented by 2 and padded to this column
    std::string text = usageHead;
    for (const Option& option : options) {
        if (option.group)
            text += std::string(option.group) + "\n";
        std::string label = std::string("  ") + option.label;
        label.resize(std::max(helpColumn, label.size()), ' ');
        text += label;
        for (const char* line = option.help; *line;) {
            const char* end = strchr(line, '\n');
            const size_t length = end ? size_t(end - line) : strlen(line);
            text.append(line, length);
            text += '\n';
            line += length + (end ? 1 : 0);
            if (*line)
                text.append(helpColumn, ' ');
        }
    }
    return text + usageTail;
}

const Option* FindOption(const std::string& name)
{
    for (const Option& option : options)
        if (name == option.longName || (option.shortName && name == option.shortName))
            return &option;
    return nullptr;
}

// Takes the option at argv[i] (and its value, moving i past it) into `s`.
bool TakeOption(int argc, const char* const* argv, int& i, Gathered& s, std::string& error)
{
    Given g{argv[i], ""};
    const Option* option = FindOption(g.name);
    bool inlineValue = false;
    const size_t eq = g.name.find('=');
    if (!option && g.name.compare(0, 2, "--") == 0 && eq != std::string::npos) {
        g.value = g.name.substr(eq + 1);
        g.name.resize(eq);
        inlineValue = true;
        option = FindOption(g.name);
        if (option && option->takes == Takes::Word)
            option = nullptr;
    }
    if (!option || !option->handle) {
        error = "unknown option " + g.name;
        return false;
    }
    if (option->takes == Takes::Flag && inlineValue) {
        error = g.name + " takes no value";
        return false;
    }
    if (option->takes == Takes::Value && !inlineValue) {
        if (i + 1 >= argc) {
            error = g.name + " needs a value";
            return false;
        }
        g.value = argv[++i];
    }
    return option->handle(g, s, error);
}

bool TakePositional(Gathered& s, std::string& error)
{
    if (s.positional.empty()) {
        error = "no TEXTURE given";
        return false;
    }
    if (s.positional.size() > 2) {
        error = "too many arguments: '" + s.positional[2] + "' (expected TEXTURE [EFFECT])";
        return false;
    }
    s.o.texturePath = s.positional[0];
    if (s.positional.size() == 2)
        s.o.effectPath = s.positional[1];
    return true;
}

// The capture times from --time, or --frames and --interval, or one second.
bool ChooseTimes(Gathered& s, std::string& error)
{
    RenderOptions& o = s.o;
    if (s.haveTimes && s.haveFrames) {
        error = "--time and --frames can't be used together";
        return false;
    }
    if (s.haveInterval && !s.haveFrames) {
        error = "--interval goes with --frames";
        return false;
    }
    if (s.haveTimes) {
        for (const std::string& part : SplitCommas(s.timesText)) {
            uint32_t t = 0;
            if (!ParseUnsigned(part, 0, RENDER_MAX_TIME, t)) {
                error = "bad --time '" + s.timesText + "': expected milliseconds from 0 to " +
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
    } else if (s.haveFrames) {
        const uint64_t spacing = s.haveInterval ? s.interval : o.stepMs;
        if (spacing * s.frameCount > RENDER_MAX_TIME) {
            error = "--frames " + std::to_string(s.frameCount) + " every " + std::to_string(spacing) +
                    " ms goes past " + std::to_string(RENDER_MAX_TIME) + " ms";
            return false;
        }
        for (uint32_t k = 1; k <= s.frameCount; ++k)
            o.times.push_back(uint32_t(spacing * k));
    } else {
        o.times.push_back(1000);
    }
    return true;
}

// Options that exclude or need one another.
bool CheckCombinations(const Gathered& s, std::string& error)
{
    const RenderOptions& o = s.o;
    if (o.transparent && s.haveBackground)
        error = "--transparent and --background can't be used together";
    else if (o.printState && !o.againstPath.empty())
        error = "--state prints one effect's digests; --against says where two differ";
    else if (!o.writeImages && !o.printState && o.againstPath.empty())
        error = "--no-image makes sense only with --state or --against";
    else if (o.fit && (s.haveDistance || s.haveLookAt))
        error = "--fit chooses --look-at and --distance itself; give either --fit or them";
    else if (!o.fontPath.empty() && o.againstPath.empty())
        error = "--font goes with --against: it labels the comparison's panels";
    else
        return true;
    return false;
}

// The output form from the name and --sheet, and the checks that depend on it.
bool ChooseOutput(RenderOptions& o, std::string& error)
{
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
    } else if (extension != ".png") {
        error = "the output name '" + o.outputPath + "' must end in .png, .gif or .webp";
        return false;
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
    if (o.output == RenderOutput::Webp && frameWidth * o.height * o.times.size() > RENDER_MAX_WEBP_PIXELS) {
        error = "a WebP of " + std::to_string(o.times.size()) + " frames of " + std::to_string(frameWidth) + "x" +
                std::to_string(o.height) + " is held whole until its end; at most " +
                std::to_string(RENDER_MAX_WEBP_PIXELS) + " frame pixels (use a GIF or a series)";
        return false;
    }
    std::string probe;
    if (o.output == RenderOutput::Series && !ExpandSeriesName(o.outputPath, 1, probe)) {
        error = "several frames go to a series: the output name needs one %d (or %04d), or use --sheet";
        return false;
    }
    return true;
}

// True when any argument asks for a comparison, even one the parse never reaches.
bool NamesComparison(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--against") == 0 || strncmp(argv[i], "--against=", 10) == 0)
            return true;
    return false;
}

}  // namespace

const char* RenderUsage()
{
    static const std::string usage = BuildUsage();
    return usage.c_str();
}

bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& o, std::string& error)
{
    o = RenderOptions{};
    o.comparing = NamesComparison(argc, argv);
    Gathered s(o);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() < 2 || arg[0] != '-') {
            s.positional.push_back(arg);
            continue;
        }
        if (!TakeOption(argc, argv, i, s, error))
            return false;
        if (o.showHelp)
            return true;
    }
    if (!TakePositional(s, error) || !ChooseTimes(s, error) || !CheckCombinations(s, error))
        return false;
    return !o.writeImages || ChooseOutput(o, error);
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
