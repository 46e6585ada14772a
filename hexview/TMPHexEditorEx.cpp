#include "hexview/TMPHexEditorEx.h"

#include "hexview/MPHTranslation.h"
#include "hexview/TMPHUndoStorage.h"

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
QString bytesToText(const char* bytes, qint64 count, TMPHTranslationKind translation)
{
    QByteArray codes(count, Qt::Uninitialized);
    TranslateBufferToAnsi(translation, bytes, codes.data(), count);
    QString text(count, Qt::Uninitialized);
    for (qint64 i = 0; i < count; ++i)
        text[i] = QChar(SystemCodeToChar(static_cast<quint8>(codes[i])));
    return text;
}

// The reverse of bytesToText; a character the system code page lacks becomes "?".
QByteArray textToBytes(const QString& text, TMPHTranslationKind translation)
{
    QByteArray codes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int code = CharToSystemCode(text.at(i).unicode());
        codes[i] = static_cast<char>(code < 0 ? '?' : code);
    }
    QByteArray bytes(codes.size(), Qt::Uninitialized);
    TranslateBufferFromAnsi(translation, codes.constData(), bytes.data(), codes.size());
    return bytes;
}

} // namespace

TMPHexEditorEx::TMPHexEditorEx(QObject* parent)
    : TCustomMPHexEditor(parent)
{
}

TMPHexEditorEx::~TMPHexEditorEx() = default;

void TMPHexEditorEx::WriteBuffer(const void* source, qint64 position, qint64 count)
{
    TCustomMPHexEditor::WriteBuffer(source, position, count);
    SetModifiedFlag(true);
    if (UndoStorage().UpdateCount() > 0)
        m_changedInRange = true;
}

bool TMPHexEditorEx::CanCreateUndo(TMPHUndoFlag kind, qint64 count, qint64 replCount)
{
    const bool permitted = TCustomMPHexEditor::CanCreateUndo(kind, count, replCount);
    if (permitted && UndoStorage().UpdateCount() > 0)
        m_changedInRange = true;
    return permitted;
}

void TMPHexEditorEx::CreateRangeUndo(qint64 position, qint64 count, const QString& description)
{
    const bool modified = GetModifiedFlag();
    if (count <= 0)
        CreateUndo(ufKindAllData, 0, GetDataSize(), 0, description);
    else
        CreateUndo(ufKindReplace, position, count, count, description);
    SetModifiedFlag(modified);
}

int TMPHexEditorEx::UndoBeginUpdate(const QString& description)
{
    if (UndoStorage().UpdateCount() == 0) {
        const int before = UndoStorage().Count();
        CreateRangeUndo(0, 0, description);
        m_rangeRecorded = UndoStorage().Count() > before;
        m_changedInRange = false;
    }
    return TCustomMPHexEditor::UndoBeginUpdate();
}

int TMPHexEditorEx::UndoEndUpdate()
{
    const int open = TCustomMPHexEditor::UndoEndUpdate();
    if (open == 0) {
        if (m_rangeRecorded && !m_changedInRange)
            MutableUndoStorage().RemoveLastUndo();
        m_rangeRecorded = false;
        m_changedInRange = false;
    }
    return open;
}

std::unique_ptr<QMimeData> TMPHexEditorEx::CreateClipboardData() const
{
    if (!HasSelection())
        return nullptr;
    const qint64 count = GetSelCount();
    const char* bytes = DataStorage().GetAddress(SelectionLow(), count);

    QByteArray own;
    own.reserve(12 + count);
    own.append(MPH_CLIPBOARD_MAGIC, 4);
    appendU32(own, MPH_CLIPBOARD_VERSION);
    appendU32(own, static_cast<quint32>(count));
    own.append(bytes, count);

    QByteArray regedit;
    regedit.reserve(4 + count);
    appendU32(regedit, static_cast<quint32>(count));
    regedit.append(bytes, count);

    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(MPH_MIME_OWN_FORMAT), own);
    data->setData(QString::fromLatin1(MPH_MIME_REGEDIT), regedit);
    if (m_clipboardAsHexText) {
        data->setText(DataStorage().GetAsHex(SelectionLow(), count, GetSwapNibbles()));
    } else {
        const char* zero = static_cast<const char*>(std::memchr(bytes, 0, static_cast<size_t>(count)));
        data->setText(bytesToText(bytes, zero ? zero - bytes : count, GetTranslation()));
    }
    return data;
}

