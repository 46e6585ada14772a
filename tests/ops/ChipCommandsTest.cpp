#include "tests/ops/CommandFixture.h"

#include "app/MainWindowJobView.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kestrum;
using namespace kestrum::test;

namespace {

bool contains(const std::vector<int>& v, int x)
{
    return std::find(v.begin(), v.end(), x) != v.end();
}

constexpr int OpIdentify = 9;
constexpr int OpSetup = 7;
constexpr int OpEnd = 8;

} // namespace

using ChipCommands = CommandFixture;

TEST_F(ChipCommands, ReadOfABlankChipCompletesThenSaysTheChipIsEmpty)
{
    select(W25Q64);
    insertSelected(W25Q64);
    w().dataBuffer().usedLength = 77;
    action("readAction").trigger();
    ASSERT_EQ(ui.log.size(), 2) << "the completion line, the checksum line";
    EXPECT_EQ(ui.log[1], QStringLiteral("001:Read Complete!"));
    EXPECT_EQ(ui.informations, QStringList {QStringLiteral("The chip is empty!")}) << "news, not a fault";
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(w().dataBuffer().usedLength, 0);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(statusBar().panelText(3), QStringLiteral("00:00:00"));
    expectUnlocked();
}

TEST_F(ChipCommands, ReadSetsTheUsedLengthToTheEvenEndOfTheDataAndShowsTheChip)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    cells()[0x1234] = 0x42;
    cells()[4] = 0x00;
    action("readAction").trigger();
    EXPECT_EQ(w().dataBuffer().usedLength, 0x1236);
    EXPECT_EQ(w().dataBuffer().data()[0x1234], 0x42);
    EXPECT_EQ(hexView().dataSize(), 0x20000);
    std::uint8_t b = 0;
    hexView().readBytes(&b, 0x1234, 1);
    EXPECT_EQ(b, 0x42);
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(ui.log.value(1), QStringLiteral("001:Read Complete!"));
}

TEST_F(ChipCommands, WriteRoundsToWholePagesAndTheChipHoldsTheImage)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(1000);
    action("writeAction").trigger();
    EXPECT_EQ(ui.log.value(1), QStringLiteral("001:Write Complete!"));
    EXPECT_EQ(w().dataBuffer().usedLength, 1024);
    for (quint32 i = 0; i < 1000; ++i)
        ASSERT_EQ(cells()[i], pattern(i)) << i;
    EXPECT_EQ(cells()[1024], 0xFF);
    expectUnlocked();
}

TEST_F(ChipCommands, WriteOfAnEmptyBufferIsRefusedBeforeAnyTraffic)
{
    select(W25Q64);
    insertSelected(W25Q64);
    sim.clearCalls();
    action("writeAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("The buffer data is empty. Please load the data file..")});
    EXPECT_TRUE(sim.calls(KSIM_CALL_OPEN).empty());
}

TEST_F(ChipCommands, EditingOneByteOfTheViewWritesTheWholeChipSize)
{
    select(AT24C02);
    insertSelected(AT24C02);
    ASSERT_TRUE(hexView().editor().keyPress(QLatin1Char('3')));
    action("writeAction").trigger();
    EXPECT_EQ(w().dataBuffer().usedLength, 256);
    EXPECT_EQ(cells()[0], 0x3F);
    EXPECT_EQ(ui.log.value(1), QStringLiteral("001:Write Complete!"));
}

TEST_F(ChipCommands, ImageLongerThanTheChipAsksAndYesWritesTheChipSize)
{
    select(AT24C02);
    insertSelected(AT24C02);
    fillBufferPattern(300);
    ui.answers = {true};
    action("writeAction").trigger();
    ASSERT_EQ(ui.questions.size(), 1);
    EXPECT_EQ(ui.questions[0],
        QStringLiteral("File length is larger than chip capacity. Do you want to continue to write?\n"
                       "(image 304 bytes, chip 256 bytes)"));
    EXPECT_EQ(ui.log.value(1), QStringLiteral("001:Write Complete!"));
    EXPECT_EQ(cells()[255], pattern(255));
    EXPECT_EQ(state().bytes_written, 256u);
}

TEST_F(ChipCommands, ImageLongerThanTheChipAnsweredNoWritesNothingAndLogsWhy)
{
    select(AT24C02);
    insertSelected(AT24C02);
    fillBufferPattern(300);
    ui.answers = {false};
    action("writeAction").trigger();
    EXPECT_EQ(ui.log,
        QStringList {QStringLiteral("001:Write not started: File length is larger than chip capacity. "
                                    "Do you want to continue to write?")});
    EXPECT_EQ(state().bytes_written, 0u);
    EXPECT_EQ(cells()[0], 0xFF);
    expectUnlocked();
}

TEST_F(ChipCommands, VerifyReportsTheFirstDifferenceInItsBoxAndInTheLog)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    fillBufferPattern(0x20000);
    cells()[0x1A2B] ^= 0x01;
    action("verifyAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Flash check error address:1A2Bh")});
    EXPECT_EQ(ui.log, QStringList {QStringLiteral("001:Flash check error address:1A2Bh")});
    EXPECT_EQ(ui.beeps, 1) << "a failed verify still shows its time and beeps";
    expectUnlocked();

    cells()[0x1A2B] ^= 0x01;
    action("verifyAction").trigger();
    EXPECT_EQ(ui.log.first(), QStringLiteral("002:Verify Complete!"));
}

