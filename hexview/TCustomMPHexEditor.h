#pragma once

#include "hexview/MPHBitArray.h"
#include "hexview/MPHexEditorTypes.h"
#include "hexview/OffsetFormat.h"
#include "hexview/TMPHBookmarks.h"
#include "hexview/TMPHColors.h"
#include "hexview/TMPHMemoryStream.h"
#include "hexview/UndoTarget.h"

#include <QChar>
#include <QObject>
#include <QString>

#include <bitset>
#include <functional>
#include <memory>

class QIODevice;

namespace kestrum {

class TMPHUndoStorage;

/// A cell of the editor grid: column 0 is the offset column, column 1 a gap, then two columns per
/// byte in the hexadecimal field, a spacer, and the character field; rows 0 and 1 are fixed and
/// data rows start at row 2.
struct TMPHGridCell
{
    int col = 2;
    int row = 2;

    friend bool operator==(const TMPHGridCell&, const TMPHGridCell&) = default;
};

/// The hex editor control without its display: the data, the changed-byte marks, the cursor and
/// the selection, bookmarks, every editing operation with its undo record, and the key handling.
/// A widget shows it and forwards its keys; tests drive it directly. Its undo storage reaches it
/// through the UndoTarget it implements.
class TCustomMPHexEditor : public QObject, private UndoTarget
{
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TCustomMPHexEditor& sender)>;
    /// Progress of a long operation; set `cancel` to stop it.
    using TMPHProgressEvent = std::function<void(
        TCustomMPHexEditor& sender, TMPHProgressKind kind, const QString& fileName, quint8 percent, bool& cancel)>;
    /// Supplies the offset text of a position; `text` comes in as the offset format makes it.
    using TMPHGetOffsetTextEvent = std::function<void(TCustomMPHexEditor& sender, qint64 position, QString& text)>;

    explicit TCustomMPHexEditor(QObject* parent = nullptr);
    ~TCustomMPHexEditor() override;

    // Events, called like the handlers of a form: one handler each.
    TNotifyEvent OnChange; ///< after every data change
    TNotifyEvent OnSelectionChanged; ///< coalesced: one call per burst of selection changes
    TNotifyEvent OnBookmarkChanged;
    TNotifyEvent OnInvalidKey; ///< a key that cannot be used at the cursor
    TMPHProgressEvent OnProgress;
    TMPHGetOffsetTextEvent OnGetOffsetText; ///< replaces the offset format when assigned

public: // data access
    /// Replaces the data with the content of `stream` from its position 0. On failure the data and
    /// the undo storage are emptied and the error is passed on.
    void LoadFromStream(QIODevice& stream);
    qint64 GetDataSize() const { return m_data.GetSize(); }
    /// Modified, and either not empty or the file name names an existing file.
    bool GetModified() const;
    /// Stores the flag; false also resets the undo storage and clears the changed marks.
    void SetModified(bool modified);
    void ReadBuffer(void* destination, qint64 position, qint64 count) const;
    quint8 GetDataAt(qint64 position) const;
    /// Writes one byte without undo.
    void SetDataAt(qint64 position, quint8 value);
    /// Writes bytes without undo.
    virtual void WriteBuffer(const void* source, qint64 position, qint64 count);
    const TMPHMemoryStream& DataStorage() const { return m_data; }
    QString GetFileName() const { return m_fileName; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }

