#include "tools/qprender/OptionValues.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "math/NumberText.h"
#include "tools/qprender/RenderOptions.h"

bool ParseUnsigned(const std::string& text, uint32_t low, uint32_t high, uint32_t& value)
{
    return !text.empty() && isdigit(static_cast<unsigned char>(text[0])) &&
           ParseWholeNumber(text, low, high, value) == NumberText::Ok;
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
