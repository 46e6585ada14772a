#include "hexview/MPHexEditorView.h"

#include "hexview/EMPHexEditor.h"
#include "hexview/MPHRadix.h"
#include "hexview/MPHTranslation.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cstring>

namespace kestrum {

namespace {

QColor rgb(quint32 value)
{
    return QColor::fromRgb(static_cast<QRgb>(value | 0xFF000000U));
}

quint32 rgbOf(const QColor& color)
{
    return color.rgb() & 0xFFFFFFU;
}

QColor inverted(const QColor& color)
{
    return rgb(rgbOf(color) ^ 0xFFFFFFU);
}

QColor faded(const QColor& color)
{
    return rgb(FadeToGray(rgbOf(color)));
}

// The shadow and highlight of the 3-D separators, the button colours of a light desktop theme.
constexpr quint32 gutterShadow = 0xA0A0A0;
constexpr quint32 gutterHighlight = 0xFFFFFF;

// The system code page of the character field is Windows-1252; it differs from Latin-1 only in
// 0x80 to 0x9F (0 where the code page has no character).
constexpr char16_t cp1252High[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161,
    0x203A, 0x0153, 0, 0x017E, 0x0178};

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

// The default bookmark icons: the digit on a navy tile for the hexadecimal field, on a teal tile
// for the character field.
QImage defaultBookmarkIcons()
{
    QImage icons(10, 200, QImage::Format_ARGB32_Premultiplied);
    icons.fill(Qt::transparent);
    QPainter painter(&icons);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    for (int icon = 0; icon < 20; ++icon) {
        const QRect tile(0, icon * 10, 10, 10);
        painter.fillRect(tile.adjusted(0, 0, -1, -1), icon < 10 ? QColor(0x00, 0x00, 0x80) : QColor(0x00, 0x80, 0x80));
        painter.setPen(Qt::white);
        painter.drawText(tile, Qt::AlignCenter, QString::number(icon % 10));
    }
    return icons;
}

} // namespace

MPHexEditorView::MPHexEditorView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_bookmarkBitmap(defaultBookmarkIcons())
{
    // Courier New where it exists (or a font configured in its place), else the system's
    // fixed-pitch font.
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(15);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (!QFontInfo(font).fixedPitch())
            font = QFont(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(15);
    }
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
    m_editor.SetClipboard(&m_clipboard);
    m_scrollTimer.setInterval(50);
    connect(&m_scrollTimer, &QTimer::timeout, this, &MPHexEditorView::autoScroll);
    connect(&m_editor, &TCustomMPHexEditor::invalidated, this, [this] {
        if (m_editor.GetAutoBytesPerRow() && !m_applyingAutoBytesPerRow) {
            // Switched on, or the offsets got wider: fit the row to the width again.
            m_applyingAutoBytesPerRow = true;
            m_editor.ApplyAutoBytesPerRow(viewport()->width(), m_charWidth);
            m_applyingAutoBytesPerRow = false;
        }
        syncScrollBars();
        viewport()->update();
    });
    updateMetrics();
}

MPHexEditorView::~MPHexEditorView()
{
    m_editor.SetClipboard(nullptr);
}

void MPHexEditorView::SetBookmarkBitmap(const QImage& bitmap)
{
    if (bitmap.width() != 10 || bitmap.height() != 200)
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_BOOKMARK_BITMAP));
    m_bookmarkBitmap = bitmap;
    viewport()->update();
}

// ---------------------------------------------------------------------------------------------
// Metrics and geometry

void MPHexEditorView::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('w')));
    m_rowHeight = metrics.boundingRect(QStringLiteral("yY")).height() + 2;
    m_rowHeight = std::max(m_rowHeight, metrics.height() + 2);
    m_ascent = metrics.ascent();
    m_editor.ApplyAutoBytesPerRow(viewport()->width(), m_charWidth);
    m_editor.SetVisibleRowCount(std::max(1, (viewport()->height() - rulerHeight()) / m_rowHeight));
    syncScrollBars();
    viewport()->update();
}

