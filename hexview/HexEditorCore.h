#pragma once

#include "hexview/BitArray.h"
#include "hexview/Bookmarks.h"
#include "hexview/HexColors.h"
#include "hexview/HexEditorTypes.h"
#include "hexview/HexLayout.h"
#include "hexview/MemoryStream.h"
#include "hexview/OffsetFormat.h"
#include "hexview/UndoTarget.h"

#include <QByteArray>
#include <QChar>
#include <QObject>
#include <QString>

#include <bitset>
#include <functional>
#include <memory>

class QIODevice;

namespace kestrum {

class UndoStorage;

/// The hex editor control without its display: the data, the changed-byte marks, the cursor and
/// the selection, bookmarks, every editing operation with its undo record, and the key handling.
/// A widget shows it and forwards its keys; tests drive it directly. Its undo storage reaches it
/// through the UndoTarget it implements.
class HexEditorCore : public QObject, private UndoTarget
{
    Q_OBJECT

public:
    /// Supplies the offset text of a position in place of the offset format; `text` comes in as
    /// the offset format makes it.
    using OffsetTextProvider = std::function<void(qint64 position, QString& text)>;

    explicit HexEditorCore(QObject* parent = nullptr);
    ~HexEditorCore() override;

    /// Replaces the offset format's texts while set; an empty function switches it off.
    void setOffsetTextProvider(OffsetTextProvider provider) { m_offsetTextProvider = std::move(provider); }

public: // data access
    /// Replaces the data with the content of `stream` from its position 0. On failure the data and
    /// the undo storage are emptied and the error is passed on.
    void loadFromStream(QIODevice& stream);
    /// Replaces the data with `image`, taking its bytes as they are: an image moved in is not
    /// copied. Resets like loadFromStream.
    void loadFromBytes(QByteArray image);
    qint64 dataSize() const { return m_data.size(); }
    /// Modified, and either not empty or the file name names an existing file.
    bool isModified() const;
    /// Stores the flag; false also resets the undo storage and clears the changed marks.
    void setModified(bool modified);
    void readBuffer(void* destination, qint64 position, qint64 count) const;
    quint8 dataAt(qint64 position) const;
    /// Writes one byte without undo.
    void setDataAt(qint64 position, quint8 value);
    /// Writes bytes without undo.
    virtual void writeBuffer(const void* source, qint64 position, qint64 count);
    const MemoryStream& dataStorage() const { return m_data; }
    QString fileName() const { return m_fileName; }
    void setFileName(const QString& fileName) { m_fileName = fileName; }

    /// True when the byte was overwritten since the last load or hand-back (never in insert mode).
    bool hasChanged(qint64 position) const;
    void setChanged(qint64 position, bool changed);

public: // editing
    void changeByte(quint8 oldValue, quint8 newValue, qint64 position, const QString& description = {});
    /// Two bytes at once; each is marked only when it differs.
    void changeWideChar(quint16 oldValue, quint16 newValue, qint64 position, const QString& description = {});
    void insertBuffer(
        const void* buffer, qint64 count, qint64 position, const QString& description = {}, bool moveCursor = true);
    void appendBuffer(const void* buffer, qint64 count, const QString& description = {}, bool moveCursor = true);
    void replaceSelection(const void* buffer, qint64 count, const QString& description = {}, bool moveCursor = true);
    /// Writes up to `count` bytes over the data from `position` on, never past its end, as one
    /// undoable replacement of equal size; selects the bytes written. Returns how many were written.
    qint64 overwriteBuffer(
        const void* buffer, qint64 count, qint64 position, const QString& description = {}, bool moveCursor = true);
    void deleteSelection(const QString& description = {});
    /// Removes one unit before the cursor (`backwards`) or at it.
    void eraseUnit(bool backwards, const QString& description = {});
    /// Inserts a zero nibble; the data grows by one byte. False for a position outside the data.
    bool insertNibble(qint64 position, bool highNibble, const QString& description = {});
    /// Removes a nibble; the data keeps its size and ends in a zero nibble.
    bool deleteNibble(qint64 position, bool highNibble, const QString& description = {});
    void convertRange(
        qint64 from, qint64 to, TranslationKind target, TranslationKind source, const QString& description = {});
    void setDataSize(qint64 size);

public: // selection and cursor
    void setSelStart(qint64 position);
    void setSelEnd(qint64 position);
    void setSelCount(qint64 count);
    qint64 selStart() const;
    qint64 selEnd() const;
    qint64 selCount() const;
    /// Lowest and highest selected positions; -1 without a selection.
    qint64 selectionLow() const { return m_selLow; }
    qint64 selectionHigh() const { return m_selHigh; }
    qint64 selectionAnchor() const { return m_selAnchor; }
    bool hasSelection() const { return m_selAnchor != -1; }
    bool isSelected(qint64 position) const { return hasSelection() && position >= m_selLow && position <= m_selHigh; }
    void selectAll();
    void resetSelection();
    /// Moves the cursor; origin 0 = from the start, 1 = from the cursor, 2 = from the end. Returns
    /// the new position, -1 on empty data.
    qint64 seek(qint64 offset, int origin);
    qint64 seekToEnd();

