#include "hexview/TCustomMPHexEditor.h"

#include "hexview/EMPHexEditor.h"
#include "hexview/MPHRadix.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Grid geometry and scrolling

int TCustomMPHexEditor::ColCount() const
{
    const int b = m_bytesPerRow;
    return m_unicodeChars ? 2 * b + b / 2 + 3 : 3 * b + 3;
}

int TCustomMPHexEditor::RowCount() const
{
    const qint64 size = m_data.GetSize();
    if (size == 0)
        return 3;
    qint64 rows = (size + m_bytesPerRow - 1) / m_bytesPerRow + 2;
    if (m_insertMode && size % m_bytesPerRow == 0)
        ++rows;
    return static_cast<int>(rows);
}

qint64 TCustomMPHexEditor::GetPosAtCursor(TMPHGridCell cell) const
{
    const qint64 rowStart = qint64(cell.row - 2) * m_bytesPerRow;
    qint64 position = 0;
    if (IsCharColumn(cell.col))
        position = qint64(cell.col - CharFirstColumn()) * (m_unicodeChars ? 2 : 1) + rowStart;
    else
        position = (cell.col - 2) / 2 + rowStart;
    return std::max<qint64>(position, 0);
}

TMPHGridCell TCustomMPHexEditor::GetCursorAtPos(qint64 position, bool inCharField) const
{
    position = std::max<qint64>(position, 0);
    const int inRow = static_cast<int>(position % m_bytesPerRow);
    TMPHGridCell cell;
    cell.row = static_cast<int>(position / m_bytesPerRow + 2);
    if (inCharField)
        cell.col = (m_unicodeChars ? inRow / 2 : inRow) + CharFirstColumn();
    else
        cell.col = inRow * 2 + 2;
    return cell;
}

qint64 TCustomMPHexEditor::MaxCursorPos() const
{
    return m_insertMode ? m_data.GetSize() : m_data.GetSize() - 1;
}

QString TCustomMPHexEditor::GetPositionText()
{
    QString text = GetAnyOffsetString(std::max<qint64>(GetCursorPos(), 0));
    if (HasSelection()) {
        const qint64 count = GetSelCount();
        text += QStringLiteral("   Sel %1 (0x%2)").arg(count).arg(IntToRadix64(quint64(count), 16));
    }
    text += m_insertMode ? QStringLiteral("   INS") : QStringLiteral("   OVR");
    return text;
}

void TCustomMPHexEditor::SetTopRow(qint64 row)
{
    const qint64 dataRows = RowCount() - 2;
    row = std::clamp<qint64>(row, 0, std::max<qint64>(0, dataRows - m_visibleRows));
    if (row != m_topRow) {
        m_topRow = row;
        Repaint();
    }
}

void TCustomMPHexEditor::SetVisibleRowCount(int rows)
{
    m_visibleRows = std::max(rows, 1);
    EnsureCursorVisible();
}

void TCustomMPHexEditor::EnsureCursorVisible()
{
    const qint64 row = m_cursor.row - 2;
    if (row < m_topRow)
        m_topRow = row;
    else if (row >= m_topRow + m_visibleRows)
        m_topRow = row - m_visibleRows + 1;
    // No empty rows below the data while rows above are out of view: the view grew, or the data
    // shrank.
    const qint64 dataRows = RowCount() - 2;
    m_topRow = std::clamp<qint64>(m_topRow, 0, std::max<qint64>(0, dataRows - m_visibleRows));
}

// ---------------------------------------------------------------------------------------------
// Row and column sizes

void TCustomMPHexEditor::SetBytesPerRow(int bytes)
{
    if (bytes < 1 || bytes > 256 || (m_unicodeChars && bytes % 2))
        RaiseMPHexEditor(MPH_ERR_BYTES_PER_LINE);
    if (!m_autoBytesPerRow)
        InternalSetBytesPerRow(bytes);
}

void TCustomMPHexEditor::InternalSetBytesPerRow(int bytes)
{
    if (bytes == m_bytesPerRow)
        return;
    const qint64 position = GetCursorPos();
    const bool inCharField = GetInCharField();
    const bool second = IsCursorOnSecondColumn();
    const int old = m_bytesPerRow;
    m_bytesPerRow = bytes;
    if (m_offsetFormat.has(offCalcRow))
        RegenerateOffsetFormat([&] { m_bytesPerRow = old; });
    MoveCursor(position, inCharField, second);
    EnsureCursorVisible();
    Repaint();
}

void TCustomMPHexEditor::SetBytesPerColumn(int bytes)
{
    if (bytes < 1 || bytes > 256 || (m_unicodeChars && bytes % 2))
        RaiseMPHexEditor(MPH_ERR_BYTES_PER_COLUMN);
    const int old = m_bytesPerColumn;
    m_bytesPerColumn = bytes;
    if (m_offsetFormat.has(offCalcColumn))
        RegenerateOffsetFormat([&] { m_bytesPerColumn = old; });
    Repaint();
}

void TCustomMPHexEditor::ApplyAutoBytesPerRow(int clientWidth, int charWidth)
{
    if (!m_autoBytesPerRow)
        return;
    int bytes = BytesPerRowForWidth(clientWidth, charWidth);
    if (m_unicodeChars && bytes % 2)
        --bytes;
    InternalSetBytesPerRow(std::max(bytes, m_unicodeChars ? 2 : 1));
}

// ---------------------------------------------------------------------------------------------
// Offsets and ruler

