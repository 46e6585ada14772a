// The chip database that ships with the program: its source data/chips.csv, the parser that the
// build tool and these tests share, the mkchipdb tool itself, and the built bin/kestrum.Dat.

#include "base/Gbk.h"
#include "base/Reporter.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipSelection.h"
#include "chipdb/NameTokens.h"
#include "chipdb/tools/ChipSource.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

using namespace kestrum;
using namespace kestrum::chipsource;

namespace {

const char* const Header
    = "type,manufacturer,model,jedec_id,capacity,page,class,subtype,delay,voltage,eeprom_size,eeprom_page,source\n";
const char* const GoodFlash = "25 SPI Flash,Winbond,W25Q128FV,EF4018,16M,256,0,0,8000,3.3V,0,0,flashrom\n";

ParsedSource parseWithHeader(const QByteArray& rows)
{
    return parseChipSource(QByteArray(Header) + rows);
}

QString errorsText(const ParsedSource& p)
{
    QStringList lines;
    for (const SourceError& e : p.errors)
        lines << QStringLiteral("%1: %2").arg(e.line).arg(e.message);
    return lines.join(QLatin1Char('\n'));
}

std::string str(const QString& s)
{
    return s.toStdString();
}

ParsedSource shippedSource()
{
    static const ParsedSource parsed = readChipSourceFile(QStringLiteral(KESTRUM_CHIP_SOURCE));
    return parsed;
}

bool isPowerOfTwo(std::uint64_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

int log2Of(std::uint32_t v)
{
    int k = 0;
    while ((1u << k) < v)
        ++k;
    return k;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The source parser

TEST(ChipSourceParsing, ReadsEveryFieldAndCountsLinesPastCommentsAndBlanks)
{
    const ParsedSource p = parseChipSource("# a comment\n\n" + QByteArray(Header)
        + "   # indented comment\n"
          "25 SPI Flash , Macronix ,MX25U12835F,0xc22538,16M,256,0,0,8000,1.8V,4096,32, flashrom u-boot "
          "datasheet:Macronix MX25U12835F \r\n"
          "24 EEPROM,Atmel,AT24C512,0,64K,128,1,1,100,5.0V,0,0,datasheet:Atmel AT24C512\n"
          "93 EEPROM,Generic,93C46-16BIT,0,128,2,2,87,100,5.0V,0,0,datasheet:Generic 93C46-16BIT\n"
          "25 EEPROM,ST,M95M01,0,131072,256,3,2,65535,3.3V,32768,128,datasheet:ST M95M01");
    ASSERT_TRUE(p.ok()) << str(errorsText(p));
    ASSERT_EQ(p.chips.size(), 4u);

    const SourceChip& flash = p.chips[0];
    EXPECT_EQ(flash.line, 5);
    EXPECT_EQ(flash.type, QStringLiteral("25 SPI Flash"));
    EXPECT_EQ(flash.manufacturer, QStringLiteral("Macronix"));
    EXPECT_EQ(flash.model, QStringLiteral("MX25U12835F"));
    EXPECT_EQ(flash.chipId, 0xC22538u);
    EXPECT_EQ(flash.capacity, 16u << 20);
    EXPECT_EQ(flash.page, 256);
    EXPECT_EQ(flash.chipClass, SpiFlash25);
    EXPECT_EQ(flash.delay, 8000);
    EXPECT_EQ(flash.voltage, Volt18);
    EXPECT_EQ(flash.eepromSize, 4096);
    EXPECT_EQ(flash.eepromPage, 32);
    EXPECT_EQ(flash.source, QStringLiteral("flashrom u-boot datasheet:Macronix MX25U12835F"))
        << "the blanks inside the source are kept, those around it are not";

    EXPECT_EQ(p.chips[1].line, 6);
    EXPECT_EQ(p.chips[1].capacity, 65536u);
    EXPECT_EQ(p.chips[1].subtype, 1);
    EXPECT_EQ(p.chips[1].voltage, Volt50);
    EXPECT_EQ(p.chips[2].subtype, 87);
    EXPECT_EQ(p.chips[2].page, 2);
    EXPECT_EQ(p.chips[3].capacity, 131072u) << "a capacity may be written in plain bytes";
    EXPECT_EQ(p.chips[3].delay, 65535);
    EXPECT_EQ(p.chips[3].voltage, Volt33);
}

TEST(ChipSourceParsing, EachFaultyRowIsRefusedWithItsLineAndReason)
{
    struct Case
    {
        const char* row;
        const char* reason; // a piece of the expected message
    };
    const Case cases[] = {
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,flashrom", "expected 13 fields, found 12"},
        {"25 SPI FLASH,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom", "unknown type \"25 SPI FLASH\""},
        {"25 SPI Flash,Win bond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom",
            "manufacturer \"Win bond\" contains a blank"},
        {"25 SPI Flash,Winbond,W25Q64\tFV,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom", "contains a blank or control"},
        {"25 SPI Flash,Winbond,\"W25Q64FV\",EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom", "contains a double quote"},
        {"25 SPI Flash,Winbond,,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom", "model is empty"},
        {"25 SPI Flash,Winbond,W25Q64FV,EFG017,8M,256,0,0,4800,3.3V,0,0,flashrom",
            "jedec_id \"EFG017\" is not a hexadecimal"},
        {"25 SPI Flash,Winbond,W25Q64FV,1EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom", "more than 6 hexadecimal digits"},
        {"25 SPI Flash,Winbond,W25Q64FV,0,8M,256,0,0,4800,3.3V,0,0,flashrom", "needs its JEDEC identification"},
        {"25 SPI Flash,Winbond,W25Q64FV,004017,8M,256,0,0,4800,3.3V,0,0,flashrom", "non-zero manufacturer byte"},
        {"24 EEPROM,Atmel,AT24C02,A10000,256,8,1,0,100,5.0V,0,0,datasheet:Atmel AT24C02", "jedec_id must be 0"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,3M,256,0,0,4800,3.3V,0,0,flashrom",
            "capacity 3145728 is not a power of two"},
        {"24 EEPROM,Atmel,AT24C00,0,32,8,1,0,100,5.0V,0,0,datasheet:Atmel AT24C00",
            "capacity 32 is not a power of two from 64 bytes"},
        {"25 SPI Flash,Winbond,W25Q01JV,EF4021,128M,256,0,0,30000,3.3V,0,0,flashrom", "from 64 bytes to 64 MB"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8MB,256,0,0,4800,3.3V,0,0,flashrom",
            "capacity \"8MB\" is not a decimal"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,264,0,0,4800,3.3V,0,0,flashrom",
            "page size 264 is not a power of two"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,512,0,0,4800,3.3V,0,0,flashrom", "page size 512"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,0,0,0,4800,3.3V,0,0,flashrom", "page size 0"},
        {"24 EEPROM,Atmel,AT24C02,0,256,8,0,0,100,5.0V,0,0,datasheet:Atmel AT24C02",
            "class 0 does not match type \"24 EEPROM\""},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,4,0,4800,3.3V,0,0,flashrom", "class 4 is not 0..3"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,2,4800,3.3V,0,0,flashrom", "must be 0 (standard) or 1 (SST)"},
        {"24 EEPROM,Atmel,AT24C32,0,4K,32,1,0,100,5.0V,0,0,datasheet:Atmel AT24C32", "must be 1 (0 below 4 KB"},
        {"24 EEPROM,Atmel,AT24C16,0,2K,16,1,1,100,5.0V,0,0,datasheet:Atmel AT24C16", "must be 0 (0 below 4 KB"},
        {"93 EEPROM,Generic,93C96,0,4K,1,2,12,100,5.0V,0,0,datasheet:Generic 93C96",
            "subtype 12 is no 93-series organisation code"},
        {"93 EEPROM,Generic,93C66-8BIT,0,512,1,2,7,100,5.0V,0,0,datasheet:Generic 93C66-8BIT",
            "capacity 512 exceeds the 128 bytes"},
        {"25 EEPROM,Atmel,AT25040,0,512,8,3,0,100,5.0V,0,0,datasheet:Atmel AT25040", "must be 1 (0 below 512 B"},
        {"25 EEPROM,Atmel,AT25020,0,256,8,3,1,100,5.0V,0,0,datasheet:Atmel AT25020", "must be 0 (0 below 512 B"},
        {"25 EEPROM,Atmel,AT25M01,0,128K,256,3,1,100,5.0V,0,0,datasheet:Atmel AT25M01", "must be 2 (0 below 512 B"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,65536,3.3V,0,0,flashrom", "delay 65536 does not fit 16 bits"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,0,3.3V,0,0,flashrom", "needs a non-zero delay"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,1023,3.3V,0,0,flashrom",
            "delay 1023 is under the floor 1024"},
        {"25 SPI Flash,Winbond,W25X05,EF3010,64K,256,0,0,99,3.3V,0,0,flashrom", "delay 99 is under the floor 100"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3,0,0,flashrom", "must be 3.3V, 1.8V or 5.0V"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,3000,0,flashrom",
            "eeprom_size 3000 must be 0 or a power"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,65536,0,flashrom", "eeprom_size 65536"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,256,flashrom", "eeprom_page 256 must be 0"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,0,", "source is empty"},
        {"24 EEPROM,Atmel,AT24C02,0,256,8,1,0,100,5.0V,0,0, \t ", "source is empty"},
        {"25 EEPROM,Atmel,AT25010,0,128,256,3,0,100,5.0V,0,0,datasheet:Atmel AT25010",
            "page size 256 exceeds the capacity 128"},
        {"25 SPI Flash,Winbond,W25Q64FV-WITH-A-VERY-LONG-ORDERING-CODE,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom",
            "at most 47 fit"},
        {"25 SPI Flash,Winbond,W25Q64\xF0\x9F\x98\x80,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom", "without a GBK form"},
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,\xFF,flashrom", "not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        // A good row first, so the faulty one sits on line 3 and must not disturb its neighbour.
        const ParsedSource p = parseWithHeader(QByteArray(GoodFlash) + c.row + "\n");
        ASSERT_EQ(p.errors.size(), 1u) << str(errorsText(p));
        EXPECT_EQ(p.errors[0].line, 3);
        EXPECT_TRUE(p.errors[0].message.contains(QString::fromUtf8(c.reason))) << str(p.errors[0].message);
        ASSERT_EQ(p.chips.size(), 1u);
        EXPECT_EQ(p.chips[0].model, QStringLiteral("W25Q128FV"));
    }
}

TEST(ChipSourceParsing, RowsThatCollideWithEarlierRowsNameBothLines)
{
    // The same model under the same maker in another letter case could never be selected.
    ParsedSource p = parseWithHeader(QByteArray(GoodFlash)
        + "25 SPI Flash,Winbond,W25Q32FV,EF4016,4M,256,0,0,2400,3.3V,0,0,flashrom\n"
          "25 SPI Flash,Winbond,w25q128fv,EF4018,16M,256,0,0,8000,3.3V,0,0,flashrom\n");
    ASSERT_EQ(p.errors.size(), 1u) << str(errorsText(p));
    EXPECT_EQ(p.errors[0].line, 4);
    EXPECT_TRUE(p.errors[0].message.contains(QStringLiteral("first on line 2")));
    EXPECT_EQ(p.chips.size(), 2u);

    // The same model under another maker or another type is a different chip.
    p = parseWithHeader(
        QByteArray(GoodFlash) + "25 SPI Flash,Generic,W25Q128FV,EF4018,16M,256,0,0,8000,3.3V,0,0,flashrom\n");
    EXPECT_TRUE(p.ok()) << str(errorsText(p));

    // A maker spelled in another letter case would be merged into the first spelling's list entry.
    p = parseWithHeader(
        QByteArray(GoodFlash) + "25 SPI Flash,WINBOND,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom\n");
    ASSERT_EQ(p.errors.size(), 1u) << str(errorsText(p));
    EXPECT_EQ(p.errors[0].line, 3);
    EXPECT_TRUE(p.errors[0].message.contains(QStringLiteral("differs only in letter case from \"Winbond\" (line 2)")));
}

TEST(ChipSourceParsing, ChipsOfOneIdentificationShareOneDelayAndEachMeetsTheFloor)
{
    struct Case
    {
        const char* row;
        const char* reason; // a piece of the expected message; none when the row is taken
    };
    const Case cases[] = {
        {"25 SPI Flash,Generic,Q128,EF4018,16M,256,0,0,7999,3.3V,0,0,flashrom", "delay 7999 differs from the 8000"},
        {"25 SPI Flash,Generic,Q128,EF4018,16M,256,0,0,8001,3.3V,0,0,flashrom", "delay 8001 differs from the 8000"},
        {"25 SPI Flash,Generic,Q128,EF4018,16M,256,0,0,8000,3.3V,0,0,flashrom", nullptr},
        // The floor itself is enough.
        {"25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,1024,3.3V,0,0,flashrom", nullptr},
        {"25 SPI Flash,Winbond,W25X05,EF3010,64K,256,0,0,100,3.3V,0,0,flashrom", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const ParsedSource p = parseWithHeader(QByteArray(GoodFlash) + c.row + "\n");
        ASSERT_EQ(p.errors.size(), c.reason ? 1u : 0u) << str(errorsText(p));
        if (c.reason)
            EXPECT_TRUE(p.errors[0].message.contains(QString::fromUtf8(c.reason))) << str(p.errors[0].message);
    }
}

TEST(ChipSourceParsing, TypesMustFirstAppearInDetectionOrder)
{
    const QByteArray flash = GoodFlash;
    const QByteArray i2c = "24 EEPROM,Atmel,AT24C02,0,256,8,1,0,100,5.0V,0,0,datasheet:Atmel AT24C02\n";
    const QByteArray mw = "93 EEPROM,Generic,93C46-8BIT,0,128,1,2,7,100,5.0V,0,0,datasheet:Generic 93C46-8BIT\n";
    const QByteArray spi = "25 EEPROM,Atmel,AT25010,0,128,8,3,0,100,5.0V,0,0,datasheet:Atmel AT25010\n";

    EXPECT_TRUE(parseWithHeader(flash + i2c + mw + spi).ok());
    // Once a type has appeared its chips may come anywhere later.
    EXPECT_TRUE(parseWithHeader(
        flash + i2c + mw + spi + "25 SPI Flash,Winbond,W25Q64FV,EF4017,8M,256,0,0,4800,3.3V,0,0,flashrom\n")
                    .ok());

    struct Case
    {
        QByteArray rows;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {i2c + flash, 2, "type \"24 EEPROM\" comes before the first \"25 SPI Flash\" chip"},
        {flash + mw + i2c, 3, "type \"93 EEPROM\" comes before the first \"24 EEPROM\" chip"},
        {flash + i2c + spi + mw, 4, "type \"25 EEPROM\" comes before the first \"93 EEPROM\" chip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const ParsedSource p = parseWithHeader(c.rows);
        ASSERT_FALSE(p.errors.empty());
        EXPECT_EQ(p.errors[0].line, c.line);
        EXPECT_TRUE(p.errors[0].message.contains(QString::fromLatin1(c.reason))) << str(p.errors[0].message);
    }
}

TEST(ChipSourceParsing, HeaderAndWholeSourceFaults)
{
    // The header must come before the first row; a chip row in its place is refused.
    ParsedSource p = parseChipSource("# comment\n" + QByteArray(GoodFlash) + GoodFlash);
    ASSERT_FALSE(p.ok());
    EXPECT_EQ(p.errors[0].line, 2);
    EXPECT_TRUE(p.errors[0].message.contains(QStringLiteral("expected the header line")));

    p = parseChipSource("# nothing but comments\n\n");
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_EQ(p.errors[0].line, 0);
    EXPECT_TRUE(p.errors[0].message.contains(QStringLiteral("no header line")));

    p = parseChipSource(Header);
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_TRUE(p.errors[0].message.contains(QStringLiteral("lists no chip")));

    // A byte-order mark and Windows line ends, as a spreadsheet may save them, are fine.
    p = parseChipSource("\xEF\xBB\xBF" + QByteArray(Header).replace("\n", "\r\n") + GoodFlash);
    EXPECT_TRUE(p.ok()) << str(errorsText(p));
    EXPECT_EQ(p.chips.size(), 1u);

    p = readChipSourceFile(QStringLiteral("/nonexistent/chips.csv"));
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_EQ(p.errors[0].line, 0);
    EXPECT_TRUE(p.errors[0].message.contains(QStringLiteral("/nonexistent/chips.csv")));
}

TEST(ChipSourceParsing, AtMost999ChipsLeaveTheLastSlotForTheEndMarker)
{
    QByteArray rows;
    for (int i = 0; i < MaxChips; ++i)
        rows += QStringLiteral("25 SPI Flash,Winbond,CHIP%1,EF4018,16M,256,0,0,8000,3.3V,0,0,flashrom\n")
                    .arg(i)
                    .toLatin1();
    ParsedSource p = parseWithHeader(rows);
    EXPECT_TRUE(p.ok()) << str(errorsText(p));
    EXPECT_EQ(p.chips.size(), 999u);

    p = parseWithHeader(rows + "25 SPI Flash,Winbond,ONEMORE,EF4018,16M,256,0,0,8000,3.3V,0,0,flashrom\n");
    ASSERT_EQ(p.errors.size(), 1u);
    EXPECT_EQ(p.errors[0].line, 1001);
    EXPECT_TRUE(p.errors[0].message.contains(QStringLiteral("more than 999 chips")));
}

// ---------------------------------------------------------------------------------------------
// From source rows to records

TEST(ChipSourceRecords, TypeWithBlanksIsQuotedSoTheMainWindowReadsThreeNames)
{
    const ParsedSource p = parseWithHeader(
        QByteArray(GoodFlash) + "24 EEPROM,Atmel,AT24C02,0,256,8,1,0,100,5.0V,0,0,datasheet:Atmel AT24C02\n");
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(namesText(p.chips[0]), QStringLiteral("\"25 SPI Flash\",Winbond,W25Q128FV"));
    EXPECT_EQ(namesText(p.chips[1]), QStringLiteral("\"24 EEPROM\",Atmel,AT24C02"));

    for (const SourceChip& chip : p.chips) {
        const NameTokens tokens(namesText(chip));
        ASSERT_EQ(tokens.count(), 3);
        EXPECT_EQ(tokens.trimmedAt(0), chip.type);
        EXPECT_EQ(tokens.trimmedAt(1), chip.manufacturer);
        EXPECT_EQ(tokens.trimmedAt(2), chip.model);
    }
}

TEST(ChipSourceRecords, RecordCarriesEveryFieldAndTheFileEndsWithAZeroRecord)
{
    const ParsedSource p
        = parseWithHeader("25 SPI Flash,SST,SST25VF016B,BF2541,2M,256,0,1,1600,3.3V,1024,16,flashrom\n"
                          "24 EEPROM,Atmel,AT24C02,0,256,8,1,0,100,5.0V,0,0,datasheet:Atmel AT24C02\n"
                          "93 EEPROM,Generic,93C86-16BIT,0,2K,2,2,91,100,5.0V,0,0,datasheet:Generic 93C86-16BIT\n");
    ASSERT_TRUE(p.ok()) << str(errorsText(p));

    const ChipRecord r = toRecord(p.chips[0]);
    EXPECT_EQ(r.namesText(), QStringLiteral("\"25 SPI Flash\",SST,SST25VF016B"));
    EXPECT_EQ(r.chipId, 0xBF2541u);
    EXPECT_EQ(r.flashSize, 2u << 20);
    EXPECT_EQ(r.flashPage, 256);
    EXPECT_EQ(r.chipClass, SpiFlash25);
    EXPECT_EQ(r.subtype, 1);
    EXPECT_EQ(r.delay, 1600);
    EXPECT_EQ(r.xmlLink, 0);
    EXPECT_EQ(r.eepromSize, 1024);
    EXPECT_EQ(r.eepromPage, 16);
    EXPECT_EQ(r.voltage, Volt33);

    const QByteArray bytes = databaseBytes(p.chips);
    ASSERT_EQ(bytes.size(), 4 * ChipRecordSize);
    EXPECT_EQ(std::memcmp(bytes.constData(), &r, ChipRecordSize), 0);
    ChipRecord third {};
    std::memcpy(&third, bytes.constData() + 2 * ChipRecordSize, ChipRecordSize);
    EXPECT_EQ(third.namesText(), QStringLiteral("\"93 EEPROM\",Generic,93C86-16BIT"));
    EXPECT_EQ(third.subtype, 91);
    EXPECT_EQ(third.flashPage, 2);
    EXPECT_EQ(third.flashSize, 2048u);
    EXPECT_EQ(bytes.mid(3 * ChipRecordSize), QByteArray(ChipRecordSize, '\0'));
}

TEST(ChipSourceRecords, MicrowireOrganisationCodes)
{
    EXPECT_EQ(microwireCode(128, 8), 7);
    EXPECT_EQ(microwireCode(256, 8), 8);
    EXPECT_EQ(microwireCode(2048, 8), 11);
    EXPECT_EQ(microwireCode(128, 16), 87);
    EXPECT_EQ(microwireCode(1024, 16), 90);
    EXPECT_EQ(microwireCode(4096, 8), 0);
    EXPECT_EQ(microwireCode(128, 32), 0);
    for (std::uint8_t code : {7, 8, 9, 10, 11, 87, 88, 89, 90, 91}) {
        const std::uint32_t size = microwireCapacity(code);
        EXPECT_EQ(microwireCode(size, code < 87 ? 8 : 16), code);
    }
    EXPECT_EQ(microwireCapacity(12), 0u);
    EXPECT_EQ(microwireCapacity(86), 0u);
    EXPECT_EQ(microwireCapacity(0), 0u);
}

// ---------------------------------------------------------------------------------------------
// The shipped source, data/chips.csv

TEST(ShippedChipSource, ParsesWithoutFaultsAndHoldsEveryFamily)
{
    const ParsedSource p = shippedSource();
    ASSERT_TRUE(p.ok()) << str(errorsText(p));
    ASSERT_LE(p.chips.size(), std::size_t(MaxChips));

    std::map<int, int> perClass;
    for (const SourceChip& c : p.chips)
        ++perClass[c.chipClass];
    EXPECT_GE(perClass[SpiFlash25], 400);

    // The EEPROM families from the smallest to the largest size.
    QSet<std::uint32_t> i2cSizes, mwSizes, spiSizes;
    for (const SourceChip& c : p.chips) {
        if (c.chipClass == I2cEeprom24)
            i2cSizes << c.capacity;
        if (c.chipClass == MicrowireEeprom93)
            mwSizes << c.capacity;
        if (c.chipClass == SpiEeprom25)
            spiSizes << c.capacity;
    }
    for (std::uint32_t kbit : {1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024})
        EXPECT_TRUE(i2cSizes.contains(kbit * 128)) << "24-series of " << kbit << " Kbit";
    for (std::uint32_t kbit : {1, 2, 4, 8, 16})
        EXPECT_TRUE(mwSizes.contains(kbit * 128)) << "93-series of " << kbit << " Kbit";
    for (std::uint32_t kbit : {1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048})
        EXPECT_TRUE(spiSizes.contains(kbit * 128)) << "25-series EEPROM of " << kbit << " Kbit";
    QSet<int> codes;
    for (const SourceChip& c : p.chips)
        if (c.chipClass == MicrowireEeprom93)
            codes << c.subtype;
    EXPECT_EQ(codes, (QSet<int> {7, 8, 9, 10, 11, 87, 88, 89, 90, 91}));
}

TEST(ShippedChipSource, TypesComeInDetectionOrder)
{
    const ParsedSource p = shippedSource();
    ASSERT_FALSE(p.chips.empty());
    QStringList order;
    for (const SourceChip& c : p.chips)
        if (!order.contains(c.type))
            order << c.type;
    EXPECT_EQ(order,
        (QStringList {QStringLiteral("25 SPI Flash"), QStringLiteral("24 EEPROM"), QStringLiteral("93 EEPROM"),
            QStringLiteral("25 EEPROM")}));
}

TEST(ShippedChipSource, EveryFieldIsInRangeAndEveryNameFits)
{
    const ParsedSource p = shippedSource();
    const std::map<QString, int> classOfType = {{QStringLiteral("25 SPI Flash"), 0}, {QStringLiteral("24 EEPROM"), 1},
        {QStringLiteral("93 EEPROM"), 2}, {QStringLiteral("25 EEPROM"), 3}};
    QSet<QString> keys;
    for (const SourceChip& c : p.chips) {
        SCOPED_TRACE(QStringLiteral("line %1: %2").arg(c.line).arg(c.model).toStdString());
        ASSERT_TRUE(classOfType.count(c.type));
        EXPECT_EQ(c.chipClass, classOfType.at(c.type));
        EXPECT_TRUE(isPowerOfTwo(c.capacity) && c.capacity >= 64 && c.capacity <= (64u << 20));
        EXPECT_TRUE(isPowerOfTwo(c.page) && c.page <= 256 && c.page <= c.capacity);
        EXPECT_LE(c.voltage, 2);
        EXPECT_EQ(c.chipId >> 24, 0u);
        if (c.chipClass == SpiFlash25) {
            EXPECT_NE(c.chipId >> 16, 0u) << "a flash needs its manufacturer byte for detection";
            EXPECT_LE(c.subtype, 1);
        } else {
            EXPECT_EQ(c.chipId, 0u);
            EXPECT_EQ(c.delay, 100) << "EEPROMs carry the editor's default delay";
        }
        EXPECT_TRUE(c.eepromSize == 0 || (isPowerOfTwo(c.eepromSize) && c.eepromSize <= 32768));
        EXPECT_TRUE(c.eepromPage == 0 || (isPowerOfTwo(c.eepromPage) && c.eepromPage <= 128));

        for (const QString& name : {c.manufacturer, c.model}) {
            EXPECT_FALSE(name.isEmpty());
            for (QChar ch : name)
                EXPECT_TRUE(ch.unicode() > 32 && ch != QLatin1Char(',') && ch != QLatin1Char('"')) << str(name);
        }
        bool ok = false;
        EXPECT_LE(toGbk(namesText(c), &ok).size(), 47);
        EXPECT_TRUE(ok);
        const QString key = c.type + QLatin1Char(',') + c.manufacturer.toLower() + QLatin1Char(',') + c.model.toLower();
        EXPECT_FALSE(keys.contains(key)) << "listed twice";
        keys << key;
    }
}

TEST(ShippedChipSource, ManufacturerByteBelongsToTheMaker)
{
    // JEDEC manufacturer codes; PMC and ISSI's IS25CD512 answer the continuation code 7F first. XMC uses Micron's 20.
    // Spansion's FL-K parts are made by Winbond and answer with Winbond's EF. Infineon's SEMPER
    // parts answer 34; Microchip's SST25WF020A/040B/080B answer 62 like Sanyo's LE25FU.
    const std::map<QString, std::set<std::uint32_t>> codes = {
        {QStringLiteral("Winbond"), {0xEF}},
        {QStringLiteral("Macronix"), {0xC2}},
        {QStringLiteral("GigaDevice"), {0xC8}},
        {QStringLiteral("EON"), {0x1C}},
        {QStringLiteral("ISSI"), {0x9D, 0x7F}},
        {QStringLiteral("Micron"), {0x20}},
        {QStringLiteral("Numonyx"), {0x20}},
        {QStringLiteral("Spansion"), {0x01, 0xEF}},
        {QStringLiteral("Cypress"), {0x01}},
        {QStringLiteral("Infineon"), {0x01, 0x34}},
        {QStringLiteral("XMC"), {0x20}},
        {QStringLiteral("XTX"), {0x0B}},
        {QStringLiteral("Puya"), {0x85}},
        {QStringLiteral("Zbit"), {0x5E}},
        {QStringLiteral("BoyaMicro"), {0x68}},
        {QStringLiteral("Fudan"), {0xA1}},
        {QStringLiteral("ESMT"), {0x8C}},
        {QStringLiteral("PMC"), {0x7F}},
        {QStringLiteral("AMIC"), {0x37}},
        {QStringLiteral("Atmel"), {0x1F}},
        {QStringLiteral("Adesto"), {0x1F}},
        {QStringLiteral("SST"), {0xBF}},
        {QStringLiteral("Microchip"), {0xBF, 0x62}},
        {QStringLiteral("Nantronics"), {0xD5}},
        {QStringLiteral("ESI"), {0x4A}},
        {QStringLiteral("Zetta"), {0xBA}},
        {QStringLiteral("Sanyo"), {0x62}},
    };
    for (const SourceChip& c : shippedSource().chips) {
        if (c.chipClass != SpiFlash25)
            continue;
        SCOPED_TRACE(QStringLiteral("line %1: %2 %3").arg(c.line).arg(c.manufacturer, c.model).toStdString());
        ASSERT_TRUE(codes.count(c.manufacturer)) << "maker without a known JEDEC code";
        EXPECT_TRUE(codes.at(c.manufacturer).count(c.chipId >> 16)) << std::hex << c.chipId;
        if ((c.chipId >> 16) == 0x7F) {
            EXPECT_EQ((c.chipId >> 8) & 0xFF, 0x9Du) << "PMC's and ISSI's code follows the continuation byte";
        }
    }
}

TEST(ShippedChipSource, CapacityByteAgreesWithTheCapacity)
{
    // Most makers put log2 of the capacity in bytes into the third ID byte. Exceptions: 512 Mbit
    // parts that answer 20, Macronix's 1.8 V MX25U/MX66U (memory type 25, log2 + 0x20; the 3 V
    // MX25L1635E answers 25 with the plain code),
    // Spansion's FL-A and FL-P (memory type 02, one below the usual code up to 64 Mbit), and
    // makers whose third byte is a device or version code (Atmel/Adesto, SST, PMC).
    for (const SourceChip& c : shippedSource().chips) {
        if (c.chipClass != SpiFlash25)
            continue;
        const std::uint32_t maker = c.chipId >> 16;
        if (maker == 0x1F || maker == 0xBF || maker == 0x7F)
            continue;
        SCOPED_TRACE(QStringLiteral("line %1: %2").arg(c.line).arg(c.model).toStdString());
        const int code = int(c.chipId & 0xFF);
        const int expected = log2Of(c.capacity);
        const std::uint32_t memoryType = (c.chipId >> 8) & 0xFF;
        const bool spansionOld = maker == 0x01 && memoryType == 0x02 && c.capacity <= (8u << 20);
        if (spansionOld)
            EXPECT_EQ(code, expected - 1);
        else if (maker == 0xC2 && memoryType == 0x25 && c.model != QLatin1String("MX25L1635E"))
            EXPECT_EQ(code, expected + 0x20);
        else if (c.capacity == (64u << 20) && code == 0x20)
            SUCCEED();
        else
            EXPECT_EQ(code, expected) << std::hex << c.chipId;
    }
}

TEST(ShippedChipSource, ChipsSharingAnIdentificationShareTheirSize)
{
    // Detection selects the first chip with an identification, so all chips with it must agree on
    // what the programmer needs: capacity and page. The supply may differ only where a 1.8 V
    // family answers exactly like a 3 V one (Spansion/Cypress FS-S and FL-S); detection then asks.
    std::map<std::uint32_t, const SourceChip*> first;
    for (const SourceChip& c : shippedSource().chips) {
        if (c.chipClass != SpiFlash25)
            continue;
        const auto [it, inserted] = first.emplace(c.chipId, &c);
        if (inserted)
            continue;
        SCOPED_TRACE(
            QStringLiteral("line %1: %2 answers like %3").arg(c.line).arg(c.model, it->second->model).toStdString());
        EXPECT_EQ(c.capacity, it->second->capacity);
        EXPECT_EQ(c.page, it->second->page);
        if (c.voltage != it->second->voltage) {
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^(S25FS|MX25U3235|SST26WF0)")).match(c.model).hasMatch());
        }
        EXPECT_LE(c.delay, it->second->delay) << "the first chip of an identification must wait longest";
    }
}

TEST(ShippedChipSource, EveryChipOfAnIdentificationWaitsAsLongAsTheSlowest)
{
    std::map<std::uint32_t, int> first; // detection may end on any chip of an identification
    for (const SourceChip& c : shippedSource().chips) {
        if (c.chipClass == SpiFlash25) {
            EXPECT_GE(c.delay, std::max<int>(100, int(c.capacity / 8192))) << c.model.toStdString(); // 16 per Mbit
            EXPECT_EQ(c.delay, first.emplace(c.chipId, c.delay).first->second) << c.model.toStdString();
        }
    }
}

TEST(ShippedChipSource, IdentificationsThatSourcesGiveChipsOfBothSuppliesHoldBoth)
{
    // C2 25 36: the 3 V MX25L3239E and the 1.8 V MX25U3235F/E; BF 26 41 and 43: the 3.3 V SST26VF016B
    // and SST26VF064B, and the 1.8 V SST26WF016B and SST26WF064 as u-boot lists them.
    for (const std::uint32_t id : {0xC22536u, 0xBF2641u, 0xBF2643u}) {
        std::set<int> supplies;
        for (const SourceChip& c : shippedSource().chips)
            if (c.chipClass == SpiFlash25 && c.chipId == id)
                supplies.insert(c.voltage);
        EXPECT_EQ(supplies, (std::set<int> {Volt33, Volt18})) << std::hex << id;
    }
}

TEST(ShippedChipSource, SupplyVoltageFollowsTheFamily)
{
    // 1.8 V families by their part numbers; every other flash runs at 3.3 V (the wide-range
    // MX25R and GD25WQ parts included). EEPROMs run at 3.3 V (the wide-range 1.7/1.8/2.5 to 5.5 V
    // parts included) except Microchip's 24C01C/24C02C and 93C46A/B to 93C86A/B, rated for 4.5 to
    // 5.5 V alone: a 5 V supply can damage a 3.3 V board in in-circuit work.
    const QRegularExpression low(QStringLiteral("^(W25Q\\d+(BW|DW|EW|FW|JW|NW)|MX25U|MX66U|GD25L|EN25S|IS25WP|N25Q\\d+"
                                                "A11|MT25QU|S25FS|S25HS|XM25QU|XM25RU|AT25SL|SST25WF|SST26WF)"));
    const QRegularExpression fiveVoltOnly(QStringLiteral("^(24C0[12]C|93C(46|56|66|76|86)[AB])$"));
    int lowCount = 0;
    int fiveCount = 0;
    for (const SourceChip& c : shippedSource().chips) {
        SCOPED_TRACE(QStringLiteral("line %1: %2").arg(c.line).arg(c.model).toStdString());
        if (c.chipClass != SpiFlash25) {
            const bool is50 = fiveVoltOnly.match(c.model).hasMatch();
            fiveCount += is50;
            EXPECT_EQ(c.voltage, is50 ? Volt50 : Volt33);
            continue;
        }
        const bool is18 = low.match(c.model).hasMatch();
        lowCount += is18;
        EXPECT_EQ(c.voltage, is18 ? Volt18 : Volt33);
    }
    EXPECT_GE(lowCount, 80);
    EXPECT_GT(fiveCount, 0) << "the 5-V-only parts are listed at 5.0V";
}

TEST(ShippedChipSource, EraseWaitAndAlgorithmSuitTheFlash)
{
    for (const SourceChip& c : shippedSource().chips) {
        if (c.chipClass != SpiFlash25)
            continue;
        SCOPED_TRACE(QStringLiteral("line %1: %2").arg(c.line).arg(c.model).toStdString());
        // The erase polls the status about every 100 ms. The slowest datasheets allow about 1.6 s
        // of chip erase per Mbit (200 s for 128 Mbit); nothing gets less than that, nor less than 10 s.
        const double seconds = c.delay * 0.1;
        const double mbit = c.capacity / 131072.0;
        EXPECT_GE(seconds, std::max(10.0, 1.6 * mbit));
        // The SST algorithm (byte/AAI programming) for the parts that program that way: SST25VF...A/B,
        // SST25WF without a letter and ESMT's F25L...A. SST26, SST25VF064C and the SST25WF...A/B
        // (identification 62 16 xx) program by 256-byte pages.
        const bool sstStyle = QRegularExpression(QStringLiteral("^(SST25VF\\d+[AB]|SST25WF\\d+|F25L0\\d\\dA)$"))
                                  .match(c.model)
                                  .hasMatch();
        EXPECT_EQ(c.subtype, sstStyle ? 1 : 0);
        // AT26F004 programs one byte per command and AT26DF041 has no chip erase: neither the page
        // stream nor the SST algorithm serves them.
        EXPECT_FALSE(c.model == QLatin1String("AT26F004") || c.model == QLatin1String("AT26DF041"));
        // MX25L5121E's buffer holds 32 bytes; the M25P05/M25P10 that answer like the -A parts 128.
        const bool olderPage128 = c.chipId == 0x202010 || c.chipId == 0x202011;
        EXPECT_EQ(c.page, c.model == QLatin1String("MX25L5121E") ? 32 : olderPage128 ? 128 : 256);
        if (olderPage128) {
            EXPECT_TRUE(c.model.contains(QLatin1String("page128"))) << "the name tells the page of the older part";
        }
    }
}

TEST(ShippedChipSource, EveryFlashRowNamesItsSourceAndMostAPublicTable)
{
    // A flash row's source lists the public ID tables that give the part's identification, and/or
    // ends with one datasheet: "datasheet:<maker> <document>".
    const QSet<QString> tables
        = {QStringLiteral("flashrom"), QStringLiteral("linux"), QStringLiteral("u-boot"), QStringLiteral("sfud")};
    const QRegularExpression datasheet(QStringLiteral("^datasheet:\\S+ \\S.*$"));
    int flashRows = 0;
    int withTable = 0;
    for (const SourceChip& c : shippedSource().chips) {
        if (c.chipClass != SpiFlash25)
            continue;
        SCOPED_TRACE(QStringLiteral("line %1: %2 \"%3\"").arg(c.line).arg(c.model, c.source).toStdString());
        const qsizetype at = c.source.indexOf(QLatin1String("datasheet:"));
        const QString document = at < 0 ? QString() : c.source.mid(at);
        const QStringList named
            = c.source.left(at < 0 ? c.source.size() : at).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& t : named)
            EXPECT_TRUE(tables.contains(t)) << "unknown table " << str(t);
        if (!document.isEmpty()) {
            EXPECT_TRUE(datasheet.match(document).hasMatch()) << "a datasheet names its maker and document";
        }
        ++flashRows;
        withTable += !named.isEmpty();
    }
    ASSERT_GT(flashRows, 0);
    EXPECT_GE(withTable * 100, flashRows * 97) << withTable << " of " << flashRows << " flash rows name a table";
}

TEST(ShippedChipSource, EveryEepromRowNamesItsDatasheet)
{
    // EEPROMs answer no identification, so no ID table lists them: the source is the datasheet
    // that gives organisation, page size and supply range.
    const QRegularExpression datasheet(QStringLiteral("^datasheet:\\S+ \\S.*$"));
    int rows = 0;
    for (const SourceChip& c : shippedSource().chips) {
        if (c.chipClass == SpiFlash25)
            continue;
        ++rows;
        EXPECT_TRUE(datasheet.match(c.source).hasMatch())
            << "line " << c.line << ": " << str(c.model) << " \"" << str(c.source) << "\"";
    }
    EXPECT_GT(rows, 0);
}

TEST(ShippedChipSource, EepromSizesPagesAndCodesFollowThePartNumbers)
{
    // Density in Kbit from the part number: 24C02 = 2, M24128 = 128, 24CM01 = 24M01 = 24CM1 =
    // BR24G1M = 1024, 25080 = 8, GT25C64 = 64, 25CSM04 = 4096, 93C66 = 4.
    const QRegularExpression i2cNumber(QStringLiteral("24(?:C|LC|G)?(M01|M1|1M|\\d+)"));
    const QRegularExpression spiNumber(QStringLiteral("(?:25|95)(?:LC|S|C|CS)?(M0[1-4]|\\d+)"));
    // The word size: -8BIT/-16BIT for the parts whose ORG pin selects it; Microchip's A = 8 bits,
    // B = 16 bits; Rohm's BR93G (family letter G) has 16 bits only.
    const QRegularExpression mwNumber(QStringLiteral("93(C|LC|G)(46|56|57|66|76|86)([ABC]?)(-8BIT|-16BIT)?$"));
    const QHash<QString, int> spiKbit
        = {{"010", 1}, {"020", 2}, {"040", 4}, {"080", 8}, {"160", 16}, {"320", 32}, {"64", 64}, {"640", 64},
            {"128", 128}, {"256", 256}, {"512", 512}, {"1024", 1024}, {"M01", 1024}, {"M02", 2048}, {"M04", 4096}};
    const QHash<QString, int> mwBytes
        = {{"46", 128}, {"56", 256}, {"57", 256}, {"66", 512}, {"76", 1024}, {"86", 2048}};
    // 93C56 ignores its top address bit and uses the 93C66 code.
    const QHash<QString, int> mwCode = {{"46", 7}, {"56", 9}, {"57", 8}, {"66", 9}, {"76", 10}, {"86", 11}};

    for (const SourceChip& c : shippedSource().chips) {
        SCOPED_TRACE(QStringLiteral("line %1: %2").arg(c.line).arg(c.model).toStdString());
        if (c.chipClass == I2cEeprom24) {
            const auto m = i2cNumber.match(c.model);
            ASSERT_TRUE(m.hasMatch());
            const QString n = m.captured(1);
            const int kbit = n == QLatin1String("M01") || n == QLatin1String("M1") || n == QLatin1String("1M")
                    || n == QLatin1String("1026")
                ? 1024
                : n.toInt();
            EXPECT_EQ(c.capacity, std::uint32_t(kbit) * 128);
            // Pages grow with the size: 8 or 16 up to 16 Kbit, 32 up to 64 Kbit, 64 up to 256 Kbit.
            EXPECT_GE(c.page, c.capacity <= 256 ? 8 : c.capacity <= 2048 ? 16 : c.capacity <= 8192 ? 32 : 64);
            EXPECT_LE(c.page, c.capacity <= 2048 ? 16 : c.capacity <= 8192 ? 32 : c.capacity <= 32768 ? 64 : 256);
        } else if (c.chipClass == SpiEeprom25) {
            const auto m = spiNumber.match(c.model);
            ASSERT_TRUE(m.hasMatch());
            ASSERT_TRUE(spiKbit.contains(m.captured(1)));
            EXPECT_EQ(c.capacity, std::uint32_t(spiKbit.value(m.captured(1))) * 128);
            EXPECT_GE(c.page, c.capacity <= 512 ? 8 : c.capacity <= 2048 ? 16 : c.capacity <= 8192 ? 32 : 64);
            // 32 up to 32 Kbit; 64 Kbit parts have 32 or 64 (CAT25640); 64 up to 256 Kbit.
            EXPECT_LE(c.page, c.capacity <= 512 ? 16 : c.capacity <= 4096 ? 32 : c.capacity <= 32768 ? 64 : 256);
        } else if (c.chipClass == MicrowireEeprom93) {
            const auto m = mwNumber.match(c.model);
            ASSERT_TRUE(m.hasMatch());
            const QString family = m.captured(1), letter = m.captured(3), org = m.captured(4);
            ASSERT_TRUE(!org.isEmpty() || letter == QLatin1String("A") || letter == QLatin1String("B")
                || family == QLatin1String("G"))
                << "the name tells the word size";
            const bool x16 = org == QLatin1String("-16BIT")
                || (org.isEmpty() && (letter == QLatin1String("B") || family == QLatin1String("G")));
            EXPECT_EQ(c.capacity, std::uint32_t(mwBytes.value(m.captured(2))));
            EXPECT_EQ(c.subtype, mwCode.value(m.captured(2)) + (x16 ? 80 : 0));
            EXPECT_EQ(c.page, x16 ? 2 : 1) << "one word per write";
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The built database, bin/kestrum.Dat

TEST(BuiltChipDatabase, LoadsEveryChipOfTheSourceThenTheEndMarker)
{
    const ParsedSource source = shippedSource();
    ASSERT_TRUE(source.ok());
    const int n = int(source.chips.size());

    QFile file(QStringLiteral(KESTRUM_CHIP_DATABASE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << KESTRUM_CHIP_DATABASE;
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), (n + 1) * ChipRecordSize);
    EXPECT_EQ(bytes.mid(n * ChipRecordSize), QByteArray(ChipRecordSize, '\0')) << "end marker of 68 zero bytes";

    test::ScriptedUserInterface ui;
    Reporter reporter(ui);
    ChipTable table;
    ASSERT_EQ(loadChipDatabaseFile(QStringLiteral(KESTRUM_CHIP_DATABASE), table, reporter), LoadResult::Loaded);
    EXPECT_TRUE(ui.errors.isEmpty());
    ASSERT_EQ(table.listedCount(), n);
    EXPECT_TRUE(table[n].isEnd());

    for (int i = 0; i < n; ++i) {
        const SourceChip& c = source.chips[size_t(i)];
        const ChipRecord& r = table[i];
        SCOPED_TRACE(QStringLiteral("slot %1, line %2").arg(i).arg(c.line).toStdString());
        const NameTokens tokens(r.namesText());
        ASSERT_EQ(tokens.count(), 3);
        EXPECT_EQ(tokens.trimmedAt(0), c.type);
        EXPECT_EQ(tokens.trimmedAt(1), c.manufacturer);
        EXPECT_EQ(tokens.trimmedAt(2), c.model);
        EXPECT_EQ(r.chipId, c.chipId);
        EXPECT_EQ(r.flashSize, c.capacity);
        EXPECT_EQ(r.flashPage, c.page);
        EXPECT_EQ(r.chipClass, c.chipClass);
        EXPECT_EQ(r.subtype, c.subtype);
        EXPECT_EQ(r.delay, c.delay);
        EXPECT_EQ(r.xmlLink, 0);
        EXPECT_EQ(r.eepromSize, c.eepromSize);
        EXPECT_EQ(r.eepromPage, c.eepromPage);
        EXPECT_EQ(r.voltage, c.voltage);
    }
}

TEST(BuiltChipDatabase, TypeListMatchesTheDetectionRepliesAndEveryChipIsSelectable)
{
    test::ScriptedUserInterface ui;
    Reporter reporter(ui);
    ChipTable table;
    ASSERT_EQ(loadChipDatabaseFile(QStringLiteral(KESTRUM_CHIP_DATABASE), table, reporter), LoadResult::Loaded);
    ChipSelection selection(table, [](std::uint32_t) {});

    ASSERT_GE(selection.selectByIndices(0, 0, 0), 0);
    EXPECT_EQ(selection.types().items(),
        (QStringList {QStringLiteral("25 SPI Flash"), QStringLiteral("24 EEPROM"), QStringLiteral("93 EEPROM"),
            QStringLiteral("25 EEPROM")}));
    EXPECT_EQ(selection.currentRecord().chipClass, SpiFlash25);
    // Identify reply kinds 2 and 3 select the second and third type with its first chip.
    ASSERT_GE(selection.selectByIndices(1, 0, 0), 0);
    EXPECT_EQ(selection.currentRecord().chipClass, I2cEeprom24);
    ASSERT_GE(selection.selectByIndices(2, 0, 0), 0);
    EXPECT_EQ(selection.currentRecord().chipClass, MicrowireEeprom93);

    // Every chip can be reached through the three lists by its names, and lands on its own slot.
    const ParsedSource source = shippedSource();
    for (int i = 0; i < int(source.chips.size()); ++i) {
        const SourceChip& c = source.chips[size_t(i)];
        EXPECT_EQ(selection.selectByNames(c.type, c.manufacturer, c.model), i) << str(c.model);
    }
}

// ---------------------------------------------------------------------------------------------
// The build tool

TEST(MkChipDbTool, FaultySourceFailsNamingFileAndLineAndLeavesNoDatabase)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("bad.csv"));
    const QString output = dir.filePath(QStringLiteral("kestrum.Dat"));
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(Header) + GoodFlash
            + "25 SPI Flash,Winbond,W25Q64FV,EF4017,3M,256,0,0,4800,3.3V,0,0,flashrom\n");
        QFile old(output);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(ChipRecordSize, 'x'));
    }
    QProcess tool;
    tool.start(QStringLiteral(KESTRUM_MKCHIPDB), {source, output});
    ASSERT_TRUE(tool.waitForFinished(-1));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
    EXPECT_TRUE(err.contains(source + QStringLiteral(":3: error: capacity 3145728 is not a power of two"))) << str(err);
    EXPECT_FALSE(QFile::exists(output)) << "a stale database must not outlive a failed build";

    tool.start(QStringLiteral(KESTRUM_MKCHIPDB), {source});
    ASSERT_TRUE(tool.waitForFinished(-1));
    EXPECT_EQ(tool.exitCode(), 2);
    EXPECT_TRUE(QString::fromLocal8Bit(tool.readAllStandardError()).contains(QStringLiteral("usage")));
}

TEST(MkChipDbTool, WritesTheRecordsOfTheSourceAndAZeroRecord)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("chips.csv"));
    const QString output = dir.filePath(QStringLiteral("kestrum.Dat"));
    const QByteArray text
        = QByteArray(Header) + GoodFlash + "24 EEPROM,ST,M24C02,0,256,16,1,0,100,5.0V,0,0,datasheet:ST M24C02\n";
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QProcess tool;
    tool.start(QStringLiteral(KESTRUM_MKCHIPDB), {QStringLiteral("--summary"), source, output});
    ASSERT_TRUE(tool.waitForFinished(-1));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QString summary = QString::fromLocal8Bit(tool.readAllStandardOutput());
    EXPECT_TRUE(summary.contains(QStringLiteral("2 chips")));
    EXPECT_TRUE(summary.contains(QStringLiteral("24 EEPROM: 1")));

    QFile f(output);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes, databaseBytes(parseChipSource(text).chips));
    ASSERT_EQ(bytes.size(), 3 * ChipRecordSize);
    EXPECT_TRUE(bytes.startsWith("\"25 SPI Flash\",Winbond,W25Q128FV"));
}