int MPHexEditorView::rulerHeight() const
{
    return m_editor.GetShowRuler() ? m_rowHeight + 3 : 0;
}

void MPHexEditorView::layoutColumns() const
{
    const int columns = m_editor.ColCount();
    m_colX.resize(static_cast<size_t>(columns) + 1);
    int x = 0;
    for (int col = 0; col < columns; ++col) {
        m_colX[col] = x;
        x += m_editor.GetColWidth(col, m_charWidth);
    }
    m_colX[columns] = x;
}

int MPHexEditorView::dataLeft() const
{
    return m_colX[2];
}

int MPHexEditorView::columnX(int col) const
{
    // The offset column and the gap are fixed; the fields scroll.
    return col < 2 ? m_colX[col] : m_colX[col] - horizontalScrollBar()->value();
}

int MPHexEditorView::rowY(qint64 gridRow) const
{
    return rulerHeight() + static_cast<int>((gridRow - 2 - m_editor.GetTopRow()) * m_rowHeight);
}

void MPHexEditorView::syncScrollBars()
{
    if (m_syncing)
        return;
    m_syncing = true;
    // The ruler may have come or gone; scrolling alone must not pull the cursor into view.
    const int rows = std::max(1, (viewport()->height() - rulerHeight()) / m_rowHeight);
    if (rows != m_editor.GetVisibleRowCount())
        m_editor.SetVisibleRowCount(rows);
    layoutColumns();
    const qint64 dataRows = m_editor.RowCount() - 2;
    const int visible = m_editor.GetVisibleRowCount();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, static_cast<int>(std::max<qint64>(0, dataRows - visible)));
    bar->setPageStep(visible);
    bar->setValue(static_cast<int>(m_editor.GetTopRow()));
    const int fieldsWidth = m_colX.back() - dataLeft();
    const int room = std::max(0, viewport()->width() - dataLeft());
    horizontalScrollBar()->setRange(0, std::max(0, fieldsWidth - room));
    horizontalScrollBar()->setPageStep(std::max(1, room));
    horizontalScrollBar()->setSingleStep(m_charWidth);
    m_syncing = false;
}

int MPHexEditorView::firstVisibleColumn() const
{
    const int scroll = horizontalScrollBar()->value();
    // The first field column whose right edge lies beyond the scrolled-away part.
    const auto it = std::upper_bound(m_colX.begin() + 2, m_colX.end(), dataLeft() + scroll);
    return std::max(2, static_cast<int>(it - m_colX.begin()) - 1);
}

QRect MPHexEditorView::cellRect(TMPHGridCell cell) const
{
    layoutColumns();
    if (cell.col < 0 || cell.col >= m_editor.ColCount())
        return {};
    const int x = columnX(cell.col);
    const int width = m_colX[cell.col + 1] - m_colX[cell.col];
    if (cell.row == 0)
        return QRect(x, 0, width, rulerHeight());
    if (cell.row < 2)
        return {};
    return QRect(x, rowY(cell.row), width, m_rowHeight);
}

bool MPHexEditorView::cellAt(const QPoint& point, TMPHGridCell& cell) const
{
    layoutColumns();
    if (point.y() < rulerHeight() || point.x() < dataLeft())
        return false;
    const int x = point.x() - dataLeft() + horizontalScrollBar()->value() + dataLeft();
    const auto it = std::upper_bound(m_colX.begin(), m_colX.end(), x);
    const int col = static_cast<int>(it - m_colX.begin()) - 1;
    if (col < 2 || col >= m_editor.ColCount() || col == m_editor.CharFirstColumn() - 1)
        return false;
    cell.col = col;
    cell.row = static_cast<int>(m_editor.GetTopRow() + (point.y() - rulerHeight()) / m_rowHeight + 2);
    return true;
}

