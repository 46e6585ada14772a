#include "hexview/MPHexEditorView.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace kestrum {

namespace {

QColor rgb(quint32 value)
{
    return QColor::fromRgb(static_cast<QRgb>(value | 0xFF000000U));
}

// With Shift held, the digit keys arrive as the symbols above them; bookmarks want the digit.
int digitKeyOf(const QKeyEvent& event)
{
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;
    static constexpr char16_t shifted[] = u")!@#$%^&*(";
    for (int digit = 0; digit < 10; ++digit) {
        if (key == shifted[digit])
            return Qt::Key_0 + digit;
    }
    return key;
}

} // namespace

MPHexEditorView::MPHexEditorView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(15);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(15);
    }
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    m_editor.SetClipboard(&m_clipboard);
    connect(&m_editor, &TCustomMPHexEditor::invalidated, this, [this] {
        syncScrollBar();
        viewport()->update();
    });
    updateMetrics();
}

MPHexEditorView::~MPHexEditorView()
{
    m_editor.SetClipboard(nullptr);
}

void MPHexEditorView::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('w')));
    m_rowHeight = metrics.height() + 2;
    m_editor.SetVisibleRowCount(std::max(1, viewport()->height() / m_rowHeight));
    syncScrollBar();
}

void MPHexEditorView::syncScrollBar()
{
    if (m_syncing)
        return;
    m_syncing = true;
    const qint64 dataRows = m_editor.RowCount() - 2;
    const int visible = m_editor.GetVisibleRowCount();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, static_cast<int>(std::max<qint64>(0, dataRows - visible)));
    bar->setPageStep(visible);
    bar->setValue(static_cast<int>(m_editor.GetTopRow()));
    const int width = hexX(0) + m_editor.GetBytesPerRow() * 4 * m_charWidth + 2 * m_charWidth;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    m_syncing = false;
}

