#include "hexview/HexEditorView.h"

#include "hexview/HexEditorError.h"
#include "hexview/Radix.h"
#include "hexview/Translation.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
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
    return rgb(fadeToGray(rgbOf(color)));
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

HexEditorView::HexEditorView(QWidget* parent)
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
    m_editor.setClipboard(&m_clipboard);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    m_scrollTimer.setInterval(50);
    connect(&m_scrollTimer, &QTimer::timeout, this, &HexEditorView::autoScroll);
    connect(&m_caretTimer, &QTimer::timeout, this, [this] {
        m_caretShown = !m_caretShown;
        viewport()->update(caretRect());
    });
    connect(
        QGuiApplication::styleHints(), &QStyleHints::cursorFlashTimeChanged, this, &HexEditorView::restartCaretBlink);
    connect(&m_editor, &HexEditorCore::invalidated, this, [this] {
        if (m_editor.autoBytesPerRow() && !m_applyingAutoBytesPerRow) {
            // Switched on, or the offsets got wider: fit the row to the width again.
            m_applyingAutoBytesPerRow = true;
            m_editor.applyAutoBytesPerRow(viewport()->width(), m_charWidth);
            m_applyingAutoBytesPerRow = false;
        }
        syncScrollBars();
        const GridCell caret = m_editor.cursorCell();
        if (caret != m_lastCaretCell) {
            // The caret moved: bring it into view sideways (vertically the control does that)
            // and show it at once.
            m_lastCaretCell = caret;
            scrollCaretIntoView();
            restartCaretBlink();
        }
        viewport()->update();
    });
    updateMetrics();
}

QColor HexEditorView::colorOf(quint32 value) const
{
    if (!isSystemColor(value))
        return rgb(value);
    const QPalette& colors = palette();
    switch (value) {
    case SystemWindowText:
        return colors.color(QPalette::Text);
    case SystemHighlight:
        return colors.color(QPalette::Highlight);
    case SystemButtonFace:
        return colors.color(QPalette::Button);
    case SystemButtonShadow:
        return colors.color(QPalette::Dark);
    case SystemButtonHighlight:
        return colors.color(QPalette::Light);
    default:
        break;
    }
    return colors.color(QPalette::Base); // the window colour, and any system colour not named here
}

HexEditorView::~HexEditorView()
{
    m_editor.setClipboard(nullptr);
}

void HexEditorView::setBookmarkBitmap(const QImage& bitmap)
{
    if (bitmap.width() != 10 || bitmap.height() != 200)
        throw HexEditorError(QString::fromLatin1(ErrBookmarkBitmap));
    m_bookmarkBitmap = bitmap;
    viewport()->update();
}

// ---------------------------------------------------------------------------------------------
// Metrics and geometry

void HexEditorView::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('w')));
    m_rowHeight = metrics.boundingRect(QStringLiteral("yY")).height() + 2;
    m_rowHeight = std::max(m_rowHeight, metrics.height() + 2);
    m_ascent = metrics.ascent();
    m_editor.applyAutoBytesPerRow(viewport()->width(), m_charWidth);
    m_editor.setVisibleRowCount(std::max(1, (viewport()->height() - rulerHeight()) / m_rowHeight));
    syncScrollBars();
    viewport()->update();
}

int HexEditorView::rulerHeight() const
{
    return m_editor.showRuler() ? m_rowHeight + 3 : 0;
}

void HexEditorView::layoutColumns() const
{
    const int columns = m_editor.colCount();
    m_colX.resize(static_cast<size_t>(columns) + 1);
    int x = 0;
    for (int col = 0; col < columns; ++col) {
        m_colX[col] = x;
        x += m_editor.colWidth(col, m_charWidth);
    }
    m_colX[columns] = x;
}

int HexEditorView::dataLeft() const
{
    return m_colX[2];
}

int HexEditorView::columnX(int col) const
{
    // The offset column and the gap are fixed; the fields scroll.
    return col < 2 ? m_colX[col] : m_colX[col] - horizontalScrollBar()->value();
}

int HexEditorView::rowY(qint64 gridRow) const
{
    return rulerHeight() + static_cast<int>((gridRow - 2 - m_editor.topRow()) * m_rowHeight);
}

