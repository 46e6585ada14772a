#include "buffer/Checksum.h"
#include "tests/ops/CommandFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr char ProgrammerFound[] = "The programmer is detected, and the working state is normal.";

} // namespace

using Detection = CommandFixture;
using Probe = CommandFixture;
using BusyGuard = CommandFixture;
using Faults = CommandFixture;

TEST_F(Detection, KnownIdSelectsTheChipAndReportsNameThenType)
{
    select(AT24C02);
    insert(KSIM_CHIP_SPI_FLASH, 0x2000000, 0xEF4019);
    control<QPushButton>("detectButton").click();
    ASSERT_EQ(ui.informations.size(), 1);
    EXPECT_EQ(ui.informations[0], QStringLiteral("The chip was detected:W25Q256\n\n Chip typeSPI-Flash"));
    EXPECT_EQ(w().selection().currentChip(), int(W25Q256));
    EXPECT_EQ(w().typeIndex(), 0);
    EXPECT_EQ(w().makerIndex(), 0);
    EXPECT_EQ(w().nameIndex(), 1);
    EXPECT_EQ(hexView().dataSize(), 0x2000000);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(Detection, UnknownIdMovesToTheFirstTypeAndNamesTheThreeBytes)
{
    select(AT24C02);
    insert(KSIM_CHIP_SPI_FLASH, 0x400000, 0xC22018);
    control<QPushButton>("detectButton").click();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Unknown chip ID =C2 20 18Please choose the compatibility type manually."));
    EXPECT_EQ(control<QComboBox>("typeCombo").currentIndex(), 0);
}

TEST_F(Detection, StaleRecordsPastTheEndMarkerAreNotMatched)
{
    // A shorter database leaves the old records in the slots past its end marker; they are stale.
    ChipRecord records[2] {};
    ASSERT_TRUE(records[0].setNamesText(QStringLiteral("SPI-Flash,Winbond,W25Q64")));
    records[0].chipId = 0xEF4017;
    records[0].flashSize = 0x800000;
    records[0].flashPage = 256;
    QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(records), sizeof(records));
    f.close();
    ASSERT_EQ(w().loadChipDatabase(), LoadResult::Loaded);
    ASSERT_EQ(w().chipTable()[MX25L1005].chipId, 0xC22011u) << "the stale record is still in its slot";
    insert(KSIM_CHIP_SPI_FLASH, 0x20000, 0xC22011);
    ui.clearRecords();
    control<QPushButton>("detectButton").click();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Unknown chip ID =C2 20 11Please choose the compatibility type manually."));
}

