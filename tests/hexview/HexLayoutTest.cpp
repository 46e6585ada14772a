#include "hexview/HexLayout.h"

#include <gtest/gtest.h>

namespace kestrum::test {

namespace {

HexLayout rowOf16() // two bytes per column group, offsets 10 characters wide
{
    HexLayout layout;
    layout.offsetWidth = 10;
    return layout;
}

HexLayout unicodeRowOf8()
{
    HexLayout layout;
    layout.bytesPerRow = 8;
    layout.unicodeChars = true;
    return layout;
}

HexLayout blocksOf4() // one byte per column group, blocks of four bytes
{
    HexLayout layout;
    layout.bytesPerColumn = 1;
    layout.bytesPerBlock = 4;
    return layout;
}

} // namespace

// Positions and cells both ways, worked out from the grid's description: offset column, gap, two
// columns per byte, spacer, characters; data rows from row 2.
TEST(HexLayout, CellsAndPositionsMapBothWays)
{
    struct Case
    {
        const char* name;
        HexLayout layout;
        qint64 position;
        bool inChar;
        GridCell cell;
    };
    const Case cases[] = {
        {"first byte", rowOf16(), 0, false, {2, 2}},
        {"second row, second byte", rowOf16(), 17, false, {4, 3}},
        {"last byte of a row", rowOf16(), 15, false, {32, 2}},
        {"last character of row 2", rowOf16(), 31, true, {50, 3}},
        {"first character", rowOf16(), 0, true, {35, 2}},
        {"Unicode: character of bytes 4 and 5", unicodeRowOf8(), 4, true, {21, 2}},
        {"Unicode: next row", unicodeRowOf8(), 10, true, {20, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.layout.cellAtPosition(c.position, c.inChar), c.cell);
        EXPECT_EQ(c.layout.positionAtCell(c.cell), c.position);
        EXPECT_EQ(c.layout.isCharColumn(c.cell.col), c.inChar);
    }
    EXPECT_EQ(rowOf16().positionAtCell(GridCell {5, 2}), 1) << "second digit of byte 1";
    EXPECT_EQ(rowOf16().colCount(), 51);
    EXPECT_EQ(unicodeRowOf8().colCount(), 23);
}

// Column widths for a "w" 8 pixels wide: a group of bytes and a block end in blank space, the last
// column of each field is wider, characters are one pixel apart.
TEST(HexLayout, ColumnWidthsFollowGroupsBlocksAndFields)
{
    struct Case
    {
        const char* name;
        HexLayout layout;
        int col;
        int width;
    };
    const Case cases[] = {
        {"offsets: 10 characters and the margin", rowOf16(), 0, 101},
        {"gap", rowOf16(), 1, 6},
        {"first digit", rowOf16(), 2, 8},
        {"second digit inside a group", rowOf16(), 3, 8},
        {"second digit ending a group", rowOf16(), 5, 16},
        {"last digit of the row", rowOf16(), 33, 16},
        {"spacer", rowOf16(), 34, 8},
        {"character", rowOf16(), 35, 9},
        {"last character", rowOf16(), 50, 17},
        {"group of one byte", blocksOf4(), 3, 16},
        {"block end", blocksOf4(), 9, 24},
        {"character ending a block", blocksOf4(), 38, 17},
        {"character inside a block", blocksOf4(), 37, 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.layout.colWidth(c.col, 8), c.width) << c.name;
    HexLayout fixed = rowOf16();
    fixed.gutterWidth = 40;
    EXPECT_EQ(fixed.colWidth(0, 8), 40);
}

} // namespace kestrum::test