    GridCell cursorCell() const { return m_cursor; }
    /// Moves the cursor to a grid cell (clamped into the data); `selecting` extends the selection.
    void setCursorCell(GridCell cell, bool selecting = false);
    qint64 cursorPosition() const { return positionAtCell(m_cursor); }
    bool cursorInCharField() const { return isCharColumn(m_cursor.col); }
    /// True when the cursor is on the second column of a byte in the hexadecimal field.
    bool isCursorOnSecondColumn() const;

public: // mouse
    /// A left button press on a data cell: moves the cursor there and starts a selection drag;
    /// with `shift` extends the selection instead. A press inside the selection keeps it.
    void mouseDown(GridCell cell, bool shift);
    /// The mouse moved to `cell` with the button held: extends the selection in whole units.
    void mouseMove(GridCell cell);
    /// The button was released over `cell`; a press inside the selection released without moving
    /// clears the selection.
    void mouseUp(GridCell cell);
    /// True between mouseDown and mouseUp (or the loss of the focus).
    bool isMouseSelecting() const { return m_mouseSelecting; }
    /// True while the button that was pressed inside the selection is held: a drag of the
    /// selected data may begin.
    bool isMouseDownInSelection() const { return m_mouseSelecting && m_mouseDownInSelection; }
    /// Ends a selection drag without a release, as losing the focus or dragging the data does.
    void endMouseSelection()
    {
        m_mouseSelecting = false;
        m_mouseDownInSelection = false;
    }

public: // grid geometry
    /// The grid arithmetic of the settings in force.
    HexLayout layout() const;
    int colCount() const { return layout().colCount(); }
    int rowCount() const;
    int hexFirstColumn() const { return 2; }
    int charFirstColumn() const { return 2 * m_bytesPerRow + 3; }
    bool isCharColumn(int col) const { return col >= charFirstColumn(); }
    qint64 positionAtCell(GridCell cell) const { return layout().positionAtCell(cell); }
    GridCell cellAtPosition(qint64 position, bool inCharField) const
    {
        return layout().cellAtPosition(position, inCharField);
    }
    /// The highest position the cursor may stand on: the last byte, one past it in insert mode.
    qint64 maxCursorPos() const;
    /// Where the user is, as the status bar shows it: the cursor offset, the selection length when
    /// there is one, and "INS" or "OVR".
    QString positionText();
    /// First data row shown (0 = the data row of position 0) and the number of rows in view.
    qint64 topRow() const { return m_topRow; }
    void setTopRow(qint64 row);
    int visibleRowCount() const { return m_visibleRows; }
    void setVisibleRowCount(int rows);

public: // bookmarks
    Bookmark bookmark(int index) const;
    void setBookmark(int index, const Bookmark& bookmark);
    /// Sets a bookmark; setting it to the value it has clears it.
    void toggleBookmark(int index, qint64 position, bool inCharField);
    void gotoBookmark(int index);
    /// Moves bookmarks at or after `from` by `delta` and clears those beyond the data.
    void adjustBookmarks(qint64 from, qint64 delta);
    const Bookmarks& bookmarks() const { return m_bookmarks; }

public: // undo
    /// Asks canCreateUndo, then records the change (unless an undo update is open) and sets the
    /// modified flag; raises "Cannot update undo storage" when the change is not permitted.
    void createUndo(UndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description);
    virtual bool canCreateUndo(UndoFlag kind, qint64 count, qint64 replCount);
    bool undo();
    bool redo();
    bool canUndo() const;
    bool canRedo() const;
    QString undoDescription() const;
    void resetUndo();
    /// Combines the newest `count` records into one undo step.
    void combineUndo(int count, const QString& description = {});
    /// Records a cursor or selection state as its own undo step.
    void addSelectionUndo(qint64 position, qint64 count);
    virtual int undoBeginUpdate();
    virtual int undoEndUpdate();
    const UndoStorage& undoStorage() const { return *m_undo; }

public: // keys
    /// A key press as the window delivers it; returns true when the key was used.
    virtual bool keyDown(int key, Qt::KeyboardModifiers modifiers);
    /// A typed character (after the key press); returns true when it changed the data.
    bool keyPress(QChar key);

public: // modes and settings
    bool isReadOnlyView() const { return m_readOnlyView; }
    void setReadOnlyView(bool readOnly);
    /// Insert mode as in force: only when size changes are allowed and the view is editable.
    bool insertMode() const { return m_insertMode; }
    void setInsertMode(bool insertMode);
    bool allowInsertMode() const { return m_allowInsertMode; }
    void setAllowInsertMode(bool allow);
    bool noSizeChange() const { return m_noSizeChange; }
    void setNoSizeChange(bool fixed);
    int bytesPerUnit() const { return m_bytesPerUnit; }
    void setBytesPerUnit(int bytes);
    bool unicodeChars() const { return m_unicodeChars; }
    void setUnicodeChars(bool unicode);
    bool unicodeBigEndian() const { return m_unicodeBigEndian; }
    void setUnicodeBigEndian(bool bigEndian);
    bool swapNibbles() const { return m_swapNibbles; }
    void setSwapNibbles(bool swap);
    TranslationKind translation() const { return m_translation; }
    void setTranslation(TranslationKind kind);
    qint64 maxUndo() const { return m_maxUndo; }
    void setMaxUndo(qint64 bytes) { m_maxUndo = bytes; }
    bool isMaskedChar(int code) const { return code >= 0 && code < 256 && m_maskedChars.test(code); }
    void setMaskedChars(const std::bitset<256>& chars) { m_maskedChars = chars; }
    std::bitset<256> maskedChars() const { return m_maskedChars; }
    QChar maskChar() const { return m_maskChar; }
    void setMaskChar(QChar maskChar);
    quint8 dataSizeFillByte() const { return m_fillByte; }
    void setDataSizeFillByte(quint8 fill) { m_fillByte = fill; }
    int bytesPerRow() const { return m_bytesPerRow; }
    void setBytesPerRow(int bytes);
    int bytesPerColumn() const { return m_bytesPerColumn; }
    void setBytesPerColumn(int bytes);
    const HexColors& colors() const { return m_colors; }
    void setColors(const HexColors& colors);

public: // display
    QString offsetFormat() const { return m_offsetFormatText; }
    /// Parses and applies an offset format; on an error the previous format stays in force and
    /// the error is passed on. An empty text switches the format off.
    void setOffsetFormat(const QString& format);
    /// The parsed offset format in force.
    const OffsetFormat& offsetFormatRecord() const { return m_offsetFormat; }
    /// Parses `format` into the format in force; raises on an error and then changes nothing.
    void generateOffsetFormat(const QString& format);
    /// The offset text of a position: from the offset text provider, else from the offset format.
    virtual QString offsetString(qint64 position);
    /// offsetString when an offset format is set, else plain hexadecimal.
    virtual QString anyOffsetString(qint64 position);
    /// Recomputes the width of the offset column from the largest row start.
    void updateOffsetDisplayWidth();
    /// Width of the offset column in characters: the largest offset text plus one.
    int offsetDisplayWidth() const { return m_offsetDisplayWidth; }

