#include "effect/EffectCheck.h"

#include "effect/EffectFields.h"
#include "effect/EffectText.h"

#include <cmath>

namespace {

std::string Join(const std::vector<std::string>& names)
{
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i ? ", " : "") + names[i];
    return text;
}

// What of an accepted file the editor doesn't read: fields the end doesn't reach,
// bytes that are no whole cone axis, a cut cone angle, bytes after the record.
std::string UnreadParts(const EffectFileRead& read, bool cone)
{
    std::vector<std::string> missing;
    for (size_t i = 0; i < EFFECT_FIELD_COUNT; ++i)
        if (!effectFields[i].coneOnly && !(read.fieldsTaken & EffectFieldBit(i)))
            missing.push_back(effectFields[i].name);
    const std::string size = std::to_string(read.fileSize);
    const std::string record = std::to_string(unsigned(EFFECT_FILE_SIZE));
    const std::string coneRecord = std::to_string(unsigned(EFFECT_FILE_CONE_SIZE));
    if (!missing.empty())
        return "short file: " + size + " bytes end inside the record (" + record + " bytes without a cone); " +
               Join(missing) + (missing.size() == 1 ? " is" : " are") +
               " not stored and the editor starts with 0 there";
    if (!cone && read.fileSize > EFFECT_FILE_SIZE)
        return std::to_string(read.fileSize - EFFECT_FILE_SIZE) + " bytes after the " + record +
               "-byte record are not a whole cone axis; the editor ignores them and reads the cone as off";
    for (size_t i = 0; i < EFFECT_FIELD_COUNT; ++i)
        if (cone && !(read.fieldsTaken & EffectFieldBit(i)))
            return "short file: " + size + " bytes end inside " + effectFields[i].name + " (" + coneRecord +
                   " bytes with a cone); the cone is on and its angle starts at 0";
    if (read.fileSize > EFFECT_FILE_CONE_SIZE)
        return std::to_string(read.fileSize - EFFECT_FILE_CONE_SIZE) + " trailing bytes after the " + coneRecord +
               "-byte record; the editor ignores them";
    return "";
}

// "is outside 0..90", "is below 0" or "is above 1": how a value misses the field's range.
std::string OutOfRange(const EffectField& f)
{
    if (std::isinf(f.high))
        return "is below " + FormatFloat(f.low);
    if (std::isinf(f.low))
        return "is above " + FormatFloat(f.high);
    return "is outside " + FormatFloat(f.low) + ".." + FormatFloat(f.high);
}

bool Outside(double value, const EffectField& f)
{
    return value < f.low || value > f.high;
}

}  // namespace

std::vector<std::string> RangeWarnings(const EmitterSettings& s)
{
    std::vector<std::string> warnings;
    for (const EffectField& f : effectFields) {
        if (!f.outside || (f.coneOnly && !s.coneEnabled))
            continue;
        if (f.integer) {
            const int value = s.*f.integer;
            if (Outside(value, f))
                warnings.push_back(std::string(f.name) + " = " + std::to_string(value) + " " + OutOfRange(f) + "; " +
                                   f.outside);
            continue;
        }
        bool allZero = true;
        std::string values;
        for (int c = 0; c < f.components; ++c) {
            const float value = FieldFloat(s, f, c);
            allZero = allZero && value == 0.0f;
            values += (c ? ", " : "") + FormatFloat(value);
            if (!Outside(value, f))
                continue;
            const std::string name = f.components > 1 ? std::string(f.name) + "." + f.letters[c] : f.name;
            warnings.push_back(name + " = " + FormatFloat(value) + " " + OutOfRange(f) + "; " + f.outside);
        }
        if (f.nonZero && allZero)
            warnings.push_back(std::string(f.name) + " = " + values + " is no direction; " + f.outside);
    }
    return warnings;
}

EffectReport InspectEffectFile(const char* name)
{
    EffectReport report;
    report.settings = EmitterSettings{};  // the editor's settings before start-up fills them
    EffectFileRead read;
    report.result = ReadEffectFile(name, report.settings, read);
    report.fileSize = static_cast<size_t>(read.fileSize);
    const std::string problem =
        report.result == EFFECT_OK ? UnreadParts(read, report.settings.coneEnabled) : read.problem;
    report.partial = report.result == EFFECT_OK && !problem.empty();
    if (!problem.empty())
        report.problems.push_back(problem);
    return report;
}
