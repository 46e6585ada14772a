// Stop and the running job's display: a job ends at its next block or status poll, cleanly and
// with "Stopped" in the log; panel 3 counts the seconds, panel 4 tells rate and time left.
#include "tests/ops/CommandFixture.h"

#include "app/MainWindowJobView.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr int OpEnd = 8;

class Stop : public CommandFixture
{
protected:
    /// Runs at every pass of the window's event loop during the next command (the job pumps it
    /// after every block and every status poll) until it returns true.
    void duringJob(std::function<bool()> step)
    {
        auto* timer = new QTimer(&w());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, &w(), [timer, step = std::move(step)] {
            if (step()) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start();
    }
    /// Presses Stop at the n-th pass of the event loop during the next command.
    void stopAtPass(int n)
    {
        duringJob([this, n, passes = 0]() mutable {
            if (++passes < n)
                return false;
            action("stopAction").trigger();
            return true;
        });
    }

    /// The job ended as every job ends (end command last, link closed, window usable), the log's
    /// last line says "Stopped" and no completion line was written.
    void expectStoppedCleanly()
    {
        expectUnlocked();
        EXPECT_FALSE(action("stopAction").isEnabled()) << "Stop only while a job runs";
        ASSERT_FALSE(sentOpcodes().empty());
        EXPECT_EQ(sentOpcodes().back(), OpEnd);
        EXPECT_EQ(logTexts().value(logTexts().size() - 1), QStringLiteral("Stopped"));
        EXPECT_TRUE(noCompletionLine()) << logTexts().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Stopped);
    }
};

TEST_F(Stop, ReadKeepsWhatArrivedAndTheRestIsErased)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    fillBufferPattern(0x20000);
    w().show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    // Esc is the key of Stop, also with the Stop bar out of sight: five blocks arrive before it is
    // seen.
    control<QToolBar>("stopBar").hide();
    duringJob([this, passes = 0]() mutable {
        if (++passes < 5)
            return false;
        QTest::keyEvent(QTest::Click, &w(), Qt::Key_Escape);
        return true;
    });
    action("readAction").trigger();
    expectStoppedCleanly();
    const quint8* data = w().dataBuffer().data();
    EXPECT_EQ(w().dataBuffer().usedLength, 5 * 256);
    for (quint32 i = 0; i < 0x20000; ++i) {
        if (data[i] != (i < 5 * 256 ? pattern(i) : 0xFF))
            FAIL() << "buffer byte " << i;
    }
    EXPECT_EQ(hexView().editor().dataSize(), 0x20000) << "the view spans the chip, as after a whole read";
}

TEST_F(Stop, WriteVerifyBlankCheckAndEraseEndAtTheNextBlockOrPoll)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);

    // Write first checks that the flash is blank where the image goes: the stop comes in the write.
    duringJob([this, passes = 0]() mutable {
        if (statusBar().panelText(1) != w().reporter().message(MsgWriting) || ++passes < 3)
            return false;
        action("stopAction").trigger();
        return true;
    });
    action("writeAction").trigger();
    expectStoppedCleanly();
    EXPECT_EQ(state().bytes_written, 3u * 256) << "three blocks went out";

    for (const char* command : {"verifyAction", "blankCheckAction"}) {
        SCOPED_TRACE(command);
        ui.clearRecords();
        // The chip holds the three blocks written: verify finds them equal; blank check an
        // erased chip.
        if (std::string(command) == "blankCheckAction")
            std::memset(cells(), 0xFF, 0x20000);
        const quint32 readBefore = state().bytes_read;
        stopAtPass(2);
        action(command).trigger();
        expectStoppedCleanly();
        EXPECT_EQ(state().bytes_read - readBefore, 2u * 256);
    }

    // No command interrupts a whole-chip erase: the job ends Stopped once the chip is done, and
    // what comes next finds the chip ready.
    ui.clearRecords();
    sim.setErasePolls(programmerId, 50);
    const int pollsBefore = state().status_polls;
    stopAtPass(3);
    action("eraseAction").trigger();
    expectStoppedCleanly();
    EXPECT_GT(state().status_polls - pollsBefore, 50);
    EXPECT_EQ(state().erase_busy, 0);
    ui.clearRecords();
    action("writeAction").trigger();
    EXPECT_TRUE(logTexts().contains(QStringLiteral("Write Complete!")));
    EXPECT_EQ(state().protocol_errors, 0);
    EXPECT_EQ(cells()[0x100], pattern(0x100));

    // A page erase stops at the next page.
    select(AT24C02);
    insertSelected(AT24C02);
    ui.clearRecords();
    const int erasesBefore = state().erase_commands;
    stopAtPass(4);
    action("eraseAction").trigger();
    expectStoppedCleanly();
    EXPECT_EQ(state().erase_commands - erasesBefore, 4);
}

