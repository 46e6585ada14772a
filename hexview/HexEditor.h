#pragma once

#include "hexview/HexEditorCore.h"

#include <QByteArray>

#include <memory>

class QMimeData;

namespace kestrum {

/// Where copy, cut and paste put and take their data. The widget library connects it to the
/// system clipboard; tests use a plain object.
class EditorClipboard
{
public:
    virtual ~EditorClipboard() = default;
    virtual void setMimeData(std::unique_ptr<QMimeData> data) = 0;
    /// The data on the clipboard, or null.
    virtual const QMimeData* mimeData() const = 0;
};

/// MIME type of the editor's own clipboard format. On Windows Qt maps this name to the registered
/// clipboard format of that name; elsewhere it is an ordinary custom type.
inline constexpr const char* OwnClipboardMime
    = "application/x-qt-windows-mime;value=\"TMPHexeditorEx Clipboard Format\"";
/// MIME type of the registry editor's hexadecimal data format.
inline constexpr const char* RegEditClipboardMime = "application/x-qt-windows-mime;value=\"RegEdit_HexData\"";
/// First four bytes of the own clipboard format, then the version 0x00010001 and the data length.
inline constexpr char ClipboardMagic[4] = {0x4D, 0x50, 0x54, 0x48};
inline constexpr quint32 ClipboardVersion = 0x00010001;

/// The class of the program's hex view: the control with the clipboard and undo ranges.
class HexEditor : public HexEditorCore
{
    Q_OBJECT

public:
    explicit HexEditor(QObject* parent = nullptr);
    ~HexEditor() override;

    /// Also sets the modified flag and, inside an undo update, notes that a change happened.
    void writeBuffer(const void* source, qint64 position, qint64 count) override;
    bool canCreateUndo(UndoFlag kind, qint64 count, qint64 replCount) override;

    using HexEditorCore::undoBeginUpdate;
    /// Opens an undo range: when no update is open yet, the whole data is recorded first, so that
    /// everything done until the matching undoEndUpdate is undone in one step.
    int undoBeginUpdate(const QString& description);
    /// Closes the range; a range in which nothing changed leaves no record behind.
    int undoEndUpdate() override;
    /// Records the whole data (count 0) or a range of it, keeping the modified flag as it was.
    void createRangeUndo(qint64 position, qint64 count, const QString& description);

public: // clipboard
    void setClipboard(EditorClipboard* clipboard) { m_clipboard = clipboard; }
    bool clipboardAsHexText() const { return m_clipboardAsHexText; }
    void setClipboardAsHexText(bool asHex) { m_clipboardAsHexText = asHex; }
    /// The selected bytes in the three clipboard formats; null without a selection.
    std::unique_ptr<QMimeData> createClipboardData() const;
    /// The bytes a clipboard object carries, by format preference; false when none is usable.
    /// Plain text becomes bytes through the system code page and the translation.
    static bool bytesFromMimeData(
        const QMimeData& data, bool hexText, QByteArray& bytes, TranslationKind translation = TranslationKind::AsIs);
    /// In insert mode inserts the bytes of `data` or replaces the selection with them; otherwise
    /// writes them over the data from the selection or the cursor on (the size never changes).
    /// False when it carries nothing usable.
    bool pasteFromMimeData(const QMimeData& data);
    /// True when `data` names a local file.
    static bool namesLocalFile(const QMimeData& data);
    /// The content of the first local file that `data` names, at most `limit` bytes of it; false
    /// when it names none, or one that is not a regular file, or (unless `cut`) one larger than
    /// `limit`.
    static bool bytesFromDroppedFile(const QMimeData& data, qint64 limit, bool cut, QByteArray& bytes);
    /// Data dropped at a position: the content of a dropped file, or the bytes of the other
    /// formats. See dropBytes.
    bool dropMimeData(const QMimeData& data, qint64 position, bool moveSelection);
    /// Bytes dropped at a position, as paste puts them: inserted there in insert mode ("Data
    /// dropped"), else written over the data from there. With `moveSelection` the bytes are this
    /// control's selection dragged here; in insert mode it leaves its old place ("Data moved").
    bool dropBytes(const QByteArray& bytes, qint64 position, bool moveSelection);
    bool copyToClipboard();
    bool cutToClipboard();
    bool pasteFromClipboard();

    bool keyDown(int key, Qt::KeyboardModifiers modifiers) override;

private:
    EditorClipboard* m_clipboard = nullptr;
    bool m_clipboardAsHexText = false;
    bool m_changedInRange = false;
    bool m_rangeRecorded = false;
};

} // namespace kestrum