TEST_F(ChipCommands, BlankCheckReportsAChipThatIsNotEmpty)
{
    select(W25Q64);
    insertSelected(W25Q64);
    action("blankCheckAction").trigger();
    EXPECT_EQ(ui.log.first(), QStringLiteral("001:Bank Complete!"));
    cells()[0x7FFFFF] = 0xFE;
    action("blankCheckAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("The chip is not empty.")});
    EXPECT_EQ(ui.log.size(), 2);
    EXPECT_EQ(ui.log.first(), QStringLiteral("002:The chip is not empty."));
    expectUnlocked();
}

TEST_F(ChipCommands, EraseOfAnEmptySocketStopsAfterTheIdentifyJob)
{
    select(W25Q64);
    action("eraseAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("No chips detected, please put the chip to try again!")});
    const auto ops = sentOpcodes();
    EXPECT_TRUE(contains(ops, OpIdentify));
    EXPECT_FALSE(contains(ops, OpSetup));
    expectUnlocked();
}

TEST_F(ChipCommands, EraseClearsEveryClassOfChip)
{
    for (Slot slot : {W25Q64, AT24C02, C93C46, AT25010}) {
        select(slot);
        insertSelected(slot);
        fillChipPattern();
        ui.clearRecords();
        action("eraseAction").trigger();
        quint32 size = 0;
        const quint8* c = cells(&size);
        EXPECT_EQ(ui.log.first().mid(4), QStringLiteral("Erase Complete!")) << slot;
        EXPECT_TRUE(std::all_of(c, c + size, [](quint8 b) { return b == 0xFF; })) << slot;
        EXPECT_TRUE(ui.errors.isEmpty()) << slot;
    }
}

TEST_F(ChipCommands, EveryCommandOnASpiEepromRunsWithoutThePresenceCheck)
{
    select(AT25010);
    insertSelected(AT25010);
    fillChipPattern();
    // The chip answers the identify command as an empty socket does.
    for (const char* name : {"readAction", "writeAction", "verifyAction", "compareAction", "autoAction", "eraseAction",
             "blankCheckAction"}) {
        SCOPED_TRACE(name);
        ui.clearRecords();
        sim.clearCalls();
        action(name).trigger();
        EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
        EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.value(0).toStdString();
        EXPECT_FALSE(contains(sentOpcodes(), OpIdentify));
    }
    EXPECT_EQ(cells()[127], 0xFF) << "the erase ran";
}

TEST_F(ChipCommands, ChipsAbove16MiBAreStreamedInFourByteAddressMode)
{
    select(W25Q256);
    insertSelected(W25Q256);
    cells()[0x1000010] = 0x5A;
    action("readAction").trigger();
    EXPECT_EQ(w().dataBuffer().data()[0x1000010], 0x5A) << "without 4-byte mode the read would wrap at 16 MiB";
    EXPECT_EQ(w().dataBuffer().data()[0x10], 0xFF);
    EXPECT_EQ(w().dataBuffer().usedLength, 0x1000012);
    EXPECT_EQ(ui.log.value(1), QStringLiteral("001:Read Complete!"));
}

TEST_F(ChipCommands, AutoErasesWritesAndVerifies)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    fillBufferPattern(0x800);
    w().dataBuffer().data()[0x10] = 0x00;
    action("autoAction").trigger();
    EXPECT_EQ(ui.log, QStringList {QStringLiteral("001:AUTO Complete!")});
    EXPECT_EQ(cells()[0x10], 0x00);
    EXPECT_EQ(cells()[0x800], 0xFF) << "the erase cleared the rest";
    EXPECT_TRUE(std::find(sleeps.begin(), sleeps.end(), 350) != sleeps.end()) << "a pause before the verify";
    expectUnlocked();
}

TEST_F(ChipCommands, AutoWithoutEraseOnAWrittenChipFailsTheVerify)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    for (quint32 i = 0; i < 0x100; ++i)
        w().dataBuffer().data()[i] = quint8(~pattern(i));
    w().dataBuffer().usedLength = 0x100;
    control<QCheckBox>("autoEraseCheck").setChecked(false);
    control<QPushButton>("autoButton").click();
    // Programming NOR flash only clears bits: the chip holds the AND of old and new data.
    EXPECT_EQ(cells()[0], quint8(pattern(0) & ~pattern(0)));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Flash check error address:")));
    // The failure stays in the log: a failed run never looks like the one before that passed.
    EXPECT_EQ(ui.log, QStringList {QStringLiteral("001:") + ui.errors[0]});
}

