#include "HexEditorTestSupport.h"

namespace kestrum::test {

namespace {

/// The least an undo storage needs to record one-byte changes of zeroed data.
class StubTarget : public UndoTarget
{
public:
    StubTarget() { data.setSize(128); }
    virtual ~StubTarget() = default;

    const MemoryStream& undoData() const override { return data; }
    bool changedMark(qint64) const override { return false; }
    Modes undoModes() const override { return {}; }
    Place undoPlace() const override { return {}; }
    const Bookmarks& undoBookmarks() const override { return bookmarks; }
    qint64 undoLimit() const override { return limit; }
    void writeUndoBytes(qint64, const void*, qint64) override { }
    void internalInsert(qint64, const void*, qint64) override { }
    void internalDelete(qint64, qint64) override { }
    void internalReplaceAll(const void*, qint64) override { }
    void internalInsertNibble(qint64, bool) override { }
    void internalDeleteNibble(qint64, bool) override { }
    void setChangedMark(qint64, bool) override { }
    void truncateChangedMarks(qint64) override { }
    void restoreModes(const Modes&) override { }
    void restorePlace(const Place&) override { }
    void restoreBookmarks(const Bookmarks&) override { }
    void shiftBookmarks(qint64, qint64) override { }
    void clearBookmarksBeyondData() override { }
    void notifyChanged() override { }
    void notifySelectionChanged() override { }
    void notifyBookmarkChanged() override { }

    MemoryStream data;
    Bookmarks bookmarks;
    qint64 limit = 0;
};

/// Counts how often the storage is cut shorter, that is how often its remaining records move.
class CountingStorage : public UndoStorage
{
public:
    using UndoStorage::UndoStorage;

    void setSize(qint64 newSize) override
    {
        if (newSize < size())
            ++shrinks;
        UndoStorage::setSize(newSize);
    }

    int shrinks = 0;
};

} // namespace

TEST(UndoLimit, DroppingManyOldRecordsMovesTheRestOnce)
{
    StubTarget target;
    CountingStorage storage(target);
    for (int i = 0; i < 100; ++i)
        storage.createUndo(UndoFlag::KindBytesChanged, i, 1, 0, {});
    ASSERT_EQ(storage.size(), 100 * 34);

    // 71 records must go before the next one: the 29 newest fit in 1000 bytes.
    target.limit = 1000;
    storage.shrinks = 0;
    storage.createUndo(UndoFlag::KindBytesChanged, 5, 1, 0, {});
    EXPECT_EQ(storage.shrinks, 1);
    EXPECT_EQ(storage.count(), 30);
    EXPECT_EQ(storage.size(), 30 * 34);
    const RecordView oldest(QByteArray(storage.memory(), 34));
    EXPECT_EQ(oldest.size(), 34U);
    EXPECT_EQ(oldest.position(), 71);

    // A record far larger than the limit, then a change: every older record goes at once.
    storage.createUndo(UndoFlag::KindBytesChanged, 0, 128, 0, {});
    target.limit = 50;
    storage.shrinks = 0;
    storage.createUndo(UndoFlag::KindBytesChanged, 7, 1, 0, {});
    EXPECT_EQ(storage.shrinks, 1);
    EXPECT_EQ(storage.count(), 1);
    EXPECT_EQ(RecordView(storage.newestRecord()).position(), 7);
}

} // namespace kestrum::test