void HexEditorView::syncScrollBars()
{
    if (m_syncing)
        return;
    m_syncing = true;
    // The ruler may have come or gone; scrolling alone must not pull the cursor into view.
    const int rows = std::max(1, (viewport()->height() - rulerHeight()) / m_rowHeight);
    if (rows != m_editor.visibleRowCount())
        m_editor.setVisibleRowCount(rows);
    layoutColumns();
    const qint64 dataRows = m_editor.rowCount() - 2;
    const int visible = m_editor.visibleRowCount();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, static_cast<int>(std::max<qint64>(0, dataRows - visible)));
    bar->setPageStep(visible);
    bar->setValue(static_cast<int>(m_editor.topRow()));
    const int fieldsWidth = m_colX.back() - dataLeft();
    const int room = std::max(0, viewport()->width() - dataLeft());
    horizontalScrollBar()->setRange(0, std::max(0, fieldsWidth - room));
    horizontalScrollBar()->setPageStep(std::max(1, room));
    horizontalScrollBar()->setSingleStep(m_charWidth);
    m_syncing = false;
}

void HexEditorView::scrollCaretIntoView()
{
    layoutColumns();
    const GridCell caret = m_editor.cursorCell();
    if (caret.col < 2 || caret.col >= m_editor.colCount())
        return;
    // Unscrolled x ranges of the caret's cell and of its twin in the other field.
    const int caretLeft = m_colX[caret.col];
    const int caretRight = caretLeft + m_charWidth;
    int spanLeft = caretLeft;
    int spanRight = caretRight;
    const qint64 position = m_editor.cursorPosition();
    if (position < m_editor.dataSize()) {
        const bool inChar = m_editor.cursorInCharField();
        const GridCell twin = m_editor.cellAtPosition(position, !inChar);
        const int last
            = inChar ? std::min(twin.col + (m_editor.unicodeChars() ? 3 : 1), m_editor.colCount() - 1) : twin.col;
        spanLeft = std::min(spanLeft, m_colX[twin.col]);
        spanRight = std::max(spanRight, m_colX[last] + m_charWidth);
    }
    const int room = std::max(1, viewport()->width() - dataLeft());
    if (spanRight - spanLeft > room) {
        // Both do not fit: the caret counts.
        spanLeft = caretLeft;
        spanRight = caretRight;
    }
    QScrollBar* bar = horizontalScrollBar();
    const int shownLeft = dataLeft() + bar->value();
    if (spanLeft < shownLeft)
        bar->setValue(spanLeft - dataLeft());
    else if (spanRight > shownLeft + room)
        bar->setValue(spanRight - room - dataLeft());
}

int HexEditorView::firstVisibleColumn() const
{
    const int scroll = horizontalScrollBar()->value();
    // The first field column whose right edge lies beyond the scrolled-away part.
    const auto it = std::upper_bound(m_colX.begin() + 2, m_colX.end(), dataLeft() + scroll);
    return std::max(2, static_cast<int>(it - m_colX.begin()) - 1);
}

QRect HexEditorView::cellRect(GridCell cell) const
{
    layoutColumns();
    if (cell.col < 0 || cell.col >= m_editor.colCount())
        return {};
    const int x = columnX(cell.col);
    const int width = m_colX[cell.col + 1] - m_colX[cell.col];
    if (cell.row == 0)
        return QRect(x, 0, width, rulerHeight());
    if (cell.row < 2)
        return {};
    return QRect(x, rowY(cell.row), width, m_rowHeight);
}

bool HexEditorView::cellAt(const QPoint& point, GridCell& cell) const
{
    layoutColumns();
    if (point.y() < rulerHeight() || point.x() < dataLeft())
        return false;
    const int x = point.x() - dataLeft() + horizontalScrollBar()->value() + dataLeft();
    const auto it = std::upper_bound(m_colX.begin(), m_colX.end(), x);
    const int col = static_cast<int>(it - m_colX.begin()) - 1;
    if (col < 2 || col >= m_editor.colCount() || col == m_editor.charFirstColumn() - 1)
        return false;
    cell.col = col;
    cell.row = static_cast<int>(m_editor.topRow() + (point.y() - rulerHeight()) / m_rowHeight + 2);
    return true;
}