    bool hexLowerCase() const { return m_hexLowerCase; }
    void setHexLowerCase(bool lowerCase);
    bool showRuler() const { return m_showRuler; }
    void setShowRuler(bool show);
    int rulerBytesPerUnit() const { return m_rulerBytesPerUnit; }
    /// -1 (follow BytesPerUnit), 1, 2, 4 or 8.
    void setRulerBytesPerUnit(int bytes);
    /// The ruler's bytes per unit in force.
    int rulerUnit() const { return m_rulerBytesPerUnit == -1 ? m_bytesPerUnit : m_rulerBytesPerUnit; }
    int rulerNumberBase() const { return m_rulerNumberBase; }
    /// 2 to 16; other values become 16.
    void setRulerNumberBase(int base);
    /// The ruler text over the hexadecimal field, one character per nibble column.
    const QString& rulerString() const { return m_ruler.hex; }
    /// The ruler text over the character field, one character per character column.
    const QString& rulerCharString() const { return m_ruler.chars; }
    int bytesPerBlock() const { return m_bytesPerBlock; }
    void setBytesPerBlock(int bytes);
    bool separateBlocksInCharField() const { return m_separateBlocksInCharField; }
    void setSeparateBlocksInCharField(bool separate);
    int gutterWidth() const { return m_gutterWidth; }
    /// Fixed width of the offset column in pixels; -1 computes it from the offsets.
    void setGutterWidth(int width);
    CaretKind caretKind() const { return m_caretKind; }
    void setCaretKind(CaretKind kind);
    /// The caret shape in force (CaretKind::Auto resolved).
    CaretKind effectiveCaretKind() const;
    bool focusFrame() const { return m_focusFrame; }
    void setFocusFrame(bool focusFrame);
    bool drawGridLines() const { return m_drawGridLines; }
    void setDrawGridLines(bool draw);
    bool hideSelection() const { return m_hideSelection; }
    void setHideSelection(bool hide);
    bool graySelectionIfNotFocused() const { return m_graySelectionIfNotFocused; }
    void setGraySelectionIfNotFocused(bool gray);
    bool drawGutter3D() const { return m_drawGutter3D; }
    void setDrawGutter3D(bool draw);
    bool showPositionIfNotFocused() const { return m_showPositionIfNotFocused; }
    void setShowPositionIfNotFocused(bool show);
    bool autoBytesPerRow() const { return m_autoBytesPerRow; }
    void setAutoBytesPerRow(bool automatic);
    /// With AutoBytesPerRow: sets the bytes per row that fit a client area of that width.
    void applyAutoBytesPerRow(int clientWidth, int charWidth);
    /// The bytes per row that fit a client area `clientWidth` pixels wide (AutoBytesPerRow).
    int bytesPerRowForWidth(int clientWidth, int charWidth) const;
    /// Width in pixels of a grid column for a font whose "w" is `charWidth` pixels wide.
    int colWidth(int col, int charWidth) const;

Q_SIGNALS:
    /// The data changed.
    void changed();
    /// The selection or the cursor changed; coalesced: one signal per burst of changes.
    void selectionChanged();
    /// A bookmark was set, moved or cleared.
    void bookmarkChanged();
    /// A key that cannot be used at the cursor.
    void invalidKey();
    /// Progress of a load in percent; a receiver connected directly may set `*cancel` to stop it.
    void progress(kestrum::ProgressKind kind, const QString& fileName, int percent, bool* cancel);
    /// Anything shown changed: data, cursor, selection, marks, bookmarks or modes.
    void invalidated();

protected:
    void notifySelectionChanged() override;
    void notifyChanged() override;
    void notifyBookmarkChanged() override;
    /// Asks for a repaint.
    void requestRepaint();
    void setModifiedFlag(bool modified) { m_modified = modified; }
    bool modifiedFlag() const { return m_modified; }
    bool isFileSizeFixed() const { return m_noSizeChange && !m_fixedSizeOverride; }
    UndoStorage& mutableUndoStorage() { return *m_undo; }
    bool canInsert() const { return !isFileSizeFixed() && m_allowInsertMode && !m_readOnlyView; }

private:
    /// Selects the count bytes a buffer change put at position, moves the cursor to their last
    /// byte when asked, and notifies the change.
    void selectChangedBytes(qint64 position, qint64 count, bool moveCursor);
    // Data changes without undo: the primitives of editing, undo and redo.
    void internalInsert(qint64 position, const void* buffer, qint64 count) override;
    void internalDelete(qint64 position, qint64 count) override;
    void internalReplaceAll(const void* buffer, qint64 count) override;
    void internalInsertNibble(qint64 position, bool highNibble) override;
    void internalDeleteNibble(qint64 position, bool highNibble) override;
    void internalSetInsertMode(bool insertMode);
    /// After new data came in: no undo (unless a range is open), marks, selection or modified flag;
    /// the cursor at the start.
    void resetAfterLoad();

