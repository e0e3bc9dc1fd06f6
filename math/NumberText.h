// Numbers typed by a user (tool options, effect text), in one form for every program:
// the whole text is one number, and the number lies in the range the caller gives.
// The parse says what was wrong; each program words its own message from that.
// No leading or trailing blanks, no hex, no locale; prints nothing.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

enum class NumberText {
    Ok,
    NotANumber,    // empty, or no number where the text starts (a blank, a letter, a lone sign)
    TrailingText,  // a number followed by anything else, even a blank
    OutOfRange,    // a well-formed number outside [low, high], however many digits it has
};

// Whole numbers: an optional '+' or '-', then decimal digits ("-0" is 0). `value` is
// set only when the result is Ok.
NumberText ParseWholeNumber(const std::string& text, int64_t low, int64_t high, int64_t& value);

// The same for any integer type whose range fits in 64 signed bits.
template <typename T> NumberText ParseWholeNumber(const std::string& text, T low, T high, T& value)
{
    static_assert(std::is_integral<T>::value && sizeof(T) <= 8, "a whole number of up to 64 bits");
    static_assert(!std::is_unsigned<T>::value || sizeof(T) < 8, "unsigned 64-bit values don't all fit the parse");
    int64_t wide = 0;
    const NumberText result = ParseWholeNumber(text, int64_t(low), int64_t(high), wide);
    if (result == NumberText::Ok)
        value = T(wide);
    return result;
}

// Decimal numbers: an optional sign, digits with an optional '.' (at least one digit),
// an optional exponent ('e' or 'E', optional sign, digits); or "inf" / "infinity" in any
// case, optionally signed. Rounded to the nearest float; a number beyond the float range
// is OutOfRange, one below the smallest float becomes that float's nearest (0 or a
// denormal). "nan" is NotANumber. `value` is set only when the result is Ok.
NumberText ParseDecimalNumber(const std::string& text, float low, float high, float& value);
