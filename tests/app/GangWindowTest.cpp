// "Program all programmers": the gang window over three simulated programmers.
#include "app/GangWindow.h"
#include "tests/ops/CommandFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <set>

namespace kestrum::test {
namespace {

class GangWindowTest : public CommandFixture
{
protected:
    void SetUp() override
    {
        qputenv("KESTRUM_SYSFS_ROOT", dir.filePath(QStringLiteral("no-sysfs")).toLocal8Bit());
        CommandFixture::SetUp();
        devices = {programmerId, sim.addProgrammer(1, "WinUSBComm"), sim.addProgrammer(1, "WinUSBComm")};
        select(MX25L1005);
        for (const int device : devices)
            ASSERT_EQ(sim.insertChip(device, KSIM_CHIP_SPI_FLASH, 0x20000, 0xC22011), 0);
        fillBufferPattern(0x8000);
    }
    void TearDown() override { qunsetenv("KESTRUM_SYSFS_ROOT"); }

    void pressStart(GangWindow& gang)
    {
        QTest::mouseEvent(QTest::MouseClick, child<QPushButton>(gang, "startButton"), Qt::LeftButton, {}, QPoint());
    }
    QString text(QWidget& tile, const char* name) { return child<QLabel>(tile, name)->text(); }

    std::vector<int> devices;
};

TEST_F(GangWindowTest, StartRunsAutoOnEveryProgrammerAndTheTilesShowEachResult)
{
    // The third programmer goes away in the middle of its write.
    ASSERT_EQ(sim.armFault(devices[2], KSIM_FAULT_UNPLUG, 40), 0);
    GangWindow gang(&w(), w().reporter(), w().gangJob());
    QSignalSpy ended(&gang, &GangWindow::runEnded);
    pressStart(gang);
    ASSERT_TRUE(gang.isRunning());
    ASSERT_TRUE(ended.wait(30000));

    EXPECT_EQ(child<QLabel>(gang, "totalLabel")->text(), QStringLiteral("Passed: 2, failed: 1"));
    for (int i = 0; i < 3; ++i) {
        QWidget& tile = *child<QWidget>(gang, qPrintable(QStringLiteral("tile%1").arg(i)));
        EXPECT_EQ(text(tile, "locationLabel"), QStringLiteral("001:00%1").arg(devices[i]));
        EXPECT_EQ(text(tile, "resultLabel"), i < 2 ? QStringLiteral("PASS") : QStringLiteral("FAIL")) << i;
        EXPECT_EQ(text(tile, "reasonLabel").isEmpty(), i < 2) << "a failed tile says why: " << i;
        EXPECT_EQ(text(tile, "serialLabel"), QStringLiteral("Serial -"));
    }
    for (int i = 0; i < 2; ++i) {
        const quint8* cells = sim.chipBytes(devices[i], nullptr);
        for (quint32 a = 0; a < 0x8000; a += 0x7FF)
            ASSERT_EQ(cells[a], pattern(a)) << "programmer " << i << " at " << a;
    }
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(GangWindowTest, FourProgrammersSitTwoByTwoAndFiveFourToARow)
{
    for (const auto& [count, columns] : {std::pair {4, 2}, std::pair {5, 4}}) {
        SCOPED_TRACE(count);
        const int device = sim.addProgrammer(1, "WinUSBComm");
        ASSERT_EQ(sim.insertChip(device, KSIM_CHIP_SPI_FLASH, 0x20000, 0xC22011), 0);
        GangWindow gang(&w(), w().reporter(), w().gangJob());
        gang.show();
        QSignalSpy ended(&gang, &GangWindow::runEnded);
        pressStart(gang);
        ASSERT_TRUE(ended.wait(30000));
        std::vector<QRect> places;
        std::set<int> lefts;
        std::set<int> tops;
        for (int i = 0; i < count; ++i) {
            places.push_back(child<QWidget>(gang, qPrintable(QStringLiteral("tile%1").arg(i)))->geometry());
            lefts.insert(places.back().left());
            tops.insert(places.back().top());
        }
        for (std::size_t a = 0; a < places.size(); ++a)
            for (std::size_t b = a + 1; b < places.size(); ++b)
                EXPECT_FALSE(places[a].intersects(places[b])) << "tiles " << a << " and " << b << " overlap";
        EXPECT_EQ(lefts.size(), std::size_t(columns));
        EXPECT_EQ(tops.size(), std::size_t((count + columns - 1) / columns));
    }
}

TEST_F(GangWindowTest, ClosingDuringARunAsksAndThenStopsEverySocket)
{
    sim.setTiming(1);
    GangWindow gang(&w(), w().reporter(), w().gangJob());
    gang.show();
    QSignalSpy ended(&gang, &GangWindow::runEnded);
    pressStart(gang);
    ui.answers = {false, true};
    gang.close();
    EXPECT_TRUE(gang.isVisible()) << "No keeps the run and the window";
    gang.close();
    ASSERT_EQ(ui.questions.size(), 2);
    EXPECT_EQ(ui.questions[0], w().reporter().message(MsgStopJobQuestion));
    ASSERT_TRUE(ended.wait(30000));
    sim.setTiming(0);
    EXPECT_FALSE(gang.isVisible()) << "the window closes once every socket stopped";
    EXPECT_EQ(child<QLabel>(gang, "totalLabel")->text(), QStringLiteral("Passed: 0, failed: 3"));
    for (const int device : devices)
        EXPECT_EQ(sim.state(device).setup_valid, 0) << "the end command went out, programmer " << device;
    EXPECT_EQ(sim.openHandles(), 0);
}

} // namespace
} // namespace kestrum::test
