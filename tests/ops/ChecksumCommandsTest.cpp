#include "tests/ops/CommandFixture.h"

#include "app/BufferInfoBox.h"
#include "buffer/Checksum.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTimer>

using namespace kestrum;
using namespace kestrum::test;

using ChecksumCommands = CommandFixture;

TEST_F(ChecksumCommands, ReadLogsTheCrcOfTheWholeChipAfterItsCompletionLine)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    quint32 size = 0;
    quint8* chip = cells(&size);
    chip[0x100] = 0x42;
    const std::uint32_t expected = crc32(chip, size);
    action("readAction").trigger();
    ASSERT_EQ(ui.log.size(), 2);
    EXPECT_EQ(ui.log[1], QStringLiteral("001:Read Complete!"));
    EXPECT_EQ(ui.log[0], QStringLiteral("002:CRC-32: %1 (%2 bytes)").arg(crc32Text(expected)).arg(size));
}

TEST_F(ChecksumCommands, WriteLogsTheCrcOfThePagesWritten)
{
    select(MX25L1005);
    insertSelected(MX25L1005);
    fillBufferPattern(1000);
    action("writeAction").trigger();
    // The write grows the image to whole pages: the CRC covers what the chip now holds.
    EXPECT_EQ(ui.log.first(), QStringLiteral("002:CRC-32: %1 (1024 bytes)").arg(crc32Text(crc32(cells(), 1024))));
}

TEST_F(ChecksumCommands, BufferInformationShowsBothPartsFollowsTheLanguageAndCopies)
{
    select(AT24C02);
    fillBufferPattern(1000);
    const quint8* data = w().dataBuffer().data();
    const QString usedCrc = crc32Text(crc32(data, 1000));
    const QString chipSha = sha256Text(data, 256);
    for (int language : {2, 1}) {
        w().switchLanguage(language);
        QString shown;
        QString title;
        QTimer::singleShot(0, &w(), [&] {
            auto* box = qobject_cast<BufferInfoBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            shown = box->text();
            title = box->windowTitle();
            box->findChild<QPushButton*>(QStringLiteral("CopyButton"))->click();
            box->accept();
        });
        action("bufferInfoAction").trigger();
        EXPECT_EQ(title, messageText(MsgInfoTitle, language));
        EXPECT_EQ(action("bufferInfoAction").text(),
            language == 2 ? QStringLiteral("Buffer information(&I)") : QString::fromUtf16(u"緩衝區資訊(&I)"));
        EXPECT_TRUE(shown.contains(messageText(MsgInfoUsedLength, language).arg(1000))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(messageText(MsgInfoChipSize, language).arg(256)));
        EXPECT_TRUE(shown.contains(usedCrc));
        EXPECT_TRUE(shown.contains(chipSha)) << "the chip-size part differs from the used part";
        EXPECT_EQ(QGuiApplication::clipboard()->text(), shown);
    }
}