TEST_F(Detection, KindRepliesSelectTheSecondAndThirdType)
{
    select(W25Q64);
    insertSelected(AT24C02);
    control<QPushButton>("detectButton").click();
    EXPECT_EQ(control<QComboBox>("typeCombo").currentText(), QStringLiteral("24-EEPROM"));
    EXPECT_EQ(w().selection().currentChip(), int(AT24C02));
    ASSERT_EQ(ui.informations.size(), 1);
    EXPECT_EQ(ui.informations[0],
        QStringLiteral("Chip type is detected:24-EEPROM\n\n Please manually select the "
                       "corresponding type burn."));

    insertSelected(C93C46);
    control<QPushButton>("detectButton").click();
    EXPECT_EQ(control<QComboBox>("typeCombo").currentText(), QStringLiteral("93-EEPROM"));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(Detection, KindOfTheTypeAlreadySelectedDoesNotRefill)
{
    select(AT24C02);
    insertSelected(AT24C02);
    // An edit in the view that a refill would drop shows whether a fill ran.
    ASSERT_TRUE(hexView().editor().keyPress(QLatin1Char('1')));
    control<QPushButton>("detectButton").click();
    EXPECT_TRUE(hexView().isModified());
    EXPECT_EQ(ui.informations.size(), 1);
}

TEST_F(Detection, EmptySocketOrUnlistedKindSaysNoChip)
{
    select(W25Q64);
    control<QPushButton>("detectButton").click();
    insertSelected(MX25L1005);
    ASSERT_EQ(sim.setIdentifyKind(programmerId, 4), 0); // a kind detection does not list
    control<QPushButton>("detectButton").click();
    EXPECT_EQ(ui.errors,
        QStringList({QStringLiteral("No chips detected, please put the chip to try again!"),
            QStringLiteral("No chips detected, please put the chip to try again!")}));
    EXPECT_EQ(w().selection().currentChip(), int(W25Q64));
}

TEST_F(Detection, WithoutAProgrammerSaysNotConnected)
{
    sim.unplug(programmerId);
    control<QPushButton>("detectButton").click();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Not connected")});
}

TEST_F(Probe, PluggingInShowsReadyAndLogsUnpluggingShowsRedNotConnected)
{
    w().probeProgrammer();
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready"));
    EXPECT_FALSE(statusBar().panel1IsRed());
    ASSERT_EQ(ui.log.size(), 1);
    EXPECT_EQ(ui.log[0], QStringLiteral("001:") + QLatin1String(ProgrammerFound));
    EXPECT_EQ(sim.openHandles(), 0);

    sim.unplug(programmerId);
    Q_EMIT w().deviceMonitor().deviceChanged();
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Not connected"));
    EXPECT_TRUE(statusBar().panel1IsRed());
    EXPECT_EQ(ui.log.size(), 1);

    sim.plug(programmerId);
    Q_EMIT w().deviceMonitor().deviceChanged();
    EXPECT_EQ(ui.log[0], QStringLiteral("002:") + QLatin1String(ProgrammerFound));
}

TEST_F(Probe, ActivationOfTheWindowProbes)
{
    ASSERT_TRUE(w().onActivate);
    w().onActivate();
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready"));
    EXPECT_EQ(ui.log.size(), 1);
}

TEST_F(Probe, AProgrammerThatCannotBeOpenedIsToldOfInTheLogOncePerCause)
{
    const QString noAccess = messageText(MsgProgrammerNoAccess, 2);
    select(W25Q64);
    sim.setDeviceFault(programmerId, KSIM_OPEN_FAILS, 1);
    w().probeProgrammer();
    w().probeProgrammer();
    action("readAction").trigger();
    EXPECT_EQ(ui.log,
        QStringList({QStringLiteral("003:") + messageText(MsgNotConnectedHint, 2), QStringLiteral("002:Not connected"),
            QStringLiteral("001:") + noAccess}));
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Not connected")});
    EXPECT_TRUE(statusBar().panel1IsRed());

    // Another cause is told of at once; the same cause again once the programmer was opened between.
    sim.setDeviceFault(programmerId, KSIM_OPEN_FAILS, 0);
    sim.setDeviceFault(programmerId, KSIM_CLAIM_FAILS, 1);
    w().probeProgrammer();
    EXPECT_EQ(ui.log[0], QStringLiteral("004:") + messageText(MsgProgrammerBusy, 2));
    sim.setDeviceFault(programmerId, KSIM_CLAIM_FAILS, 0);
    w().probeProgrammer();
    sim.setDeviceFault(programmerId, KSIM_READ_ONLY, 1);
    w().probeProgrammer();
    w().probeProgrammer();
    EXPECT_EQ(ui.log.size(), 6);
    EXPECT_EQ(ui.log[0], QStringLiteral("006:") + noAccess);
    EXPECT_TRUE(noAccess.contains(QStringLiteral("\"Using the programmer\" in README.md")));
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Not connected"));
}

TEST_F(BusyGuard, MenuCommandAndDeviceChangeDuringAJobWaitForItsEnd)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);
    int opensDuringJob = -1;
    bool fired = false;
    // Runs while the write pumps the event loop between blocks.
    QTimer::singleShot(0, &w(), [&] {
        fired = true;
        const auto before = sim.calls(KSIM_CALL_OPEN).size();
        action("readAction").trigger();
        action("eraseAction").trigger();
        Q_EMIT w().deviceMonitor().deviceChanged();
        opensDuringJob = int(sim.calls(KSIM_CALL_OPEN).size() - before);
    });
    action("writeAction").trigger();
    ASSERT_TRUE(fired) << "the job pumps events";
    EXPECT_EQ(opensDuringJob, 0) << "no second command and no probe opened the programmer";
    ASSERT_EQ(ui.log.size(), 3);
    EXPECT_EQ(ui.log[2], QStringLiteral("001:Write Complete!"));
    EXPECT_EQ(ui.log[0], QStringLiteral("003:") + QLatin1String(ProgrammerFound))
        << "the probe runs once after the job";
    EXPECT_EQ(cells()[0x3FFF], pattern(0x3FFF)) << "the buffer was not read over during the write";
    expectUnlocked();
}