QString MPHexEditorView::offsetText(qint64 position) const
{
    // Every offset is as wide as the start of the last row, in hexadecimal after "0x".
    const qint64 largest = qint64(m_editor.RowCount() - 3) * m_editor.GetBytesPerRow();
    const int digits = static_cast<int>(QString::number(std::max<qint64>(largest, 0), 16).size());
    return QStringLiteral("0x") + QString::number(position, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

int MPHexEditorView::offsetColumnWidth() const
{
    return (static_cast<int>(offsetText(0).size()) + 1) * m_charWidth + 21;
}

int MPHexEditorView::hexX(int byteInRow) const
{
    return offsetColumnWidth() + 6 + byteInRow * 3 * m_charWidth - horizontalScrollBar()->value();
}

int MPHexEditorView::charX(int byteInRow) const
{
    return hexX(m_editor.GetBytesPerRow()) + m_charWidth + byteInRow * m_charWidth;
}

bool MPHexEditorView::cellAt(const QPoint& point, TMPHGridCell& cell) const
{
    const int bytesPerRow = m_editor.GetBytesPerRow();
    const qint64 row = m_editor.GetTopRow() + point.y() / m_rowHeight;
    cell.row = static_cast<int>(row + 2);
    const int x = point.x();
    if (x >= hexX(0) && x < hexX(bytesPerRow)) {
        const int inByte = (x - hexX(0)) / m_charWidth;
        const int byte = inByte / 3;
        cell.col = 2 + byte * 2 + std::min(inByte % 3, 1);
        return true;
    }
    if (x >= charX(0) && x < charX(bytesPerRow)) {
        cell.col = m_editor.CharFirstColumn() + (x - charX(0)) / m_charWidth;
        return true;
    }
    return false;
}

void MPHexEditorView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const TMPHColors& colors = m_editor.GetColors();
    painter.fillRect(viewport()->rect(), rgb(colors.Background));
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int ascent = metrics.ascent() + 1;
    const int bytesPerRow = m_editor.GetBytesPerRow();
    const qint64 size = m_editor.GetDataSize();
    const char* bytes = m_editor.DataStorage().Memory();
    const qint64 cursor = m_editor.GetCursorPos();
    const bool inCharField = m_editor.GetInCharField();
    const int dataRows = m_editor.RowCount() - 2;
    const int offsetWidth = offsetColumnWidth();
    static constexpr char digits[] = "0123456789ABCDEF";

    painter.fillRect(QRect(0, 0, offsetWidth, viewport()->height()), rgb(colors.OffsetBackground));
    for (int line = 0; line <= m_editor.GetVisibleRowCount(); ++line) {
        const qint64 row = m_editor.GetTopRow() + line;
        if (row >= dataRows)
            break;
        const int y = line * m_rowHeight;
        const qint64 rowStart = row * bytesPerRow;
        const bool cursorRow = cursor >= rowStart && cursor < rowStart + bytesPerRow;
        if (cursorRow)
            painter.fillRect(QRect(0, y, offsetWidth, m_rowHeight), rgb(colors.CurrentOffsetBackground));
        painter.setPen(rgb(cursorRow ? colors.CurrentOffset : colors.Offset));
        painter.drawText(QRect(0, y, offsetWidth - 4, m_rowHeight), Qt::AlignRight | Qt::AlignVCenter,
            offsetText(rowStart));

        for (int i = 0; i < bytesPerRow; ++i) {
            const qint64 position = rowStart + i;
            const bool isCursor = position == cursor;
            if (position >= size) {
                if (isCursor) // one past the end in insert mode
                    painter.drawRect(QRect(hexX(i), y, 2 * m_charWidth - 1, m_rowHeight - 1));
                break;
            }
            const auto byte = static_cast<quint8>(bytes[position]);
            const bool selected = m_editor.IsSelected(position);
            QColor text = rgb((i / m_editor.GetBytesPerColumn()) % 2 ? colors.EvenColumn : colors.OddColumn);
            QColor back = rgb(colors.Background);
            if (m_editor.HasChanged(position)) {
                text = rgb(colors.ChangedText);
                back = rgb(colors.ChangedBackground);
            }
            if (selected) {
                text = rgb(~text.rgb() & 0xFFFFFF);
                back = rgb(~back.rgb() & 0xFFFFFF);
            }
            const int hx = hexX(i);
            const int cx = charX(i);
            painter.fillRect(QRect(hx, y, 2 * m_charWidth, m_rowHeight), back);
            painter.fillRect(QRect(cx, y, m_charWidth, m_rowHeight), back);
            painter.setPen(text);
            const int first = m_editor.GetSwapNibbles() ? (byte & 0x0F) : (byte >> 4);
            const int second = m_editor.GetSwapNibbles() ? (byte >> 4) : (byte & 0x0F);
            painter.drawText(hx, y + ascent, QString(QLatin1Char(digits[first])));
            painter.drawText(hx + m_charWidth, y + ascent, QString(QLatin1Char(digits[second])));
            const QChar shown = m_editor.IsMaskedChar(byte) ? m_editor.GetMaskChar() : QChar(byte);
            painter.setPen(selected ? rgb(~colors.Background & 0xFFFFFF) : palette().color(QPalette::Text));
            painter.drawText(cx, y + ascent, QString(shown));
            if (isCursor) {
                painter.setPen(rgb(colors.CursorFrame));
                const int nibble = m_editor.IsCursorOnSecondColumn() ? 1 : 0;
                if (inCharField) {
                    painter.drawRect(QRect(cx, y, m_charWidth - 1, m_rowHeight - 1));
                    painter.drawRect(QRect(hx, y, 2 * m_charWidth - 1, m_rowHeight - 1));
                } else {
                    painter.drawRect(QRect(hx + nibble * m_charWidth, y, m_charWidth - 1, m_rowHeight - 1));
                    painter.drawRect(QRect(cx, y, m_charWidth - 1, m_rowHeight - 1));
                }
            }
        }
    }
}

void MPHexEditorView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrlOrAlt = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = (modifiers & Qt::ControlModifier) ? digitKeyOf(*event) : event->key();
    bool used = m_editor.KeyDown(key, modifiers);
    if (!ctrlOrAlt) {
        for (const QChar c : event->text()) {
            if (c.isPrint())
                used = m_editor.KeyPress(c) || used;
        }
    }
    if (used)
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void MPHexEditorView::mousePressEvent(QMouseEvent* event)
{
    TMPHGridCell cell;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), cell))
        m_editor.SetCursorCell(cell, event->modifiers() & Qt::ShiftModifier);
    QAbstractScrollArea::mousePressEvent(event);
}

void MPHexEditorView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
}

void MPHexEditorView::scrollContentsBy(int, int)
{
    if (!m_syncing)
        m_editor.SetTopRow(verticalScrollBar()->value());
    viewport()->update();
}

bool MPHexEditorView::focusNextPrevChild(bool)
{
    // Tab switches between the fields instead of moving the focus.
    return false;
}

} // namespace kestrum