GridCell HexEditorView::nearestCell(const QPoint& point) const
{
    layoutColumns();
    const int width = viewport()->width();
    const int height = viewport()->height();
    QPoint inside(std::clamp(point.x(), dataLeft(), std::max(dataLeft(), width - 1)),
        std::clamp(point.y(), rulerHeight(), std::max(rulerHeight(), height - 1)));
    GridCell cell;
    if (cellAt(inside, cell))
        return cell;
    // On the spacer or right of the fields: the nearest column of the row.
    cell.row = static_cast<int>(m_editor.topRow() + (inside.y() - rulerHeight()) / m_rowHeight + 2);
    const int x = inside.x() - dataLeft() + horizontalScrollBar()->value() + dataLeft();
    cell.col = x >= m_colX[m_editor.charFirstColumn()] ? m_editor.colCount() - 1 : m_editor.charFirstColumn() - 2;
    return cell;
}

QString HexEditorView::offsetText(qint64 position) const
{
    return const_cast<HexEditor&>(m_editor).offsetString(position);
}

// ---------------------------------------------------------------------------------------------
// Painting

void HexEditorView::drawCellText(QPainter& painter, const QRect& cell, const QRect& box, QString text, int row, int col,
    const QColor& brush, const QColor& textColor, const QColor& textBackground)
{
    painter.fillRect(cell, brush);
    if (m_cellPainter) {
        bool defaultDrawing = true;
        m_cellPainter(painter, cell, text, row, col, defaultDrawing);
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

void HexEditorView::paintRuler(QPainter& painter, int firstCol, int lastCol)
{
    const HexColors& colors = m_editor.colors();
    const int height = rulerHeight();
    const int b = m_editor.bytesPerRow();
    const int charFirst = m_editor.charFirstColumn();
    const QString& hexRuler = m_editor.rulerString();
    const QString& charRuler = m_editor.rulerCharString();
    const int cursorCol = m_editor.cursorCell().col;

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
        const QColor back = colorOf(current ? colors.CurrentOffsetBackground : colors.OffsetBackground);
        const QRect box(cell.x(), cell.y() + 1, col == 2 * b + 2 ? 2 * m_charWidth : m_charWidth, m_rowHeight);
        drawCellText(
            painter, cell, box, text, 0, col, back, colorOf(current ? colors.CurrentOffset : colors.Offset), back);
    }
    painter.restore();
    // The top-left corner over the offset column and the gap.
    const QRect corner(0, 0, dataLeft(), height);
    painter.fillRect(corner, colorOf(colors.OffsetBackground));
}

void HexEditorView::paintOffsets(QPainter& painter, qint64 firstRow, qint64 lastRow)
{
    const HexColors& colors = m_editor.colors();
    const int width = m_colX[1];
    const int cursorRow = m_editor.cursorCell().row;
    const Bookmarks& bookmarks = m_editor.bookmarks();
    const qint64 bytesPerRow = m_editor.bytesPerRow();
    for (qint64 row = firstRow; row <= lastRow; ++row) {
        const QRect cell(0, rowY(row), width, m_rowHeight);
        const bool current = row == cursorRow;
        const QColor back = colorOf(current ? colors.CurrentOffsetBackground : colors.OffsetBackground);
        QString text = m_editor.offsetString((row - 2) * bytesPerRow);
        painter.fillRect(cell, back);
        bool defaultDrawing = true;
        if (m_cellPainter)
            m_cellPainter(painter, cell, text, static_cast<int>(row), 0, defaultDrawing);
        if (!defaultDrawing)
            continue;
        painter.setPen(colorOf(current ? colors.CurrentOffset : colors.Offset));
        painter.drawText(cell.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        const qint64 rowStart = (row - 2) * bytesPerRow;
        for (int i = 0; i < BookmarkCount; ++i) {
            const qint64 at = bookmarks[i].position;
            if (at >= rowStart && at < rowStart + bytesPerRow) {
                const int icon = i + (bookmarks[i].inCharField ? 10 : 0);
                painter.drawImage(
                    QPoint(3, cell.y() + (m_rowHeight - 10) / 2), m_bookmarkBitmap, QRect(0, icon * 10, 10, 10));
            }
        }
    }
    // The gap between the offsets and the fields.
    painter.fillRect(QRect(width, rowY(firstRow), m_colX[2] - width, int(lastRow - firstRow + 1) * m_rowHeight),
        colorOf(colors.Background));
}

void HexEditorView::paintDataRow(QPainter& painter, qint64 gridRow, int firstCol, int lastCol)
{
    const HexEditor& e = m_editor;
    const HexColors& colors = e.colors();
    const int b = e.bytesPerRow();
    const int charFirst = e.charFirstColumn();
    const int lastCharCol = e.colCount() - 1;
    const bool unicode = e.unicodeChars();
    const qint64 size = e.dataSize();
    const auto* bytes = reinterpret_cast<const quint8*>(e.dataStorage().memory());
    const bool focused = hasFocus();
    const bool showSelection = !(e.hideSelection() && !focused);
    const bool graySelection = e.graySelectionIfNotFocused() && !focused;
    const bool caretInChar = e.cursorInCharField();
    const QString digits = e.hexLowerCase() ? QStringLiteral("0123456789abcdef") : QStringLiteral("0123456789ABCDEF");
    const QColor fontColor = palette().color(QPalette::Text);
    const int y = rowY(gridRow);

    for (int col = firstCol; col <= lastCol; ++col) {
        const QRect cell(columnX(col), y, m_colX[col + 1] - m_colX[col], m_rowHeight);
        if (col == charFirst - 1) { // the spacer
            painter.fillRect(cell, colorOf(colors.Background));
            continue;
        }
        const bool inChar = col >= charFirst;
        const qint64 position = e.positionAtCell(GridCell {col, static_cast<int>(gridRow)});
        const qint64 width = inChar && unicode ? 2 : 1;
        if (position + width > size) {
            painter.fillRect(cell, colorOf(colors.Background));
            continue;
        }
        const bool lastColumn = col == 2 * b + 1 || col == lastCharCol;
        QColor brush = colorOf(inChar == caretInChar && !lastColumn ? colors.ActiveFieldBackground : colors.Background);

        QString text;
        if (!inChar) {
            const quint8 byte = bytes[position];
            const bool firstColumn = (col - 2) % 2 == 0;
            const bool high = firstColumn != e.swapNibbles();
            text = digits.at(high ? byte >> 4 : byte & 0x0F);
        } else if (unicode) {
            quint16 code = 0;
            std::memcpy(&code, bytes + position, 2);
            if (e.unicodeBigEndian())
                code = quint16((code >> 8) | (code << 8));
            text = code < 256 && e.isMaskedChar(code) ? QString(e.maskChar()) : QString(QChar(code));
        } else {
            const quint8 byte = bytes[position];
            char shown = static_cast<char>(byte);
            const TranslationKind kind = e.translation();
            if (kind != TranslationKind::AsIs)
                translateBufferToAnsi(kind, reinterpret_cast<const char*>(&byte), &shown, 1);
            const auto code = static_cast<quint8>(shown);
            // One mapping for display, typing and the clipboard: the system code page; a byte
            // whose character has no glyph shows the mask character.
            const bool untranslatable
                = (kind == TranslationKind::Ascii && (byte & 0x80)) || !isPrintableSystemCode(code);
            if (untranslatable || e.isMaskedChar(code))
                text = e.maskChar();
            else
                text = QChar(systemCodeToChar(code));
        }

        QColor textColor;
        QColor textBackground;
        if (e.hasChanged(position) || (width == 2 && e.hasChanged(position + 1))) {
            textColor = colorOf(colors.ChangedText);
            textBackground = colorOf(colors.ChangedBackground);
        } else {
            textBackground = brush;
            if (inChar)
                textColor = fontColor;
            else
                textColor
                    = colorOf(((position % b) / e.bytesPerColumn()) % 2 == 0 ? colors.OddColumn : colors.EvenColumn);
        }
        const bool selected = showSelection && (e.isSelected(position) || (width == 2 && e.isSelected(position + 1)));
        if (selected) {
            textColor = inverted(textColor);
            textBackground = inverted(textBackground);
            const bool lastSelected = position + width - 1 >= e.selectionHigh();
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

    if (e.drawGridLines()) {
        painter.setPen(colorOf(colors.Grid));
        const int bottom = y + m_rowHeight - 1;
        painter.drawLine(columnX(firstCol), bottom, columnX(lastCol + 1) - 1, bottom);
        painter.drawLine(0, bottom, m_colX[1] - 1, bottom);
        const int spacerX = columnX(charFirst - 1);
        painter.drawLine(spacerX, y, spacerX, bottom);
        const int rightX = columnX(lastCharCol + 1) - 1;
        painter.drawLine(rightX, y, rightX, bottom);
    }
}

QRect HexEditorView::twinFrameRect() const
{
    const HexEditor& e = m_editor;
    const qint64 position = e.cursorPosition();
    if (position >= e.dataSize())
        return {};
    if (e.cursorInCharField()) {
        // Both nibble columns of the byte (of the two bytes in Unicode mode).
        const qint64 first = e.unicodeChars() ? position - position % 2 : position;
        const GridCell start = e.cellAtPosition(first, false);
        const int columns = e.unicodeChars() ? 4 : 2;
        const QRect left = cellRect(start);
        const QRect right = cellRect(GridCell {start.col + columns - 1, start.row});
        return QRect(QPoint(left.x(), left.y()), QPoint(right.x() + m_charWidth - 1, left.bottom()));
    }
    const QRect cell = cellRect(e.cellAtPosition(position, true));
    return QRect(cell.x(), cell.y(), m_charWidth, m_rowHeight);
}

QRect HexEditorView::caretRect() const
{
    // One character wide and the row height less 2; a bar or a line for the other shapes.
    const QRect cell = cellRect(m_editor.cursorCell());
    if (cell.isEmpty())
        return {};
    switch (m_editor.effectiveCaretKind()) {
    case CaretKind::Left:
        return QRect(cell.x(), cell.y() + 1, 2, m_rowHeight - 2);
    case CaretKind::Bottom:
        return QRect(cell.x(), cell.y() + m_rowHeight - 3, m_charWidth, 2);
    default:
        break;
    }
    return QRect(cell.x(), cell.y() + 1, m_charWidth, m_rowHeight - 2);
}

void HexEditorView::paintDropMarker(QPainter& painter)
{
    // A vertical line 2 pixels wide in the text colour at the left edge of the cell where the
    // dragged data would go.
    const HexEditor& e = m_editor;
    const QRect cell = cellRect(m_dropCell);
    if (cell.isEmpty())
        return;
    const qint64 position = e.positionAtCell(m_dropCell);
    QColor color = palette().color(QPalette::Text);
    if (!e.isCharColumn(m_dropCell.col) && position < e.dataSize()) {
        const HexColors& colors = e.colors();
        const bool odd = ((position % e.bytesPerRow()) / e.bytesPerColumn()) % 2 == 0;
        color = colorOf(e.hasChanged(position) ? colors.ChangedText : odd ? colors.OddColumn : colors.EvenColumn);
    }
    painter.save();
    painter.setClipRect(QRect(dataLeft(), rulerHeight(), viewport()->width(), viewport()->height()));
    painter.fillRect(QRect(cell.x(), cell.y(), 2, m_rowHeight), color);
    painter.restore();
}

void HexEditorView::paintFrames(QPainter& painter)
{
    const HexEditor& e = m_editor;
    const HexColors& colors = e.colors();
    painter.save();
    painter.setClipRect(QRect(dataLeft(), rulerHeight(), viewport()->width(), viewport()->height()));
    auto frame = [&](const QRect& rect, bool dotted, quint32 color) {
        if (rect.isEmpty())
            return;
        if (dotted) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect;
            option.backgroundColor = colorOf(colors.Background);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
            QPen pen(colorOf(colors.CursorFrame), 1, Qt::DotLine);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        } else {
            painter.setPen(colorOf(color));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    };
    if (hasFocus()) {
        frame(twinFrameRect(), e.focusFrame(), colors.CursorFrame);
        if (m_caretShown) {
            // The caret, drawn inverting; it blinks at the platform's cursor flash time.
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter.fillRect(caretRect(), Qt::white);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
    } else if (e.showPositionIfNotFocused()) {
        const QRect cell = cellRect(e.cursorCell());
        frame(QRect(cell.x(), cell.y(), m_charWidth, m_rowHeight), e.focusFrame(), colors.NonFocusCursorFrame);
    }
    painter.restore();
}

void HexEditorView::paintEvent(QPaintEvent* event)
{
    layoutColumns();
    QPainter painter(viewport());
    painter.setFont(font());
    const HexColors& colors = m_editor.colors();
    const int width = viewport()->width();
    const int height = viewport()->height();
    const int ruler = rulerHeight();

    // Only the rows and columns in view.
    const qint64 firstRow = m_editor.topRow() + 2;
    const qint64 rowsInView = (height - ruler + m_rowHeight - 1) / m_rowHeight;
    const qint64 lastRow = std::min<qint64>(m_editor.rowCount() - 1, firstRow + rowsInView - 1);
    const int firstCol = firstVisibleColumn();
    int lastCol = firstCol;
    while (lastCol + 1 < m_editor.colCount() && columnX(lastCol + 1) < width)
        ++lastCol;

    // Of those, the rows that the update touches (a blink of the caret touches one).
    const QRect dirty = event->rect();
    const qint64 dirtyFirst = firstRow + std::max(0, dirty.top() - ruler) / m_rowHeight;
    const qint64 dirtyLast = std::min(lastRow, firstRow + std::max(0, dirty.bottom() - ruler) / m_rowHeight);

    if (ruler > 0 && dirty.top() < ruler)
        paintRuler(painter, firstCol, lastCol);
    if (dirtyLast >= dirtyFirst && dirty.bottom() >= ruler) {
        paintOffsets(painter, dirtyFirst, dirtyLast);
        painter.save();
        painter.setClipRect(QRect(dataLeft(), ruler, width, height));
        for (qint64 row = dirtyFirst; row <= dirtyLast; ++row)
            paintDataRow(painter, row, firstCol, lastCol);
        painter.restore();
    }

    // Right of and below the grid: the control colour, with the ruler and offset parts in the
    // offset colours.
    const int gridRight = columnX(m_editor.colCount());
    const int gridBottom = lastRow >= firstRow ? rowY(lastRow + 1) : ruler;
    if (gridRight < width) {
        painter.fillRect(QRect(gridRight, ruler, width - gridRight, height - ruler), colorOf(colors.Background));
        if (ruler > 0)
            painter.fillRect(QRect(gridRight, 0, width - gridRight, ruler), colorOf(colors.OffsetBackground));
    }
    if (gridBottom < height) {
        painter.fillRect(
            QRect(m_colX[1], gridBottom, width - m_colX[1], height - gridBottom), colorOf(colors.Background));
        painter.fillRect(QRect(0, gridBottom, m_colX[1], height - gridBottom), colorOf(colors.OffsetBackground));
    }

    // Separators right of the offset column and under the ruler.
    const int gutterRight = m_colX[1] - 1;
    if (m_editor.drawGutter3D()) {
        painter.setPen(colorOf(SystemButtonShadow));
        painter.drawLine(gutterRight - 1, 0, gutterRight - 1, height);
        painter.setPen(colorOf(SystemButtonHighlight));
        painter.drawLine(gutterRight, 0, gutterRight, height);
        if (ruler > 0) {
            painter.setPen(colorOf(SystemButtonShadow));
            painter.drawLine(0, ruler - 2, width, ruler - 2);
            painter.setPen(colorOf(SystemButtonHighlight));
            painter.drawLine(0, ruler - 1, width, ruler - 1);
        }
    } else if (m_editor.drawGridLines()) {
        painter.setPen(colorOf(colors.Grid));
        painter.drawLine(gutterRight, 0, gutterRight, height);
        if (ruler > 0)
            painter.drawLine(0, ruler - 1, width, ruler - 1);
    }

    if (m_dropMarkerShown)
        paintDropMarker(painter);
    paintFrames(painter);
}

} // namespace kestrum
