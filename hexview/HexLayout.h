#pragma once

#include <QtGlobal>

namespace kestrum {

/// A cell of the editor grid: column 0 is the offset column, column 1 a gap, then two columns per
/// byte in the hexadecimal field, a spacer, and the character field; rows 0 and 1 are fixed and
/// data rows start at row 2.
struct GridCell
{
    int col = 2;
    int row = 2;

    friend bool operator==(const GridCell&, const GridCell&) = default;
};

/// The line and column arithmetic of the grid, from the settings that shape it: which cell shows
/// which byte, and how wide every column is for a font whose "w" is `charWidth` pixels wide. A
/// plain value; the editor makes one from its settings.
struct HexLayout
{
    int bytesPerRow = 16;
    int bytesPerColumn = 2;
    int bytesPerBlock = -1; ///< -1: no blocks
    bool unicodeChars = false; ///< two bytes per character column
    bool separateBlocksInCharField = true;
    int rulerUnit = 1; ///< the ruler's bytes per unit in force
    int gutterWidth = -1; ///< a fixed width of the offset column in pixels; -1: from offsetWidth
    int offsetWidth = 1; ///< width of the offset column in characters

    int colCount() const { return unicodeChars ? 2 * bytesPerRow + bytesPerRow / 2 + 3 : 3 * bytesPerRow + 3; }
    static constexpr int hexFirstColumn() { return 2; }
    int charFirstColumn() const { return 2 * bytesPerRow + 3; }
    bool isCharColumn(int col) const { return col >= charFirstColumn(); }
    /// The position a data cell shows (the first byte of its character in Unicode mode); 0 at least.
    qint64 positionAtCell(GridCell cell) const;
    /// The cell of a position in either field.
    GridCell cellAtPosition(qint64 position, bool inCharField) const;
    /// Width of a grid column in pixels.
    int colWidth(int col, int charWidth) const;
    /// The bytes per row (even, 2 to 256) whose fields fit a client area `clientWidth` pixels wide
    /// beside the offset column.
    int bytesPerRowForWidth(int clientWidth, int charWidth) const;
};

} // namespace kestrum
