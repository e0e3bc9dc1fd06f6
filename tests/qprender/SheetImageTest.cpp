// Sprite-sheet assembly: cell placement, the flip from GL's bottom-up rows, the
// background of empty cells, and alpha taken from the light for transparency.

#include <gtest/gtest.h>

#include <vector>

#include "tools/qprender/SheetImage.h"

TEST(SheetImage, FillsCellsLeftToRightTopToBottomWithRowsFlipped)
{
    const float grey[3] = {0.5f, 0.25f, 1.0f};
    SheetImage sheet(5, 3, 2, 3, grey, false);
    ASSERT_EQ(6u, sheet.Width());
    ASSERT_EQ(6u, sheet.Height()) << "5 frames on 3 columns need 2 rows";
    for (uint8_t i = 0; i < 5; ++i) {
        // Pixel (x, row from the bottom) of frame i: red = 10 + i, green = x, blue = row.
        uint8_t frame[3][2][4];
        for (uint8_t row = 0; row < 3; ++row)
            for (uint8_t x = 0; x < 2; ++x) {
                frame[row][x][0] = uint8_t(10 + i);
                frame[row][x][1] = x;
                frame[row][x][2] = row;
                frame[row][x][3] = 255;
            }
        sheet.Place(i, &frame[0][0][0]);
    }
    const std::vector<uint8_t>& p = sheet.Pixels();
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 6; ++x) {
            const uint8_t* at = &p[(y * 6 + x) * 3];
            const uint32_t cell = (y / 3) * 3 + x / 2;
            const std::vector<uint8_t> expected =
                cell == 5 ? std::vector<uint8_t>{128, 64, 255}  // empty: the background
                          : std::vector<uint8_t>{uint8_t(10 + cell), uint8_t(x % 2), uint8_t(2 - y % 3)};
            EXPECT_EQ(expected, std::vector<uint8_t>(at, at + 3)) << "sheet pixel " << x << "," << y;
        }
    }
}

TEST(SheetImage, TransparentPixelsTakeTheirAlphaFromTheBrightestChannel)
{
    const float black[3] = {0.0f, 0.0f, 0.0f};
    SheetImage sheet(1, 1, 4, 1, black, true);
    ASSERT_EQ(4, sheet.Components());
    const std::vector<uint8_t> frame = {0, 0, 0, 77, 255, 128, 0, 0, 100, 50, 25, 255, 1, 0, 0, 0};
    sheet.Place(0, frame.data());
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 255, 128, 0, 255, 255, 128, 64, 100, 255, 0, 0, 1};
    EXPECT_EQ(expected, sheet.Pixels());
}
