#include "hexview/HexEditor.h"

#include "hexview/Translation.h"
#include "hexview/UndoStorage.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <cstring>

namespace kestrum {

namespace {

void appendU32(QByteArray& out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

quint32 readU32(const QByteArray& in, qsizetype at)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(static_cast<quint8>(in.at(at + i))) << (8 * i);
    return value;
}

// Bytes as text through the translation and the system code page, as the character field shows them.
QString bytesToText(const char* bytes, qint64 count, TranslationKind translation)
{
    QString text(count, Qt::Uninitialized);
    QChar* out = text.data();
    // A block at a time, so that the translated codes never need memory of the data's size.
    char codes[4096];
    for (qint64 done = 0; done < count;) {
        const qint64 n = std::min<qint64>(sizeof codes, count - done);
        translateBufferToAnsi(translation, bytes + done, codes, n);
        for (qint64 i = 0; i < n; ++i)
            *out++ = QChar(systemCodeToChar(static_cast<quint8>(codes[i])));
        done += n;
    }
    return text;
}

// The reverse of bytesToText; a character the system code page lacks becomes "?".
QByteArray textToBytes(const QString& text, TranslationKind translation)
{
    QByteArray codes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int code = charToSystemCode(text.at(i).unicode());
        codes[i] = static_cast<char>(code < 0 ? '?' : code);
    }
    QByteArray bytes(codes.size(), Qt::Uninitialized);
    translateBufferFromAnsi(translation, codes.constData(), bytes.data(), codes.size());
    return bytes;
}

// The selected bytes on the clipboard: kept once, and turned into a format only when a reader asks
// for it, so that a copy costs the selection once whatever its size.
class SelectionMimeData : public QMimeData
{
public:
    SelectionMimeData(QByteArray bytes, bool asHexText, bool swapNibbles, TranslationKind translation)
        : m_bytes(std::move(bytes))
        , m_asHexText(asHexText)
        , m_swapNibbles(swapNibbles)
        , m_translation(translation)
    {
    }

    const QByteArray& bytes() const { return m_bytes; }

    QStringList formats() const override
    {
        return {QString::fromLatin1(OwnClipboardMime), QString::fromLatin1(RegEditClipboardMime),
            QStringLiteral("text/plain")};
    }

    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        const qint64 count = m_bytes.size();
        if (mimeType == QLatin1String(OwnClipboardMime)) {
            // The magic, the version and the length, then the bytes.
            QByteArray own;
            own.reserve(12 + count);
            own.append(ClipboardMagic, 4);
            appendU32(own, ClipboardVersion);
            appendU32(own, static_cast<quint32>(count));
            own.append(m_bytes);
            return own;
        }
        if (mimeType == QLatin1String(RegEditClipboardMime)) {
            QByteArray regedit;
            regedit.reserve(4 + count);
            appendU32(regedit, static_cast<quint32>(count));
            regedit.append(m_bytes);
            return regedit;
        }
        if (mimeType == QLatin1String("text/plain")) {
            // Made once per copy, at the first read of either kind, and shared with every reader.
            if (type.id() == QMetaType::QByteArray) {
                if (m_textBytes.isNull())
                    m_textBytes = m_asHexText ? hexDigitBytesOf(m_bytes.constData(), m_bytes.size(), m_swapNibbles)
                                              : text().toUtf8();
                return m_textBytes;
            }
            return text();
        }
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    const QString& text() const
    {
        if (m_text.isNull()) {
            if (m_asHexText) {
                m_text = hexDigitsOf(m_bytes.constData(), m_bytes.size(), m_swapNibbles);
            } else {
                // The text ends at the first zero byte.
                const char* bytes = m_bytes.constData();
                const void* zero = std::memchr(bytes, 0, static_cast<size_t>(m_bytes.size()));
                m_text
                    = bytesToText(bytes, zero ? static_cast<const char*>(zero) - bytes : m_bytes.size(), m_translation);
            }
        }
        return m_text;
    }

    QByteArray m_bytes;
    mutable QString m_text; // the text format as text, made at its first read
    mutable QByteArray m_textBytes; // the same as bytes (Latin-1 digits or UTF-8)
    bool m_asHexText;
    bool m_swapNibbles;
    TranslationKind m_translation;
};

} // namespace

HexEditor::HexEditor(QObject* parent)
    : HexEditorCore(parent)
{
}

