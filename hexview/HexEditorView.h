#pragma once

#include "hexview/HexEditor.h"
#include "hexview/SystemClipboard.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QRawFont>
#include <QTimer>

#include <functional>
#include <unordered_map>
#include <vector>

namespace kestrum {

/// The widget that shows a HexEditor as a grid: the ruler row, the offset column, the
/// hexadecimal field and the character field. The offset column and the ruler stay in place
/// while the fields scroll, and the caret is kept in view both ways. Only the rows and columns in
/// view are painted, so a repaint costs the same for any data size. Keys go to the control's own
/// key handling; the mouse moves the cursor and selects, the wheel scrolls and Ctrl+wheel changes
/// the bytes per row. The selection can be dragged away, and data or a file dropped onto the
/// control goes in as paste puts it. The colours that name system colours follow the palette.
class HexEditorView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    /// Called for every ruler, offset and data cell before it is drawn: may change the text (one
    /// character for data cells) or draw the cell itself and clear `defaultDrawing`.
    using CellPainter = std::function<void(
        QPainter& painter, const QRect& rect, QString& text, int row, int col, bool& defaultDrawing)>;

    explicit HexEditorView(QWidget* parent = nullptr);
    ~HexEditorView() override;

    HexEditor& editor() { return m_editor; }
    const HexEditor& editor() const { return m_editor; }

    /// Set: called for every cell before it is drawn (see CellPainter); empty: none.
    void setCellPainter(CellPainter painter) { m_cellPainter = std::move(painter); }

    /// With Ctrl+wheel changing the bytes per row and Ctrl+Shift+wheel the font size (default on).
    bool zoomOnWheel() const { return m_zoomOnWheel; }
    void setZoomOnWheel(bool zoom) { m_zoomOnWheel = zoom; }
    /// 20 icons of 10 x 10 pixels, one above the other: bookmarks 0 to 9 in the hexadecimal field,
    /// then 0 to 9 in the character field. Raises HexEditorError for another size.
    const QImage& bookmarkBitmap() const { return m_bookmarkBitmap; }
    void setBookmarkBitmap(const QImage& bitmap);