TEST_F(ChipCommands, AutoRunsExactlyTheCheckedStepsAndLogsOnlyAPassedVerify)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x100);
    for (int mask = 0; mask < 8; ++mask) {
        const bool erase = mask & 1;
        const bool program = mask & 2;
        const bool verify = mask & 4;
        SCOPED_TRACE(testing::Message() << "erase " << erase << " program " << program << " verify " << verify);
        // The chip starts equal to the image: only an erase without programming makes it differ.
        std::memset(cells(), 0xFF, 0x20000);
        std::memcpy(cells(), w().dataBuffer().data(), 0x100);
        control<QCheckBox>("autoEraseCheck").setChecked(erase);
        control<QCheckBox>("autoProgramCheck").setChecked(program);
        control<QCheckBox>("autoVerifyCheck").setChecked(verify);
        ui.clearRecords();
        ui.sequence.clear();
        sleeps.clear();
        w().dataBuffer().markModified();
        const ksim_state before = state();

        action("autoAction").trigger();

        const ksim_state after = state();
        EXPECT_EQ(after.erase_commands > before.erase_commands, erase);
        EXPECT_EQ(after.bytes_written > before.bytes_written, program);
        EXPECT_EQ(after.bytes_read > before.bytes_read, verify);
        EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 350), verify ? 1 : 0);
        const bool passes = verify && (program || !erase);
        const QStringList failedRun
            = verify ? QStringList({ui.errors.value(0), QStringLiteral("beep")}) : QStringList {QStringLiteral("beep")};
        EXPECT_EQ(
            ui.sequence, passes ? QStringList({QStringLiteral("AUTO Complete!"), QStringLiteral("beep")}) : failedRun);
        EXPECT_EQ(ui.errors.size(), verify && !passes ? 1 : 0);
        EXPECT_EQ(w().hasUnsavedChanges(), !(program && verify))
            << "only a programmed and verified chip holds the buffer";
        expectUnlocked();
    }
}

TEST_F(ChipCommands, AutoWithNothingCheckedOpensAJobAndOnlyShowsTheTime)
{
    select(AT24C02);
    insertSelected(AT24C02);
    fillBufferPattern(16);
    statusBar().setPanelText(3, QStringLiteral("11:11:11"));
    control<QCheckBox>("autoEraseCheck").setChecked(false);
    control<QCheckBox>("autoProgramCheck").setChecked(false);
    control<QCheckBox>("autoVerifyCheck").setChecked(false);
    sim.clearCalls();
    action("autoAction").trigger();
    EXPECT_TRUE(contains(sentOpcodes(), OpSetup));
    EXPECT_TRUE(contains(sentOpcodes(), OpEnd));
    EXPECT_EQ(statusBar().panelText(3), QStringLiteral("00:00:00"));
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(ui.log.isEmpty());
}

TEST_F(ChipCommands, AutoWhoseWriteIsDeclinedShowsNoTimeNoBeepNoLine)
{
    select(AT24C02);
    insertSelected(AT24C02);
    fillBufferPattern(512);
    statusBar().setPanelText(3, QStringLiteral("11:11:11"));
    ui.answers = {false};
    action("autoAction").trigger();
    EXPECT_EQ(statusBar().panelText(3), QStringLiteral("11:11:11"));
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(ui.log.size(), 1) << "only why the write did not start";
    expectUnlocked();
}

TEST_F(ChipCommands, WithoutAProgrammerTheJobReportsNotConnectedAndEndsNotConnected)
{
    sim.unplug(programmerId);
    select(W25Q64);
    fillBufferPattern(16);
    action("writeAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Not connected")});
    EXPECT_EQ(ui.log,
        QStringList({QStringLiteral("002:Check the USB cable and the programmer; see README \"Using the programmer\"."),
            QStringLiteral("001:Not connected")}));
    EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Not connected"));
    EXPECT_TRUE(statusBar().panel1IsRed());
}

