#include "hexview/HexLayout.h"

#include <algorithm>

namespace kestrum {

qint64 HexLayout::positionAtCell(GridCell cell) const
{
    const qint64 rowStart = qint64(cell.row - 2) * bytesPerRow;
    qint64 position = 0;
    if (isCharColumn(cell.col))
        position = qint64(cell.col - charFirstColumn()) * (unicodeChars ? 2 : 1) + rowStart;
    else
        position = (cell.col - 2) / 2 + rowStart;
    return std::max<qint64>(position, 0);
}

GridCell HexLayout::cellAtPosition(qint64 position, bool inCharField) const
{
    position = std::max<qint64>(position, 0);
    const int inRow = static_cast<int>(position % bytesPerRow);
    GridCell cell;
    cell.row = static_cast<int>(position / bytesPerRow + 2);
    if (inCharField)
        cell.col = (unicodeChars ? inRow / 2 : inRow) + charFirstColumn();
    else
        cell.col = inRow * 2 + 2;
    return cell;
}

int HexLayout::colWidth(int col, int charWidth) const
{
    const int b = bytesPerRow;
    if (col == 0)
        return gutterWidth != -1 ? gutterWidth : offsetWidth * charWidth + 21;
    if (col == 1)
        return 6;
    if (col <= 2 * b + 1) {
        // A column group ends in a blank column's width, a block in one more.
        const int nibble = col - 2;
        if (nibble == 2 * b - 1)
            return 2 * charWidth;
        int width = charWidth;
        if ((nibble + 2) % (2 * bytesPerColumn) == 1)
            width = 2 * charWidth;
        if (bytesPerBlock > 1 && (nibble + 2) % (2 * bytesPerBlock) == 1)
            width += charWidth;
        return width;
    }
    if (col == 2 * b + 2)
        return charWidth;
    const int index = col - (2 * b + 3);
    const int last = unicodeChars ? b / 2 - 1 : b - 1;
    if (index >= last)
        return 2 * charWidth + 1;
    int width = charWidth + 1;
    if (!unicodeChars && rulerUnit >= 2 && (index + 1) % rulerUnit == 0)
        width = charWidth + charWidth / 2 + 1;
    const int bytesUpTo = unicodeChars ? 2 * index + 2 : index + 1;
    if (bytesPerBlock > 1 && separateBlocksInCharField && bytesUpTo % bytesPerBlock == 0)
        width += charWidth;
    return width;
}

int HexLayout::bytesPerRowForWidth(int clientWidth, int charWidth) const
{
    const int available = clientWidth - colWidth(0, charWidth) - colWidth(1, charWidth) - 8;
    HexLayout trial = *this;
    for (int n = 2; n <= 254; n += 2) {
        // Would a row of n + 2 bytes, laid out with the current column settings, still fit?
        trial.bytesPerRow = n + 2;
        const int columns = trial.colCount();
        int width = 0;
        for (int col = 2; col < columns && width <= available; ++col)
            width += trial.colWidth(col, charWidth);
        if (width > available)
            return n;
    }
    return 256;
}

} // namespace kestrum