TEST_F(BusyGuard, ADeviceChangeDuringAJobProbesOnceAfterItAndNotAfterTheNextCommands)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);
    QTimer::singleShot(0, &w(), [&] { Q_EMIT w().deviceMonitor().deviceChanged(); });
    action("writeAction").trigger();
    const auto probes = [&] { return ui.log.filter(QLatin1String(ProgrammerFound)).size(); };
    EXPECT_EQ(probes(), 1);
    sim.clearCalls();
    action("verifyAction").trigger();
    action("readAction").trigger();
    EXPECT_EQ(probes(), 1) << "the device change was looked at once";
    EXPECT_EQ(sim.calls(KSIM_CALL_OPEN).size(), 4u) << "each command opens its identify job and its job only";
}

TEST_F(BusyGuard, EveryMenuCommandDuringAJobIsRefused)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);
    QStringList dialogs;
    int triggered = 0;
    QTimer::singleShot(0, &w(), [&] {
        for (QAction* entry : w().menuBar()->actions()) {
            const QList<QAction*> items = entry->menu() ? entry->menu()->actions() : QList<QAction*> {entry};
            for (QAction* item : items) {
                if (item->isSeparator() || item == &action("quitAction"))
                    continue;
                // A dialog that comes up would hold the job until it is closed: close it, note it.
                QTimer::singleShot(0, &w(), [&] {
                    if (QWidget* modal = QApplication::activeModalWidget()) {
                        dialogs << modal->objectName();
                        modal->close();
                    }
                });
                item->trigger();
                ++triggered;
            }
        }
    });
    action("writeAction").trigger();
    QCoreApplication::processEvents();
    // The two options and the two items that open the backups and the log file run at any time.
    EXPECT_EQ(triggered, 39) << "every menu item, the Edit menu's sixteen, Load layout and Program all programmers "
                                "included";
    EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(w().reporter().language(), 2);
    EXPECT_TRUE(action("englishAction").isChecked());
    EXPECT_FALSE(action("simplifiedChineseAction").isChecked());
    EXPECT_TRUE(ui.openFilters.isEmpty());
    EXPECT_TRUE(ui.saveFilters.isEmpty());
    EXPECT_EQ(ui.log,
        QStringList({QStringLiteral("002:CRC-32: ") + crc32Text(crc32(w().dataBuffer().data(), 0x4000))
                + QStringLiteral(" (16384 bytes)"),
            QStringLiteral("001:Write Complete!")}));
    EXPECT_EQ(state().jobs_ended, 2) << "the identify job and the write job, nothing else";
}

TEST_F(BusyGuard, OpenFromTheMenuDuringAJobIsRefused)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);
    ui.openFiles.push_back(dir.filePath(QStringLiteral("whatever.bin")));
    QTimer::singleShot(0, &w(), [&] { action("openAction").trigger(); });
    action("writeAction").trigger();
    EXPECT_TRUE(ui.openFilters.isEmpty()) << "the open dialog never came up";
    EXPECT_EQ(w().dataBuffer().usedLength, 0x4000);
}

TEST_F(Faults, UnplugDuringAReadEndsWithAnErrorAndNoCompletionLine)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    // Counted from here: the identify job (3 transfers), the set-up (2), the transfer start (2),
    // then the data blocks; the programmer goes at the fifth block.
    sim.armFault(programmerId, KSIM_FAULT_UNPLUG, 12);
    action("readAction").trigger();
    EXPECT_EQ(ui.errors,
        QStringList {QStringLiteral("Programmer communication failed. (at address 400h)\n"
                                    "The programmer was unplugged.")});
    EXPECT_TRUE(noCompletionLine());
    EXPECT_TRUE(control<QToolBar>("commandBar").isEnabled());
    EXPECT_TRUE(control<QWidget>("mainPanel").isEnabled());
    EXPECT_FALSE(statusBar().progress()->isVisible());
    EXPECT_FALSE(w().operations().isBusy());
}

