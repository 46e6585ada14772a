#include "hexview/HexEditorView.h"

#include "hexview/Radix.h"
#include "hexview/Translation.h"

#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace kestrum {

// Painting. Each row is laid out as cells (PaintCell); their backgrounds are filled as runs of one
// colour and their characters collected as glyphs by colour, so that a whole view costs one glyph
// run per colour rather than a text call per cell.

namespace {

quint32 rgbOf(const QColor& color)
{
    return color.rgb() & 0xFFFFFFU;
}

QColor fromRgb(quint32 value)
{
    return QColor::fromRgb(static_cast<QRgb>(value | 0xFF000000U));
}

QColor inverted(const QColor& color)
{
    return fromRgb(rgbOf(color) ^ 0xFFFFFFU);
}

QColor faded(const QColor& color)
{
    return fromRgb(fadeToGray(rgbOf(color)));
}

// Relative luminance and contrast ratio as WCAG 2 defines them.
double luminance(const QColor& color)
{
    // The linear value of every 8-bit channel value, computed once.
    static const std::array<double, 256> linear = [] {
        std::array<double, 256> table {};
        for (int value = 0; value < 256; ++value) {
            const double c = value / 255.0;
            table[value] = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return table;
    }();
    const QRgb rgb = color.rgb();
    return 0.2126 * linear[qRed(rgb)] + 0.7152 * linear[qGreen(rgb)] + 0.0722 * linear[qBlue(rgb)];
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The least contrast of text that reads (WCAG AA for normal text).
constexpr double ReadableContrast = 4.5;
// The least contrast between the colours of neighbouring hexadecimal column groups.
constexpr double DistinctColumns = 1.5;
// Below this luminance white text has more contrast than black.
constexpr double DarkLuminance = 0.179;

} // namespace

class HexEditorView::GlyphBatches
{
public:
    void add(const QColor& color, quint32 glyph, const QPointF& position)
    {
        const QRgb rgba = color.rgba();
        auto it = std::find_if(m_batches.begin(), m_batches.end(), [rgba](const Batch& b) { return b.color == rgba; });
        if (it == m_batches.end())
            it = m_batches.insert(m_batches.end(), Batch {rgba, {}, {}});
        it->glyphs.append(glyph);
        it->positions.append(position);
    }

    void draw(QPainter& painter, const QRawFont& font)
    {
        QGlyphRun run;
        run.setRawFont(font);
        for (const Batch& batch : m_batches) {
            run.setGlyphIndexes(batch.glyphs);
            run.setPositions(batch.positions);
            painter.setPen(QColor::fromRgba(batch.color));
            painter.drawGlyphRun(QPointF(0, 0), run);
        }
        m_batches.clear();
    }

private:
    struct Batch
    {
        QRgb color;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    std::vector<Batch> m_batches;
};

QColor HexEditorView::readableColor(
    const QColor& text, const QColor& background, const QColor& paletteText, double least) const
{
    if (contrast(text, background) >= least)
        return text;
    for (const ReadablePair& pair : m_readable) {
        if (pair.text == text.rgb() && pair.background == background.rgb() && pair.paletteText == paletteText.rgb()
            && pair.least == least)
            return QColor::fromRgb(pair.readable);
    }
    QColor readable;
    if (text.hslSaturation() > 0) {
        // The same hue, lighter on a dark background and darker on a light one: white and black
        // reach the contrast there, so a step on the way does.
        const bool dark = luminance(background) < DarkLuminance;
        int hue = 0;
        int saturation = 0;
        int lightness = 0;
        text.getHsl(&hue, &saturation, &lightness);
        for (int level = lightness; level >= 0 && level <= 255; level += dark ? 4 : -4) {
            const QColor candidate = QColor::fromHsl(hue, saturation, level);
            if (contrast(candidate, background) >= least) {
                readable = candidate;
                break;
            }
        }
    }
    if (!readable.isValid()) {
        // A grey (the black of the offsets), or a hue that cannot reach it: the palette's text.
        readable = paletteText;
        if (contrast(readable, background) < least)
            readable = luminance(background) < DarkLuminance ? QColor(Qt::white) : QColor(Qt::black);
    }
    if (m_readable.size() >= 64)
        m_readable.clear();
    m_readable.push_back({text.rgb(), background.rgb(), paletteText.rgb(), least, readable.rgb()});
    return readable;
}

QColor HexEditorView::columnColor(
    const QColor& odd, const QColor& even, const QColor& background, const QColor& paletteText, bool evenColumn) const
{
    const ColumnPair key {odd.rgb(), even.rgb(), background.rgb(), paletteText.rgb(), 0, 0};
    for (const ColumnPair& pair : m_columnPairs) {
        if (pair.odd == key.odd && pair.even == key.even && pair.background == key.background
            && pair.paletteText == key.paletteText)
            return QColor::fromRgb(evenColumn ? pair.evenDistinct : pair.oddDistinct);
    }
    QColor oddReadable = readableColor(odd, background, paletteText);
    QColor evenReadable = readableColor(even, background, paletteText);
    // The one nearer the background goes nearer still while it reads; failing that, the other
    // goes further away, until the two differ by DistinctColumns.
    const bool oddNearer = contrast(oddReadable, background) <= contrast(evenReadable, background);
    QColor& nearer = oddNearer ? oddReadable : evenReadable;
    QColor& further = oddNearer ? evenReadable : oddReadable;
    const bool dark = luminance(background) < DarkLuminance;
    const auto moved = [&](const QColor& color, const QColor& other, bool towardsBackground) {
        int hue = 0;
        int saturation = 0;
        int lightness = 0;
        color.getHsl(&hue, &saturation, &lightness);
        const int step = dark == towardsBackground ? -4 : 4;
        for (int level = lightness; level >= 0 && level <= 255; level += step) {
            const QColor candidate = QColor::fromHsl(hue, saturation, level);
            if (contrast(candidate, background) < ReadableContrast)
                break;
            if (contrast(candidate, other) >= DistinctColumns)
                return candidate;
        }
        return QColor();
    };
    if (contrast(oddReadable, evenReadable) < DistinctColumns) {
        if (const QColor closer = moved(nearer, further, true); closer.isValid())
            nearer = closer;
        else if (const QColor away = moved(further, nearer, false); away.isValid())
            further = away;
    }
    if (m_columnPairs.size() >= 16)
        m_columnPairs.clear();
    m_columnPairs.push_back(
        {key.odd, key.even, key.background, key.paletteText, oddReadable.rgb(), evenReadable.rgb()});
    return evenColumn ? evenReadable : oddReadable;
}

quint32 HexEditorView::glyphOf(QChar character) const
{
    const char16_t code = character.unicode();
    auto lookUp = [this, character] {
        quint32 glyph = 0;
        int count = 1;
        if (!m_rawFont.isValid() || !m_rawFont.supportsCharacter(character)
            || !m_rawFont.glyphIndexesForChars(&character, 1, &glyph, &count) || count != 1)
            return quint32(0);
        return glyph;
    };
    if (code < m_latinGlyphs.size()) {
        quint32& glyph = m_latinGlyphs[code];
        if (glyph == GlyphUnknown)
            glyph = lookUp();
        return glyph;
    }
    const auto it = m_otherGlyphs.find(code);
    if (it != m_otherGlyphs.end())
        return it->second;
    return m_otherGlyphs[code] = lookUp();
}

bool HexEditorView::addRightAligned(GlyphBatches& batches, const QString& text, const QColor& color, QPointF end) const
{
    QList<quint32> glyphs;
    glyphs.reserve(text.size());
    for (const QChar character : text) {
        const quint32 glyph = glyphOf(character);
        if (glyph == 0)
            return false;
        glyphs.append(glyph);
    }
    const QList<QPointF> advances = m_rawFont.advancesForGlyphIndexes(glyphs);
    qreal x = end.x();
    for (const QPointF& advance : advances)
        x -= advance.x();
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        batches.add(color, glyphs[i], QPointF(x, end.y()));
        x += advances[i].x();
    }
    return true;
}

void HexEditorView::drawCells(
    QPainter& painter, const std::vector<PaintCell>& cells, const QColor& filled, GlyphBatches& batches)
{
    if (m_cellPainter) {
        for (const PaintCell& c : cells)
            drawCellText(painter, c.cell, c.box, c.text(), c.row, c.col, c.brush, c.textColor, c.textBackground);
        return;
    }
    // Runs of side-by-side rectangles of one colour become one fill.
    QRect run;
    QColor runColor;
    auto fill = [&](const QRect& rect, const QColor& color) {
        if (!run.isEmpty() && color == runColor && rect.x() == run.x() + run.width() && rect.y() == run.y()
            && rect.height() == run.height()) {
            run.setWidth(run.width() + rect.width());
            return;
        }
        if (!run.isEmpty() && runColor != filled)
            painter.fillRect(run, runColor);
        run = rect;
        runColor = color;
    };
    for (const PaintCell& c : cells)
        fill(c.cell, c.brush);
    fill(QRect(), filled);
    for (const PaintCell& c : cells) {
        if (!c.character.isNull() && c.textBackground != c.brush)
            fill(c.box, c.textBackground);
    }
    fill(QRect(), filled);

    for (const PaintCell& c : cells) {
        if (c.character.isNull() || c.character.isSpace())
            continue;
        const quint32 glyph = c.shrinkToFit ? 0 : glyphOf(c.character);
        if (glyph != 0)
            batches.add(c.textColor, glyph, QPointF(c.box.x(), c.box.y() + m_ascent + 1));
        else
            drawCellText(painter, c.cell, c.box, c.text(), c.row, c.col, c.brush, c.textColor, c.textBackground);
    }
}

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

void HexEditorView::rulerCells(int firstCol, int lastCol, std::vector<PaintCell>& cells) const
{
    const HexColors& colors = m_editor.colors();
    const int height = rulerHeight();
    const int b = m_editor.bytesPerRow();
    const int charFirst = m_editor.charFirstColumn();
    const QString& hexRuler = m_editor.rulerString();
    const QString& charRuler = m_editor.rulerCharString();
    const int cursorCol = m_editor.cursorCell().col;
    const QColor buttonText = palette().color(QPalette::ButtonText);
    for (int col = firstCol; col <= lastCol; ++col) {
        PaintCell c;
        c.cell = QRect(columnX(col), 0, m_colX[col + 1] - m_colX[col], height);
        if (col <= 2 * b + 1) {
            const int at = col - 2;
            if (at < hexRuler.size())
                c.character = hexRuler.at(at);
        } else if (col == 2 * b + 2) {
            c.blankPair = true;
        } else if (col - charFirst < charRuler.size()) {
            c.character = charRuler.at(col - charFirst);
        }
        const bool current = col == cursorCol;
        c.brush = c.textBackground = colorOf(current ? colors.CurrentOffsetBackground : colors.OffsetBackground);
        c.textColor = readableColor(colorOf(current ? colors.CurrentOffset : colors.Offset), c.brush, buttonText);
        c.box = QRect(c.cell.x(), c.cell.y() + 1, col == 2 * b + 2 ? 2 * m_charWidth : m_charWidth, m_rowHeight);
        c.col = col;
        cells.push_back(std::move(c));
    }
}

void HexEditorView::paintRuler(QPainter& painter, int firstCol, int lastCol)
{
    const HexColors& colors = m_editor.colors();
    const int height = rulerHeight();
    const QColor background = colorOf(colors.OffsetBackground);
    painter.save();
    painter.setClipRect(QRect(dataLeft(), 0, viewport()->width(), height));
    painter.fillRect(QRect(dataLeft(), 0, viewport()->width() - dataLeft(), height), background);
    std::vector<PaintCell> cells;
    rulerCells(firstCol, lastCol, cells);
    GlyphBatches batches;
    drawCells(painter, cells, background, batches);
    batches.draw(painter, m_rawFont);
    painter.restore();
    // The top-left corner over the offset column and the gap.
    painter.fillRect(QRect(0, 0, dataLeft(), height), background);
}

void HexEditorView::paintOffsets(QPainter& painter, qint64 firstRow, qint64 lastRow)
{
    const HexColors& colors = m_editor.colors();
    const int width = m_colX[1];
    const int cursorRow = m_editor.cursorCell().row;
    const Bookmarks& bookmarks = m_editor.bookmarks();
    const qint64 bytesPerRow = m_editor.bytesPerRow();
    const QColor buttonText = palette().color(QPalette::ButtonText);
    GlyphBatches batches;
    std::vector<std::pair<int, int>> icons; // (y, icon), drawn over the texts
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
        const QColor pen = readableColor(colorOf(current ? colors.CurrentOffset : colors.Offset), back, buttonText);
        // Right-aligned 4 pixels before the column's edge and centred in the row.
        const qreal baseline = cell.y() + (m_rowHeight - m_fontHeight) / 2.0 + m_ascent;
        if (m_cellPainter || !addRightAligned(batches, text, pen, QPointF(width - 4, baseline))) {
            painter.setPen(pen);
            painter.drawText(cell.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        }
        const qint64 rowStart = (row - 2) * bytesPerRow;
        for (int i = 0; i < BookmarkCount; ++i) {
            const qint64 at = bookmarks[i].position;
            if (at >= rowStart && at < rowStart + bytesPerRow)
                icons.emplace_back(cell.y() + (m_rowHeight - 10) / 2, i + (bookmarks[i].inCharField ? 10 : 0));
        }
    }
    batches.draw(painter, m_rawFont);
    for (const auto& [y, icon] : icons)
        painter.drawImage(QPoint(3, y), m_bookmarkBitmap, QRect(0, icon * 10, 10, 10));
    // The gap between the offsets and the fields.
    painter.fillRect(QRect(width, rowY(firstRow), m_colX[2] - width, int(lastRow - firstRow + 1) * m_rowHeight),
        colorOf(colors.Background));
}

void HexEditorView::dataRowCells(qint64 gridRow, int firstCol, int lastCol, std::vector<PaintCell>& cells) const
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
    const char* digits = e.hexLowerCase() ? "0123456789abcdef" : "0123456789ABCDEF";
    const QColor fontColor = palette().color(QPalette::Text);
    const QColor background = colorOf(colors.Background);
    const QColor activeBackground = colorOf(colors.ActiveFieldBackground);
    const QColor oddColumn = colorOf(colors.OddColumn);
    const QColor evenColumn = colorOf(colors.EvenColumn);
    const QColor changedText = colorOf(colors.ChangedText);
    const QColor changedBackground = colorOf(colors.ChangedBackground);
    const int y = rowY(gridRow);
    const HexLayout layout = e.layout();

    for (int col = firstCol; col <= lastCol; ++col) {
        const bool inChar = col >= charFirst;
        const qint64 position = layout.positionAtCell(GridCell {col, static_cast<int>(gridRow)});
        const qint64 width = inChar && unicode ? 2 : 1;
        if (col == charFirst - 1 || position + width > size)
            continue; // the spacer, or past the data: the background under all rows is there already
        PaintCell c;
        c.cell = QRect(columnX(col), y, m_colX[col + 1] - m_colX[col], m_rowHeight);
        c.box = QRect(c.cell.x(), y, m_charWidth, m_rowHeight);
        c.row = static_cast<int>(gridRow);
        c.col = col;
        const bool lastColumn = col == 2 * b + 1 || col == lastCharCol;
        c.brush = inChar == caretInChar && !lastColumn ? activeBackground : background;

        if (!inChar) {
            const quint8 byte = bytes[position];
            const bool firstColumn = (col - 2) % 2 == 0;
            const bool high = firstColumn != e.swapNibbles();
            c.character = QLatin1Char(digits[high ? byte >> 4 : byte & 0x0F]);
        } else if (unicode) {
            quint16 code = 0;
            std::memcpy(&code, bytes + position, 2);
            if (e.unicodeBigEndian())
                code = quint16((code >> 8) | (code << 8));
            c.character = code < 256 && e.isMaskedChar(code) ? e.maskChar() : QChar(code);
            c.shrinkToFit = true;
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
                c.character = e.maskChar();
            else
                c.character = QChar(systemCodeToChar(code));
        }

        // What the cell wants, inverted for the selection (and faded without the focus); the
        // text is made readable against the background it ends up on.
        const bool changed = e.hasChanged(position) || (width == 2 && e.hasChanged(position + 1));
        const bool selected = showSelection && (e.isSelected(position) || (width == 2 && e.isSelected(position + 1)));
        const auto shown = [&](const QColor& color) {
            if (!selected)
                return color;
            return graySelection ? faded(inverted(color)) : inverted(color);
        };
        c.textBackground = shown(changed ? changedBackground : c.brush);
        if (selected && !lastColumn && position + width - 1 < e.selectionHigh())
            c.brush = inverted(c.brush);
        if (changed)
            c.textColor = readableColor(shown(changedText), c.textBackground, fontColor);
        else if (inChar)
            c.textColor = readableColor(shown(fontColor), c.textBackground, fontColor);
        else if (const bool even = ((position % b) / e.bytesPerColumn()) % 2 != 0; selected && graySelection)
            c.textColor = readableColor(shown(even ? evenColumn : oddColumn), c.textBackground, fontColor); // all grey
        else
            c.textColor = columnColor(shown(oddColumn), shown(evenColumn), c.textBackground, fontColor, even);
        cells.push_back(std::move(c));
    }
}

void HexEditorView::paintGridLines(QPainter& painter, qint64 gridRow, int firstCol, int lastCol)
{
    if (!m_editor.drawGridLines())
        return;
    const int y = rowY(gridRow);
    const int charFirst = m_editor.charFirstColumn();
    const int lastCharCol = m_editor.colCount() - 1;
    painter.setPen(colorOf(m_editor.colors().Grid));
    const int bottom = y + m_rowHeight - 1;
    painter.drawLine(columnX(firstCol), bottom, columnX(lastCol + 1) - 1, bottom);
    painter.drawLine(0, bottom, m_colX[1] - 1, bottom);
    const int spacerX = columnX(charFirst - 1);
    painter.drawLine(spacerX, y, spacerX, bottom);
    const int rightX = columnX(lastCharCol + 1) - 1;
    painter.drawLine(rightX, y, rightX, bottom);
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
        // The control colour under all rows at once; the rows add only what differs from it.
        const QColor background = colorOf(colors.Background);
        painter.fillRect(QRect(dataLeft(), rowY(dirtyFirst), width - dataLeft(),
                             static_cast<int>(dirtyLast - dirtyFirst + 1) * m_rowHeight),
            background);
        GlyphBatches batches;
        std::vector<PaintCell> cells;
        for (qint64 row = dirtyFirst; row <= dirtyLast; ++row) {
            cells.clear();
            dataRowCells(row, firstCol, lastCol, cells);
            drawCells(painter, cells, background, batches);
            paintGridLines(painter, row, firstCol, lastCol);
        }
        batches.draw(painter, m_rawFont);
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