    // The rest of UndoTarget.
    const MemoryStream& undoData() const override { return m_data; }
    bool changedMark(qint64 position) const override;
    Modes undoModes() const override;
    Place undoPlace() const override;
    const Bookmarks& undoBookmarks() const override { return m_bookmarks; }
    qint64 undoLimit() const override { return m_maxUndo; }
    void writeUndoBytes(qint64 position, const void* source, qint64 count) override;
    void setChangedMark(qint64 position, bool changed) override;
    void truncateChangedMarks(qint64 position) override;
    void restoreModes(const Modes& modes) override;
    void restorePlace(const Place& place) override;
    void restoreBookmarks(const Bookmarks& bookmarks) override;

    void placeCursor(qint64 position, bool inCharField, bool secondColumn = false);
    void clampCursor();
    void setSelection(qint64 anchor, qint64 other);
    void clearSelectionState();
    void selectUnits(qint64 from, qint64 to);
    void ensureCursorVisible();
    void applyCursorMove(GridCell cell, bool selecting);
    void checkBookmarkIndex(int index) const;
    void shiftBookmarks(qint64 from, qint64 delta) override;
    void clearBookmarksBeyondData() override;
    void postSelectionChanged();
    /// Brings the derived display state up to date: ruler strings, the offset unit that follows
    /// the ruler, the offset width. Cheap; runs before every repaint.
    void updateDisplayState();
    void internalSetBytesPerRow(int bytes);
    /// Re-parses the offset format after a setting it depends on changed; on an error `restore`
    /// puts the setting back and the error is passed on.
    void regenerateOffsetFormat(const std::function<void()>& restore);