TMPHGridCell MPHexEditorView::nearestCell(const QPoint& point) const
{
    layoutColumns();
    const int width = viewport()->width();
    const int height = viewport()->height();
    QPoint inside(std::clamp(point.x(), dataLeft(), std::max(dataLeft(), width - 1)),
        std::clamp(point.y(), rulerHeight(), std::max(rulerHeight(), height - 1)));
    TMPHGridCell cell;
    if (cellAt(inside, cell))
        return cell;
    // On the spacer or right of the fields: the nearest column of the row.
    cell.row = static_cast<int>(m_editor.GetTopRow() + (inside.y() - rulerHeight()) / m_rowHeight + 2);
    const int x = inside.x() - dataLeft() + horizontalScrollBar()->value() + dataLeft();
    cell.col = x >= m_colX[m_editor.CharFirstColumn()] ? m_editor.ColCount() - 1 : m_editor.CharFirstColumn() - 2;
    return cell;
}

QString MPHexEditorView::offsetText(qint64 position) const
{
    return const_cast<TMPHexEditorEx&>(m_editor).GetOffsetString(position);
}

// ---------------------------------------------------------------------------------------------
// Painting

void MPHexEditorView::drawCellText(QPainter& painter, const QRect& cell, const QRect& box, QString text, int row,
    int col, const QColor& brush, const QColor& textColor, const QColor& textBackground)
{
    painter.fillRect(cell, brush);
    if (OnDrawCell) {
        bool defaultDrawing = true;
        OnDrawCell(painter, cell, text, row, col, defaultDrawing);
        if (!defaultDrawing)
            return;
    }
    painter.fillRect(box, textBackground);
    if (text.isEmpty())
        return;
    painter.setPen(textColor);
    painter.save();
    painter.setClipRect(box);
    if (painter.fontMetrics().horizontalAdvance(text) > box.width() + 1) {
        // Wide characters (Unicode mode) shrink until they fit, not below size 2.
        QFont small = painter.font();
        int size = small.pixelSize() > 0 ? small.pixelSize() : 15;
        while (size > 2) {
            --size;
            small.setPixelSize(size);
            if (QFontMetrics(small).horizontalAdvance(text) <= box.width() + 1)
                break;
        }
        painter.setFont(small);
    }
    painter.drawText(box.x(), box.y() + m_ascent + 1, text);
    painter.restore();
}

void MPHexEditorView::paintRuler(QPainter& painter, int firstCol, int lastCol)
{
    const TMPHColors& colors = m_editor.GetColors();
    const int height = rulerHeight();
    const int b = m_editor.GetBytesPerRow();
    const int charFirst = m_editor.CharFirstColumn();
    const QString& hexRuler = m_editor.RulerString();
    const QString& charRuler = m_editor.RulerCharString();
    const int cursorCol = m_editor.GetCursorCell().col;

    painter.save();
    painter.setClipRect(QRect(dataLeft(), 0, viewport()->width(), height));
    for (int col = firstCol; col <= lastCol; ++col) {
        const QRect cell(columnX(col), 0, m_colX[col + 1] - m_colX[col], height);
        QString text;
        if (col <= 2 * b + 1) {
            const int at = col - 2;
            if (at < hexRuler.size())
                text = hexRuler.at(at);
        } else if (col == 2 * b + 2) {
            text = QStringLiteral("  ");
        } else if (col - charFirst < charRuler.size()) {
            text = charRuler.at(col - charFirst);
        }
        const bool current = col == cursorCol;
        const QColor back = rgb(current ? colors.CurrentOffsetBackground : colors.OffsetBackground);
        const QRect box(cell.x(), cell.y() + 1, col == 2 * b + 2 ? 2 * m_charWidth : m_charWidth, m_rowHeight);
        drawCellText(painter, cell, box, text, 0, col, back, rgb(current ? colors.CurrentOffset : colors.Offset), back);
    }
    painter.restore();
    // The top-left corner over the offset column and the gap.
    const QRect corner(0, 0, dataLeft(), height);
    painter.fillRect(corner, rgb(colors.OffsetBackground));
}