    /// True when the byte was overwritten since the last load or hand-back (never in insert mode).
    bool HasChanged(qint64 position) const;
    void SetChanged(qint64 position, bool changed);

public: // editing
    void IntChangeByte(quint8 oldValue, quint8 newValue, qint64 position, const QString& description = {});
    /// Two bytes at once; each is marked only when it differs.
    void IntChangeWideChar(quint16 oldValue, quint16 newValue, qint64 position, const QString& description = {});
    void InsertBuffer(
        const void* buffer, qint64 count, qint64 position, const QString& description = {}, bool moveCursor = true);
    void AppendBuffer(const void* buffer, qint64 count, const QString& description = {}, bool moveCursor = true);
    void ReplaceSelection(const void* buffer, qint64 count, const QString& description = {}, bool moveCursor = true);
    /// Writes up to `count` bytes over the data from `position` on, never past its end, as one
    /// undoable replacement of equal size; selects the bytes written. Returns how many were written.
    qint64 OverwriteBuffer(
        const void* buffer, qint64 count, qint64 position, const QString& description = {}, bool moveCursor = true);
    void DeleteSelection(const QString& description = {});
    /// Removes one unit before the cursor (`backwards`) or at it.
    void InternalErase(bool backwards, const QString& description = {});
    /// Inserts a zero nibble; the data grows by one byte. False for a position outside the data.
    bool InsertNibble(qint64 position, bool highNibble, const QString& description = {});
    /// Removes a nibble; the data keeps its size and ends in a zero nibble.
    bool DeleteNibble(qint64 position, bool highNibble, const QString& description = {});
    void ConvertRange(qint64 from, qint64 to, TMPHTranslationKind target, TMPHTranslationKind source,
        const QString& description = {});
    void SetDataSize(qint64 size);

public: // selection and cursor
    void SetSelStart(qint64 position);
    void SetSelEnd(qint64 position);
    void SetSelCount(qint64 count);
    qint64 GetSelStart() const;
    qint64 GetSelEnd() const;
    qint64 GetSelCount() const;
    /// Lowest and highest selected positions; -1 without a selection.
    qint64 SelectionLow() const { return m_selLow; }
    qint64 SelectionHigh() const { return m_selHigh; }
    qint64 SelectionAnchor() const { return m_selAnchor; }
    bool HasSelection() const { return m_selAnchor != -1; }
    bool IsSelected(qint64 position) const { return HasSelection() && position >= m_selLow && position <= m_selHigh; }
    void SelectAll();
    void ResetSelection();
    /// Moves the cursor; origin 0 = from the start, 1 = from the cursor, 2 = from the end. Returns
    /// the new position, -1 on empty data.
    qint64 Seek(qint64 offset, int origin);
    qint64 SeekToEOF();

