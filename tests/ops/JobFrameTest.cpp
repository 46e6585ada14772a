// The chip commands without the main window: the job frame around a routine that does not come
// back normally.
#include "chipdb/ChipSelection.h"
#include "ops/ChipOperations.h"
#include "ops/ChipProgrammer.h"
#include "tests/ops/RecordingJobView.h"
#include "tests/sim/SimControl.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <new>

using namespace kestrum;
using namespace kestrum::test;

namespace {

/// The window's side of the commands, reduced to one selected chip, which the lists show.
class FixedChipHost : public OperationsHost
{
public:
    FixedChipHost()
        : m_selection(m_table, [](std::uint32_t) {})
    {
        m_table[0].setNamesText(QStringLiteral("SPI-Flash,Test,Chip"));
        m_selection.selectByIndices(0, 0, 0);
    }

    const ChipRecord& currentRecord() const override { return record; }
    int speedIndex() const override { return 0; }
    bool autoErase() const override { return true; }
    bool autoProgram() const override { return true; }
    bool autoVerify() const override { return true; }
    void takeViewEdits() override { }
    void setElapsedText(const QString& text) override { elapsed = text; }
    const ChipTable& chipTable() const override { return m_table; }
    const ChipSelection& selection() const override { return m_selection; }
    int selectByIndices(int, int, int) override { return -1; }
    void setSelectionIndices(int, int, int) override { }
    int typeIndex() const override { return 0; }
    int makerIndex() const override { return 0; }
    int nameIndex() const override { return 0; }

    ChipRecord record {};
    QString elapsed;

private:
    ChipTable m_table;
    ChipSelection m_selection;
};

/// A view whose reload runs out of memory, as loading a large chip image into the hex view can.
class ViewOutOfMemory : public RecordingJobView
{
public:
    void reloadView(quint32 count) override
    {
        RecordingJobView::reloadView(count);
        if (failing)
            throw std::bad_alloc();
    }
    bool failing = true;
};

class JobFrame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        programmerId = sim.addProgrammer(sim.addBus(), "WinUSBComm");
        ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010), 0);
        reporter.setLanguage(2);
        usb.setSleepFunction([](int) {});
        programmer.setPumpInterval(0);
        host.record.chipClass = SpiFlash25;
        host.record.flashSize = 0x1000;
        host.record.flashPage = 256;
        host.record.chipId = 0xEF4010;
        host.record.delay = 10;
    }

    SimControl& sim = SimControl::get();
    int programmerId = 0;
    ScriptedUserInterface ui;
    Reporter reporter {ui};
    DataBuffer buffer;
    ViewOutOfMemory view;
    FixedChipHost host;
    UsbLink usb;
    ChipProgrammer programmer {usb, reporter, buffer, view};
    ChipOperations operations {usb, programmer, reporter, buffer, view, host};
};

} // namespace

TEST_F(JobFrame, AnErrorEscapingTheRoutineStillEndsTheJob)
{
    // As in the window, whose guard shows the error in a box: the log keeps it too.
    operations.setErrorBoxesLogged(true);
    EXPECT_THROW(operations.read(), std::bad_alloc);
    EXPECT_EQ(ui.log, QStringList {QStringLiteral("001:std::bad_alloc")});
    EXPECT_FALSE(reporter.errorsLogged()) << "only while a chip command runs";
    EXPECT_FALSE(programmer.isJobOpen());
    EXPECT_FALSE(operations.isBusy());
    EXPECT_FALSE(view.locked);
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
    EXPECT_EQ(sim.openHandles(), 0) << "the link is closed";
    EXPECT_EQ(sim.state(programmerId).jobs_ended, 2) << "identify job and read job";

    // The next command runs.
    view.failing = false;
    operations.read();
    EXPECT_EQ(ui.log.value(1), QStringLiteral("002:Read Complete!"));
    EXPECT_EQ(ui.log.size(), 3) << "the error, the completion line, the checksum line";
}
