#include "hexview/HexEditorCore.h"

#include "hexview/HexEditorError.h"

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Modes and settings

void HexEditorCore::setReadOnlyView(bool readOnly)
{
    m_readOnlyView = readOnly;
    if (readOnly)
        setInsertMode(false);
    requestRepaint();
}

void HexEditorCore::setInsertMode(bool insertMode)
{
    const bool effective = insertMode && canInsert();
    if (effective == m_insertMode)
        return;
    m_changedMarks.clearAll();
    m_insertMode = effective;
    if (!effective && m_data.size() > 0 && cursorPosition() >= m_data.size())
        placeCursor(m_data.size() - 1, cursorInCharField());
    clampCursor();
    ensureCursorVisible(); // the row one past the end comes or goes
    requestRepaint();
}

void HexEditorCore::setAllowInsertMode(bool allow)
{
    m_allowInsertMode = allow;
    if (!allow)
        setInsertMode(false);
}

void HexEditorCore::setNoSizeChange(bool fixed)
{
    m_noSizeChange = fixed;
    if (fixed)
        setInsertMode(false);
}

void HexEditorCore::setBytesPerUnit(int bytes)
{
    if (bytes != 1 && bytes != 2 && bytes != 4 && bytes != 8)
        throw HexEditorError(QString::fromLatin1(ErrBytesPerUnit).arg(bytes));
    if (m_unicodeChars && bytes != 2)
        raiseHexEditorError(ErrUnicodeUnit);
    m_bytesPerUnit = bytes;
    requestRepaint();
}

void HexEditorCore::setUnicodeChars(bool unicode)
{
    if (unicode == m_unicodeChars)
        return;
    if (unicode) {
        if (m_bytesPerRow % 2)
            raiseHexEditorError(ErrBytesPerLine);
        if (m_bytesPerColumn % 2)
            raiseHexEditorError(ErrBytesPerColumn);
        if (m_data.size() % 2)
            raiseHexEditorError(ErrUnicodeOddSize);
    }
    const qint64 position = cursorPosition();
    const bool inCharField = cursorInCharField();
    m_unicodeChars = unicode;
    if (unicode) {
        m_translation = TranslationKind::AsIs;
        m_bytesPerUnit = 2;
    }
    placeCursor(unicode && inCharField ? position - position % 2 : position, inCharField);
    requestRepaint();
}

void HexEditorCore::setUnicodeBigEndian(bool bigEndian)
{
    m_unicodeBigEndian = bigEndian;
    requestRepaint();
}

void HexEditorCore::setSwapNibbles(bool swap)
{
    m_swapNibbles = swap;
    requestRepaint();
}

void HexEditorCore::setTranslation(TranslationKind kind)
{
    if (m_unicodeChars && kind != TranslationKind::AsIs)
        raiseHexEditorError(ErrUnicodeTranslation);
    m_translation = kind;
    requestRepaint();
}

void HexEditorCore::setMaskChar(QChar maskChar)
{
    m_maskChar = maskChar;
    requestRepaint();
}

void HexEditorCore::setColors(const HexColors& colors)
{
    m_colors = colors;
    requestRepaint();
}

// ---------------------------------------------------------------------------------------------
// Display settings

void HexEditorCore::setBytesPerBlock(int bytes)
{
    m_bytesPerBlock = bytes;
    requestRepaint();
}

void HexEditorCore::setSeparateBlocksInCharField(bool separate)
{
    m_separateBlocksInCharField = separate;
    requestRepaint();
}

void HexEditorCore::setGutterWidth(int width)
{
    m_gutterWidth = width;
    requestRepaint();
}

void HexEditorCore::setCaretKind(CaretKind kind)
{
    m_caretKind = kind;
    requestRepaint();
}

CaretKind HexEditorCore::effectiveCaretKind() const
{
    if (m_caretKind != CaretKind::Auto)
        return m_caretKind;
    if (m_readOnlyView)
        return CaretKind::Bottom;
    return m_insertMode ? CaretKind::Left : CaretKind::Full;
}

void HexEditorCore::setFocusFrame(bool focusFrame)
{
    m_focusFrame = focusFrame;
    requestRepaint();
}

void HexEditorCore::setDrawGridLines(bool draw)
{
    m_drawGridLines = draw;
    requestRepaint();
}

void HexEditorCore::setHideSelection(bool hide)
{
    m_hideSelection = hide;
    requestRepaint();
}

void HexEditorCore::setGraySelectionIfNotFocused(bool gray)
{
    m_graySelectionIfNotFocused = gray;
    requestRepaint();
}

void HexEditorCore::setDrawGutter3D(bool draw)
{
    m_drawGutter3D = draw;
    requestRepaint();
}

void HexEditorCore::setShowPositionIfNotFocused(bool show)
{
    m_showPositionIfNotFocused = show;
    requestRepaint();
}

void HexEditorCore::setAutoBytesPerRow(bool automatic)
{
    m_autoBytesPerRow = automatic;
    requestRepaint();
}

} // namespace kestrum