    TMPHGridCell GetCursorCell() const { return m_cursor; }
    /// Moves the cursor to a grid cell (clamped into the data); `selecting` extends the selection.
    void SetCursorCell(TMPHGridCell cell, bool selecting = false);
    qint64 GetCursorPos() const { return GetPosAtCursor(m_cursor); }
    bool GetInCharField() const { return IsCharColumn(m_cursor.col); }
    /// True when the cursor is on the second column of a byte in the hexadecimal field.
    bool IsCursorOnSecondColumn() const;

public: // mouse
    /// A left button press on a data cell: moves the cursor there and starts a selection drag;
    /// with `shift` extends the selection instead. A press inside the selection keeps it.
    void MouseDown(TMPHGridCell cell, bool shift);
    /// The mouse moved to `cell` with the button held: extends the selection in whole units.
    void MouseMove(TMPHGridCell cell);
    /// The button was released over `cell`; a press inside the selection released without moving
    /// clears the selection.
    void MouseUp(TMPHGridCell cell);
    /// True between MouseDown and MouseUp (or the loss of the focus).
    bool IsMouseSelecting() const { return m_mouseSelecting; }
    /// True while the button that was pressed inside the selection is held: a drag of the
    /// selected data may begin.
    bool IsMouseDownInSelection() const { return m_mouseSelecting && m_mouseDownInSelection; }
    /// Ends a selection drag without a release, as losing the focus or dragging the data does.
    void EndMouseSelection()
    {
        m_mouseSelecting = false;
        m_mouseDownInSelection = false;
    }

public: // grid geometry
    int ColCount() const;
    int RowCount() const;
    int HexFirstColumn() const { return 2; }
    int CharFirstColumn() const { return 2 * m_bytesPerRow + 3; }
    bool IsCharColumn(int col) const { return col >= CharFirstColumn(); }
    qint64 GetPosAtCursor(TMPHGridCell cell) const;
    TMPHGridCell GetCursorAtPos(qint64 position, bool inCharField) const;
    /// The highest position the cursor may stand on: the last byte, one past it in insert mode.
    qint64 MaxCursorPos() const;
    /// Where the user is, as the status bar shows it: the cursor offset, the selection length when
    /// there is one, and "INS" or "OVR".
    QString GetPositionText();
    /// First data row shown (0 = the data row of position 0) and the number of rows in view.
    qint64 GetTopRow() const { return m_topRow; }
    void SetTopRow(qint64 row);
    int GetVisibleRowCount() const { return m_visibleRows; }
    void SetVisibleRowCount(int rows);

public: // bookmarks
    TMPHBookmark GetBookmark(int index) const;
    void SetBookmark(int index, const TMPHBookmark& bookmark);
    /// Sets a bookmark; setting it to the value it has clears it.
    void SetBookmarkVals(int index, qint64 position, bool inCharField);
    void GotoBookmark(int index);
    /// Moves bookmarks at or after `from` by `delta` and clears those beyond the data.
    void AdjustBookmarks(qint64 from, qint64 delta);
    const TMPHBookmarks& Bookmarks() const { return m_bookmarks; }

public: // undo
    /// Asks CanCreateUndo, then records the change (unless an undo update is open) and sets the
    /// modified flag; raises "Cannot update undo storage" when the change is not permitted.
    void CreateUndo(TMPHUndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description);
    virtual bool CanCreateUndo(TMPHUndoFlag kind, qint64 count, qint64 replCount);
    bool Undo();
    bool Redo();
    bool GetCanUndo() const;
    bool GetCanRedo() const;
    QString GetUndoDescription() const;
    void ResetUndo();
    /// Combines the newest `count` records into one undo step.
    void CombineUndo(int count, const QString& description = {});
    /// Records a cursor or selection state as its own undo step.
    void AddSelectionUndo(qint64 position, qint64 count);
    virtual int UndoBeginUpdate();
    virtual int UndoEndUpdate();
    const TMPHUndoStorage& UndoStorage() const { return *m_undo; }

public: // keys
    /// A key press as the window delivers it; returns true when the key was used.
    virtual bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
    /// A typed character (after the key press); returns true when it changed the data.
    bool KeyPress(QChar key);

public: // modes and settings
    bool GetReadOnlyView() const { return m_readOnlyView; }
    void SetReadOnlyView(bool readOnly);
    /// Insert mode as in force: only when size changes are allowed and the view is editable.
    bool GetInsertMode() const { return m_insertMode; }
    void SetInsertMode(bool insertMode);
    bool GetAllowInsertMode() const { return m_allowInsertMode; }
    void SetAllowInsertMode(bool allow);
    bool GetNoSizeChange() const { return m_noSizeChange; }
    void SetNoSizeChange(bool fixed);
    int GetBytesPerUnit() const { return m_bytesPerUnit; }
    void SetBytesPerUnit(int bytes);
    bool GetUnicodeChars() const { return m_unicodeChars; }
    void SetUnicodeChars(bool unicode);
    bool GetUnicodeBigEndian() const { return m_unicodeBigEndian; }
    void SetUnicodeBigEndian(bool bigEndian);
    bool GetSwapNibbles() const { return m_swapNibbles; }
    void SetSwapNibbles(bool swap);
    TMPHTranslationKind GetTranslation() const { return m_translation; }
    void SetTranslation(TMPHTranslationKind kind);
    qint64 GetMaxUndo() const { return m_maxUndo; }
    void SetMaxUndo(qint64 bytes) { m_maxUndo = bytes; }
    bool IsMaskedChar(int code) const { return code >= 0 && code < 256 && m_maskedChars.test(code); }
    void SetMaskedChars(const std::bitset<256>& chars) { m_maskedChars = chars; }
    std::bitset<256> GetMaskedChars() const { return m_maskedChars; }
    QChar GetMaskChar() const { return m_maskChar; }
    void SetMaskChar(QChar maskChar);
    quint8 GetSetDataSizeFillByte() const { return m_fillByte; }
    void SetSetDataSizeFillByte(quint8 fill) { m_fillByte = fill; }
    int GetBytesPerRow() const { return m_bytesPerRow; }
    void SetBytesPerRow(int bytes);
    int GetBytesPerColumn() const { return m_bytesPerColumn; }
    void SetBytesPerColumn(int bytes);
    const TMPHColors& GetColors() const { return m_colors; }
    void SetColors(const TMPHColors& colors);

public: // display
    QString GetOffsetFormat() const { return m_offsetFormatText; }
    /// Parses and applies an offset format; on an error the previous format stays in force and
    /// the error is passed on. An empty text switches the format off.
    void SetOffsetFormat(const QString& format);
    /// The parsed offset format in force.
    const OffsetFormat& OffsetFormatRecord() const { return m_offsetFormat; }
    /// Parses `format` into the format in force; raises on an error and then changes nothing.
    void GenerateOffsetFormat(const QString& format);
    /// The offset text of a position: from OnGetOffsetText, else from the offset format.
    virtual QString GetOffsetString(qint64 position);
    /// GetOffsetString when an offset format is set, else plain hexadecimal.
    virtual QString GetAnyOffsetString(qint64 position);
    /// Recomputes the width of the offset column from the largest row start.
    void SetOffsetDisplayWidth();
    /// Width of the offset column in characters: the largest offset text plus one.
    int GetOffsetDisplayWidth() const { return m_offsetDisplayWidth; }