void TCustomMPHexEditor::GenerateOffsetFormat(const QString& format)
{
    m_offsetFormat = OffsetFormat::parse(
        format, {.bytesPerRow = m_bytesPerRow, .bytesPerColumn = m_bytesPerColumn, .rulerUnit = RulerUnit()});
}

void TCustomMPHexEditor::SetOffsetFormat(const QString& format)
{
    try {
        GenerateOffsetFormat(format);
    } catch (...) {
        GenerateOffsetFormat(m_offsetFormatText);
        throw;
    }
    m_offsetFormatText = format;
    Repaint();
}

void TCustomMPHexEditor::RegenerateOffsetFormat(const std::function<void()>& restore)
{
    try {
        GenerateOffsetFormat(m_offsetFormatText);
    } catch (...) {
        restore();
        GenerateOffsetFormat(m_offsetFormatText);
        throw;
    }
}

QString TCustomMPHexEditor::GetOffsetString(qint64 position)
{
    QString text = m_offsetFormat.format(position, m_hexLowerCase);
    if (OnGetOffsetText && !m_inGetOffsetText) {
        m_inGetOffsetText = true;
        try {
            OnGetOffsetText(*this, position, text);
        } catch (...) {
            m_inGetOffsetText = false;
            throw;
        }
        m_inGetOffsetText = false;
    }
    return text;
}

QString TCustomMPHexEditor::GetAnyOffsetString(qint64 position)
{
    if (!m_offsetFormat.isEmpty())
        return GetOffsetString(position);
    return m_offsetFormat.format(position, m_hexLowerCase); // plain hexadecimal, no handler asked
}

void TCustomMPHexEditor::SetOffsetDisplayWidth()
{
    const qint64 largest = qint64(RowCount() - 3) * m_bytesPerRow;
    m_offsetFormat.fitWidthTo(largest);
    m_offsetDisplayWidth = static_cast<int>(GetAnyOffsetString(largest).size()) + 1;
}

void TCustomMPHexEditor::UpdateDisplayState()
{
    const quint64 key = quint64(m_bytesPerRow) | quint64(RulerUnit()) << 16 | quint64(m_rulerNumberBase) << 24
        | quint64(m_hexLowerCase) << 32 | quint64(m_unicodeChars) << 33;
    if (key != m_rulerKey) {
        m_rulerKey = key;
        m_ruler = RulerStrings::build(m_bytesPerRow, RulerUnit(), m_rulerNumberBase, m_unicodeChars, m_hexLowerCase);
    }
    m_offsetFormat.followRulerUnit(RulerUnit());
    SetOffsetDisplayWidth();
}

void TCustomMPHexEditor::SetHexLowerCase(bool lowerCase)
{
    m_hexLowerCase = lowerCase;
    Repaint();
}

void TCustomMPHexEditor::SetShowRuler(bool show)
{
    m_showRuler = show;
    Repaint();
}

void TCustomMPHexEditor::SetRulerBytesPerUnit(int bytes)
{
    if (bytes != -1 && !OffsetFormat::isValidUnit(bytes))
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_RULER_UNIT).arg(bytes));
    m_rulerBytesPerUnit = bytes;
    Repaint();
}

void TCustomMPHexEditor::SetRulerNumberBase(int base)
{
    m_rulerNumberBase = (base < 2 || base > 16) ? 16 : base;
    Repaint();
}

// ---------------------------------------------------------------------------------------------
// Column widths

int TCustomMPHexEditor::GetColWidth(int col, int charWidth) const
{
    return ColWidthFor(col, m_bytesPerRow, charWidth);
}

int TCustomMPHexEditor::ColWidthFor(int col, int b, int charWidth) const
{
    if (col == 0)
        return m_gutterWidth != -1 ? m_gutterWidth : m_offsetDisplayWidth * charWidth + 21;
    if (col == 1)
        return 6;
    if (col <= 2 * b + 1) {
        const int nibble = col - 2;
        if (nibble == 2 * b - 1)
            return 2 * charWidth;
        int width = charWidth;
        if ((nibble + 2) % (2 * m_bytesPerColumn) == 1)
            width = 2 * charWidth;
        if (m_bytesPerBlock > 1 && (nibble + 2) % (2 * m_bytesPerBlock) == 1)
            width += charWidth;
        return width;
    }
    if (col == 2 * b + 2)
        return charWidth;
    const int index = col - (2 * b + 3);
    const int last = m_unicodeChars ? b / 2 - 1 : b - 1;
    if (index >= last)
        return 2 * charWidth + 1;
    int width = charWidth + 1;
    const int unit = RulerUnit();
    if (!m_unicodeChars && unit >= 2 && (index + 1) % unit == 0)
        width = charWidth + charWidth / 2 + 1;
    const int bytesUpTo = m_unicodeChars ? 2 * index + 2 : index + 1;
    if (m_bytesPerBlock > 1 && m_separateBlocksInCharField && bytesUpTo % m_bytesPerBlock == 0)
        width += charWidth;
    return width;
}

int TCustomMPHexEditor::BytesPerRowForWidth(int clientWidth, int charWidth) const
{
    const int available = clientWidth - GetColWidth(0, charWidth) - GetColWidth(1, charWidth) - 8;
    for (int n = 2; n <= 254; n += 2) {
        // Would a row of n + 2 bytes, laid out with the current column settings, still fit?
        const int bytes = n + 2;
        const int columns = m_unicodeChars ? 2 * bytes + bytes / 2 + 3 : 3 * bytes + 3;
        int width = 0;
        for (int col = 2; col < columns && width <= available; ++col)
            width += ColWidthFor(col, bytes, charWidth);
        if (width > available)
            return n;
    }
    return 256;
}

} // namespace kestrum
