#include "HexEditorTestSupport.h"

namespace kestrum::test {

namespace {

/// The least an undo storage needs to record one-byte changes of zeroed data.
class StubTarget : public UndoTarget
{
public:
    StubTarget() { data.SetSize(128); }
    virtual ~StubTarget() = default;

    const TMPHMemoryStream& UndoData() const override { return data; }
    bool ChangedMark(qint64) const override { return false; }
    Modes UndoModes() const override { return {}; }
    Place UndoPlace() const override { return {}; }
    const TMPHBookmarks& UndoBookmarks() const override { return bookmarks; }
    qint64 UndoLimit() const override { return limit; }
    void WriteUndoBytes(qint64, const void*, qint64) override { }
    void InternalInsert(qint64, const void*, qint64) override { }
    void InternalDelete(qint64, qint64) override { }
    void InternalReplaceAll(const void*, qint64) override { }
    void InternalInsertNibble(qint64, bool) override { }
    void InternalDeleteNibble(qint64, bool) override { }
    void SetChangedMark(qint64, bool) override { }
    void TruncateChangedMarks(qint64) override { }
    void RestoreModes(const Modes&) override { }
    void RestorePlace(const Place&) override { }
    void RestoreBookmarks(const TMPHBookmarks&) override { }
    void ShiftBookmarks(qint64, qint64) override { }
    void ClearBookmarksBeyondData() override { }
    void Changed() override { }
    void SelectionChanged() override { }
    void BookmarkChanged() override { }

    TMPHMemoryStream data;
    TMPHBookmarks bookmarks;
    qint64 limit = 0;
};

/// Counts how often the storage is cut shorter, that is how often its remaining records move.
class CountingStorage : public TMPHUndoStorage
{
public:
    using TMPHUndoStorage::TMPHUndoStorage;

    void SetSize(qint64 newSize) override
    {
        if (newSize < GetSize())
            ++shrinks;
        TMPHUndoStorage::SetSize(newSize);
    }

    int shrinks = 0;
};

} // namespace

TEST(UndoLimit, DroppingManyOldRecordsMovesTheRestOnce)
{
    StubTarget target;
    CountingStorage storage(target);
    for (int i = 0; i < 100; ++i)
        storage.CreateUndo(ufKindBytesChanged, i, 1, 0, {});
    ASSERT_EQ(storage.GetSize(), 100 * 34);

    // 71 records must go before the next one: the 29 newest fit in 1000 bytes.
    target.limit = 1000;
    storage.shrinks = 0;
    storage.CreateUndo(ufKindBytesChanged, 5, 1, 0, {});
    EXPECT_EQ(storage.shrinks, 1);
    EXPECT_EQ(storage.Count(), 30);
    EXPECT_EQ(storage.GetSize(), 30 * 34);
    const RecordView oldest(QByteArray(storage.Memory(), 34));
    EXPECT_EQ(oldest.size(), 34U);
    EXPECT_EQ(oldest.position(), 71);

    // A record far larger than the limit, then a change: every older record goes at once.
    storage.CreateUndo(ufKindBytesChanged, 0, 128, 0, {});
    target.limit = 50;
    storage.shrinks = 0;
    storage.CreateUndo(ufKindBytesChanged, 7, 1, 0, {});
    EXPECT_EQ(storage.shrinks, 1);
    EXPECT_EQ(storage.Count(), 1);
    EXPECT_EQ(RecordView(storage.NewestRecord()).position(), 7);
}

} // namespace kestrum::test