    bool GetHexLowerCase() const { return m_hexLowerCase; }
    void SetHexLowerCase(bool lowerCase);
    bool GetShowRuler() const { return m_showRuler; }
    void SetShowRuler(bool show);
    int GetRulerBytesPerUnit() const { return m_rulerBytesPerUnit; }
    /// -1 (follow BytesPerUnit), 1, 2, 4 or 8.
    void SetRulerBytesPerUnit(int bytes);
    /// The ruler's bytes per unit in force.
    int RulerUnit() const { return m_rulerBytesPerUnit == -1 ? m_bytesPerUnit : m_rulerBytesPerUnit; }
    int GetRulerNumberBase() const { return m_rulerNumberBase; }
    /// 2 to 16; other values become 16.
    void SetRulerNumberBase(int base);
    /// The ruler text over the hexadecimal field, one character per nibble column.
    const QString& RulerString() const { return m_ruler.hex; }
    /// The ruler text over the character field, one character per character column.
    const QString& RulerCharString() const { return m_ruler.chars; }
    int GetBytesPerBlock() const { return m_bytesPerBlock; }
    void SetBytesPerBlock(int bytes);
    bool GetSeparateBlocksInCharField() const { return m_separateBlocksInCharField; }
    void SetSeparateBlocksInCharField(bool separate);
    int GetGutterWidth() const { return m_gutterWidth; }
    /// Fixed width of the offset column in pixels; -1 computes it from the offsets.
    void SetGutterWidth(int width);
    TMPHCaretKind GetCaretKind() const { return m_caretKind; }
    void SetCaretKind(TMPHCaretKind kind);
    /// The caret shape in force (ckAuto resolved).
    TMPHCaretKind EffectiveCaretKind() const;
    bool GetFocusFrame() const { return m_focusFrame; }
    void SetFocusFrame(bool focusFrame);
    bool GetDrawGridLines() const { return m_drawGridLines; }
    void SetDrawGridLines(bool draw);
    bool GetHideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool hide);
    bool GetGraySelectionIfNotFocused() const { return m_graySelectionIfNotFocused; }
    void SetGraySelectionIfNotFocused(bool gray);
    bool GetDrawGutter3D() const { return m_drawGutter3D; }
    void SetDrawGutter3D(bool draw);
    bool GetShowPositionIfNotFocused() const { return m_showPositionIfNotFocused; }
    void SetShowPositionIfNotFocused(bool show);
    bool GetAutoBytesPerRow() const { return m_autoBytesPerRow; }
    void SetAutoBytesPerRow(bool automatic);
    /// With AutoBytesPerRow: sets the bytes per row that fit a client area of that width.
    void ApplyAutoBytesPerRow(int clientWidth, int charWidth);
    /// The bytes per row that fit a client area `clientWidth` pixels wide (AutoBytesPerRow).
    int BytesPerRowForWidth(int clientWidth, int charWidth) const;
    /// Width in pixels of a grid column for a font whose "w" is `charWidth` pixels wide.
    int GetColWidth(int col, int charWidth) const;

Q_SIGNALS:
    /// The data changed (the same moment as OnChange).
    void changed();
    /// Anything shown changed: data, cursor, selection, marks, bookmarks or modes.
    void invalidated();

protected:
    void SelectionChanged() override;
    void Changed() override;
    void BookmarkChanged() override;
    /// Asks for a repaint.
    void Repaint();
    void SetModifiedFlag(bool modified) { m_modified = modified; }
    bool GetModifiedFlag() const { return m_modified; }
    bool IsFileSizeFixed() const { return m_noSizeChange && !m_fixedSizeOverride; }
    TMPHUndoStorage& MutableUndoStorage() { return *m_undo; }
    bool CanInsert() const { return !IsFileSizeFixed() && m_allowInsertMode && !m_readOnlyView; }

