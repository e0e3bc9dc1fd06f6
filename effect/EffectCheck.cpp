#include "effect/EffectCheck.h"

#include "effect/EffectFields.h"

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

}  // namespace

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
