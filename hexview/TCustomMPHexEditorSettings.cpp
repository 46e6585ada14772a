#include "hexview/TCustomMPHexEditor.h"

#include "hexview/EMPHexEditor.h"

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Modes and settings

void TCustomMPHexEditor::SetReadOnlyView(bool readOnly)
{
    m_readOnlyView = readOnly;
    if (readOnly)
        SetInsertMode(false);
    Repaint();
}

void TCustomMPHexEditor::SetInsertMode(bool insertMode)
{
    const bool effective = insertMode && CanInsert();
    if (effective == m_insertMode)
        return;
    m_changedMarks.ClearAll();
    m_insertMode = effective;
    if (!effective && m_data.GetSize() > 0 && GetCursorPos() >= m_data.GetSize())
        MoveCursor(m_data.GetSize() - 1, GetInCharField());
    ClampCursor();
    EnsureCursorVisible(); // the row one past the end comes or goes
    Repaint();
}

void TCustomMPHexEditor::SetAllowInsertMode(bool allow)
{
    m_allowInsertMode = allow;
    if (!allow)
        SetInsertMode(false);
}

void TCustomMPHexEditor::SetNoSizeChange(bool fixed)
{
    m_noSizeChange = fixed;
    if (fixed)
        SetInsertMode(false);
}

void TCustomMPHexEditor::SetBytesPerUnit(int bytes)
{
    if (bytes != 1 && bytes != 2 && bytes != 4 && bytes != 8)
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_BYTES_PER_UNIT).arg(bytes));
    if (m_unicodeChars && bytes != 2)
        RaiseMPHexEditor(MPH_ERR_UNICODE_UNIT);
    m_bytesPerUnit = bytes;
    Repaint();
}

void TCustomMPHexEditor::SetUnicodeChars(bool unicode)
{
    if (unicode == m_unicodeChars)
        return;
    if (unicode) {
        if (m_bytesPerRow % 2)
            RaiseMPHexEditor(MPH_ERR_BYTES_PER_LINE);
        if (m_bytesPerColumn % 2)
            RaiseMPHexEditor(MPH_ERR_BYTES_PER_COLUMN);
        if (m_data.GetSize() % 2)
            RaiseMPHexEditor(MPH_ERR_UNICODE_ODD_SIZE);
    }
    const qint64 position = GetCursorPos();
    const bool inCharField = GetInCharField();
    m_unicodeChars = unicode;
    if (unicode) {
        m_translation = tkAsIs;
        m_bytesPerUnit = 2;
    }
    MoveCursor(unicode && inCharField ? position - position % 2 : position, inCharField);
    Repaint();
}

void TCustomMPHexEditor::SetUnicodeBigEndian(bool bigEndian)
{
    m_unicodeBigEndian = bigEndian;
    Repaint();
}

void TCustomMPHexEditor::SetSwapNibbles(bool swap)
{
    m_swapNibbles = swap;
    Repaint();
}

void TCustomMPHexEditor::SetTranslation(TMPHTranslationKind kind)
{
    if (m_unicodeChars && kind != tkAsIs)
        RaiseMPHexEditor(MPH_ERR_UNICODE_TRANSLATION);
    m_translation = kind;
    Repaint();
}

void TCustomMPHexEditor::SetMaskChar(QChar maskChar)
{
    m_maskChar = maskChar;
    Repaint();
}

void TCustomMPHexEditor::SetColors(const TMPHColors& colors)
{
    m_colors = colors;
    Repaint();
}

// ---------------------------------------------------------------------------------------------
// Display settings

void TCustomMPHexEditor::SetBytesPerBlock(int bytes)
{
    m_bytesPerBlock = bytes;
    Repaint();
}

void TCustomMPHexEditor::SetSeparateBlocksInCharField(bool separate)
{
    m_separateBlocksInCharField = separate;
    Repaint();
}

void TCustomMPHexEditor::SetGutterWidth(int width)
{
    m_gutterWidth = width;
    Repaint();
}

void TCustomMPHexEditor::SetCaretKind(TMPHCaretKind kind)
{
    m_caretKind = kind;
    Repaint();
}

TMPHCaretKind TCustomMPHexEditor::EffectiveCaretKind() const
{
    if (m_caretKind != ckAuto)
        return m_caretKind;
    if (m_readOnlyView)
        return ckBottom;
    return m_insertMode ? ckLeft : ckFull;
}

void TCustomMPHexEditor::SetFocusFrame(bool focusFrame)
{
    m_focusFrame = focusFrame;
    Repaint();
}

void TCustomMPHexEditor::SetDrawGridLines(bool draw)
{
    m_drawGridLines = draw;
    Repaint();
}

void TCustomMPHexEditor::SetHideSelection(bool hide)
{
    m_hideSelection = hide;
    Repaint();
}

void TCustomMPHexEditor::SetGraySelectionIfNotFocused(bool gray)
{
    m_graySelectionIfNotFocused = gray;
    Repaint();
}

void TCustomMPHexEditor::SetDrawGutter3D(bool draw)
{
    m_drawGutter3D = draw;
    Repaint();
}

void TCustomMPHexEditor::SetShowPositionIfNotFocused(bool show)
{
    m_showPositionIfNotFocused = show;
    Repaint();
}

void TCustomMPHexEditor::SetAutoBytesPerRow(bool automatic)
{
    m_autoBytesPerRow = automatic;
    Repaint();
}

} // namespace kestrum
