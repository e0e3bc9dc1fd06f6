#include "effect/EffectText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "effect/EffectFields.h"

namespace {

uint32_t Bits(float f)
{
    uint32_t u;
    memcpy(&u, &f, sizeof u);
    return u;
}

std::string FormatValue(const EmitterSettings& s, const EffectField& f)
{
    if (f.integer)
        return std::to_string(s.*f.integer);
    if (f.flag)
        return s.*f.flag ? "on" : "off";
    std::string text;
    for (int i = 0; i < f.components; ++i) {
        if (i)
            text += ", ";
        text += FormatFloat(FieldFloat(s, f, i));
    }
    return text;
}

bool SameValue(const EmitterSettings& a, const EmitterSettings& b, const EffectField& f)
{
    for (int i = 0; i < f.components; ++i)
        if (FieldBits(a, f, i) != FieldBits(b, f, i))
            return false;
    return true;
}

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// Splits on commas and blanks; an empty piece between two commas is kept so that
// "1,,2" is refused rather than read as two numbers.
bool SplitComponents(const std::string& text, std::vector<std::string>& parts)
{
    parts.clear();
    std::string current;
    bool sawComma = false;
    bool inToken = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '\0';
        if (c == ',' || c == ' ' || c == '\t' || c == '\0') {
            if (inToken) {
                parts.push_back(current);
                current.clear();
                inToken = false;
                sawComma = false;
            }
            if (c == ',') {
                if (sawComma || parts.empty())
                    return false;
                sawComma = true;
            }
        } else {
            current += c;
            inToken = true;
        }
    }
    return !sawComma;
}

bool ParseInt(const std::string& text, int& value)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    value = int(parsed);
    return true;
}

// Finds "name" or "name.c"; sets `component` to -1 for the whole field. Null
// when there is no such field or component.
const EffectField* FindField(const std::string& name, int& component)
{
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    for (const EffectField& f : effectFields) {
        if (base != f.name)
            continue;
        if (dot == std::string::npos) {
            component = -1;
            return &f;
        }
        const std::string suffix = name.substr(dot + 1);
        const char* hit = suffix.size() == 1 ? strchr(f.letters, suffix[0]) : nullptr;
        if (!hit || suffix[0] == '\0')
            return nullptr;
        component = int(hit - f.letters);
        return &f;
    }
    return nullptr;
}

std::string FieldNames()
{
    std::string names;
    for (const EffectField& f : effectFields)
        names += std::string(names.empty() ? "" : ", ") + f.name;
    return names;
}

// Input quoted in an error message: single-quoted, control bytes as '?', and cut
// after 60 bytes so that a runaway line still gives a one-line message.
std::string Shown(const std::string& text)
{
    const size_t shownSize = 60;
    std::string shown = "'";
    for (size_t i = 0; i < text.size() && i < shownSize; ++i)
        shown += (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7f) ? '?' : text[i];
    return shown + (text.size() > shownSize ? "'..." : "'");
}

// Applies one assignment; `touchedCone` is set when it names the cone's axis or angle.
bool ApplyOne(EmitterSettings& s, const std::string& assignment, bool& touchedCone, std::string& error)
{
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        error = Shown(assignment) + ": expected name=value";
        return false;
    }
    const std::string name = Trim(assignment.substr(0, eq));
    const std::string value = Trim(assignment.substr(eq + 1));
    int component = -1;
    const EffectField* field = FindField(name, component);
    if (!field) {
        error = Shown(name) + ": no such field (fields: " + FieldNames() + ")";
        return false;
    }
    const EffectField& f = *field;
    if (f.coneOnly)
        touchedCone = true;
    const std::string where = Shown(assignment) + ": ";
    if (f.flag) {
        if (value != "on" && value != "off") {
            error = where + f.name + " is on or off";
            return false;
        }
        s.*f.flag = value == "on";
        return true;
    }
    if (f.integer) {
        if (!ParseInt(value, s.*f.integer)) {
            error = where + name + " takes a whole number from " + std::to_string(INT_MIN) + " to " +
                    std::to_string(INT_MAX);
            return false;
        }
        return true;
    }
    std::vector<std::string> parts;
    const int wanted = component < 0 ? f.components : 1;
    if (!SplitComponents(value, parts) || int(parts.size()) != wanted) {
        error = where + (wanted == 1 ? name + " takes one number"
                                     : name + " takes " + std::to_string(wanted) + " numbers separated by commas");
        return false;
    }
    float parsed[4];
    for (int i = 0; i < wanted; ++i) {
        if (!ParseFloat(parts[i], parsed[i])) {
            error = where + Shown(parts[i]) + " is not a number that fits a 32-bit float";
            return false;
        }
    }
    const int first = component < 0 ? 0 : component;
    for (int i = 0; i < wanted; ++i)
        FieldFloat(s, f, first + i) = parsed[i];
    return true;
}

