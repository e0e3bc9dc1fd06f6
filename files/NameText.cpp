#include "files/NameText.h"

#include <cstddef>

namespace {

// The length of the valid UTF-8 sequence of two to four bytes at `p` (of `left`
// bytes), or 0: overlong forms, UTF-16 surrogates and code points past U+10FFFF are
// not valid.
size_t SequenceLength(const unsigned char* p, size_t left)
{
    unsigned char lead = p[0];
    size_t length = lead >= 0xc2 && lead <= 0xdf   ? 2
                    : lead >= 0xe0 && lead <= 0xef ? 3
                    : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                   : 0;
    if (length == 0 || length > left)
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((p[i] & 0xc0) != 0x80)
            return 0;
    if ((lead == 0xe0 && p[1] < 0xa0) || (lead == 0xed && p[1] > 0x9f) || (lead == 0xf0 && p[1] < 0x90) ||
        (lead == 0xf4 && p[1] > 0x8f))
        return 0;
    if (lead == 0xc2 && p[1] < 0xa0)
        return 0;  // U+0080-U+009F: the C1 controls, which some terminals obey
    return length;
}

void AppendEscaped(std::string& out, unsigned char c)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
}

}  // namespace

std::string EscapedName(const std::string& name)
{
    std::string shown;
    shown.reserve(name.size());
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name.data());
    for (size_t i = 0; i < name.size();) {
        unsigned char c = bytes[i];
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            shown += char(c);
            ++i;
        } else if (size_t length = c >= 0x80 ? SequenceLength(bytes + i, name.size() - i) : 0) {
            shown.append(name, i, length);
            i += length;
        } else {
            AppendEscaped(shown, c);
            ++i;
        }
    }
    return shown;
}
