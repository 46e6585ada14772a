#include "hexview/TMPHexEditorEx.h"

#include "hexview/TMPHUndoStorage.h"

#include <QMimeData>

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
        data->setText(QString::fromLatin1(bytes, zero ? zero - bytes : count));
    }
    return data;
}

bool TMPHexEditorEx::BytesFromMimeData(const QMimeData& data, bool hexText, QByteArray& bytes)
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
        bytes = text.toLatin1();
        return !bytes.isEmpty();
    }
    return false;
}

bool TMPHexEditorEx::PasteFromMimeData(const QMimeData& data)
{
    if (GetReadOnlyView())
        return false;
    QByteArray bytes;
    if (!BytesFromMimeData(data, m_clipboardAsHexText, bytes) || bytes.isEmpty())
        return false;
    static const QString description = QStringLiteral("Paste from clipboard");
    if (IsFileSizeFixed()) {
        // A fixed size admits no insertion: overwrite as many bytes as the clipboard brings.
        const qint64 start = HasSelection() ? SelectionLow() : GetCursorPos();
        const qint64 count = std::min<qint64>(bytes.size(), GetDataSize() - start);
        if (count <= 0)
            return false;
        SetSelStart(start);
        SetSelEnd(start + count - 1);
        ReplaceSelection(bytes.constData(), count, description, true);
        return true;
    }
    ReplaceSelection(bytes.constData(), bytes.size(), description, true);
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