TEST_F(Stop, AutoRunsNoFurtherStep)
{
    // A stop during the erase, even at its last poll, writes nothing.
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);
    for (int pass : {2, 4}) {
        SCOPED_TRACE(pass);
        ui.clearRecords();
        sim.setErasePolls(programmerId, 3);
        const quint32 writtenBefore = state().bytes_written;
        stopAtPass(pass);
        action("autoAction").trigger();
        expectStoppedCleanly();
        EXPECT_EQ(state().bytes_written, writtenBefore);
    }
}

TEST_F(Stop, AutoStopsWithinItsWriteStep)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);
    const quint32 readBefore = state().bytes_read;
    // Stop once the write step has sent its first kilobyte.
    duringJob([this] {
        if (state().bytes_written < 1024)
            return false;
        action("stopAction").trigger();
        return true;
    });
    action("autoAction").trigger();
    expectStoppedCleanly();
    EXPECT_EQ(state().erase_commands, 1);
    EXPECT_LT(state().bytes_written, 0x4000u);
    EXPECT_EQ(state().bytes_read, readBefore) << "no verify after a stopped write";
    EXPECT_EQ(ui.beeps, 1) << "the time of the run is shown";
}

TEST_F(Stop, AStopThatComesWithTheLastBlockLetsTheStepEndAndAutoStartsNoOther)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(0x4000);
    // Stop is pressed in the pump that follows a stream's last block: the work is done and said so.
    // The stream is told by its status text: Write's blank check before it is a stream as well.
    const auto stopAtLastBlock = [this](MessageKey stream) {
        duringJob([this, stream] {
            const QProgressBar* bar = statusBar().progress();
            if (statusBar().panelText(1) != w().reporter().message(stream) || bar->isHidden()
                || bar->value() + 256 < bar->maximum())
                return false;
            action("stopAction").trigger();
            return true;
        });
    };
    const std::tuple<const char*, const char*, MessageKey> streams[]
        = {{"blankCheckAction", "Bank Complete!", MsgBlankChecking}, {"writeAction", "Write Complete!", MsgWriting},
            {"verifyAction", "Verify Complete!", MsgVerifying}, {"readAction", "Read Complete!", MsgReading}};
    for (const auto& [command, line, stream] : streams) {
        SCOPED_TRACE(command);
        ui.clearRecords();
        stopAtLastBlock(stream);
        action(command).trigger();
        EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
        EXPECT_TRUE(logTexts().contains(QString::fromLatin1(line))) << logTexts().join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(logTexts().contains(QStringLiteral("Stopped")));
    }
    EXPECT_EQ(w().dataBuffer().usedLength, 0x4000) << "the read kept the whole chip";

    // Auto stopped with its write step's last block: no verify follows.
    ui.clearRecords();
    const quint32 readBefore = state().bytes_read;
    const quint32 writtenBefore = state().bytes_written;
    duringJob([this, writtenBefore] {
        if (state().bytes_written - writtenBefore < 0x4000)
            return false;
        action("stopAction").trigger();
        return true;
    });
    action("autoAction").trigger();
    expectStoppedCleanly();
    EXPECT_EQ(state().bytes_read, readBefore) << "no verify after a stop with the write's last block";
}