bool TMPHexEditorEx::BytesFromMimeData(
    const QMimeData& data, bool hexText, QByteArray& bytes, TMPHTranslationKind translation)
{
    const QString ownFormat = QString::fromLatin1(MPH_MIME_OWN_FORMAT);
    if (data.hasFormat(ownFormat)) {
        const QByteArray own = data.data(ownFormat);
        if (own.size() >= 12 && std::memcmp(own.constData(), MPH_CLIPBOARD_MAGIC, 4) == 0) {
            const qint64 length = readU32(own, 8);
            if (length <= own.size() - 12) {
                bytes = own.mid(12, length);
                return true;
            }
        }
    }
    const QString regeditFormat = QString::fromLatin1(MPH_MIME_REGEDIT);
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

bool TMPHexEditorEx::PasteFromMimeData(const QMimeData& data)
{
    if (GetReadOnlyView())
        return false;
    QByteArray bytes;
    if (!BytesFromMimeData(data, m_clipboardAsHexText, bytes, GetTranslation()) || bytes.isEmpty())
        return false;
    static const QString description = QStringLiteral("Paste from clipboard");
    if (!GetInsertMode()) {
        // Outside insert mode (always with a fixed size) the size never changes: the bytes are
        // written over the data from the selection or the cursor on, as many as it brings.
        const qint64 start = HasSelection() ? SelectionLow() : GetCursorPos();
        return OverwriteBuffer(bytes.constData(), bytes.size(), start, description, true) > 0;
    }
    ReplaceSelection(bytes.constData(), bytes.size(), description, true);
    return true;
}

bool TMPHexEditorEx::NamesLocalFile(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

bool TMPHexEditorEx::BytesFromDroppedFile(const QMimeData& data, qint64 limit, bool cut, QByteArray& bytes)
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

bool TMPHexEditorEx::DropMimeData(const QMimeData& data, qint64 position, bool moveSelection)
{
    if (GetReadOnlyView())
        return false;
    position = std::clamp<qint64>(position, 0, std::max<qint64>(MaxCursorPos(), 0));
    QByteArray bytes;
    if (NamesLocalFile(data)) {
        // Outside insert mode only what fits behind the drop position is wanted.
        const bool insert = GetInsertMode();
        const qint64 limit = insert ? MPH_MAX_DROPPED_FILE : GetDataSize() - position;
        if (!BytesFromDroppedFile(data, limit, !insert, bytes))
            return false;
    } else if (!BytesFromMimeData(data, m_clipboardAsHexText, bytes, GetTranslation()) || bytes.isEmpty()) {
        return false;
    }
    return DropBytes(bytes, position, moveSelection);
}

bool TMPHexEditorEx::DropBytes(const QByteArray& bytes, qint64 position, bool moveSelection)
{
    if (GetReadOnlyView() || bytes.isEmpty())
        return false;
    static const QString dropped = QStringLiteral("Data dropped");
    position = std::clamp<qint64>(position, 0, std::max<qint64>(MaxCursorPos(), 0));
    if (!GetInsertMode())
        return OverwriteBuffer(bytes.constData(), bytes.size(), position, dropped, true) > 0;
    if (!moveSelection || !HasSelection()) {
        InsertBuffer(bytes.constData(), bytes.size(), position, dropped, true);
        return true;
    }
    // The selection moves: the stretch from its old to its new place is rearranged in one
    // replacement of equal size, so that one undo step puts everything back.
    const qint64 low = SelectionLow();
    const qint64 high = SelectionHigh();
    if (position >= low && position <= high + 1)
        return false; // dropped onto itself
    const QByteArray selected(DataStorage().GetAddress(low, high - low + 1), high - low + 1);
    const qint64 start = std::min(position, low);
    const qint64 end = std::max(position, high + 1); // one past the stretch
    QByteArray stretch;
    stretch.reserve(end - start);
    if (position < low) {
        stretch.append(selected);
        stretch.append(DataStorage().GetAddress(position, low - position), low - position);
    } else {
        stretch.append(DataStorage().GetAddress(high + 1, position - high - 1), position - high - 1);
        stretch.append(selected);
    }
    OverwriteBuffer(stretch.constData(), stretch.size(), start, QStringLiteral("Data moved"), false);
    const qint64 newLow = position < low ? position : position - selected.size();
    SetSelStart(newLow);
    SetSelEnd(newLow + selected.size() - 1);
    return true;
}

bool TMPHexEditorEx::CopyToClipboard()
{
    if (!m_clipboard)
        return false;
    std::unique_ptr<QMimeData> data = CreateClipboardData();
    if (!data)
        return false;
    m_clipboard->SetMimeData(std::move(data));
    return true;
}

bool TMPHexEditorEx::CutToClipboard()
{
    if (!HasSelection() || GetReadOnlyView() || IsFileSizeFixed())
        return false;
    if (!CopyToClipboard())
        return false;
    DeleteSelection(QStringLiteral("Cut to clipboard"));
    return true;
}

bool TMPHexEditorEx::PasteFromClipboard()
{
    if (!m_clipboard)
        return false;
    const QMimeData* data = m_clipboard->GetMimeData();
    return data && PasteFromMimeData(*data);
}

bool TMPHexEditorEx::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrlOnly
        = (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) == Qt::ControlModifier;
    if (ctrlOnly) {
        switch (key) {
        case Qt::Key_C:
            CopyToClipboard();
            return true;
        case Qt::Key_X:
            CutToClipboard();
            return true;
        case Qt::Key_V:
            PasteFromClipboard();
            return true;
        default:
            break;
        }
    }
    return TCustomMPHexEditor::KeyDown(key, modifiers);
}

} // namespace kestrum
