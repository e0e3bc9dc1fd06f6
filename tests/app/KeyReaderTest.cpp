// The keyboard reader: one character per new press, priority among held keys,
// the several keys of one row, and keys outside the table.
#include "tests/app/KeyboardFixture.h"

using KeyReader = KeyboardFixture;

TEST_F(KeyReader, AHeldKeyIsReportedOnceAndAgainOnlyAfterARelease)
{
    keys[DIK_M] = 0x80;
    EXPECT_EQ('M', ReadKey());
    EXPECT_EQ(0, ReadKey());
    EXPECT_EQ(0, ReadKey());
    keys[DIK_M] = 0;
    EXPECT_EQ(0, ReadKey());
    EXPECT_EQ(0, lastKey);
    keys[DIK_M] = 0xFF;  // only bit 7 counts
    EXPECT_EQ('M', ReadKey());
    keys[DIK_M] = 0x7F;
    EXPECT_EQ(0, ReadKey());
    EXPECT_EQ(0, lastKey);
}

TEST_F(KeyReader, OnlyTheHighestHeldKeyCountsAndTheLowerReturnsWhenItGoes)
{
    keys[DIK_Z] = keys[DIK_M] = 0x80;
    EXPECT_EQ('M', ReadKey());
    keys[DIK_M] = 0;
    EXPECT_EQ('Z', ReadKey());
    keys[DIK_5] = 0x80;
    EXPECT_EQ(0, ReadKey()) << "a digit held under a letter is hidden";
    keys[DIK_Z] = 0;
    EXPECT_EQ('5', ReadKey());
    keys[DIK_NUMPAD5] = 0x80;
    keys[DIK_5] = 0;
    EXPECT_EQ(0, ReadKey()) << "the other key of the same row is the same held key";
}

TEST_F(KeyReader, RowsWithSeveralKeysAndKeysOutsideTheTable)
{
    const struct {
        unsigned char code, character;
    } rows[] = {{DIK_NUMPAD0, '0'}, {DIK_9, '9'},         {DIK_NUMPAD9, '9'}, {DIK_COMMA, '.'},
                {DIK_DECIMAL, '.'}, {DIK_SUBTRACT, '-'},  {DIK_MINUS, '-'},   {DIK_NUMPADENTER, 13},
                {DIK_RETURN, 13},   {DIK_DELETE, 8},      {DIK_BACK, 8},      {DIK_ESCAPE, 27},
                {DIK_R, 'R'},       {DIK_NUMPAD7, '7'}};
    for (const auto& row : rows) {
        std::memset(keys, 0, sizeof(keys));
        ReadKey();
        keys[row.code] = 0x80;
        EXPECT_EQ(row.character, ReadKey()) << "scan code " << int(row.code);
    }
    std::memset(keys, 0, sizeof(keys));
    keys[DIK_F1] = keys[DIK_SPACE] = keys[DIK_LSHIFT] = 0x80;
    EXPECT_EQ(0, ReadKey());
    EXPECT_EQ(0, lastKey);
}