#if !defined(__cpp_lib_to_chars)
// What std::to_chars writes for a finite float, for C++ libraries without it (the
// WebAssembly build's): the fewest significant digits that read back to the same
// bits, correctly rounded, written plain or with an exponent, whichever is shorter
// (plain on a tie); plain, a whole number shows its exact digits.
std::string ShortestText(float value)
{
    char scientific[32];
    int digits = 1;
    for (; digits < 9; ++digits) {
        snprintf(scientific, sizeof scientific, "%.*e", digits - 1, double(value));
        if (strtof(scientific, nullptr) == value)
            break;
    }
    snprintf(scientific, sizeof scientific, "%.*e", digits - 1, double(value));
    const std::string text = scientific;
    const bool negative = text[0] == '-';
    const size_t e = text.find('e');
    std::string mantissa = text.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    const int exponent = atoi(text.c_str() + e + 1);

    char exponentText[8];
    snprintf(exponentText, sizeof exponentText, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    std::string withExponent = mantissa.substr(0, 1) + (digits > 1 ? "." + mantissa.substr(1) : "") + exponentText;
    std::string plain;
    if (exponent >= digits - 1) {
        // A whole number is written with all its digits, exact (123456792, not 123456790).
        char whole[48];
        snprintf(whole, sizeof whole, "%.0f", std::fabs(double(value)));
        plain = whole;
    } else if (exponent >= 0)
        plain = mantissa.substr(0, size_t(exponent + 1)) + "." + mantissa.substr(size_t(exponent + 1));
    else
        plain = "0." + std::string(size_t(-exponent - 1), '0') + mantissa;
    const std::string sign = negative ? "-" : "";
    return sign + (plain.size() <= withExponent.size() ? plain : withExponent);
}
#endif

}  // namespace

std::string FormatFloat(float value)
{
    if (std::isnan(value)) {
        const uint32_t bits = Bits(value);
        if (bits == 0x7fc00000u)
            return "nan";
        char text[32];
        snprintf(text, sizeof text, "nan(0x%08" PRIx32 ")", bits);
        return text;
    }
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
        // The shortest decimal that reads back to the same float, e.g. 0.2 rather than
        // 0.200000003; 32 characters hold the longest ("-1.17549435e-38").
#if defined(__cpp_lib_to_chars)
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
#else
    return ShortestText(value);
#endif
}

bool ParseFloat(const std::string& text, float& value)
{
    if (text.empty())
        return false;
    if (text.compare(0, 6, "nan(0x") == 0 && text.size() == 15 && text[14] == ')') {
        for (size_t i = 6; i < 14; ++i)
            if (!isxdigit(static_cast<unsigned char>(text[i])))
                return false;
        const uint32_t pattern = uint32_t(strtoul(text.substr(6, 8).c_str(), nullptr, 16));
        float f;
        memcpy(&f, &pattern, sizeof f);
        if (!std::isnan(f))
            return false;
        value = f;
        return true;
    }
    if (text == "nan") {
        const uint32_t pattern = 0x7fc00000u;
        memcpy(&value, &pattern, sizeof value);
        return true;
    }
    // strtof's own "nan(...)" forms have implementation-defined bits; only the
    // explicit pattern above is taken.
    if (text.find('(') != std::string::npos)
        return false;
    errno = 0;
    char* end = nullptr;
    const float parsed = strtof(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0')
        return false;
    if (errno == ERANGE && std::isinf(parsed))
        return false;
    value = parsed;
    return true;
}

std::string FormatEffect(const EmitterSettings& s)
{
    std::string text;
    for (const EffectField& f : effectFields) {
        if (f.coneOnly && !s.coneEnabled)
            continue;
        text += std::string(f.name) + " = " + FormatValue(s, f) + "\n";
    }
    return text;
}

bool ApplyAssignments(EmitterSettings& s, const std::vector<std::string>& assignments, std::string& error)
{
    EmitterSettings work = s;
    bool touchedCone = false;
    for (const std::string& assignment : assignments)
        if (!ApplyOne(work, assignment, touchedCone, error))
            return false;
    if (touchedCone && !work.coneEnabled) {
        error = "the cone's axis and angle are stored only with cone=on";
        return false;
    }
    s = work;
    return true;
}

bool ParseEffectText(const std::string& text, const std::string& source, EmitterSettings& s, std::string& error)
{
    EmitterSettings work = s;
    int coneLine = 0;  // the first line naming the cone's axis or angle
    int assignments = 0;
    size_t begin = 0;
    for (int number = 1; begin < text.size(); ++number) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string where = source + ":" + std::to_string(number) + ": ";
        if (line.find('\0') != std::string::npos) {
            error = where + "not text (a NUL byte)";
            return false;
        }
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        bool touchedCone = false;
        std::string problem;
        if (!ApplyOne(work, line, touchedCone, problem)) {
            error = where + problem;
            return false;
        }
        if (touchedCone && coneLine == 0)
            coneLine = number;
        ++assignments;
    }
    if (assignments == 0) {
        error = source + ": no `name = value` line";
        return false;
    }
    if (coneLine != 0 && !work.coneEnabled) {
        error = source + ":" + std::to_string(coneLine) + ": the cone's axis and angle are stored only with cone = on";
        return false;
    }
    s = work;
    return true;
}

std::vector<std::string> DiffEffects(const EmitterSettings& a, const EmitterSettings& b)
{
    std::vector<std::string> lines;
    for (const EffectField& f : effectFields) {
        const bool hereA = !f.coneOnly || a.coneEnabled;
        const bool hereB = !f.coneOnly || b.coneEnabled;
        if (!hereA && !hereB)
            continue;
        if (hereA && hereB && SameValue(a, b, f))
            continue;
        lines.push_back(std::string(f.name) + ": " + (hereA ? FormatValue(a, f) : "(absent)") + " -> " +
                        (hereB ? FormatValue(b, f) : "(absent)"));
    }
    return lines;
}