HexEditor::~HexEditor() = default;

void HexEditor::writeBuffer(const void* source, qint64 position, qint64 count)
{
    HexEditorCore::writeBuffer(source, position, count);
    setModifiedFlag(true);
    if (undoStorage().updateCount() > 0)
        m_changedInRange = true;
}

bool HexEditor::canCreateUndo(UndoFlag kind, qint64 count, qint64 replCount)
{
    const bool permitted = HexEditorCore::canCreateUndo(kind, count, replCount);
    if (permitted && undoStorage().updateCount() > 0)
        m_changedInRange = true;
    return permitted;
}

void HexEditor::createRangeUndo(qint64 position, qint64 count, const QString& description)
{
    const bool modified = modifiedFlag();
    if (count <= 0)
        createUndo(UndoFlag::KindAllData, 0, dataSize(), 0, description);
    else
        createUndo(UndoFlag::KindReplace, position, count, count, description);
    setModifiedFlag(modified);
}

int HexEditor::undoBeginUpdate(const QString& description)
{
    if (undoStorage().updateCount() == 0) {
        const int before = undoStorage().count();
        createRangeUndo(0, 0, description);
        m_rangeRecorded = undoStorage().count() > before;
        m_changedInRange = false;
    }
    return HexEditorCore::undoBeginUpdate();
}

int HexEditor::undoEndUpdate()
{
    const int open = HexEditorCore::undoEndUpdate();
    if (open == 0) {
        if (m_rangeRecorded && !m_changedInRange)
            mutableUndoStorage().removeLastUndo();
        m_rangeRecorded = false;
        m_changedInRange = false;
    }
    return open;
}

std::unique_ptr<QMimeData> HexEditor::createClipboardData() const
{
    if (!hasSelection())
        return nullptr;
    const qint64 count = selCount();
    QByteArray bytes(dataStorage().address(selectionLow(), count), count);
    return std::make_unique<SelectionMimeData>(std::move(bytes), m_clipboardAsHexText, swapNibbles(), translation());
}

bool HexEditor::bytesFromMimeData(const QMimeData& data, bool hexText, QByteArray& bytes, TranslationKind translation)
{
    if (const auto* selection = dynamic_cast<const SelectionMimeData*>(&data)) {
        bytes = selection->bytes(); // this program's own copy: shared, not converted
        return true;
    }
    const QString ownFormat = QString::fromLatin1(OwnClipboardMime);
    if (data.hasFormat(ownFormat)) {
        const QByteArray own = data.data(ownFormat);
        if (own.size() >= 12 && std::memcmp(own.constData(), ClipboardMagic, 4) == 0) {
            const qint64 length = readU32(own, 8);
            if (length <= own.size() - 12) {
                bytes = own.mid(12, length);
                return true;
            }
        }
    }
    const QString regeditFormat = QString::fromLatin1(RegEditClipboardMime);
    if (data.hasFormat(regeditFormat)) {
        const QByteArray regedit = data.data(regeditFormat);
        if (regedit.size() >= 4) {
            const qint64 length = readU32(regedit, 0);
            if (length <= regedit.size() - 4) {
                bytes = regedit.mid(4, length);
                return true;
            }
        }
    }
    if (data.hasText()) {
        const QString text = data.text();
        if (hexText) {
            const QByteArray digits = text.simplified().remove(QLatin1Char(' ')).toLatin1();
            const QByteArray decoded = QByteArray::fromHex(digits);
            if (!digits.isEmpty() && decoded.size() * 2 == digits.size()
                && decoded.toHex().compare(digits, Qt::CaseInsensitive) == 0) {
                bytes = decoded;
                return true;
            }
        }
        bytes = textToBytes(text, translation);
        return !bytes.isEmpty();
    }
    return false;
}

bool HexEditor::pasteFromMimeData(const QMimeData& data)
{
    if (isReadOnlyView())
        return false;
    QByteArray bytes;
    if (!bytesFromMimeData(data, m_clipboardAsHexText, bytes, translation()) || bytes.isEmpty())
        return false;
    static const QString description = QStringLiteral("Paste from clipboard");
    if (!insertMode()) {
        // Outside insert mode (always with a fixed size) the size never changes: the bytes are
        // written over the data from the selection or the cursor on, as many as it brings.
        const qint64 start = hasSelection() ? selectionLow() : cursorPosition();
        return overwriteBuffer(bytes.constData(), bytes.size(), start, description, true) > 0;
    }
    replaceSelection(bytes.constData(), bytes.size(), description, true);
    return true;
}

