#include "hexview/HexEditorCore.h"

#include "hexview/HexEditorError.h"
#include "hexview/Radix.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Grid geometry and scrolling

HexLayout HexEditorCore::layout() const
{
    HexLayout layout;
    layout.bytesPerRow = m_bytesPerRow;
    layout.bytesPerColumn = m_bytesPerColumn;
    layout.bytesPerBlock = m_bytesPerBlock;
    layout.unicodeChars = m_unicodeChars;
    layout.separateBlocksInCharField = m_separateBlocksInCharField;
    layout.rulerUnit = rulerUnit();
    layout.gutterWidth = m_gutterWidth;
    layout.offsetWidth = m_offsetDisplayWidth;
    return layout;
}

int HexEditorCore::rowCount() const
{
    const qint64 size = m_data.size();
    if (size == 0)
        return 3;
    qint64 rows = (size + m_bytesPerRow - 1) / m_bytesPerRow + 2;
    if (m_insertMode && size % m_bytesPerRow == 0)
        ++rows;
    return static_cast<int>(rows);
}

qint64 HexEditorCore::maxCursorPos() const
{
    return m_insertMode ? m_data.size() : m_data.size() - 1;
}

QString HexEditorCore::positionText()
{
    QString text = anyOffsetString(std::max<qint64>(cursorPosition(), 0));
    if (hasSelection()) {
        const qint64 count = selCount();
        text += QStringLiteral("   Sel %1 (0x%2)").arg(count).arg(intToRadix64(quint64(count), 16));
    }
    text += m_insertMode ? QStringLiteral("   INS") : QStringLiteral("   OVR");
    return text;
}

void HexEditorCore::setTopRow(qint64 row)
{
    const qint64 dataRows = rowCount() - 2;
    row = std::clamp<qint64>(row, 0, std::max<qint64>(0, dataRows - m_visibleRows));
    if (row != m_topRow) {
        m_topRow = row;
        requestRepaint();
    }
}

void HexEditorCore::setVisibleRowCount(int rows)
{
    m_visibleRows = std::max(rows, 1);
    ensureCursorVisible();
}

void HexEditorCore::ensureCursorVisible()
{
    const qint64 row = m_cursor.row - 2;
    if (row < m_topRow)
        m_topRow = row;
    else if (row >= m_topRow + m_visibleRows)
        m_topRow = row - m_visibleRows + 1;
    // No empty rows below the data while rows above are out of view: the view grew, or the data
    // shrank.
    const qint64 dataRows = rowCount() - 2;
    m_topRow = std::clamp<qint64>(m_topRow, 0, std::max<qint64>(0, dataRows - m_visibleRows));
}

// ---------------------------------------------------------------------------------------------
// Row and column sizes

void HexEditorCore::setBytesPerRow(int bytes)
{
    if (bytes < 1 || bytes > 256 || (m_unicodeChars && bytes % 2))
        raiseHexEditorError(ErrBytesPerLine);
    if (!m_autoBytesPerRow)
        internalSetBytesPerRow(bytes);
}

void HexEditorCore::internalSetBytesPerRow(int bytes)
{
    if (bytes == m_bytesPerRow)
        return;
    const qint64 position = cursorPosition();
    const bool inCharField = cursorInCharField();
    const bool second = isCursorOnSecondColumn();
    const int old = m_bytesPerRow;
    m_bytesPerRow = bytes;
    if (m_offsetFormat.has(OffsetFlag::CalcRow))
        regenerateOffsetFormat([&] { m_bytesPerRow = old; });
    placeCursor(position, inCharField, second);
    ensureCursorVisible();
    requestRepaint();
}

void HexEditorCore::setBytesPerColumn(int bytes)
{
    if (bytes < 1 || bytes > 256 || (m_unicodeChars && bytes % 2))
        raiseHexEditorError(ErrBytesPerColumn);
    const int old = m_bytesPerColumn;
    m_bytesPerColumn = bytes;
    if (m_offsetFormat.has(OffsetFlag::CalcColumn))
        regenerateOffsetFormat([&] { m_bytesPerColumn = old; });
    requestRepaint();
}

