// What is on the chip: Compare, the confirmed read, the question before a write onto a flash that
// holds data, the backups and the log file, end to end through the window and the simulator.
#include "tests/ops/CommandFixture.h"

#include "buffer/Checksum.h"

#include <QDir>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr quint32 Size = 0x20000; // MX25L1005

class Safeguards : public CommandFixture
{
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        select(MX25L1005);
        insertSelected(MX25L1005);
    }
    QStringList backups() const { return QDir(dir.filePath(QStringLiteral("backups"))).entryList(QDir::Files); }
    QByteArray chip() { return QByteArray(reinterpret_cast<const char*>(cells()), Size); }
    /// Presses Stop at the n-th pass of the event loop during the next command.
    void stopAtPass(int n)
    {
        auto* timer = new QTimer(&w());
        QObject::connect(timer, &QTimer::timeout, &w(), [this, timer, n, passes = 0]() mutable {
            if (++passes < n)
                return;
            action("stopAction").trigger();
            timer->deleteLater();
        });
        timer->start(0);
    }
};

TEST_F(Safeguards, CompareListsTheDifferingRangesAndSelectsTheChosenOneInTheView)
{
    fillChipPattern();
    fillBufferPattern(Size);
    for (const quint32 at : {0x1000u, 0x100Fu, 0x1020u, Size - 1})
        w().dataBuffer().data()[at] ^= 0x01;
    w().reloadView(Size);
    action("compareAction").trigger();
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Different);
    const std::vector<DifferenceRange> expected {{0x1000, 0x100F}, {0x1020, 0x1020}, {Size - 1, Size - 1}};
    EXPECT_EQ(w().operations().lastComparison().ranges, expected);
    EXPECT_EQ(w().operations().lastComparison().differingBytes, 4u);
    EXPECT_TRUE(logTexts().contains(QStringLiteral("Compare: 4 bytes differ in 3 ranges.")));
    EXPECT_EQ(w().dataBuffer().data()[0x1000], pattern(0x1000) ^ 0x01) << "the buffer stays as it was";
    auto& list = *child<QTreeWidget>(*w().findChild<QDialog*>(QStringLiteral("compareDialog")), "rangeList");
    ASSERT_EQ(list.topLevelItemCount(), 3);
    list.setCurrentItem(list.topLevelItem(0));
    EXPECT_EQ(hexView().editor().selectionLow(), 0x1000);
    EXPECT_EQ(hexView().editor().selectionHigh(), 0x100F);
    expectUnlocked();
    w().switchLanguage(1);
    EXPECT_EQ(list.window()->windowTitle(), QString::fromUtf16(u"比較"));
    EXPECT_EQ(list.headerItem()->text(0), QString::fromUtf16(u"開始"));
}

TEST_F(Safeguards, CompareWithFileComparesTheBufferWithoutTheProgrammer)
{
    fillBufferPattern(Size);
    QByteArray image(reinterpret_cast<const char*>(w().dataBuffer().data()), Size);
    image[0x200] = char(image[0x200] ^ 0x01);
    image[Size - 1] = char(image[Size - 1] ^ 0x01);
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(image);
    file.close();
    ui.openFiles.push_back(path);
    sim.clearCalls();
    action("compareFileAction").trigger();
    EXPECT_TRUE(logTexts().contains(QStringLiteral("Compare: 2 bytes differ in 2 ranges.")));
    auto& list = *child<QTreeWidget>(*w().findChild<QDialog*>(QStringLiteral("compareDialog")), "rangeList");
    ASSERT_EQ(list.topLevelItemCount(), 2);
    EXPECT_EQ(list.topLevelItem(1)->text(0), QStringLiteral("0x01FFFF"));
    EXPECT_TRUE(sim.calls(KSIM_CALL_OPEN).empty()) << "no programmer needed";
    EXPECT_EQ(w().dataBuffer().data()[0x200], pattern(0x200)) << "the buffer stays as it was";
}

TEST_F(Safeguards, CompareCoversTheChipPastTheImagesUsedLength)
{
    // The buffer is erased past the image: data on the chip there differs from it.
    std::memset(cells(), 0xFF, Size);
    fillBufferPattern(0x100);
    std::memcpy(cells(), w().dataBuffer().data(), 0x100);
    cells()[0x8000] = 0x00;
    action("compareAction").trigger();
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Different);
    EXPECT_EQ(w().operations().lastComparison().ranges, (std::vector<DifferenceRange> {{0x8000, 0x8000}}));
}