bool HexEditor::namesLocalFile(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

bool HexEditor::bytesFromDroppedFile(const QMimeData& data, qint64 limit, bool cut, QByteArray& bytes)
{
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        // Only a regular file: a FIFO or a device could block the window or never end.
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (!info.isFile() || limit <= 0 || (info.size() > limit && !cut))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        bytes = file.read(std::min(info.size(), limit));
        return !bytes.isEmpty();
    }
    return false;
}

bool HexEditor::dropMimeData(const QMimeData& data, qint64 position, bool moveSelection)
{
    if (isReadOnlyView())
        return false;
    position = std::clamp<qint64>(position, 0, std::max<qint64>(maxCursorPos(), 0));
    QByteArray bytes;
    if (namesLocalFile(data)) {
        // Outside insert mode only what fits behind the drop position is wanted.
        const bool insert = insertMode();
        const qint64 limit = insert ? MaxDroppedFile : dataSize() - position;
        if (!bytesFromDroppedFile(data, limit, !insert, bytes))
            return false;
    } else if (!bytesFromMimeData(data, m_clipboardAsHexText, bytes, translation()) || bytes.isEmpty()) {
        return false;
    }
    return dropBytes(bytes, position, moveSelection);
}

bool HexEditor::dropBytes(const QByteArray& bytes, qint64 position, bool moveSelection)
{
    if (isReadOnlyView() || bytes.isEmpty())
        return false;
    static const QString dropped = QStringLiteral("Data dropped");
    position = std::clamp<qint64>(position, 0, std::max<qint64>(maxCursorPos(), 0));
    if (!insertMode())
        return overwriteBuffer(bytes.constData(), bytes.size(), position, dropped, true) > 0;
    if (!moveSelection || !hasSelection()) {
        insertBuffer(bytes.constData(), bytes.size(), position, dropped, true);
        return true;
    }
    // The selection moves: the stretch from its old to its new place is rearranged in one
    // replacement of equal size, so that one undo step puts everything back.
    const qint64 low = selectionLow();
    const qint64 high = selectionHigh();
    if (position >= low && position <= high + 1)
        return false; // dropped onto itself
    const QByteArray selected(dataStorage().address(low, high - low + 1), high - low + 1);
    const qint64 start = std::min(position, low);
    const qint64 end = std::max(position, high + 1); // one past the stretch
    QByteArray stretch;
    stretch.reserve(end - start);
    if (position < low) {
        stretch.append(selected);
        stretch.append(dataStorage().address(position, low - position), low - position);
    } else {
        stretch.append(dataStorage().address(high + 1, position - high - 1), position - high - 1);
        stretch.append(selected);
    }
    overwriteBuffer(stretch.constData(), stretch.size(), start, QStringLiteral("Data moved"), false);
    const qint64 newLow = position < low ? position : position - selected.size();
    setSelStart(newLow);
    setSelEnd(newLow + selected.size() - 1);
    return true;
}

bool HexEditor::copyToClipboard()
{
    if (!m_clipboard)
        return false;
    std::unique_ptr<QMimeData> data = createClipboardData();
    if (!data)
        return false;
    m_clipboard->setMimeData(std::move(data));
    return true;
}

bool HexEditor::cutToClipboard()
{
    if (!hasSelection() || isReadOnlyView() || isFileSizeFixed())
        return false;
    if (!copyToClipboard())
        return false;
    deleteSelection(QStringLiteral("Cut to clipboard"));
    return true;
}

bool HexEditor::pasteFromClipboard()
{
    if (!m_clipboard)
        return false;
    const QMimeData* data = m_clipboard->mimeData();
    return data && pasteFromMimeData(*data);
}

bool HexEditor::keyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrlOnly
        = (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) == Qt::ControlModifier;
    if (ctrlOnly) {
        switch (key) {
        case Qt::Key_C:
            copyToClipboard();
            return true;
        case Qt::Key_X:
            cutToClipboard();
            return true;
        case Qt::Key_V:
            pasteFromClipboard();
            return true;
        default:
            break;
        }
    }
    return HexEditorCore::keyDown(key, modifiers);
}

} // namespace kestrum