void HexEditorCore::applyAutoBytesPerRow(int clientWidth, int charWidth)
{
    if (!m_autoBytesPerRow)
        return;
    int bytes = bytesPerRowForWidth(clientWidth, charWidth);
    if (m_unicodeChars && bytes % 2)
        --bytes;
    internalSetBytesPerRow(std::max(bytes, m_unicodeChars ? 2 : 1));
}

// ---------------------------------------------------------------------------------------------
// Offsets and ruler

void HexEditorCore::generateOffsetFormat(const QString& format)
{
    m_offsetFormat = OffsetFormat::parse(
        format, {.bytesPerRow = m_bytesPerRow, .bytesPerColumn = m_bytesPerColumn, .rulerUnit = rulerUnit()});
}

void HexEditorCore::setOffsetFormat(const QString& format)
{
    try {
        generateOffsetFormat(format);
    } catch (...) {
        generateOffsetFormat(m_offsetFormatText);
        throw;
    }
    m_offsetFormatText = format;
    requestRepaint();
}

void HexEditorCore::regenerateOffsetFormat(const std::function<void()>& restore)
{
    try {
        generateOffsetFormat(m_offsetFormatText);
    } catch (...) {
        restore();
        generateOffsetFormat(m_offsetFormatText);
        throw;
    }
}

QString HexEditorCore::offsetString(qint64 position)
{
    QString text = m_offsetFormat.format(position, m_hexLowerCase);
    if (m_offsetTextProvider && !m_inOffsetTextProvider) {
        m_inOffsetTextProvider = true;
        try {
            m_offsetTextProvider(position, text);
        } catch (...) {
            m_inOffsetTextProvider = false;
            throw;
        }
        m_inOffsetTextProvider = false;
    }
    return text;
}

QString HexEditorCore::anyOffsetString(qint64 position)
{
    if (!m_offsetFormat.isEmpty())
        return offsetString(position);
    return m_offsetFormat.format(position, m_hexLowerCase); // plain hexadecimal, no handler asked
}

void HexEditorCore::updateOffsetDisplayWidth()
{
    const qint64 largest = qint64(rowCount() - 3) * m_bytesPerRow;
    m_offsetFormat.fitWidthTo(largest);
    m_offsetDisplayWidth = static_cast<int>(anyOffsetString(largest).size()) + 1;
}

void HexEditorCore::updateDisplayState()
{
    const quint64 key = quint64(m_bytesPerRow) | quint64(rulerUnit()) << 16 | quint64(m_rulerNumberBase) << 24
        | quint64(m_hexLowerCase) << 32 | quint64(m_unicodeChars) << 33;
    if (key != m_rulerKey) {
        m_rulerKey = key;
        m_ruler = RulerStrings::build(m_bytesPerRow, rulerUnit(), m_rulerNumberBase, m_unicodeChars, m_hexLowerCase);
    }
    m_offsetFormat.followRulerUnit(rulerUnit());
    updateOffsetDisplayWidth();
}

void HexEditorCore::setHexLowerCase(bool lowerCase)
{
    m_hexLowerCase = lowerCase;
    requestRepaint();
}

void HexEditorCore::setShowRuler(bool show)
{
    m_showRuler = show;
    requestRepaint();
}

void HexEditorCore::setRulerBytesPerUnit(int bytes)
{
    if (bytes != -1 && !OffsetFormat::isValidUnit(bytes))
        throw HexEditorError(QString::fromLatin1(ErrRulerUnit).arg(bytes));
    m_rulerBytesPerUnit = bytes;
    requestRepaint();
}

void HexEditorCore::setRulerNumberBase(int base)
{
    m_rulerNumberBase = (base < 2 || base > 16) ? 16 : base;
    requestRepaint();
}

// ---------------------------------------------------------------------------------------------
// Column widths

int HexEditorCore::colWidth(int col, int charWidth) const
{
    return layout().colWidth(col, charWidth);
}

int HexEditorCore::bytesPerRowForWidth(int clientWidth, int charWidth) const
{
    return layout().bytesPerRowForWidth(clientWidth, charWidth);
}

} // namespace kestrum