TEST_F(Safeguards, ReadTwiceReportsReadsThatDifferAndNotACleanDoubleRead)
{
    fillChipPattern();
    action("readTwiceAction").trigger();
    for (const bool noisy : {false, true}) {
        SCOPED_TRACE(noisy);
        ui.clearRecords();
        // Transfer 300 is a data block of the first read: one byte of it arrives flipped.
        if (noisy) {
            ASSERT_EQ(sim.armFault(programmerId, KSIM_FAULT_NOISE, 300), 0);
        }
        action("readAction").trigger();
        EXPECT_EQ(w().operations().lastOutcome(), noisy ? CommandOutcome::Different : CommandOutcome::Done);
        EXPECT_EQ(logTexts().contains(QStringLiteral("Both reads are equal.")), !noisy);
        ASSERT_EQ(ui.errors.size(), noisy ? 1 : 0);
        if (noisy) {
            EXPECT_TRUE(ui.errors[0].endsWith(QStringLiteral("A lower speed may help: 6MHz.")))
                << ui.errors[0].toStdString();
            EXPECT_EQ(w().operations().lastComparison().differingBytes, 1u);
        }
        EXPECT_EQ(state().bytes_read, (noisy ? 2 : 1) * 2 * Size) << "each read reads the chip twice";
    }
}

TEST_F(Safeguards, WriteOntoAFlashThatHoldsDataAsksFirst)
{
    struct Row
    {
        int answer;
        CommandOutcome outcome;
    };
    for (const Row& row :
        {Row {0, CommandOutcome::Done}, Row {1, CommandOutcome::Done}, Row {2, CommandOutcome::NotBlank}}) {
        SCOPED_TRACE(row.answer);
        ui.clearRecords();
        std::memset(cells(), 0x5A, Size);
        fillBufferPattern(0x4000);
        ui.buttonAnswers = {row.answer};
        action("writeAction").trigger();
        EXPECT_EQ(w().operations().lastOutcome(), row.outcome);
        EXPECT_EQ(ui.questions,
            QStringList {QStringLiteral("The chip is not blank: writing without erasing gives wrong data.")});
        ASSERT_FALSE(ui.buttonCaptions.empty());
        EXPECT_EQ(ui.buttonCaptions.back(), (QStringList {"Erase and write", "Write anyway", "Cancel"}));
        for (quint32 i = 0; i < Size; ++i) {
            const quint8 old = 0x5A;
            const quint8 image = i < 0x4000 ? pattern(i) : 0xFF;
            const quint8 want = row.answer == 0 ? image : row.answer == 1 ? quint8(old & image) : old;
            if (cells()[i] != want)
                FAIL() << "chip byte " << i;
        }
        ui.buttonCaptions.clear();
    }
    // EEPROMs overwrite their bytes: no question.
    select(AT25010);
    insertSelected(AT25010);
    std::memset(cells(), 0x5A, 128);
    fillBufferPattern(128);
    action("writeAction").trigger();
    EXPECT_TRUE(ui.buttonCaptions.empty());
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
}

TEST_F(Safeguards, TheNotBlankQuestionLooksAtTheWrittenPagesAndBelongsToOneWrite)
{
    // 0x3F01 bytes are written as 0x40 whole pages: 0x3FFF lies in the last, partly filled one.
    for (const auto& [at, asked] : {std::pair {0x3FFFu, true}, std::pair {0x4000u, false}}) {
        SCOPED_TRACE(at);
        ui.clearRecords();
        std::memset(cells(), 0xFF, Size);
        cells()[at] = 0x00;
        fillBufferPattern(0x3F01);
        ui.buttonAnswers = {2};
        action("writeAction").trigger();
        EXPECT_EQ(ui.questions.size(), asked ? 1 : 0);
        EXPECT_EQ(w().operations().lastOutcome(), asked ? CommandOutcome::NotBlank : CommandOutcome::Done);
    }
    // After a declined "not blank", a longer image that is declined reports its own decline.
    ASSERT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
    std::memset(cells(), 0x5A, Size);
    fillBufferPattern(0x100);
    ui.buttonAnswers = {2};
    action("writeAction").trigger();
    ASSERT_EQ(w().operations().lastOutcome(), CommandOutcome::NotBlank);
    fillBufferPattern(Size + 0x100);
    ui.answers = {false};
    action("writeAction").trigger();
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Declined);
}

TEST_F(Safeguards, ABackupIsWrittenOnceWithTheChipsNameAndContent)
{
    action("backUpAction").trigger();
    fillChipPattern();
    const QByteArray old = chip();
    fillBufferPattern(0x4000);
    ui.buttonAnswers = {0};
    action("writeAction").trigger();
    ASSERT_EQ(backups().size(), 1);
    const QString name = backups().front();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{8}-\\d{6}-MX25L1005-%1\\.bin$")
                                       .arg(crc32Text(crc32(reinterpret_cast<const quint8*>(old.constData()), Size))))
                    .match(name)
                    .hasMatch())
        << name.toStdString();
    QFile kept(dir.filePath(QStringLiteral("backups/") + name));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), old);
    EXPECT_TRUE(logTexts().contains(QStringLiteral("Backup: ") + kept.fileName()));
    EXPECT_EQ(state().bytes_read, Size) << "the question takes what the backup read found";
    EXPECT_EQ(chip().left(0x4000), QByteArray(reinterpret_cast<const char*>(w().dataBuffer().data()), 0x4000));

    // The same chip with the same content again: no second file. A blank chip: none at all.
    std::memcpy(cells(), old.constData(), Size);
    action("eraseAction").trigger();
    action("eraseAction").trigger();
    EXPECT_EQ(backups(), QStringList {name});
    EXPECT_TRUE(logTexts().contains(QStringLiteral("Backup: the chip is blank, nothing to keep.")));
}

