// What the chip commands tell the user: the wrong chip is a question that can select the chip that
// answered, a read cut short says how much arrived, an image that outgrew the chip is asked about
// with both sizes; and the log stays readable while a job runs.
#include "tests/ops/CommandFixture.h"

#include <QRegularExpression>
#include <QTimer>

#include <map>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class HonestResults : public CommandFixture
{
protected:
    /// Runs step at the n-th pass of the window's event loop during the next command.
    void atPass(int n, std::function<void()> step)
    {
        auto* timer = new QTimer(&w());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, &w(), [timer, n, step = std::move(step), passes = 0]() mutable {
            if (++passes < n)
                return;
            step();
            timer->stop();
            timer->deleteLater();
        });
        timer->start();
    }
    bool logHas(const QRegularExpression& line) const
    {
        return std::any_of(ui.log.begin(), ui.log.end(), [&](const QString& l) { return line.match(l).hasMatch(); });
    }
};

TEST_F(HonestResults, ReadAndVerifyOnAnotherFlashAskAndUseSelectsTheChipThatAnswered)
{
    const struct
    {
        const char* command;
        int button;
        int selectedAfter;
        CommandOutcome outcome;
    } cases[] = {
        {"readAction", 0, MX25L1005, CommandOutcome::Done},
        {"verifyAction", 0, MX25L1005, CommandOutcome::Done},
        {"verifyAction", 1, W25Q64, CommandOutcome::Done},
        {"readAction", 2, W25Q64, CommandOutcome::WrongChip},
    };
    insertSelected(MX25L1005);
    fillChipPattern();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " button " + std::to_string(c.button));
        select(W25Q64);
        fillBufferPattern(0x1000);
        ui.clearRecords();
        ui.buttonAnswers = {c.button};
        action(c.command).trigger();
        ASSERT_EQ(ui.buttonCaptions.size(), 1u);
        EXPECT_EQ(ui.buttonCaptions[0], QStringList({"Use MX25L1005", "Keep W25Q64", "Cancel"}));
        EXPECT_TRUE(ui.questions.value(0).endsWith(QStringLiteral("The chip that answered: MX25L1005")));
        EXPECT_EQ(w().selection().currentChip(), c.selectedAfter);
        EXPECT_EQ(w().operations().lastOutcome(), c.outcome);
        expectUnlocked();
    }
}

TEST_F(HonestResults, AReadCutShortLogsTheBytesThatArrivedAndTheViewSpansTheChip)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    atPass(4, [this] { sim.unplug(programmerId); });
    action("readAction").trigger();
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Failed);
    EXPECT_TRUE(logHas(QRegularExpression(QStringLiteral("Read ended after [1-9][0-9,]* of 131,072 bytes$"))))
        << ui.log.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(hexView().editor().dataSize(), 0x20000);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QRegularExpression(QStringLiteral("\\(at address [0-9A-F]+h\\)"))));
    EXPECT_TRUE(ui.errors[0].endsWith(QStringLiteral("The programmer was unplugged.")));
}

TEST_F(HonestResults, AnImageThatAnInsertMadeLongerThanTheChipIsAskedAboutWithBothSizes)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillChipPattern();
    w().reloadView(0x20000);
    hexView().editor().setInsertMode(true);
    ASSERT_TRUE(hexView().editor().keyPress(QLatin1Char('1')));
    ASSERT_TRUE(hexView().editor().keyPress(QLatin1Char('2')));
    ASSERT_EQ(hexView().dataSize(), 0x20001);
    ui.answers = {false};
    action("writeAction").trigger();
    ASSERT_EQ(ui.questions.size(), 1);
    EXPECT_TRUE(ui.questions[0].endsWith(QStringLiteral("(image 131328 bytes, chip 131072 bytes)")));
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Declined);
    EXPECT_TRUE(logHas(QRegularExpression(QStringLiteral("Write not started: File length is larger"))));
    EXPECT_EQ(cells()[0], pattern(0)) << "nothing was written";
}

TEST_F(HonestResults, TheLogStaysReadableDuringAJobAndTheRestOfThePanelIsLocked)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    std::map<std::string, bool> enabled;
    atPass(2, [&] {
        for (const char* name : {"logView", "hexView", "nameCombo", "chipColumn"})
            enabled[name] = control<QWidget>(name).isEnabled();
    });
    action("readAction").trigger();
    EXPECT_EQ(enabled,
        (std::map<std::string, bool> {
            {"chipColumn", false}, {"hexView", false}, {"logView", true}, {"nameCombo", false}}));
    EXPECT_TRUE(control<QWidget>("hexView").isEnabled());
}

} // namespace
