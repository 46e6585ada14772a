#include "base/Messages.h"
#include "base/Gbk.h"
#include "base/Reporter.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

using namespace kestrum;

TEST(Messages, KeepTrailingBlanksAndLeadingLineFeedsExactly)
{
    EXPECT_EQ(messageText(MsgWriting, 1), QString::fromUtf16(u"編程 Flash ... "));
    EXPECT_EQ(messageText(MsgWriting, 0), QString::fromUtf16(u"编程 Flash ..."));
    EXPECT_EQ(messageText(MsgFileExists, 2), QStringLiteral("File already exists. Is it covered? "));
    EXPECT_EQ(messageText(MsgChipTypeLine, 2), QStringLiteral("\n\n Chip type"));
    EXPECT_EQ(messageText(MsgSelectManually, 0), QString::fromUtf16(u"\n\n请手动选择对应型号烧写。"));
    EXPECT_EQ(messageText(MsgChipTypeDetected, 0), QString::fromUtf16(u"检测到芯片芯片类型: "));
    EXPECT_EQ(messageText(MsgVerifyErrorAddress, 2), QStringLiteral("Flash check error address:"));
    EXPECT_EQ(messageText(MsgBufferEmpty, 2), QStringLiteral("The buffer data is empty. Please load the data file.."));
    EXPECT_EQ(messageText(MsgBlankDone, 2), QStringLiteral("Bank Complete!"));
    EXPECT_EQ(messageText(MsgNotConnected, 0), QString::fromUtf16(u"编程器未接入"));
}

TEST(Messages, EveryEntryExistsInThreeLanguagesAndChineseIsGbk)
{
    for (int k = 0; k < MessageCount; ++k) {
        for (int l = 0; l < LanguageCount; ++l) {
            const QString text = messageText(static_cast<MessageKey>(k), l);
            EXPECT_FALSE(text.isEmpty()) << "entry " << k << " language " << l;
            bool ok = false;
            toGbk(text, &ok);
            EXPECT_TRUE(ok) << "entry " << k << " language " << l << " has no GBK form";
        }
        // English texts are plain ASCII.
        for (QChar c : messageText(static_cast<MessageKey>(k), 2))
            EXPECT_LT(c.unicode(), 128) << "entry " << k;
    }
}

TEST(Messages, LanguageOutsideTheTableFallsBackToSimplifiedChinese)
{
    for (int bad : {-1, 3, 99, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        EXPECT_EQ(messageText(MsgReady, bad), messageText(MsgReady, 0)) << bad;
        EXPECT_EQ(normalizedLanguage(bad), 0);
    }
    EXPECT_EQ(messageText(static_cast<MessageKey>(MessageCount), 2), QString());
}

TEST(Log, NumbersLinesNewestOnTopAndGrowsPast999)
{
    test::ScriptedUserInterface ui;
    Reporter reporter(ui);
    reporter.setLanguage(2);
    reporter.addLogLine(MsgReadDone);
    reporter.addLogLine(QStringLiteral("x"));
    ASSERT_EQ(ui.log.size(), 2);
    EXPECT_EQ(ui.log[0], QStringLiteral("002:x"));
    EXPECT_EQ(ui.log[1], QStringLiteral("001:Read Complete!"));
    for (int i = 3; i < 1000; ++i)
        reporter.nextLogPrefix();
    EXPECT_EQ(reporter.nextLogPrefix(), QStringLiteral("1000:"));
    EXPECT_EQ(reporter.nextLogPrefix(), QStringLiteral("1001:"));
}

TEST(Log, ErrorBoxUsesTheCurrentLanguage)
{
    test::ScriptedUserInterface ui;
    Reporter reporter(ui);
    reporter.setLanguage(1);
    reporter.showError(MsgChipEmpty);
    reporter.setLanguage(7);
    reporter.showError(MsgChipEmpty);
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_EQ(ui.errors[0], QString::fromUtf16(u"芯片為空！"));
    EXPECT_EQ(ui.errors[1], QString::fromUtf16(u"芯片为空！"));
    EXPECT_EQ(reporter.language(), 7) << "the stored value is kept so it can be saved back";
}

TEST(Gbk, RoundTripsChineseAndFlagsUnrepresentableText)
{
    bool ok = false;
    const QByteArray bytes = toGbk(QString::fromUtf16(u"芯片"), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(bytes, QByteArray("\xD0\xBE\xC6\xAC"));
    EXPECT_EQ(fromGbk(bytes), QString::fromUtf16(u"芯片"));
    toGbk(QString::fromUtf16(u"\U0001F600"), &ok);
    EXPECT_FALSE(ok);
}