private:
    /// Selects the count bytes a buffer change put at position, moves the cursor to their last
    /// byte when asked, and notifies the change.
    void SelectChangedBytes(qint64 position, qint64 count, bool moveCursor);
    // Data changes without undo: the primitives of editing, undo and redo.
    void InternalInsert(qint64 position, const void* buffer, qint64 count) override;
    void InternalDelete(qint64 position, qint64 count) override;
    void InternalReplaceAll(const void* buffer, qint64 count) override;
    void InternalInsertNibble(qint64 position, bool highNibble) override;
    void InternalDeleteNibble(qint64 position, bool highNibble) override;
    void InternalSetInsertMode(bool insertMode);

    // The rest of UndoTarget.
    const TMPHMemoryStream& UndoData() const override { return m_data; }
    bool ChangedMark(qint64 position) const override;
    Modes UndoModes() const override;
    Place UndoPlace() const override;
    const TMPHBookmarks& UndoBookmarks() const override { return m_bookmarks; }
    qint64 UndoLimit() const override { return m_maxUndo; }
    void WriteUndoBytes(qint64 position, const void* source, qint64 count) override;
    void SetChangedMark(qint64 position, bool changed) override;
    void TruncateChangedMarks(qint64 position) override;
    void RestoreModes(const Modes& modes) override;
    void RestorePlace(const Place& place) override;
    void RestoreBookmarks(const TMPHBookmarks& bookmarks) override;

    void MoveCursor(qint64 position, bool inCharField, bool secondColumn = false);
    void ClampCursor();
    void SetSelection(qint64 anchor, qint64 other);
    void ClearSelectionState();
    void SelectUnits(qint64 from, qint64 to);
    void EnsureCursorVisible();
    void ApplyCursorMove(TMPHGridCell cell, bool selecting);
    void CheckBookmarkIndex(int index) const;
    void ShiftBookmarks(qint64 from, qint64 delta) override;
    void ClearBookmarksBeyondData() override;
    void PostSelectionChanged();
    /// Brings the derived display state up to date: ruler strings, the offset unit that follows
    /// the ruler, the offset width. Cheap; runs before every repaint.
    void UpdateDisplayState();
    void InternalSetBytesPerRow(int bytes);
    int ColWidthFor(int col, int bytesPerRow, int charWidth) const;
    /// Re-parses the offset format after a setting it depends on changed; on an error `restore`
    /// puts the setting back and the error is passed on.
    void RegenerateOffsetFormat(const std::function<void()>& restore);

    // Key handling parts.
    bool NavigationKey(int key, Qt::KeyboardModifiers modifiers);
    /// Backspace in insert mode with the caret on a byte's second column (a half-typed byte):
    /// removes the unit under the caret.
    void EraseHalfTypedUnit();
    void MoveRight(bool selecting);
    void MoveLeft(bool selecting);
    bool TypeHexDigit(QChar key);
    bool TypeCharacter(QChar key);

    TMPHMemoryStream m_data;
    MPHBitArray m_changedMarks;
    std::unique_ptr<TMPHUndoStorage> m_undo;
    bool m_modified = false;
    QString m_fileName;

    TMPHGridCell m_cursor;
    qint64 m_selAnchor = -1;
    qint64 m_selLow = -1;
    qint64 m_selHigh = -1;
    qint64 m_selBegin = -1; // where a Shift or mouse selection began
    bool m_mouseSelecting = false;
    bool m_mouseDownInSelection = false; // the press landed inside the selection
    TMPHGridCell m_mouseDownCell;
    TMPHGridCell m_mouseLastCell;
    int m_selectionChangedCount = 0;
    qint64 m_topRow = 0;
    int m_visibleRows = 16;

    TMPHBookmarks m_bookmarks;

    bool m_readOnlyView = false;
    bool m_insertMode = false;
    bool m_allowInsertMode = true;
    bool m_noSizeChange = false;
    bool m_fixedSizeOverride = false;
    int m_bytesPerUnit = 1;
    bool m_unicodeChars = false;
    bool m_unicodeBigEndian = false;
    bool m_swapNibbles = false;
    TMPHTranslationKind m_translation = tkAsIs;
    qint64 m_maxUndo = MPH_DEFAULT_MAX_UNDO;
    std::bitset<256> m_maskedChars {0xFFFFFFFFULL}; // codes 0 to 31
    QChar m_maskChar = QLatin1Char('.');
    quint8 m_fillByte = 0;
    int m_bytesPerRow = 16;
    int m_bytesPerColumn = 2;
    TMPHColors m_colors;

    QString m_offsetFormatText = QString::fromLatin1(MPH_DEFAULT_OFFSET_FORMAT);
    OffsetFormat m_offsetFormat;
    bool m_inGetOffsetText = false;
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
    TMPHCaretKind m_caretKind = ckAuto;
    bool m_focusFrame = true;
    bool m_drawGridLines = false;
    bool m_hideSelection = false;
    bool m_graySelectionIfNotFocused = false;
    bool m_drawGutter3D = true;
    bool m_showPositionIfNotFocused = false;
    bool m_autoBytesPerRow = false;
};

} // namespace kestrum