TEST_F(Faults, StatusSaysNotConnectedAfterAJobThatLostOrFoundNoProgrammerAndReadyAfterOneThatKeptIt)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    w().probeProgrammer();
    sim.armFault(programmerId, KSIM_FAULT_UNPLUG, 12);
    action("readAction").trigger();
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Not connected"));
    EXPECT_TRUE(statusBar().panel1IsRed());

    sim.plug(programmerId);
    action("readAction").trigger();
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready"));

    sim.unplug(programmerId);
    control<QPushButton>("detectButton").click();
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Not connected"));
}

TEST_F(Faults, FailedSetUpEndsTheReadWithoutSpeakingOfAnEmptyChip)
{
    select(W25Q64);
    insertSelected(W25Q64);
    ASSERT_EQ(w().dataBuffer().usedLength, 0);
    // The identify job moves three transfers (command, reply, end); the read job's set-up is next.
    sim.armFault(programmerId, KSIM_FAULT_TIMEOUT, 4);
    action("readAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Programmer communication failed.")});
    EXPECT_EQ(logTexts(), ui.errors);
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(state().bytes_read, 0u);
    expectUnlocked();
}

TEST_F(Faults, EachTransferFaultEndsWithAnErrorBoxAndAnUnlockedWindow)
{
    for (int fault : {KSIM_FAULT_TIMEOUT, KSIM_FAULT_SHORT, KSIM_FAULT_STALL}) {
        for (int command = 0; command < 4; ++command) {
            SCOPED_TRACE(testing::Message() << "fault " << fault << " command " << command);
            sim.reset();
            programmerId = sim.addProgrammer(sim.addBus(), "WinUSBComm");
            select(MX25L1005);
            insertSelected(MX25L1005);
            if (command != 2) // the blank check needs a blank chip to get that far
                fillChipPattern();
            fillBufferPattern(0x20000);
            ui.clearRecords();
            // Transfer 10 falls in the data stream of the job after the identify job.
            sim.armFault(programmerId, fault, 10);
            const char* commands[] = {"readAction", "verifyAction", "blankCheckAction", "writeAction"};
            action(commands[command]).trigger();
            ASSERT_FALSE(ui.errors.isEmpty());
            EXPECT_TRUE(ui.errors.last().startsWith(QStringLiteral("Programmer communication failed. (at address ")));
            EXPECT_TRUE(noCompletionLine());
            EXPECT_TRUE(control<QToolBar>("commandBar").isEnabled());
            EXPECT_TRUE(control<QWidget>("mainPanel").isEnabled());
            EXPECT_FALSE(statusBar().progress()->isVisible());
        }
    }
}

TEST_F(Faults, EraseThatNeverFinishesReportsATimeoutAndAutoStops)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    sim.setErasePolls(programmerId, -1);
    action("eraseAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("The chip did not finish erasing in time.")});
    EXPECT_TRUE(noCompletionLine());

    ui.clearRecords();
    fillBufferPattern(0x100);
    sim.clearCalls();
    action("autoAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("The chip did not finish erasing in time.")});
    EXPECT_EQ(state().bytes_written, 0u) << "Auto stops after the failed erase";
    EXPECT_EQ(logTexts(), ui.errors);
    expectUnlocked();
}

TEST_F(Probe, RepeatedProbesLogOnlyWhenTheProgrammerBecomesConnected)
{
    w().probeProgrammer();
    w().probeProgrammer();
    EXPECT_EQ(ui.log.size(), 1) << "still connected: no second line";
    sim.unplug(programmerId);
    w().probeProgrammer();
    sim.plug(programmerId);
    w().probeProgrammer();
    EXPECT_EQ(ui.log.size(), 2);
}