void MPHexEditorView::paintOffsets(QPainter& painter, qint64 firstRow, qint64 lastRow)
{
    const TMPHColors& colors = m_editor.GetColors();
    const int width = m_colX[1];
    const int cursorRow = m_editor.GetCursorCell().row;
    const TMPHBookmarks& bookmarks = m_editor.Bookmarks();
    const qint64 bytesPerRow = m_editor.GetBytesPerRow();
    for (qint64 row = firstRow; row <= lastRow; ++row) {
        const QRect cell(0, rowY(row), width, m_rowHeight);
        const bool current = row == cursorRow;
        const QColor back = rgb(current ? colors.CurrentOffsetBackground : colors.OffsetBackground);
        QString text = m_editor.GetOffsetString((row - 2) * bytesPerRow);
        painter.fillRect(cell, back);
        bool defaultDrawing = true;
        if (OnDrawCell)
            OnDrawCell(painter, cell, text, static_cast<int>(row), 0, defaultDrawing);
        if (!defaultDrawing)
            continue;
        painter.setPen(rgb(current ? colors.CurrentOffset : colors.Offset));
        painter.drawText(cell.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        const qint64 rowStart = (row - 2) * bytesPerRow;
        for (int i = 0; i < MPH_BOOKMARK_COUNT; ++i) {
            const qint64 at = bookmarks[i].mPosition;
            if (at >= rowStart && at < rowStart + bytesPerRow) {
                const int icon = i + (bookmarks[i].mInCharField ? 10 : 0);
                painter.drawImage(
                    QPoint(3, cell.y() + (m_rowHeight - 10) / 2), m_bookmarkBitmap, QRect(0, icon * 10, 10, 10));
            }
        }
    }
    // The gap between the offsets and the fields.
    painter.fillRect(QRect(width, rowY(firstRow), m_colX[2] - width, int(lastRow - firstRow + 1) * m_rowHeight),
        rgb(colors.Background));
}

void MPHexEditorView::paintDataRow(QPainter& painter, qint64 gridRow, int firstCol, int lastCol)
{
    const TMPHexEditorEx& e = m_editor;
    const TMPHColors& colors = e.GetColors();
    const int b = e.GetBytesPerRow();
    const int charFirst = e.CharFirstColumn();
    const int lastCharCol = e.ColCount() - 1;
    const bool unicode = e.GetUnicodeChars();
    const qint64 size = e.GetDataSize();
    const auto* bytes = reinterpret_cast<const quint8*>(e.DataStorage().Memory());
    const bool focused = hasFocus();
    const bool showSelection = !(e.GetHideSelection() && !focused);
    const bool graySelection = e.GetGraySelectionIfNotFocused() && !focused;
    const bool caretInChar = e.GetInCharField();
    const QString digits
        = e.GetHexLowerCase() ? QStringLiteral("0123456789abcdef") : QStringLiteral("0123456789ABCDEF");
    const QColor fontColor = palette().color(QPalette::Text);
    const int y = rowY(gridRow);

    for (int col = firstCol; col <= lastCol; ++col) {
        const QRect cell(columnX(col), y, m_colX[col + 1] - m_colX[col], m_rowHeight);
        if (col == charFirst - 1) { // the spacer
            painter.fillRect(cell, rgb(colors.Background));
            continue;
        }
        const bool inChar = col >= charFirst;
        const qint64 position = e.GetPosAtCursor(TMPHGridCell {col, static_cast<int>(gridRow)});
        const qint64 width = inChar && unicode ? 2 : 1;
        if (position + width > size) {
            painter.fillRect(cell, rgb(colors.Background));
            continue;
        }
        const bool lastColumn = col == 2 * b + 1 || col == lastCharCol;
        QColor brush = rgb(inChar == caretInChar && !lastColumn ? colors.ActiveFieldBackground : colors.Background);

        QString text;
        if (!inChar) {
            const quint8 byte = bytes[position];
            const bool firstColumn = (col - 2) % 2 == 0;
            const bool high = firstColumn != e.GetSwapNibbles();
            text = digits.at(high ? byte >> 4 : byte & 0x0F);
        } else if (unicode) {
            quint16 code = 0;
            std::memcpy(&code, bytes + position, 2);
            if (e.GetUnicodeBigEndian())
                code = quint16((code >> 8) | (code << 8));
            text = code < 256 && e.IsMaskedChar(code) ? QString(e.GetMaskChar()) : QString(QChar(code));
        } else {
            const quint8 byte = bytes[position];
            char shown = static_cast<char>(byte);
            const TMPHTranslationKind kind = e.GetTranslation();
            if (kind != tkAsIs)
                TranslateBufferToAnsi(kind, reinterpret_cast<const char*>(&byte), &shown, 1);
            const auto code = static_cast<quint8>(shown);
            const bool untranslatable
                = (kind == tkASCII && (byte & 0x80)) || (code >= 0x80 && code < 0xA0 && cp1252High[code - 0x80] == 0);
            if (untranslatable || e.IsMaskedChar(code))
                text = e.GetMaskChar();
            else
                text = QChar(code >= 0x80 && code < 0xA0 ? cp1252High[code - 0x80] : char16_t(code));
        }

        QColor textColor;
        QColor textBackground;
        if (e.HasChanged(position) || (width == 2 && e.HasChanged(position + 1))) {
            textColor = rgb(colors.ChangedText);
            textBackground = rgb(colors.ChangedBackground);
        } else {
            textBackground = brush;
            if (inChar)
                textColor = fontColor;
            else
                textColor
                    = rgb(((position % b) / e.GetBytesPerColumn()) % 2 == 0 ? colors.OddColumn : colors.EvenColumn);
        }
        const bool selected = showSelection && (e.IsSelected(position) || (width == 2 && e.IsSelected(position + 1)));
        if (selected) {
            textColor = inverted(textColor);
            textBackground = inverted(textBackground);
            const bool lastSelected = position + width - 1 >= e.SelectionHigh();
            if (!lastColumn && !lastSelected)
                brush = inverted(brush);
            if (graySelection) {
                textColor = faded(textColor);
                textBackground = faded(textBackground);
            }
        }
        const QRect box(cell.x(), y, m_charWidth, m_rowHeight);
        drawCellText(painter, cell, box, text, static_cast<int>(gridRow), col, brush, textColor, textBackground);
    }

    if (e.GetDrawGridLines()) {
        painter.setPen(rgb(colors.Grid));
        const int bottom = y + m_rowHeight - 1;
        painter.drawLine(columnX(firstCol), bottom, columnX(lastCol + 1) - 1, bottom);
        painter.drawLine(0, bottom, m_colX[1] - 1, bottom);
        const int spacerX = columnX(charFirst - 1);
        painter.drawLine(spacerX, y, spacerX, bottom);
        const int rightX = columnX(lastCharCol + 1) - 1;
        painter.drawLine(rightX, y, rightX, bottom);
    }
}

QRect MPHexEditorView::twinFrameRect() const
{
    const TMPHexEditorEx& e = m_editor;
    const qint64 position = e.GetCursorPos();
    if (position >= e.GetDataSize())
        return {};
    if (e.GetInCharField()) {
        // Both nibble columns of the byte (of the two bytes in Unicode mode).
        const qint64 first = e.GetUnicodeChars() ? position - position % 2 : position;
        const TMPHGridCell start = e.GetCursorAtPos(first, false);
        const int columns = e.GetUnicodeChars() ? 4 : 2;
        const QRect left = cellRect(start);
        const QRect right = cellRect(TMPHGridCell {start.col + columns - 1, start.row});
        return QRect(QPoint(left.x(), left.y()), QPoint(right.x() + m_charWidth - 1, left.bottom()));
    }
    const QRect cell = cellRect(e.GetCursorAtPos(position, true));
    return QRect(cell.x(), cell.y(), m_charWidth, m_rowHeight);
}

void MPHexEditorView::paintFrames(QPainter& painter)
{
    const TMPHexEditorEx& e = m_editor;
    const TMPHColors& colors = e.GetColors();
    painter.save();
    painter.setClipRect(QRect(dataLeft(), rulerHeight(), viewport()->width(), viewport()->height()));
    auto frame = [&](const QRect& rect, bool dotted, quint32 color) {
        if (rect.isEmpty())
            return;
        if (dotted) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect;
            option.backgroundColor = rgb(colors.Background);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
            QPen pen(rgb(colors.CursorFrame), 1, Qt::DotLine);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        } else {
            painter.setPen(rgb(color));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    };
    if (hasFocus()) {
        frame(twinFrameRect(), e.GetFocusFrame(), colors.CursorFrame);
        // The caret: one character wide, the row height less 2, drawn inverting.
        const QRect cell = cellRect(e.GetCursorCell());
        QRect caret(cell.x(), cell.y() + 1, m_charWidth, m_rowHeight - 2);
        switch (e.EffectiveCaretKind()) {
        case ckLeft:
            caret.setWidth(2);
            break;
        case ckBottom:
            caret = QRect(cell.x(), cell.y() + 1 + m_rowHeight - 2 - 2, m_charWidth, 2);
            break;
        default:
            break;
        }
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(caret, Qt::white);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else if (e.GetShowPositionIfNotFocused()) {
        const QRect cell = cellRect(e.GetCursorCell());
        frame(QRect(cell.x(), cell.y(), m_charWidth, m_rowHeight), e.GetFocusFrame(), colors.NonFocusCursorFrame);
    }
    painter.restore();
}

void MPHexEditorView::paintEvent(QPaintEvent*)
{
    layoutColumns();
    QPainter painter(viewport());
    painter.setFont(font());
    const TMPHColors& colors = m_editor.GetColors();
    const int width = viewport()->width();
    const int height = viewport()->height();
    const int ruler = rulerHeight();

    // Only the rows and columns in view.
    const qint64 firstRow = m_editor.GetTopRow() + 2;
    const qint64 rowsInView = (height - ruler + m_rowHeight - 1) / m_rowHeight;
    const qint64 lastRow = std::min<qint64>(m_editor.RowCount() - 1, firstRow + rowsInView - 1);
    const int firstCol = firstVisibleColumn();
    int lastCol = firstCol;
    while (lastCol + 1 < m_editor.ColCount() && columnX(lastCol + 1) < width)
        ++lastCol;

    if (ruler > 0)
        paintRuler(painter, firstCol, lastCol);
    if (lastRow >= firstRow) {
        paintOffsets(painter, firstRow, lastRow);
        painter.save();
        painter.setClipRect(QRect(dataLeft(), ruler, width, height));
        for (qint64 row = firstRow; row <= lastRow; ++row)
            paintDataRow(painter, row, firstCol, lastCol);
        painter.restore();
    }

    // Right of and below the grid: the control colour, with the ruler and offset parts in the
    // offset colours.
    const int gridRight = columnX(m_editor.ColCount());
    const int gridBottom = lastRow >= firstRow ? rowY(lastRow + 1) : ruler;
    if (gridRight < width) {
        painter.fillRect(QRect(gridRight, ruler, width - gridRight, height - ruler), rgb(colors.Background));
        if (ruler > 0)
            painter.fillRect(QRect(gridRight, 0, width - gridRight, ruler), rgb(colors.OffsetBackground));
    }
    if (gridBottom < height) {
        painter.fillRect(QRect(m_colX[1], gridBottom, width - m_colX[1], height - gridBottom), rgb(colors.Background));
        painter.fillRect(QRect(0, gridBottom, m_colX[1], height - gridBottom), rgb(colors.OffsetBackground));
    }

    // Separators right of the offset column and under the ruler.
    const int gutterRight = m_colX[1] - 1;
    if (m_editor.GetDrawGutter3D()) {
        painter.setPen(rgb(gutterShadow));
        painter.drawLine(gutterRight - 1, 0, gutterRight - 1, height);
        painter.setPen(rgb(gutterHighlight));
        painter.drawLine(gutterRight, 0, gutterRight, height);
        if (ruler > 0) {
            painter.setPen(rgb(gutterShadow));
            painter.drawLine(0, ruler - 2, width, ruler - 2);
            painter.setPen(rgb(gutterHighlight));
            painter.drawLine(0, ruler - 1, width, ruler - 1);
        }
    } else if (m_editor.GetDrawGridLines()) {
        painter.setPen(rgb(colors.Grid));
        painter.drawLine(gutterRight, 0, gutterRight, height);
        if (ruler > 0)
            painter.drawLine(0, ruler - 1, width, ruler - 1);
    }

    paintFrames(painter);
}

// ---------------------------------------------------------------------------------------------
// Keys, mouse and wheel

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
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint point = event->position().toPoint();
    m_lastMousePoint = point;
    TMPHGridCell cell;
    if (cellAt(point, cell))
        m_editor.MouseDown(cell, event->modifiers() & Qt::ShiftModifier);
    event->accept();
}

void MPHexEditorView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    m_lastMousePoint = point;
    updateMouseCursor(point);
    if (!m_editor.IsMouseSelecting() || !(event->buttons() & Qt::LeftButton))
        return;
    const bool outside = point.y() < rulerHeight() || point.y() >= viewport()->height() || point.x() < dataLeft()
        || point.x() >= viewport()->width();
    if (outside && !m_scrollTimer.isActive())
        m_scrollTimer.start();
    else if (!outside)
        m_scrollTimer.stop();
    m_editor.MouseMove(nearestCell(point));
    event->accept();
}