TEST_F(Safeguards, AFailedOrStoppedBackupReadEndsTheJobBeforeAnythingIsErased)
{
    action("backUpAction").trigger();
    fillChipPattern();
    fillBufferPattern(0x4000);
    struct Row
    {
        const char* command;
        bool stop;
        CommandOutcome outcome;
    };
    for (const Row& row : {Row {"eraseAction", false, CommandOutcome::Failed},
             Row {"autoAction", false, CommandOutcome::Failed}, Row {"autoAction", true, CommandOutcome::Stopped}}) {
        SCOPED_TRACE(std::string(row.command) + (row.stop ? " stopped" : " failed"));
        ui.clearRecords();
        // Transfer 100 is a data block of the backup read.
        if (row.stop)
            stopAtPass(3);
        else
            ASSERT_EQ(sim.armFault(programmerId, KSIM_FAULT_TIMEOUT, 100), 0);
        action(row.command).trigger();
        EXPECT_EQ(w().operations().lastOutcome(), row.outcome);
        EXPECT_EQ(state().erase_commands, 0);
    }
    EXPECT_EQ(logTexts().value(logTexts().size() - 1), QStringLiteral("Stopped"));
    EXPECT_EQ(state().bytes_written, 0u);
    EXPECT_TRUE(backups().isEmpty());
    EXPECT_EQ(cells()[Size - 1], pattern(Size - 1));
    expectUnlocked();
}

TEST_F(Safeguards, ABackupThatIsNotConfirmedEndsTheJobBeforeTheChipChanges)
{
    action("backUpAction").trigger();
    fillChipPattern();
    fillBufferPattern(0x4000);
    struct Row
    {
        bool readTwice;
        CommandOutcome outcome;
        QString error;
    };
    const Row rows[] = {
        // One flipped byte in the first backup read (transfer 100): the second read disagrees.
        {true, CommandOutcome::Different,
            QStringLiteral("The two reads of the backup differ (1 bytes in 1 ranges): the connection is unreliable. "
                           "No backup was kept and the chip was not changed.")},
        // A file where the backups folder belongs.
        {false, CommandOutcome::BackupFailed, QStringLiteral(": Not a directory. The chip was not changed.")},
    };
    for (const Row& row : rows) {
        if (w().operations().readsTwice() != row.readTwice)
            action("readTwiceAction").trigger();
        if (!row.readTwice) {
            ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("backups"))).open(QIODevice::WriteOnly));
        }
        for (const char* command : {"eraseAction", "autoAction"}) {
            SCOPED_TRACE(command);
            ui.clearRecords();
            if (row.readTwice) {
                ASSERT_EQ(sim.armFault(programmerId, KSIM_FAULT_NOISE, 100), 0);
            }
            action(command).trigger();
            EXPECT_EQ(w().operations().lastOutcome(), row.outcome);
            ASSERT_EQ(ui.errors.size(), 1);
            EXPECT_TRUE(ui.errors[0].endsWith(row.error)) << ui.errors[0].toStdString();
            EXPECT_EQ(state().erase_commands, 0);
            EXPECT_EQ(state().bytes_written, 0u);
        }
    }
}

TEST_F(Safeguards, TheLogFileKeepsEveryLineWithItsTimeAcrossARestart)
{
    const auto kept = [this] {
        QFile file(dir.filePath(QStringLiteral("kestrum.log")));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    w().reporter().addLogLine(QStringLiteral("first"));
    w().reporter().addLogLine(QStringLiteral("second"));
    const QStringList before = kept();
    ASSERT_GE(before.size(), 2);
    EXPECT_TRUE(before.last().endsWith(QStringLiteral(":second")));
    const auto shown = ui.log.size();
    window = std::make_unique<MainWindow>(&ui, dir.filePath(QStringLiteral("kestrum")));
    w().reporter().addLogLine(QStringLiteral("third"));
    const QStringList after = kept();
    EXPECT_EQ(after.mid(0, before.size()), before) << "the lines of the session before stay";
    EXPECT_EQ(after.size() - before.size(), ui.log.size() - shown) << "one line in the file per line in the log";
    EXPECT_TRUE(after.last().endsWith(QStringLiteral(":third")));
    const QRegularExpression stamped(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\d{3}:"));
    for (const QString& line : after)
        EXPECT_TRUE(stamped.match(line).hasMatch()) << line.toStdString();
}

TEST_F(Safeguards, ALogFileThatCannotBeWrittenIsToldOfOnce)
{
    // A folder where the file would be: no write can succeed.
    window.reset();
    QFile::remove(dir.filePath(QStringLiteral("kestrum.log")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("kestrum.log")));
    window = std::make_unique<MainWindow>(&ui, dir.filePath(QStringLiteral("kestrum")));
    for (int i = 0; i < 3; ++i)
        w().reporter().addLogLine(QStringLiteral("line"));
    EXPECT_EQ(ui.log.filter(QStringLiteral("Cannot write the log file")).size(), 1) << ui.log.join('|').toStdString();
}

} // namespace
