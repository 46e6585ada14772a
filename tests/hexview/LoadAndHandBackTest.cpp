#include "HexEditorTestSupport.h"

#include <QSignalSpy>
#include <QTemporaryFile>

#include <functional>
#include <utility>
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
    ProgressKind kind;
    QString name;
    int percent;
};

} // namespace

TEST(LoadFromStream, CopiesTheWholeStreamFromPositionZero)
{
    HexEditor editor;
    QByteArray bytes = patternBytes(200'000);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(12345); // the load starts from the beginning anyway
    editor.loadFromStream(buffer);
    EXPECT_EQ(editor.dataSize(), 200'000);
    EXPECT_EQ(dataOf(editor), bytes);
}

TEST(LoadFromStream, ReportsProgressInSlicesAtMostOncePerPercentWithTheFileName)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const QByteArray bytes = patternBytes(10 * 61440 + 5);
    file.write(bytes);
    file.seek(0);

    HexEditor editor;
    std::vector<ProgressCall> calls;
    QObject::connect(
        &editor, &HexEditorCore::progress, [&](ProgressKind kind, const QString& name, int percent, bool*) {
            calls.push_back({kind, name, percent});
        });
    editor.loadFromStream(file);

    // 11 slices of 61,440 bytes, the percentage after each: 9, 19, ..., 99, 100.
    ASSERT_EQ(calls.size(), 11U);
    EXPECT_EQ(calls.front().percent, 9);
    EXPECT_EQ(calls.back().percent, 100);
    for (const ProgressCall& call : calls) {
        EXPECT_EQ(call.kind, ProgressKind::Load);
        EXPECT_EQ(call.name, file.fileName());
    }
    EXPECT_EQ(dataOf(editor), bytes);

    // A large stream reports every percent once at most.
    HexEditor big;
    std::vector<int> percents;
    QObject::connect(&big, &HexEditorCore::progress,
        [&](ProgressKind, const QString&, int percent, bool*) { percents.push_back(percent); });
    big.setFileName(QStringLiteral("image.bin"));
    load(big, patternBytes(40 * 1024 * 1024));
    EXPECT_LE(percents.size(), 101U);
    EXPECT_GE(percents.size(), 99U);
    for (size_t i = 1; i < percents.size(); ++i)
        EXPECT_LT(percents[i - 1], percents[i]);
}

TEST(LoadFromStream, UsesTheEditorsFileNameForAStreamWithoutOne)
{
    HexEditor editor;
    editor.setFileName(QStringLiteral("flash.bin"));
    QString seen;
    QObject::connect(
        &editor, &HexEditorCore::progress, [&](ProgressKind, const QString& name, int, bool*) { seen = name; });
    load(editor, patternBytes(100));
    EXPECT_EQ(seen, QStringLiteral("flash.bin"));
}

TEST(LoadFromStream, ACancelledLoadRaisesAndLeavesTheControlEmpty)
{
    HexEditor editor;
    load(editor, patternBytes(64));
    editor.changeByte(editor.dataAt(0), 0xAB, 0);
    ASSERT_TRUE(editor.canUndo());

    int calls = 0;
    QObject::connect(&editor, &HexEditorCore::progress,
        [&](ProgressKind, const QString&, int, bool* cancel) { *cancel = ++calls == 3; });
    EXPECT_EQ(raisedText([&] { load(editor, patternBytes(10 * 61440)); }), QStringLiteral("Operation cancelled"));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(editor.dataSize(), 0);
    EXPECT_FALSE(editor.canUndo());
    EXPECT_FALSE(editor.hasChanged(0));
}

TEST(LoadFromStream, AReadErrorLeavesTheControlEmptyAndIsPassedOn)
{
    HexEditor editor;
    load(editor, patternBytes(64));
    editor.changeByte(editor.dataAt(1), 0xAB, 1);
    FailingDevice device(200'000, 100'000);
    EXPECT_THROW(editor.loadFromStream(device), HexEditorError);
    EXPECT_EQ(editor.dataSize(), 0);
    EXPECT_FALSE(editor.canUndo());
    EXPECT_FALSE(editor.canRedo());
}

TEST(LoadFromStream, BothLoadsResetUndoMarksModifiedSelectionAndCursorAndRunChanged)
{
    const std::pair<const char*, std::function<void(HexEditor&, QByteArray)>> loads[] = {
        {"stream", [](HexEditor& editor, QByteArray bytes) { load(editor, bytes); }},
        {"bytes", [](HexEditor& editor, QByteArray bytes) { editor.loadFromBytes(std::move(bytes)); }},
    };
    for (const auto& [name, loadInto] : loads) {
        SCOPED_TRACE(name);
        HexEditor editor;
        load(editor, patternBytes(64));
        editor.keyDown(Qt::Key_Tab, Qt::NoModifier); // into the character field
        editor.seek(40, 0);
        editor.changeByte(editor.dataAt(40), 0x00, 40);
        editor.setSelStart(2);
        editor.setSelEnd(9);
        ASSERT_TRUE(editor.hasChanged(40));

        QSignalSpy spy(&editor, &HexEditorCore::changed);
        loadInto(editor, patternBytes(100, 0x55));
        EXPECT_EQ(spy.count(), 1);
        EXPECT_EQ(dataOf(editor), patternBytes(100, 0x55));
        EXPECT_FALSE(editor.canUndo());
        EXPECT_FALSE(editor.hasChanged(40));
        EXPECT_FALSE(editor.isModified());
        EXPECT_FALSE(editor.hasSelection());
        EXPECT_EQ(editor.cursorPosition(), 0);
        EXPECT_FALSE(editor.cursorInCharField());
    }
}

TEST(LoadFromBytes, TakesAnImageMovedInWithoutACopy)
{
    HexEditor editor;
    QByteArray image = patternBytes(4096);
    const char* bytes = image.constData();
    editor.loadFromBytes(std::move(image));
    EXPECT_EQ(editor.dataStorage().memory(), bytes);
    editor.insertNibble(0, true); // the adopted block grows like any other
    EXPECT_EQ(editor.dataSize(), 4097);
}

TEST(LoadFromStream, AnEmptyStreamGivesAnEmptyControlThatIsNeverModified)
{
    HexEditor editor;
    load(editor, patternBytes(10));
    load(editor, QByteArray());
    EXPECT_EQ(editor.dataSize(), 0);
    editor.setModified(true);
    EXPECT_FALSE(editor.isModified());
}

TEST(HandBack, IsModifiedNeedsDataOrAnExistingFile)
{
    HexEditor editor;
    editor.setModified(true);
    EXPECT_FALSE(editor.isModified());
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    editor.setFileName(file.fileName());
    EXPECT_TRUE(editor.isModified());
    editor.setFileName(file.fileName() + QStringLiteral(".missing"));
    EXPECT_FALSE(editor.isModified());
}

TEST(HandBack, ClearingModifiedDropsUndoRedoAndMarksButKeepsTheData)
{
    HexEditor editor;
    load(editor, patternBytes(32));
    editor.changeByte(editor.dataAt(3), 0x11, 3);
    editor.changeByte(editor.dataAt(4), 0x22, 4);
    editor.undo();
    ASSERT_TRUE(editor.isModified());
    ASSERT_TRUE(editor.canUndo());
    ASSERT_TRUE(editor.canRedo());
    const QByteArray edited = dataOf(editor);

    editor.setModified(false);
    EXPECT_FALSE(editor.isModified());
    EXPECT_FALSE(editor.canUndo());
    EXPECT_FALSE(editor.canRedo());
    EXPECT_FALSE(editor.hasChanged(3));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("No undo"));
    EXPECT_EQ(dataOf(editor), edited);
    EXPECT_EQ(editor.dataAt(3), 0x11);
}

