// The window with several programmers attached: the Programmer list, its remembered choice, and
// the jobs, panel 1 and log that follow it.
#include "tests/ops/CommandFixture.h"

#include <QTest>

namespace kestrum::test {
namespace {

class ProgrammerChoiceTest : public CommandFixture
{
protected:
    void SetUp() override
    {
        qputenv("KESTRUM_SYSFS_ROOT", dir.filePath(QStringLiteral("no-sysfs")).toLocal8Bit());
        CommandFixture::SetUp();
    }
    void TearDown() override { qunsetenv("KESTRUM_SYSFS_ROOT"); }
    QComboBox& list() { return control<QComboBox>("programmerCombo"); }
};

TEST_F(ProgrammerChoiceTest, WithSeveralAttachedTheChosenOneIsUsedNamedAndRemembered)
{
    w().show();
    w().probeProgrammer();
    EXPECT_FALSE(list().isVisible()) << "one programmer: nothing changes";
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready"));

    const int second = sim.addProgrammer(1, "WinUSBComm");
    w().probeProgrammer();
    ASSERT_TRUE(list().isVisible());
    EXPECT_EQ(list().count(), 2);
    EXPECT_EQ(list().currentText(), QStringLiteral("001:001"));
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready 001:001"));

    QTest::keyEvent(QTest::Click, &list(), Qt::Key_Down);
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready 001:002"));
    EXPECT_EQ(logTexts().last(), QStringLiteral("The programmer at 001:002 is detected, and the working state is normal."));

    select(W25Q64);
    ASSERT_EQ(sim.insertChip(second, KSIM_CHIP_SPI_FLASH, 0x800000, 0xEF4017), 0);
    sim.clearCalls();
    w().operations().blankCheck();
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
    ASSERT_FALSE(sim.transfers().empty());
    for (const SimCall& c : sim.transfers())
        EXPECT_EQ(c.call.device, second);

    // Remembered by its location: a new window takes it again.
    w().close();
    window = std::make_unique<MainWindow>(&ui, dir.filePath(QStringLiteral("kestrum")));
    w().probeProgrammer();
    EXPECT_EQ(list().currentText(), QStringLiteral("001:002"));
    EXPECT_EQ(w().usb().location(), "001:002");

    // Back to one: the list goes and the window takes whichever answers.
    sim.unplug(second);
    w().probeProgrammer();
    EXPECT_FALSE(list().isVisibleTo(&w()));
    EXPECT_TRUE(w().usb().location().isEmpty());
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready"));
}

} // namespace
} // namespace kestrum::test