    // Key handling parts.
    bool navigationKey(int key, Qt::KeyboardModifiers modifiers);
    /// Backspace in insert mode with the caret on a byte's second column (a half-typed byte):
    /// removes the unit under the caret.
    void eraseHalfTypedUnit();
    void moveRight(bool selecting);
    void moveLeft(bool selecting);
    bool typeHexDigit(QChar key);
    bool typeCharacter(QChar key);

    MemoryStream m_data;
    BitArray m_changedMarks;
    std::unique_ptr<UndoStorage> m_undo;
    bool m_modified = false;
    QString m_fileName;

    GridCell m_cursor;
    qint64 m_selAnchor = -1;
    qint64 m_selLow = -1;
    qint64 m_selHigh = -1;
    qint64 m_selBegin = -1; // where a Shift or mouse selection began
    bool m_mouseSelecting = false;
    bool m_mouseDownInSelection = false; // the press landed inside the selection
    GridCell m_mouseDownCell;
    GridCell m_mouseLastCell;
    int m_selectionChangedCount = 0;
    qint64 m_topRow = 0;
    int m_visibleRows = 16;

    Bookmarks m_bookmarks;

    bool m_readOnlyView = false;
    bool m_insertMode = false;
    bool m_allowInsertMode = true;
    bool m_noSizeChange = false;
    bool m_fixedSizeOverride = false;
    int m_bytesPerUnit = 1;
    bool m_unicodeChars = false;
    bool m_unicodeBigEndian = false;
    bool m_swapNibbles = false;
    TranslationKind m_translation = TranslationKind::AsIs;
    qint64 m_maxUndo = DefaultMaxUndo;
    std::bitset<256> m_maskedChars {0xFFFFFFFFULL}; // codes 0 to 31
    QChar m_maskChar = QLatin1Char('.');
    quint8 m_fillByte = 0;
    int m_bytesPerRow = 16;
    int m_bytesPerColumn = 2;
    HexColors m_colors;

    QString m_offsetFormatText = QString::fromLatin1(DefaultOffsetFormat);
    OffsetFormat m_offsetFormat;
    OffsetTextProvider m_offsetTextProvider;
    bool m_inOffsetTextProvider = false;
    int m_offsetDisplayWidth = 1;
    bool m_hexLowerCase = false;
    bool m_showRuler = false;
    int m_rulerBytesPerUnit = -1;
    int m_rulerNumberBase = 16;
    RulerStrings m_ruler;
    quint64 m_rulerKey = ~quint64(0); // the settings the ruler strings were built for
    int m_bytesPerBlock = -1;
    bool m_separateBlocksInCharField = true;
    int m_gutterWidth = -1;
    CaretKind m_caretKind = CaretKind::Auto;
    bool m_focusFrame = true;
    bool m_drawGridLines = false;
    bool m_hideSelection = false;
    bool m_graySelectionIfNotFocused = false;
    bool m_drawGutter3D = true;
    bool m_showPositionIfNotFocused = false;
    bool m_autoBytesPerRow = false;
};

} // namespace kestrum
