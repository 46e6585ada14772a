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
    m_fontHeight = metrics.height();
    m_rawFont = QRawFont::fromFont(font());
    m_latinGlyphs.assign(256, GlyphUnknown);
    m_otherGlyphs.clear();
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

} // namespace kestrum