TEST(HandBack, ReadBufferChecksTheRange)
{
    HexEditor editor;
    const QByteArray bytes = patternBytes(300);
    load(editor, bytes);
    QByteArray out(301, '\0');
    EXPECT_EQ(raisedText([&] { editor.readBuffer(out.data(), 0, 300); }), QString());
    EXPECT_EQ(out.left(300), bytes);
    const QString bounds = QStringLiteral("Data position/length out of data bounds");
    EXPECT_EQ(raisedText([&] { editor.readBuffer(out.data(), 0, 301); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.readBuffer(out.data(), -1, 1); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.readBuffer(out.data(), 300, 0); }), QString());
    EXPECT_EQ(raisedText([&] { editor.dataAt(300); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.setDataAt(300, 1); }), bounds);
    EXPECT_EQ(raisedText([&] { editor.writeBuffer(out.constData(), 299, 2); }), bounds);
}

TEST(HandBack, WritesWithoutUndoRunChangedAndTheExtendedControlSetsModified)
{
    HexEditor editor;
    load(editor, patternBytes(16));
    int changes = 0;
    QObject::connect(&editor, &HexEditorCore::changed, [&] { ++changes; });
    editor.setDataAt(2, 0xEE);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(editor.isModified()); // setDataAt leaves the flag alone
    editor.writeBuffer("\x01\x02", 5, 2);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(editor.isModified());
    EXPECT_FALSE(editor.canUndo());
    EXPECT_EQ(editor.dataAt(2), 0xEE);
    EXPECT_EQ(editor.dataAt(6), 0x02);
}

} // namespace kestrum::test
