#pragma once

#include "hexview/HexEditor.h"
#include "hexview/HexEditorError.h"
#include "hexview/UndoStorage.h"

#include <QBuffer>
#include <QByteArray>
#include <QMimeData>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace kestrum::test {

/// Data that is neither all zero nor all 0xFF, so that a copy from the wrong place shows.
inline QByteArray patternBytes(int count, int seed = 0x31)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

inline void load(HexEditorCore& editor, const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    editor.loadFromStream(buffer);
}

inline QByteArray dataOf(const HexEditorCore& editor)
{
    QByteArray bytes(editor.dataSize(), Qt::Uninitialized);
    if (!bytes.isEmpty())
        editor.readBuffer(bytes.data(), 0, bytes.size());
    return bytes;
}

/// The fields of a stored undo record or of the redo record.
struct RecordView
{
    explicit RecordView(const QByteArray& bytes)
        : raw(bytes)
    {
    }

    template <typename T> T at(qsizetype offset) const
    {
        T value;
        std::memcpy(&value, raw.constData() + offset, sizeof(T));
        return value;
    }

    quint32 size() const { return at<quint32>(0); }
    quint32 flags() const { return at<quint32>(4); }
    qint32 cursorPos() const { return at<qint32>(8); }
    qint32 position() const { return at<qint32>(12); }
    qint32 count() const { return at<qint32>(16); }
    qint32 replCount() const { return at<qint32>(20); }
    TranslationKind translation() const { return static_cast<TranslationKind>(at<quint8>(24)); }
    qint32 bytesPerUnit() const { return at<qint32>(25); }
    QByteArray saved(qsizetype count) const { return raw.mid(29, count); }
    quint32 trailer() const { return at<quint32>(raw.size() - 4); }
    bool has(UndoFlag flag) const { return flags() & undoFlagBit(flag); }
    UndoFlag kind() const { return UndoStorage::kindOf(flags()); }

    QByteArray raw;
};

inline RecordView newestRecord(const HexEditorCore& editor)
{
    return RecordView(editor.undoStorage().newestRecord());
}

/// Catches an HexEditorError and returns its text; empty when nothing was raised.
template <typename F> QString raisedText(F&& action)
{
    try {
        action();
    } catch (const HexEditorError& error) {
        return error.message();
    }
    return {};
}

/// A clipboard that only holds what it was given.
class FakeClipboard : public EditorClipboard
{
public:
    void setMimeData(std::unique_ptr<QMimeData> data) override { m_data = std::move(data); }
    const QMimeData* mimeData() const override { return m_data.get(); }
    void put(std::unique_ptr<QMimeData> data) { m_data = std::move(data); }

private:
    std::unique_ptr<QMimeData> m_data;
};

/// An editor with data loaded, for the editing tests.
class EditorTest : public ::testing::Test
{
protected:
    void loadPattern(int count) { load(editor, patternBytes(count)); }

    HexEditor editor;
};

} // namespace kestrum::test
