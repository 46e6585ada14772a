#include "buffer/ViewHandOver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

using namespace kestrum;

namespace {

/// A view that keeps the bytes it was loaded with and counts the calls made to it.
struct FakeView : HexViewPort
{
    QByteArray data;
    bool modified = false;
    int loads = 0;

    void loadFrom(QIODevice& stream) override
    {
        stream.seek(0);
        data = stream.readAll();
        modified = false;
        ++loads;
    }
    bool isModified() const override { return modified && !data.isEmpty(); }
    qint64 dataSize() const override { return data.size(); }
    void readBytes(void* destination, qint64 position, qint64 count) override
    {
        if (position < 0 || position + count > data.size())
            throw std::out_of_range("Data position/length out of data bounds");
        std::memcpy(destination, data.constData() + position, size_t(count));
    }
    void setModified(bool m) override { modified = m; }
};

} // namespace

TEST(ViewHandOver, RefreshShowsChipSizeBytesAndClampsToTheBuffer)
{
    DataBuffer buffer;
    FakeView view;
    ViewHandOver handOver(buffer, view);
    buffer.data()[0] = 0x12;
    handOver.reloadView(0x100000);
    EXPECT_EQ(view.data.size(), 0x100000);
    EXPECT_EQ(std::uint8_t(view.data[0]), 0x12);
    EXPECT_EQ(std::uint8_t(view.data[0xFFFFF]), 0xFF);
    handOver.reloadView(0xFFFFFFFFu);
    EXPECT_EQ(view.data.size(), qsizetype(BufferCapacity));
    handOver.reloadView(0);
    EXPECT_EQ(view.data.size(), 0);
}

TEST(ViewHandOver, TakeEditsOnlyWhenModifiedAndUpToTheSmallerSize)
{
    DataBuffer buffer;
    FakeView view;
    ViewHandOver handOver(buffer, view);
    handOver.reloadView(1024);
    view.data[10] = char(0x55);
    handOver.takeViewEdits(1024);
    EXPECT_EQ(buffer.data()[10], 0xFF) << "an unmodified view hands nothing back";
    EXPECT_EQ(buffer.usedLength, 0);

    view.modified = true;
    handOver.takeViewEdits(512);
    EXPECT_EQ(buffer.data()[10], 0x55);
    EXPECT_EQ(buffer.usedLength, 512) << "chip smaller than the view";
    EXPECT_FALSE(view.modified);

    view.modified = true;
    handOver.takeViewEdits(4096);
    EXPECT_EQ(buffer.usedLength, 1024) << "view smaller than the chip";
}
