#include "tools/qptool/CostCommand.h"

#include <cinttypes>
#include <cstdio>

#include "effect/EffectCheck.h"
#include "effect/EffectCost.h"
#include "files/NameText.h"
#include "math/NumberText.h"
#include "particles/QParticle.h"
#include "particles/QParticleBatch.h"

const char* const costUsage =
    "cost  tells what each effect costs in frames of MS ms (--step: 16, as qprender\n"
    "      steps; 1..1000): the live particles once settled and at most (exact: the\n"
    "      engine's counting run on numbers), the pools' bytes then, particles\n"
    "      emitted per second, and the pixels one particle covers at the emitter in\n"
    "      the editor's 640x480 view at distance 1, and all of them at the peak.\n"
    "      The --max options make it a check: exit 1 when an effect passes one,\n"
    "      naming it; 2 for trouble. --json prints the figures for scripts.\n";

namespace {

struct Budget {
    const char* option;
    int64_t limit;
    bool given;
};

struct CostOptions {
    uint32_t stepMs = 16;
    bool json = false;
    Budget particles{"--max-particles", 0, false};
    Budget memory{"--max-memory", 0, false};
    Budget coverage{"--max-coverage", 0, false};
    std::vector<std::string> files;
};

int Trouble(const std::string& what)
{
    fprintf(stderr, "qptool: cost: %s\n", what.c_str());
    return 2;
}

// Parses the options; false (after printing why) on a bad one.
bool ParseCostOptions(const std::vector<std::string>& args, CostOptions& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            o.json = true;
            continue;
        }
        Budget* budget = arg == "--max-particles"  ? &o.particles
                         : arg == "--max-memory"   ? &o.memory
                         : arg == "--max-coverage" ? &o.coverage
                                                   : nullptr;
        if (budget || arg == "--step") {
            if (i + 1 == args.size()) {
                Trouble(arg + " needs a value");
                return false;
            }
            const std::string& value = args[++i];
            const bool ok = budget ? ParseWholeNumber(value, int64_t(0), INT64_MAX, budget->limit) == NumberText::Ok
                                   : ParseWholeNumber(value, 1u, uint32_t(COST_MAX_STEP), o.stepMs) == NumberText::Ok;
            if (!ok) {
                Trouble(arg + " takes a whole number " + (budget ? "of 0 or more" : "of milliseconds from 1 to 1000") +
                        ", not '" + EscapedName(value) + "'");
                return false;
            }
            if (budget)
                budget->given = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            Trouble("unknown option '" + EscapedName(arg) + "'");
            return false;
        }
        o.files.push_back(arg);
    }
    if (o.files.empty()) {
        Trouble("needs at least one FILE");
        return false;
    }
    return true;
}

std::string JsonText(const std::string& text)
{
    std::string quoted = "\"";
    for (unsigned char c : EscapedName(text)) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += char(c);
    }
    return quoted + "\"";
}

std::string Number(double value)
{
    char text[32];
    snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void PrintText(const std::string& name, const EffectCost& c)
{
    if (c.settled)
        printf("%s: in frames of %" PRIu32 " ms\n", EscapedName(name).c_str(), c.stepMs);
    else
        printf("%s: in frames of %" PRIu32 " ms, its first %" PRIu64 " only: its particles outlive them\n",
               EscapedName(name).c_str(), c.stepMs, c.frames);
    printf("  live particles    %" PRIu64 " at most, %" PRIu64 " at least once settled (%" PRIu64 " batches at most)\n",
           c.peakParticles, c.steadyParticles, c.peakBatches);
    printf("  emitted           %s per second\n", Number(c.emittedPerSecond).c_str());
    printf("  pool memory       %" PRIu64 " bytes: %" PRIu64 " particle nodes of %zu bytes, %" PRIu64
           " batch nodes of %zu, in blocks\n",
           c.poolBytes, c.particleNodes, sizeof(QParticle), c.batchNodes, sizeof(QParticleBatch));
    printf("  coverage          %.0f pixels a particle, %.0f at the peak (640x480, distance 1)\n", c.particlePixels,
           c.peakPixels);
}

std::string JsonCost(const std::string& name, const EffectCost& c)
{
    return "{\"file\": " + JsonText(name) + ", \"step\": " + std::to_string(c.stepMs) +
           ", \"frames\": " + std::to_string(c.frames) + ", \"settled\": " + (c.settled ? "true" : "false") +
           ", \"peakParticles\": " + std::to_string(c.peakParticles) +
           ", \"steadyParticles\": " + std::to_string(c.steadyParticles) +
           ", \"peakBatches\": " + std::to_string(c.peakBatches) +
           ", \"particleNodes\": " + std::to_string(c.particleNodes) +
           ", \"batchNodes\": " + std::to_string(c.batchNodes) + ", \"poolBytes\": " + std::to_string(c.poolBytes) +
           ", \"emittedPerSecond\": " + Number(c.emittedPerSecond) +
           ", \"particlePixels\": " + Number(c.particlePixels) + ", \"peakPixels\": " + Number(c.peakPixels);
}

// Names on stderr every budget the effect passes; returns how many.
int CheckBudgets(const std::string& name, const EffectCost& c, const CostOptions& o, std::string& json)
{
    const struct {
        const Budget& budget;
        double value;
        const char* what;
    } checks[] = {{o.particles, double(c.peakParticles), "live particles at the peak"},
                  {o.memory, double(c.poolBytes), "bytes of pool memory"},
                  {o.coverage, c.peakPixels, "pixels covered at the peak"}};
    int passed = 0;
    std::string over;
    for (const auto& check : checks) {
        if (!check.budget.given || check.value <= double(check.budget.limit))
            continue;
        fprintf(stderr, "qptool: %s: %s %s passes %s %" PRId64 "\n", EscapedName(name).c_str(),
                Number(check.value).c_str(), check.what, check.budget.option, check.budget.limit);
        over += std::string(over.empty() ? "" : ", ") + "\"" + check.budget.option + "\"";
        ++passed;
    }
    json += ", \"over\": [" + over + "]}";
    return passed;
}

}  // namespace

int RunCost(const std::vector<std::string>& args)
{
    CostOptions o;
    if (!ParseCostOptions(args, o))
        return 2;
    bool trouble = false, over = false;
    std::vector<std::string> entries;
    for (const std::string& name : o.files) {
        const EffectReport report = InspectEffectFile(name.c_str());
        for (const std::string& problem : report.problems)
            fprintf(stderr, "qptool: %s: %s\n", EscapedName(name).c_str(), problem.c_str());
        if (report.result != EFFECT_OK) {
            trouble = true;
            const std::string problem = report.problems.empty() ? "not an effect file" : report.problems[0];
            entries.push_back("{\"file\": " + JsonText(name) + ", \"error\": " + JsonText(problem) + "}");
            continue;
        }
        const EffectCost cost = MeasureEffectCost(report.settings, o.stepMs);
        std::string json = JsonCost(name, cost);
        over = CheckBudgets(name, cost, o, json) > 0 || over;
        entries.push_back(json);
        if (!o.json)
            PrintText(name, cost);
    }
    if (o.json) {
        printf("[\n");
        for (size_t i = 0; i < entries.size(); ++i)
            printf("  %s%s\n", entries[i].c_str(), i + 1 < entries.size() ? "," : "");
        printf("]\n");
    }
    if (fflush(stdout) != 0)
        return 2;
    return trouble ? 2 : over ? 1 : 0;
}