void MPHexEditorView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_scrollTimer.stop();
    if (m_editor.IsMouseSelecting())
        m_editor.MouseUp(nearestCell(event->position().toPoint()));
    event->accept();
}

void MPHexEditorView::autoScroll()
{
    if (!m_editor.IsMouseSelecting() || !(QApplication::mouseButtons() & Qt::LeftButton)) {
        m_scrollTimer.stop();
        return;
    }
    const QPoint point = m_lastMousePoint;
    if (point.y() < rulerHeight())
        m_editor.SetTopRow(m_editor.GetTopRow() - 1);
    else if (point.y() >= viewport()->height())
        m_editor.SetTopRow(m_editor.GetTopRow() + 1);
    QScrollBar* bar = horizontalScrollBar();
    if (point.x() < dataLeft())
        bar->setValue(bar->value() - m_charWidth);
    else if (point.x() >= viewport()->width())
        bar->setValue(bar->value() + m_charWidth);
    m_editor.MouseMove(nearestCell(point));
}

void MPHexEditorView::updateMouseCursor(const QPoint& point)
{
    TMPHGridCell cell;
    const bool overData = cellAt(point, cell);
    const bool overSelection = overData && m_editor.IsSelected(m_editor.GetPosAtCursor(cell));
    viewport()->setCursor(overData && !overSelection ? Qt::IBeamCursor : Qt::ArrowCursor);
}

void MPHexEditorView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (m_zoomOnWheel && (modifiers & Qt::ControlModifier)) {
        m_wheelRemainder += delta;
        const int steps = m_wheelRemainder / 120;
        m_wheelRemainder -= steps * 120;
        if (steps != 0) {
            if (modifiers & Qt::ShiftModifier) {
                QFont larger = font();
                const int size = larger.pixelSize() > 0 ? larger.pixelSize() : QFontInfo(larger).pixelSize();
                larger.setPixelSize(std::max(2, size + steps));
                setFont(larger);
            } else {
                // Unicode mode needs an even number of bytes per row.
                const int step = m_editor.GetUnicodeChars() ? 2 : 1;
                const int low = m_editor.GetUnicodeChars() ? 2 : 1;
                const int bytes = std::clamp(m_editor.GetBytesPerRow() + steps * step, low, 256);
                if (bytes != m_editor.GetBytesPerRow())
                    m_editor.SetBytesPerRow(bytes);
            }
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void MPHexEditorView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void MPHexEditorView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_scrollTimer.stop();
    m_editor.EndMouseSelection();
    viewport()->update();
}

void MPHexEditorView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
}

void MPHexEditorView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
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