TEST_F(ChipCommands, ReadEraseAndWriteBeepBeforeTheirLineVerifyBlankCheckAndAutoAfter)
{
    select(AT24C02);
    insertSelected(AT24C02);
    fillBufferPattern(256);
    struct Case
    {
        const char* command;
        const char* line;
        bool beepFirst;
    };
    // In this order every command succeeds: the chip holds the buffer when it is verified and
    // read, and is erased when it is blank-checked.
    for (const Case& c :
        {Case {"writeAction", "Write Complete!", true}, Case {"verifyAction", "Verify Complete!", false},
            Case {"readAction", "Read Complete!", true}, Case {"autoAction", "AUTO Complete!", false},
            Case {"eraseAction", "Erase Complete!", true}, Case {"blankCheckAction", "Bank Complete!", false}}) {
        ui.sequence.clear();
        action(c.command).trigger();
        const QString line = QString::fromLatin1(c.line);
        // Read and Write add the checksum line after their completion line.
        if (ui.sequence.size() == 3 && ui.sequence[2].startsWith(QLatin1String("CRC-32: ")))
            ui.sequence.removeLast();
        EXPECT_EQ(ui.sequence,
            c.beepFirst ? QStringList({QStringLiteral("beep"), line}) : QStringList({line, QStringLiteral("beep")}));
    }
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(ChipCommands, CompletionLinesNumberOnFromAnyEarlierLine)
{
    select(AT24C02);
    insertSelected(AT24C02);
    w().reporter().addLogLine(QStringLiteral("x"));
    action("blankCheckAction").trigger();
    action("eraseAction").trigger();
    EXPECT_EQ(ui.log[0], QStringLiteral("003:Erase Complete!"));
    EXPECT_EQ(ui.log[1], QStringLiteral("002:Bank Complete!"));
}

TEST_F(ChipCommands, ProgressBarKeepsARangeOfGigabytes)
{
    // A hand-made record may claim more than an int counts; the bar still runs from 0 upward.
    MainWindowJobView::Controls controls;
    controls.statusBar = &statusBar();
    MainWindowJobView jobs(w(), controls);
    QProgressBar* bar = statusBar().progress();
    jobs.showProgress(0xF0000000u, ProgressUnit::Bytes);
    EXPECT_GT(bar->maximum(), 0);
    jobs.setProgressPosition(0x78000000u);
    EXPECT_EQ(bar->value(), bar->maximum() / 2);
    jobs.hideProgress();

    jobs.showProgress(1024, ProgressUnit::Bytes);
    EXPECT_EQ(bar->maximum(), 1024);
    jobs.setProgressPosition(768);
    EXPECT_EQ(bar->value(), 768);
    jobs.hideProgress();
}

TEST(Elapsed, FormatsHoursMinutesSecondsAndKeepsLongHours)
{
    EXPECT_EQ(formatElapsed(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(formatElapsed(3'723'999), QStringLiteral("01:02:03"));
    EXPECT_EQ(formatElapsed(qint64(100) * 3600 * 1000), QStringLiteral("100:00:00"));
    EXPECT_EQ(formatElapsed(-5), QStringLiteral("00:00:00"));
}

TEST_F(ChipCommands, ReadWithoutAProgrammerSaysOnlyNotConnected)
{
    sim.unplug(programmerId);
    select(W25Q64);
    action("readAction").trigger();
    EXPECT_EQ(ui.errors, QStringList({QStringLiteral("Not connected")}));
    EXPECT_EQ(ui.log,
        QStringList({QStringLiteral("002:Check the USB cable and the programmer; see README \"Using the programmer\"."),
            QStringLiteral("001:Not connected")}));
}

TEST_F(ChipCommands, TheControlThatHadTheFocusHasItAgainAfterAJob)
{
    select(AT24C02);
    insertSelected(AT24C02);
    w().show();
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    hexView().setFocus();
    ASSERT_TRUE(hexView().hasFocus());
    action("blankCheckAction").trigger();
    ASSERT_TRUE(ui.log[0].endsWith(QStringLiteral("Bank Complete!")));
    EXPECT_TRUE(hexView().hasFocus());
    // Ctrl+Home and typing reach the hex view.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyEvent(QTest::Click, focus, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(focus, QStringLiteral("5"));
    EXPECT_TRUE(hexView().isModified());
}

TEST_F(ChipCommands, AReadThatRanToItsEndLeavesNothingUnsavedEvenFromABlankChip)
{
    select(W25Q64);
    insertSelected(W25Q64);
    fillBufferPattern(64);
    w().dataBuffer().markModified();
    ui.answers = {true};
    action("readAction").trigger();
    EXPECT_EQ(ui.informations, QStringList {QStringLiteral("The chip is empty!")});
    EXPECT_FALSE(w().hasUnsavedChanges()) << "the buffer holds what the chip holds";

    // A stopped read holds only part of the chip: what was there to save still is.
    fillBufferPattern(64);
    w().dataBuffer().markModified();
    ui.clearRecords();
    ui.answers = {true};
    QTimer::singleShot(0, &w(), [this] { action("stopAction").trigger(); });
    action("readAction").trigger();
    EXPECT_EQ(logTexts().value(logTexts().size() - 1), QStringLiteral("Stopped"));
    EXPECT_TRUE(w().hasUnsavedChanges());
}
