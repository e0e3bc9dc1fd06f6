// qptool: reads, writes, changes and compares effect files without the editor,
// through the editor's own effect-file code, and tells what an effect costs to run.
// Exit codes: 0 done, 1 failure (or, for diff, "the effects differ"; for cost, "over
// a budget"), 2 for diff's and cost's failures, as diff(1) does.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "effect/EffectCheck.h"
#include "effect/EffectFile.h"
#include "effect/EmitterSettings.h"
#include "effect/EffectText.h"
#include "effect/Presets.h"
#include "files/NameText.h"
#include "files/RegularFile.h"
#include "tools/common/ToolVersion.h"
#include "tools/qptool/CostCommand.h"
#include "tools/common/WholeFile.h"

namespace {

const char* const usageTop =
    "usage: qptool dump [--textconv] FILE\n"
    "       qptool new [--force] [--from TEXT | --preset NAME] FILE [name=value ...]\n"
    "       qptool presets\n"
    "       qptool set [--force] FILE name=value ...\n"
    "       qptool diff A B\n"
    "       qptool cost [--step MS] [--max-particles N] [--max-memory BYTES]\n"
    "                   [--max-coverage PIXELS] [--json] FILE...\n"
    "       qptool --help | --version\n"
    "\n"
    "dump  prints the settings of an effect file (.QP) as `name = value` lines,\n"
    "      floats as the shortest text that reads back to the same bits; says on\n"
    "      stderr what is wrong with a file the editor would refuse (exit 1) or read\n"
    "      only in part (exit 0). With --textconv (for git's diff.<driver>.textconv)\n"
    "      what is wrong goes to stdout as `# ...` lines and the exit code is 0, so\n"
    "      one bad file doesn't stop git diff or git log -p.\n"
    "new   writes FILE from the editor's defaults changed by the assignments; refuses\n"
    "      to replace an existing FILE unless --force is given. --from TEXT starts\n"
    "      from text as dump prints it (`name = value` lines; blank and `#` lines\n"
    "      skipped; TEXT - is standard input; 1 MiB at most), --preset NAME from a\n"
    "      ready-made look; the assignments after FILE apply on top.\n"
    "presets\n"
    "      lists the ready-made looks, one line each: name and what it looks like.\n"
    "set   changes fields of FILE; the file is rewritten whole or not at all. Refuses\n"
    "      a file the editor reads only in part (it would lose bytes) unless --force.\n"
    "diff  lists the fields that differ, `name: A -> B`; exit 0 same, 1 different,\n"
    "      2 trouble.\n";

const char* const usageFields =
    "\n"
    "fields: startColor, endColor (r,g,b,a), size, velocity (floats), lifetime (ms),\n"
    "        emitRate (per second), cone (on|off), coneDirection (x,y,z) and coneAngle\n"
    "        (degrees; the editor keeps 0..90), both stored only with cone=on.\n"
    "        One component alone: startColor.a=0.5, coneDirection.z=-1. Components are\n"
    "        separated by commas and/or blanks.\n"
    "new, set and dump warn on stderr of values the engine can't use as they stand\n"
    "(a cone angle outside 0..90, a negative rate, lifetime or size, a zero cone axis,\n"
    "colour components outside 0..1), saying what it does with them; the file is\n"
    "still written as asked (dump --textconv shows them as `#` lines).\n";

std::string Usage()
{
    return std::string(usageTop) + costUsage + usageFields;
}

// A file name as every message shows it: control bytes and `\\` as \\xNN, so a name
// can't act on the terminal.
std::string Shown(const std::string& name)
{
    return EscapedName(name);
}

void PrintProblems(const char* name, const EffectReport& report)
{
    for (const std::string& problem : report.problems)
        fprintf(stderr, "qptool: %s: %s\n", Shown(name).c_str(), problem.c_str());
}

// Values the engine can't use as they stand are kept as asked, with a word on stderr.
void WarnRanges(const char* name, const EmitterSettings& s)
{
    for (const std::string& warning : RangeWarnings(s))
        fprintf(stderr, "qptool: %s: %s\n", Shown(name).c_str(), warning.c_str());
}

bool Exists(const char* name)
{
    struct stat info;
    return stat(name, &info) == 0;
}

// git gives up on the whole diff when a textconv driver fails, so as a driver the
// problems become part of the text and only a failed output write is an error.
int Dump(const char* name, bool textconv)
{
    const EffectReport report = InspectEffectFile(name);
    std::vector<std::string> lines = report.problems;
    if (report.result == EFFECT_OK) {
        const std::vector<std::string> warnings = RangeWarnings(report.settings);
        lines.insert(lines.end(), warnings.begin(), warnings.end());
    }
    for (const std::string& line : lines) {
        if (textconv)
            printf("# %s\n", line.c_str());
        else
            fprintf(stderr, "qptool: %s: %s\n", Shown(name).c_str(), line.c_str());
    }
    if (report.result == EFFECT_OK)
        fputs(FormatEffect(report.settings).c_str(), stdout);
    if (fflush(stdout) != 0)
        return 1;
    return report.result == EFFECT_OK || textconv ? 0 : 1;
}

// The editor's record through the effect library's one writer, which says what went wrong.
bool Write(const char* name, const EmitterSettings& s)
{
    std::string problem;
    if (WriteEffectFile(name, s, problem))
        return true;
    fprintf(stderr, "qptool: couldn't write the file %s: %s (nothing was changed)\n", Shown(name).c_str(),
            problem.c_str());
    return false;
}

// Effect text is a few hundred bytes; anything far larger is the wrong file.
const size_t maxTextSize = 1 << 20;

// Reads the effect text named by `from` ("-" for standard input), at most
// maxTextSize bytes from either: one byte past the limit tells a text that is too
// long from one that just fits, and a pipe that never ends (/dev/zero) stops there.
// Only a regular file is opened, so a FIFO or device named by mistake can't block the tool.
bool ReadText(const std::string& from, std::string& text, std::string& error)
{
    std::vector<uint8_t> bytes;
    std::string problem;
    uint64_t size = 0;
    const std::string shown = from == "-" ? "standard input" : from;
    const bool read = from == "-" ? ReadDescriptor(0, bytes, problem, maxTextSize + 1)
                                  : ReadRegularFile(from.c_str(), bytes, problem, maxTextSize + 1, &size);
    if (!read) {
        error = shown + ": " + problem;
        return false;
    }
    if (from == "-" && bytes.size() > maxTextSize) {
        error = shown + ": more than " + std::to_string(maxTextSize) + " bytes is too long for effect text";
        return false;
    }
    if (size > maxTextSize) {
        error = shown + ": " + std::to_string(size) + " bytes is too long for effect text";
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// Where `new` starts from: --from text or a --preset on top of the defaults.
struct NewSource {
    std::string from;    // effect text file, "-" for standard input; empty for none
    std::string preset;  // preset name; empty for none
};

int New(const char* name, bool force, const NewSource& source, const std::vector<std::string>& assignments)
{
    if (!force && Exists(name)) {
        fprintf(stderr, "qptool: %s: exists; use `qptool set` to change it, or `new --force` to replace it\n",
                Shown(name).c_str());
        return 1;
    }
    EmitterSettings s = DefaultEmitterSettings();
    std::string error;
    if (!source.preset.empty()) {
        const EffectPreset* preset = FindPreset(source.preset);
        if (!preset) {
            fprintf(stderr, "qptool: no preset '%s' (`qptool presets` lists them)\n", Shown(source.preset).c_str());
            return 1;
        }
        if (!ParseEffectText(preset->text, "preset " + source.preset, s, error)) {
            fprintf(stderr, "qptool: %s\n", Shown(error).c_str());
            return 1;
        }
    }
    if (!source.from.empty()) {
        // The text is read whole before FILE is written, but a FILE that is the text's
        // own file would still lose it: refused before anything is read or written.
        if (source.from != "-" && SameFile(source.from.c_str(), name)) {
            fprintf(stderr, "qptool: %s: is the same file as the text %s; writing it would destroy the text\n",
                    Shown(name).c_str(), Shown(source.from).c_str());
            return 1;
        }
        std::string text;
        if (!ReadText(source.from, text, error) ||
            !ParseEffectText(text, source.from == "-" ? "<stdin>" : source.from, s, error)) {
            fprintf(stderr, "qptool: %s\n", Shown(error).c_str());
            return 1;
        }
    }
    if (!ApplyAssignments(s, assignments, error)) {
        fprintf(stderr, "qptool: %s\n", Shown(error).c_str());
        return 1;
    }
    if (!Write(name, s))
        return 1;
    WarnRanges(name, s);
    return 0;
}

int Set(const char* name, bool force, const std::vector<std::string>& assignments)
{
    if (assignments.empty()) {
        fprintf(stderr, "qptool: set needs at least one name=value\n");
        return 1;
    }
    const EffectReport report = InspectEffectFile(name);
    PrintProblems(name, report);
    if (report.result != EFFECT_OK)
        return 1;
    if (report.partial && !force) {
        fprintf(stderr,
                "qptool: %s: not changed, since rewriting it would drop what the editor doesn't read; "
                "use `set --force` to rewrite it anyway\n",
                Shown(name).c_str());
        return 1;
    }
    EmitterSettings s = report.settings;
    std::string error;
    if (!ApplyAssignments(s, assignments, error)) {
        fprintf(stderr, "qptool: %s\n", Shown(error).c_str());
        return 1;
    }
    if (!Write(name, s))
        return 1;
    WarnRanges(name, s);
    return 0;
}

int ListPresets()
{
    for (size_t i = 0; i < effectPresetCount; ++i)
        printf("%-10s %s\n", effectPresets[i].name, effectPresets[i].description);
    return fflush(stdout) == 0 ? 0 : 1;
}

int Diff(const char* nameA, const char* nameB)
{
    const EffectReport a = InspectEffectFile(nameA);
    const EffectReport b = InspectEffectFile(nameB);
    PrintProblems(nameA, a);
    PrintProblems(nameB, b);
    if (a.result != EFFECT_OK || b.result != EFFECT_OK)
        return 2;
    const std::vector<std::string> lines = DiffEffects(a.settings, b.settings);
    for (const std::string& line : lines)
        printf("%s\n", line.c_str());
    if (fflush(stdout) != 0)
        return 2;
    return lines.empty() ? 0 : 1;
}

int UsageError(const char* what)
{
    fprintf(stderr, "qptool: %s\n\n%s", Shown(what).c_str(), Usage().c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (PrintVersionIfAsked(argc, argv, "qptool"))
        return 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return UsageError("no command given");
    const std::string command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        fputs(Usage().c_str(), stdout);
        return 0;
    }
    args.erase(args.begin());
    bool force = false;
    NewSource source;
    while ((command == "new" || command == "set") && !args.empty() && args[0].size() > 1 && args[0][0] == '-') {
        const std::string option = args[0];
        args.erase(args.begin());
        if (option == "--force" || option == "-f") {
            force = true;
            continue;
        }
        if (command != "new" || (option != "--from" && option != "--preset"))
            return UsageError((command + ": unknown option '" + option + "'").c_str());
        if (args.empty())
            return UsageError((option + " needs a value").c_str());
        (option == "--from" ? source.from : source.preset) = args[0];
        args.erase(args.begin());
    }
    if (!source.from.empty() && !source.preset.empty())
        return UsageError("new takes --from or --preset, not both");
    if (command == "dump") {
        const bool textconv = !args.empty() && args[0] == "--textconv";
        if (args.size() != 1u + textconv)
            return UsageError("dump takes one FILE");
        return Dump(args[textconv].c_str(), textconv);
    }
    if (command == "cost")
        return RunCost(args);
    if (command == "presets") {
        if (!args.empty())
            return UsageError("presets takes no arguments");
        return ListPresets();
    }
    if (command == "diff") {
        if (args.size() != 2) {
            UsageError("diff takes two files");
            return 2;
        }
        return Diff(args[0].c_str(), args[1].c_str());
    }
    if (command == "new" || command == "set") {
        if (args.empty())
            return UsageError((command + " needs a FILE").c_str());
        const std::string name = args[0];
        if (name.find('=') != std::string::npos && !Exists(name.c_str()))
            return UsageError((command + " needs a FILE before the assignments").c_str());
        const std::vector<std::string> assignments(args.begin() + 1, args.end());
        return command == "new" ? New(name.c_str(), force, source, assignments) : Set(name.c_str(), force, assignments);
    }
    return UsageError(("unknown command '" + command + "'").c_str());
}
