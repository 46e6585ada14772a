#include "HexEditorTestSupport.h"

#include <QSignalSpy>
#include <QTemporaryFile>

#include <vector>

namespace kestrum::test {

namespace {

/// A readable device that fails after a number of bytes.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(qint64 size, qint64 failAfter)
        : m_size(size)
        , m_failAfter(failAfter)
    {
        open(QIODevice::ReadOnly);
    }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (pos() >= m_failAfter)
            return -1;
        const qint64 n = std::min(maxSize, m_failAfter - pos());
        std::memset(data, 0xCC, static_cast<size_t>(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_size;
    qint64 m_failAfter;
};

struct ProgressCall
{
    TMPHProgressKind kind;
    QString name;
    int percent;
};

} // namespace

TEST(LoadFromStream, CopiesTheWholeStreamFromPositionZero)
{
    TMPHexEditorEx editor;
    QByteArray bytes = patternBytes(200'000);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(12345); // the load starts from the beginning anyway
    editor.LoadFromStream(buffer);
    EXPECT_EQ(editor.GetDataSize(), 200'000);
    EXPECT_EQ(dataOf(editor), bytes);
}

TEST(LoadFromStream, ReportsProgressInSlicesAtMostOncePerPercentWithTheFileName)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const QByteArray bytes = patternBytes(10 * 61440 + 5);
    file.write(bytes);
    file.seek(0);

    TMPHexEditorEx editor;
    std::vector<ProgressCall> calls;
    editor.OnProgress = [&](TCustomMPHexEditor&, TMPHProgressKind kind, const QString& name, quint8 percent, bool&) {
        calls.push_back({kind, name, percent});
    };
    editor.LoadFromStream(file);

    // 11 slices of 61,440 bytes, the percentage after each: 9, 19, ..., 99, 100.
    ASSERT_EQ(calls.size(), 11U);
    EXPECT_EQ(calls.front().percent, 9);
    EXPECT_EQ(calls.back().percent, 100);
    for (const ProgressCall& call : calls) {
        EXPECT_EQ(call.kind, pkLoad);
        EXPECT_EQ(call.name, file.fileName());
    }
    EXPECT_EQ(dataOf(editor), bytes);

    // A large stream reports every percent once at most.
    TMPHexEditorEx big;
    std::vector<int> percents;
    big.OnProgress = [&](TCustomMPHexEditor&, TMPHProgressKind, const QString&, quint8 percent, bool&) {
        percents.push_back(percent);
    };
    big.SetFileName(QStringLiteral("image.bin"));
    load(big, patternBytes(40 * 1024 * 1024));
    EXPECT_LE(percents.size(), 101U);
    EXPECT_GE(percents.size(), 99U);
    for (size_t i = 1; i < percents.size(); ++i)
        EXPECT_LT(percents[i - 1], percents[i]);
}

TEST(LoadFromStream, UsesTheEditorsFileNameForAStreamWithoutOne)
{
    TMPHexEditorEx editor;
    editor.SetFileName(QStringLiteral("flash.bin"));
    QString seen;
    editor.OnProgress = [&](TCustomMPHexEditor&, TMPHProgressKind, const QString& name, quint8, bool&) { seen = name; };
    load(editor, patternBytes(100));
    EXPECT_EQ(seen, QStringLiteral("flash.bin"));
}

TEST(LoadFromStream, ACancelledLoadRaisesAndLeavesTheControlEmpty)
{
    TMPHexEditorEx editor;
    load(editor, patternBytes(64));
    editor.IntChangeByte(editor.GetDataAt(0), 0xAB, 0);
    ASSERT_TRUE(editor.GetCanUndo());

    int calls = 0;
    editor.OnProgress
        = [&](TCustomMPHexEditor&, TMPHProgressKind, const QString&, quint8, bool& cancel) { cancel = ++calls == 3; };
    EXPECT_EQ(raisedText([&] { load(editor, patternBytes(10 * 61440)); }), QStringLiteral("Operation cancelled"));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(editor.GetDataSize(), 0);
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_FALSE(editor.HasChanged(0));
}

TEST(LoadFromStream, AReadErrorLeavesTheControlEmptyAndIsPassedOn)
{
    TMPHexEditorEx editor;
    load(editor, patternBytes(64));
    editor.IntChangeByte(editor.GetDataAt(1), 0xAB, 1);
    FailingDevice device(200'000, 100'000);
    EXPECT_THROW(editor.LoadFromStream(device), EMPHexEditor);
    EXPECT_EQ(editor.GetDataSize(), 0);
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_FALSE(editor.GetCanRedo());
}

TEST(LoadFromStream, ResetsUndoMarksModifiedSelectionAndCursorAndRunsChanged)
{
    TMPHexEditorEx editor;
    load(editor, patternBytes(64));
    editor.KeyDown(Qt::Key_Tab, Qt::NoModifier); // into the character field
    editor.Seek(40, 0);
    editor.IntChangeByte(editor.GetDataAt(40), 0x00, 40);
    editor.SetSelStart(2);
    editor.SetSelEnd(9);
    ASSERT_TRUE(editor.HasChanged(40));

    int changes = 0;
    editor.OnChange = [&](TCustomMPHexEditor&) { ++changes; };
    QSignalSpy spy(&editor, &TCustomMPHexEditor::changed);
    load(editor, patternBytes(100, 0x55));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_FALSE(editor.HasChanged(40));
    EXPECT_FALSE(editor.GetModified());
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_EQ(editor.GetCursorPos(), 0);
    EXPECT_FALSE(editor.GetInCharField());
}

TEST(LoadFromStream, AnEmptyStreamGivesAnEmptyControlThatIsNeverModified)
{
    TMPHexEditorEx editor;
    load(editor, patternBytes(10));
    load(editor, QByteArray());
    EXPECT_EQ(editor.GetDataSize(), 0);
    editor.SetModified(true);
    EXPECT_FALSE(editor.GetModified());
}

TEST(HandBack, GetModifiedNeedsDataOrAnExistingFile)
{
    TMPHexEditorEx editor;
    editor.SetModified(true);
    EXPECT_FALSE(editor.GetModified());
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    editor.SetFileName(file.fileName());
    EXPECT_TRUE(editor.GetModified());
    editor.SetFileName(file.fileName() + QStringLiteral(".missing"));
    EXPECT_FALSE(editor.GetModified());
}

TEST(HandBack, SetModifiedFalseDropsUndoRedoAndMarksButKeepsTheData)
{
    TMPHexEditorEx editor;
    load(editor, patternBytes(32));
    editor.IntChangeByte(editor.GetDataAt(3), 0x11, 3);
    editor.IntChangeByte(editor.GetDataAt(4), 0x22, 4);
    editor.Undo();
    ASSERT_TRUE(editor.GetModified());
    ASSERT_TRUE(editor.GetCanUndo());
    ASSERT_TRUE(editor.GetCanRedo());
    const QByteArray edited = dataOf(editor);

    editor.SetModified(false);
    EXPECT_FALSE(editor.GetModified());
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_FALSE(editor.GetCanRedo());
    EXPECT_FALSE(editor.HasChanged(3));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("No undo"));
    EXPECT_EQ(dataOf(editor), edited);
    EXPECT_EQ(editor.GetDataAt(3), 0x11);
}

TEST(HandBack, ReadBufferChecksTheRange)
{
    TMPHexEditorEx editor;
    const QByteArray bytes = patternBytes(300);
    load(editor, bytes);
    QByteArray out(301, '\0');
    EXPECT_EQ(raisedText([&] { editor.ReadBuffer(out.data(), 0, 300); }), QString());
    EXPECT_EQ(out.left(300), bytes);
    const QString bounds = QStringLiteral("Data position/length out of data bounds");
    EXPECT_EQ(raisedText([&] { editor.ReadBuffer(out.data(), 0, 301); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.ReadBuffer(out.data(), -1, 1); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.ReadBuffer(out.data(), 300, 0); }), QString());
    EXPECT_EQ(raisedText([&] { editor.GetDataAt(300); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.SetDataAt(300, 1); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.WriteBuffer(out.constData(), 299, 2); }), bounds);
}

TEST(HandBack, WritesWithoutUndoRunChangedAndTheExtendedControlSetsModified)
{
    TMPHexEditorEx editor;
    load(editor, patternBytes(16));
    int changes = 0;
    editor.OnChange = [&](TCustomMPHexEditor&) { ++changes; };
    editor.SetDataAt(2, 0xEE);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(editor.GetModified()); // SetDataAt leaves the flag alone
    editor.WriteBuffer("\x01\x02", 5, 2);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(editor.GetModified());
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_EQ(editor.GetDataAt(2), 0xEE);
    EXPECT_EQ(editor.GetDataAt(6), 0x02);
}

} // namespace kestrum::test
