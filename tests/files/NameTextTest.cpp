// Names in messages: what a terminal would act on comes out as \xNN, readable text as it is.
#include <gtest/gtest.h>

#include "files/NameText.h"

TEST(EscapedName, ControlBytesBackslashAndBrokenUtf8AreEscapedTextStays)
{
    const std::pair<std::string, std::string> cases[] = {
        {"fire.QP", "fire.QP"},
        {"dir/with space.QP", "dir/with space.QP"},
        {"evil\x1b]0;T\x07.QP", "evil\\x1b]0;T\\x07.QP"},  // would retitle the terminal
        {"line\nbreak\r", "line\\x0abreak\\x0d"},
        {std::string("nul\0in", 6), "nul\\x00in"},
        {"back\\slash\x7f", "back\\x5cslash\\x7f"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa5", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa5"},  // é € 🔥
        {"\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J"},  // U+009B, the C1 CSI
        {"\x9b"
         "2J",
         "\\x9b2J"},                                   // a lone continuation byte
        {"\xc3(", "\\xc3("},                           // a cut sequence
        {"\xc0\xaf", "\\xc0\\xaf"},                    // an overlong '/'
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},           // a UTF-16 surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // past U+10FFFF
        {"end\xe2\x82", "end\\xe2\\x82"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, EscapedName(c.first)) << c.second;
}
