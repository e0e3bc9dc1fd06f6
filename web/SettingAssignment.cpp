#include "web/SettingAssignment.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "math/NumberText.h"

namespace {

enum Kind { KIND_FLOAT, KIND_INT, KIND_SWITCH };

struct Field {
    const char* name;
    Kind kind;
    const char* components;  // one letter per component; "" for a single value
    bool coneOnly;           // kept by the file only while the cone is on
};

const Field fields[] = {
    {"startColor", KIND_FLOAT, "rgba", false}, {"endColor", KIND_FLOAT, "rgba", false},
    {"size", KIND_FLOAT, "", false},           {"velocity", KIND_FLOAT, "", false},
    {"lifetime", KIND_INT, "", false},         {"emitRate", KIND_INT, "", false},
    {"cone", KIND_SWITCH, "", false},          {"coneDirection", KIND_FLOAT, "xyz", true},
    {"coneAngle", KIND_FLOAT, "", true},
};

// Where the field's first value lives in `s`.
void* Place(EmitterSettings& s, const Field& field)
{
    const std::string name = field.name;
    if (name == "startColor")
        return &s.startColor.r;
    if (name == "endColor")
        return &s.endColor.r;
    if (name == "size")
        return &s.size;
    if (name == "velocity")
        return &s.velocity;
    if (name == "lifetime")
        return &s.lifetime;
    if (name == "emitRate")
        return &s.emitRate;
    if (name == "cone")
        return &s.coneEnabled;
    if (name == "coneDirection")
        return &s.coneDirection.x;
    return &s.coneAngle;
}

// The components of `text`, separated by a comma and/or blanks; false for an empty
// component (two commas in a row, or one at either end).
bool SplitComponents(const std::string& text, std::vector<std::string>& parts)
{
    parts.clear();
    std::string part;
    int commas = 0;  // commas since the last component
    for (char c : text) {
        if (c != ',' && c != ' ' && c != '\t') {
            part += c;
            continue;
        }
        if (!part.empty()) {
            parts.push_back(part);
            part.clear();
            commas = 0;
        }
        if (c == ',' && (++commas > 1 || parts.empty()))
            return false;
    }
    if (!part.empty())
        parts.push_back(part);
    return part.empty() ? commas == 0 : true;
}

bool ParseFloatText(const std::string& text, float& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const float parsed = strtof(text.c_str(), &end);
    if (*end != '\0')
        return false;
    value = parsed;
    return true;
}

}  // namespace

bool AssignSetting(EmitterSettings& s, const std::string& assignment, std::string& error)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        error = "'" + assignment + "': expected name=value";
        return false;
    }
    std::string name = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    const size_t dot = name.find('.');
    const std::string suffix = dot == std::string::npos ? "" : name.substr(dot + 1);
    name = name.substr(0, dot);
    const Field* field = nullptr;
    for (const Field& f : fields)
        if (name == f.name)
            field = &f;
    if (!field) {
        error = "'" + assignment + "': unknown name '" + name + "'";
        return false;
    }
    int component = -1;  // the whole field
    if (dot != std::string::npos) {
        const char* letter = suffix.size() == 1 ? strchr(field->components, suffix[0]) : nullptr;
        if (!letter) {
            error = "'" + assignment + "': " + name + " has no component '" + suffix + "'";
            return false;
        }
        component = int(letter - field->components);
    }

    EmitterSettings next = s;
    if (field->kind == KIND_SWITCH) {
        if (value != "on" && value != "off") {
            error = "'" + assignment + "': cone is on or off";
            return false;
        }
        next.coneEnabled = value == "on";
    } else if (field->kind == KIND_INT) {
        if (ParseWholeNumber(value, INT_MIN, INT_MAX, *static_cast<int*>(Place(next, *field))) != NumberText::Ok) {
            error = "'" + assignment + "': " + name + " takes a whole number";
            return false;
        }
    } else {
        const size_t count = component >= 0 ? 1 : (field->components[0] ? strlen(field->components) : 1);
        std::vector<std::string> parts;
        float parsed[4];
        bool ok = SplitComponents(value, parts) && parts.size() == count;
        for (size_t i = 0; ok && i < count; ++i)
            ok = ParseFloatText(parts[i], parsed[i]);
        if (!ok) {
            error = "'" + assignment + "': " + name +
                    (count > 1 ? " takes " + std::to_string(count) + " numbers" : " takes a number");
            return false;
        }
        float* place = static_cast<float*>(Place(next, *field)) + (component >= 0 ? component : 0);
        memcpy(place, parsed, count * sizeof(float));
    }
    if (field->coneOnly && !next.coneEnabled) {
        error = "'" + assignment + "': the cone is off, so the effect file wouldn't keep " + name;
        return false;
    }
    s = next;
    return true;
}