TEST_F(Stop, ClosingTheWindowDuringAJobAsksWhetherToStopIt)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    w().show();

    // No: the job goes on to its end and the window stays.
    ui.answers = {false};
    QTimer::singleShot(0, &w(), [&] { w().close(); });
    action("readAction").trigger();
    EXPECT_EQ(ui.questions, QStringList {messageText(MsgStopJobQuestion, 2)});
    EXPECT_TRUE(logTexts().contains(QStringLiteral("Read Complete!")));
    QCoreApplication::processEvents();
    EXPECT_TRUE(w().isVisible());

    // Yes: the job stops at its next block and ends cleanly; the window then closes as a close
    // does, so a buffer with changes asks first, and No keeps the window for good.
    fillBufferPattern(0x100);
    w().dataBuffer().markModified();
    ui.clearRecords();
    ui.answers = {true, false};
    QTimer::singleShot(0, &w(), [&] { w().close(); });
    action("blankCheckAction").trigger();
    expectStoppedCleanly();
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.questions, QStringList({messageText(MsgStopJobQuestion, 2), messageText(MsgDiscardChanges, 2)}));
    EXPECT_TRUE(w().isVisible());
    ui.clearRecords();
    action("blankCheckAction").trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ui.questions.isEmpty()) << "the close answered No is not carried out later";
    EXPECT_TRUE(w().isVisible());

    // Read asks about the changes first, then the close asks to stop, then about the changes.
    ui.clearRecords();
    ui.answers = {true, true, true};
    QTimer::singleShot(0, &w(), [&] { w().close(); });
    action("readAction").trigger();
    expectStoppedCleanly();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w().isVisible()) << "the window closes once the job has ended";
}

TEST_F(Stop, PanelsShowRunningTimeRateAndTimeLeftThenTheViewAgain)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    // The view's cursor information before the job.
    const QString position = statusBar().panelText(4);
    ASSERT_FALSE(position.isEmpty());
    // A clock that moves 10 ms at every pump: 256 bytes per 10 ms is 25.6 kB/s, 131,072 bytes take
    // 5.12 s.
    qint64 now = 0;
    w().jobView().setClock([&now] { return now; });
    QStringList rates;
    QStringList times;
    bool percentShown = false;
    duringJob([&] {
        now += 10;
        rates << statusBar().panelText(4);
        times << statusBar().panelText(3);
        percentShown = percentShown || statusBar().progress()->text().endsWith(QLatin1Char('%'));
        return false;
    });
    action("readAction").trigger();

    ASSERT_GT(rates.size(), 500);
    // Blank for the first half second, then the moving average.
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(rates[i], QString()) << i;
    EXPECT_TRUE(rates.contains(QStringLiteral("25 kB/s, 0:04 left")));
    EXPECT_TRUE(rates.contains(QStringLiteral("25 kB/s, 0:01 left")));
    EXPECT_TRUE(times.contains(QStringLiteral("00:00:03")));
    EXPECT_TRUE(times.contains(QStringLiteral("00:00:05")));
    EXPECT_TRUE(percentShown);

    // After the job: the view's information again, and the job's own measured time.
    EXPECT_EQ(statusBar().panelText(4), hexView().positionText());
    EXPECT_NE(statusBar().panelText(3), QStringLiteral("00:00:05"));

    // The texts follow the language.
    w().switchLanguage(0);
    now = 0;
    rates.clear();
    action("readAction").trigger();
    EXPECT_TRUE(rates.contains(QStringLiteral("25 kB/s，剩余 0:04")));
}

TEST_F(Stop, AJobThatEndsWithoutItsTimeGivesPanel3ItsTextBack)
{
    select(AT24C02);
    insertSelected(AT24C02);
    fillBufferPattern(512);
    statusBar().setPanelText(3, QStringLiteral("11:11:11"));
    qint64 now = 0;
    w().jobView().setClock([&now] { return now += 400; });
    // The image is longer than the chip and the question is answered No: no time is shown.
    ui.answers = {false};
    action("autoAction").trigger();
    EXPECT_EQ(statusBar().panelText(3), QStringLiteral("11:11:11"));
}

} // namespace