    /// The data cell under a point of the viewport; false outside the two fields.
    bool cellAt(const QPoint& point, GridCell& cell) const;
    /// The rectangle of a grid cell in viewport coordinates (empty for a row out of view).
    QRect cellRect(GridCell cell) const;
    /// Offset text of a row start, as the offset column shows it.
    QString offsetText(qint64 position) const;
    /// Width of "w" in the font, and the row heights.
    int charWidth() const { return m_charWidth; }
    int rowHeight() const { return m_rowHeight; }
    int rulerHeight() const;
    /// The colour a HexColors value stands for: an RGB value, or a system colour taken from the
    /// palette now in force.
    QColor colorOf(quint32 value) const;
    /// `text` where it reaches a contrast of `least` (4.5:1 unless given) against `background`;
    /// otherwise a lighter (on a dark background) or darker variant of its hue, or `paletteText`
    /// for a grey.
    QColor readableColor(
        const QColor& text, const QColor& background, const QColor& paletteText, double least = 4.5) const;
    /// The readable colour of a hexadecimal column group (`evenColumn` picks the second of each
    /// pair) over `background`: both column colours made readable and, where that makes them
    /// alike, moved apart along their hues until they differ by 1.5:1, so the groups alternate.
    QColor columnColor(const QColor& odd, const QColor& even, const QColor& background, const QColor& paletteText,
        bool evenColumn) const;
    /// Whether the caret is in its visible phase (it blinks while the control has the focus).
    bool caretShown() const { return m_caretShown; }
    /// Where dragged data would go, while data is dragged over the control.
    bool dropMarkerShown() const { return m_dropMarkerShown; }
    GridCell dropCell() const { return m_dropCell; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void updateMetrics();
    void syncScrollBars();
    void layoutColumns() const;
    int columnX(int col) const;
    int dataLeft() const;
    int rowY(qint64 gridRow) const;
    int firstVisibleColumn() const;
    /// The data cell nearest to a point, for drags that leave the fields.
    GridCell nearestCell(const QPoint& point) const;
    void autoScroll();
    void updateMouseCursor(const QPoint& point);
    /// What one cell of the grid shows.
    struct PaintCell
    {
        QRect cell;
        QRect box; ///< where the text and its background go
        QChar character; ///< null for none
        bool blankPair = false; ///< two blanks instead of the character (the ruler's spacer)
        QColor brush;
        QColor textColor;
        QColor textBackground;
        int row = 0;
        int col = 0;
        bool shrinkToFit = false; ///< a character that may be wider than its box

        QString text() const
        {
            return blankPair ? QStringLiteral("  ") : character.isNull() ? QString() : QString(character);
        }
    };
    /// Glyphs collected by colour, drawn with one call per colour.
    class GlyphBatches;
    static constexpr quint32 GlyphUnknown = ~quint32(0);

    /// The glyph of a character in the view's font; 0 when the font has none.
    quint32 glyphOf(QChar character) const;
    /// Adds the glyphs of `text` so that it ends at `end` (on its baseline); false, adding
    /// nothing, when the font lacks one of them.
    bool addRightAligned(GlyphBatches& batches, const QString& text, const QColor& color, QPointF end) const;
    void rulerCells(int firstCol, int lastCol, std::vector<PaintCell>& cells) const;
    void dataRowCells(qint64 gridRow, int firstCol, int lastCol, std::vector<PaintCell>& cells) const;
    /// Draws cells: backgrounds as runs of one colour (leaving those of `filled`, already there),
    /// the texts into `batches`; through the cell painter one by one when one is set.
    void drawCells(QPainter& painter, const std::vector<PaintCell>& cells, const QColor& filled, GlyphBatches& batches);
    void drawCellText(QPainter& painter, const QRect& cell, const QRect& box, QString text, int row, int col,
        const QColor& brush, const QColor& textColor, const QColor& textBackground);
    void paintRuler(QPainter& painter, int firstCol, int lastCol);
    void paintOffsets(QPainter& painter, qint64 firstRow, qint64 lastRow);
    void paintGridLines(QPainter& painter, qint64 gridRow, int firstCol, int lastCol);
    void paintFrames(QPainter& painter);
    void paintDropMarker(QPainter& painter);
    QRect twinFrameRect() const;
    QRect caretRect() const;
    /// Scrolls sideways so that the caret's cell, and its twin in the other field when both fit,
    /// are in view.
    void scrollCaretIntoView();
    /// Shows the caret and starts its blinking anew (when focused and the flash time is above 0).
    void restartCaretBlink();
    /// Whether a drop of `data` could be taken.
    bool canDrop(const QMimeData& dragged) const;
    /// Moves the drop marker to the cell under a point; the position data would go to.
    qint64 trackDrop(const QPoint& point);
    void hideDropMarker();
    void startDataDrag();

    HexEditor m_editor;
    CellPainter m_cellPainter;
    SystemClipboard m_clipboard;
    QImage m_bookmarkBitmap;
    bool m_zoomOnWheel = true;
    int m_charWidth = 8;
    int m_rowHeight = 16;
    int m_ascent = 12;
    int m_fontHeight = 15;
    bool m_syncing = false;
    bool m_applyingAutoBytesPerRow = false;
    QTimer m_scrollTimer;
    QTimer m_caretTimer;
    bool m_caretShown = true;
    GridCell m_lastCaretCell {-1, -1};
    bool m_dropMarkerShown = false;
    GridCell m_dropCell {-1, -1};
    QPoint m_pressPoint;
    QPoint m_lastMousePoint;
    int m_wheelRemainder = 0;
    QRawFont m_rawFont;
    mutable std::vector<quint32> m_latinGlyphs; // by code below 256; GlyphUnknown until looked up
    mutable std::unordered_map<char16_t, quint32> m_otherGlyphs;
    struct ReadablePair
    {
        QRgb text;
        QRgb background;
        QRgb paletteText;
        double least;
        QRgb readable;
    };
    mutable std::vector<ReadablePair> m_readable; // readableColor's answers
    struct ColumnPair
    {
        QRgb odd; // the colours asked for
        QRgb even;
        QRgb background;
        QRgb paletteText;
        QRgb oddDistinct;
        QRgb evenDistinct;
    };
    mutable std::vector<ColumnPair> m_columnPairs; // columnColor's answers
    // Left edge of every grid column from 0 on (unscrolled), one more entry for the right edge.
    mutable std::vector<int> m_colX;
};

} // namespace kestrum
