#include "math/NumberText.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <strings.h>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Index just past an optional sign at `at`.
size_t SkipSign(const std::string& text, size_t at)
{
    return at < text.size() && (text[at] == '+' || text[at] == '-') ? at + 1 : at;
}

size_t SkipDigits(const std::string& text, size_t at)
{
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at;
}

// Length of "inf" or "infinity" (any case) at `at`, else 0.
size_t InfinityLength(const std::string& text, size_t at)
{
    const char* rest = text.c_str() + at;
    if (strncasecmp(rest, "infinity", 8) == 0)
        return 8;
    return strncasecmp(rest, "inf", 3) == 0 ? 3 : 0;
}

}  // namespace

NumberText ParseWholeNumber(const std::string& text, int64_t low, int64_t high, int64_t& value)
{
    const size_t start = SkipSign(text, 0);
    const size_t end = SkipDigits(text, start);
    if (end == start)
        return NumberText::NotANumber;
    if (end != text.size())
        return NumberText::TrailingText;
    const bool negative = text[0] == '-';
    // The magnitude, capped just past the largest one any int64_t range can hold, so
    // that a hundred digits are out of range rather than wrapped into it.
    const uint64_t cap = uint64_t(INT64_MAX) + 2;
    uint64_t magnitude = 0;
    for (size_t i = start; i < end; ++i) {
        const uint64_t digit = uint64_t(text[i] - '0');
        if (magnitude > (cap - digit) / 10) {
            magnitude = cap;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (magnitude >= cap)
        return NumberText::OutOfRange;
    int64_t parsed;
    if (!negative) {
        if (magnitude > uint64_t(INT64_MAX))
            return NumberText::OutOfRange;
        parsed = int64_t(magnitude);
    } else {
        parsed = magnitude == 0 ? 0 : -int64_t(magnitude - 1) - 1;
    }
    if (parsed < low || parsed > high)
        return NumberText::OutOfRange;
    value = parsed;
    return NumberText::Ok;
}

NumberText ParseDecimalNumber(const std::string& text, float low, float high, float& value)
{
    const size_t start = SkipSign(text, 0);
    size_t end = start;
    if (const size_t infinity = InfinityLength(text, start)) {
        end += infinity;
    } else {
        end = SkipDigits(text, start);
        bool digits = end > start;
        if (end < text.size() && text[end] == '.') {
            const size_t fraction = SkipDigits(text, end + 1);
            digits = digits || fraction > end + 1;
            end = fraction;
        }
        if (!digits)
            return NumberText::NotANumber;
        if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
            const size_t exponent = SkipSign(text, end + 1);
            const size_t exponentEnd = SkipDigits(text, exponent);
            if (exponentEnd > exponent)
                end = exponentEnd;
        }
    }
    if (end == start)
        return NumberText::NotANumber;
    if (end != text.size())
        return NumberText::TrailingText;
    // The text is now one decimal number or infinity, which strtof reads the same in
    // every locale that keeps '.' as the decimal point (the tools never change it).
    errno = 0;
    const float parsed = std::strtof(text.c_str(), nullptr);
    const bool infinite = InfinityLength(text, start) != 0;
    if (errno == ERANGE && std::isinf(parsed) && !infinite)
        return NumberText::OutOfRange;
    if (!(parsed >= low && parsed <= high))
        return NumberText::OutOfRange;
    value = parsed;
    return NumberText::Ok;
}
