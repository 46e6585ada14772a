#include "chipdb/ChipSelection.h"
#include "chipdb/NameTokens.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kestrum;

namespace {

void put(ChipTable& table, int slot, const QString& names, std::uint32_t size, std::uint16_t page = 256)
{
    ASSERT_TRUE(table[slot].setNamesText(names));
    table[slot].flashSize = size;
    table[slot].flashPage = page;
}

struct SelectionFixture : ::testing::Test
{
    ChipTable table;
    std::vector<std::uint32_t> refreshes;
    ChipSelection selection {table, [this](std::uint32_t n) { refreshes.push_back(n); }};

    void SetUp() override
    {
        put(table, 0, QStringLiteral("25-SPI-Flash,Winbond,W25Q16"), 0x200000);
        put(table, 1, QStringLiteral("25-SPI-Flash,Winbond,W25Q32"), 0x400000);
        put(table, 2, QStringLiteral("25-SPI-Flash,Macronix,MX25L6405"), 0x800000);
        put(table, 3, QStringLiteral("24-EEPROM,Atmel,AT24C02"), 256, 8);
        put(table, 4, QStringLiteral("24-EEPROM,Atmel,AT24C04"), 512, 16);
        put(table, 5, QStringLiteral("93-EEPROM,Microchip,93C46"), 128, 1);
    }
};

} // namespace

TEST(NameTokensSplit, SeparatesOnCommasBlanksAndControlCharacters)
{
    const NameTokens t(QStringLiteral("  a,b c\td,,e"));
    ASSERT_EQ(t.count(), 6);
    EXPECT_EQ(t.at(0), QStringLiteral("a"));
    EXPECT_EQ(t.at(1), QStringLiteral("b"));
    EXPECT_EQ(t.at(2), QStringLiteral("c"));
    EXPECT_EQ(t.at(3), QStringLiteral("d"));
    EXPECT_EQ(t.at(4), QString());
    EXPECT_EQ(t.at(5), QStringLiteral("e"));
}

TEST(NameTokensSplit, QuotedTokensKeepSeparatorsAndDoubledQuotes)
{
    const NameTokens t(QStringLiteral("\"25 SPI, Flash\" , \"say \"\"hi\"\"\",x"));
    ASSERT_EQ(t.count(), 3);
    EXPECT_EQ(t.at(0), QStringLiteral("25 SPI, Flash"));
    EXPECT_EQ(t.at(1), QStringLiteral("say \"hi\""));
    EXPECT_EQ(t.at(2), QStringLiteral("x"));
}

TEST(NameTokensSplit, TrailingCommaGivesOneEmptyTokenButCommaBlankDoesNot)
{
    EXPECT_EQ(NameTokens(QStringLiteral("a,b,")).count(), 3);
    EXPECT_EQ(NameTokens(QStringLiteral("a,b,")).at(2), QString());
    EXPECT_EQ(NameTokens(QStringLiteral("a,b, ")).count(), 2);
}

TEST(NameTokensSplit, MissingTokenRaisesListIndexErrorWithItsNumber)
{
    const NameTokens t(QStringLiteral("onlytype"));
    EXPECT_EQ(t.at(0), QStringLiteral("onlytype"));
    try {
        (void)t.at(2);
        FAIL() << "no error raised";
    } catch (const ListIndexError& e) {
        EXPECT_EQ(e.index(), 2);
        EXPECT_EQ(e.text(), QStringLiteral("List index out of bounds (2)"));
    }
    EXPECT_THROW((void)NameTokens(QStringLiteral(" \t ")).at(0), ListIndexError);
}

TEST(ChipSelectionFill, EmptyTableGivesEmptyListsAndSizesViewBySlotZero)
{
    ChipTable empty;
    std::vector<std::uint32_t> refreshes;
    ChipSelection s(empty, [&](std::uint32_t n) { refreshes.push_back(n); });
    EXPECT_EQ(s.selectByIndices(0, 0, 0), -1);
    EXPECT_EQ(s.types().count(), 0);
    EXPECT_EQ(s.types().selected(), -1);
    ASSERT_EQ(refreshes.size(), 1u);
    EXPECT_EQ(refreshes[0], 0u);
}

TEST_F(SelectionFixture, SelectsTheRecordAndShowsItsFields)
{
    EXPECT_EQ(selection.selectByIndices(0, 1, 0), 2);
    EXPECT_EQ(selection.currentChip(), 2);
    EXPECT_EQ(selection.types().items(),
        QStringList({QStringLiteral("25-SPI-Flash"), QStringLiteral("24-EEPROM"), QStringLiteral("93-EEPROM")}));
    EXPECT_EQ(selection.makers().items(), QStringList({QStringLiteral("Winbond"), QStringLiteral("Macronix")}));
    EXPECT_EQ(selection.names().items(), QStringList({QStringLiteral("MX25L6405")}));
    EXPECT_EQ(selection.sizeText(), QStringLiteral("8388608"));
    EXPECT_EQ(selection.sizeIndex(), 17); // "8MB"
    EXPECT_EQ(sizeListItems()[selection.sizeIndex()], QStringLiteral("8MB"));
    EXPECT_EQ(selection.pageText(), QStringLiteral("256"));
    EXPECT_EQ(refreshes.back(), 0x800000u);
    EXPECT_EQ(selection.makers().selected(), 1);
}

TEST_F(SelectionFixture, IndicesThatDesignateNothingKeepTheChipAndLeaveNoSelection)
{
    ASSERT_EQ(selection.selectByIndices(1, 0, 1), 4);
    EXPECT_EQ(selection.selectByIndices(1, 0, 7), -1);
    EXPECT_EQ(selection.currentChip(), 4);
    EXPECT_EQ(selection.names().selected(), -1);
    EXPECT_EQ(refreshes.back(), 512u) << "the view is sized by the previous chip";
    EXPECT_EQ(selection.selectByIndices(9, 0, 0), -1);
    EXPECT_EQ(selection.types().selected(), -1);
    EXPECT_EQ(selection.makers().count(), 0);
}

TEST_F(SelectionFixture, DuplicateNamesAreListedOnceAndTheFirstRecordWins)
{
    put(table, 6, QStringLiteral("25-SPI-Flash,Winbond,w25q16"), 0x1000);
    put(table, 7, QStringLiteral("25-SPI-Flash,Winbond,W25Q64"), 0x800000);
    EXPECT_EQ(selection.selectByIndices(0, 0, 2), 7);
    EXPECT_EQ(selection.names().count(), 3);
    EXPECT_EQ(selection.selectByIndices(0, 0, 0), 0);
}

TEST_F(SelectionFixture, LetterCaseDuplicateTypeIsListedOnceAndNeverSelected)
{
    put(table, 6, QStringLiteral("24-eeprom,Other,X24C08"), 1024, 16);
    selection.selectByIndices(1, 0, 0);
    EXPECT_EQ(selection.types().count(), 3);
    EXPECT_EQ(selection.makers().items(), QStringList({QStringLiteral("Atmel")}));
}

TEST_F(SelectionFixture, CapacityThatIsNotAPowerOfTwoPicksItsLowestSetBitFromBit6)
{
    put(table, 6, QStringLiteral("X,Y,odd"), 0x3000);
    put(table, 7, QStringLiteral("X,Y,tiny"), 48);
    selection.selectByIndices(3, 0, 0);
    EXPECT_EQ(selection.sizeIndex(), 6); // 0x1000 = 4KB
    EXPECT_EQ(selection.sizeText(), QStringLiteral("12288"));
    selection.selectByIndices(3, 0, 1);
    EXPECT_EQ(selection.sizeIndex(), 6) << "a capacity below 64 leaves the size list as it was";
    EXPECT_EQ(selection.sizeText(), QStringLiteral("48"));
}

TEST_F(SelectionFixture, ViewIsAskedForTheWholeCapacityOfAHandMadeRecord)
{
    put(table, 6, QStringLiteral("X,Y,huge"), 0x80000000u);
    selection.selectByIndices(3, 0, 0);
    EXPECT_EQ(refreshes.back(), 0x80000000u);
}

TEST_F(SelectionFixture, RecordWithTooFewNamesEndsTheFillKeepingWhatWasAdded)
{
    ASSERT_EQ(selection.selectByIndices(0, 0, 1), 1);
    const size_t before = refreshes.size();
    put(table, 2, QStringLiteral("25-SPI-Flash,Macronix"), 0x800000);
    try {
        selection.selectByIndices(0, 1, 0);
        FAIL() << "no error raised";
    } catch (const ListIndexError& e) {
        EXPECT_EQ(e.index(), 2);
    }
    EXPECT_EQ(refreshes.size(), before) << "the hex view is not reloaded";
    EXPECT_EQ(selection.makers().items(), QStringList({QStringLiteral("Winbond"), QStringLiteral("Macronix")}));
    EXPECT_EQ(selection.makers().selected(), -1);
}

TEST_F(SelectionFixture, SelectByNamesNeedsThreeFillsAndIgnoresCase)
{
    selection.selectByIndices(0, 0, 0);
    EXPECT_EQ(
        selection.selectByNames(QStringLiteral("24-eeprom"), QStringLiteral("ATMEL"), QStringLiteral("at24c04")), 4);
    EXPECT_EQ(selection.types().selected(), 1);
    EXPECT_EQ(selection.names().text(), QStringLiteral("AT24C04"));
}

TEST_F(SelectionFixture, ShownChipIsTheRecordTheListsShowAndNoneWhenTheyShowNothing)
{
    EXPECT_EQ(selection.shownChip(), -1) << "before any fill";
    ASSERT_EQ(selection.selectByIndices(1, 0, 1), 4);
    EXPECT_EQ(selection.shownChip(), 4);
    ASSERT_EQ(selection.selectByIndices(1, 0, 7), -1);
    EXPECT_EQ(selection.shownChip(), -1) << "the previous chip stays current but is not shown";
    ASSERT_EQ(selection.selectByIndices(0, 1, 0), 2);
    put(table, 2, QStringLiteral("25-SPI-Flash,Macronix,MX25L12805"), 0x1000000);
    EXPECT_EQ(selection.shownChip(), -1) << "the record under the lists was rewritten";
    put(table, 2, QStringLiteral("25-SPI-Flash,Macronix"), 0x800000);
    EXPECT_THROW(selection.selectByIndices(0, 1, 0), ListIndexError);
    EXPECT_EQ(selection.shownChip(), -1) << "a fill that ends with an error shows no chip";
}

TEST(RecordFlaw, CapacityFromOneByteTo64MiBClassUpTo3AndAPageSizeWhereTheClassPages)
{
    const auto flaw = [](std::uint32_t size, std::uint16_t page, std::uint8_t chipClass) {
        ChipRecord r {};
        r.flashSize = size;
        r.flashPage = page;
        r.chipClass = chipClass;
        return recordFlaw(r);
    };
    EXPECT_EQ(flaw(1, 256, SpiFlash25), std::nullopt);
    EXPECT_EQ(flaw(MaxChipCapacity, 256, SpiFlash25), std::nullopt);
    EXPECT_EQ(flaw(0, 256, SpiFlash25), RecordFlaw::CapacityOutOfRange);
    EXPECT_EQ(flaw(MaxChipCapacity + 1, 256, SpiFlash25), RecordFlaw::CapacityOutOfRange);
    EXPECT_EQ(flaw(128, 8, 4), RecordFlaw::UnknownClass);
    EXPECT_EQ(flaw(128, 0, SpiEeprom25), RecordFlaw::NoPageSize);
    EXPECT_EQ(flaw(128, 0, MicrowireEeprom93), std::nullopt) << "the 93-series is written word by word";
}

namespace {

std::vector<ChipSearchRow> allRows(const ChipTable& table)
{
    std::vector<ChipSearchRow> rows;
    allChipRows(table, [&](const ChipSearchRow& row) { rows.push_back(row); });
    return rows;
}

std::vector<ChipSearchRow> foundRows(const ChipTable& table, const QString& searchText)
{
    std::vector<ChipSearchRow> rows;
    findChipRows(table, searchText, [&](const ChipSearchRow& row) { rows.push_back(row); });
    return rows;
}

} // namespace

TEST_F(SelectionFixture, SearchListsEveryRecordAndFiltersCaseSensitivelyAcrossParts)
{
    EXPECT_EQ(allRows(table).size(), 6u);
    const auto rows = foundRows(table, QStringLiteral(" AT24 "));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, QStringLiteral("AT24C02"));
    EXPECT_EQ(rows[0].slot, 3);
    EXPECT_TRUE(foundRows(table, QStringLiteral("at24")).empty());
    EXPECT_TRUE(foundRows(table, QStringLiteral("   ")).empty()) << "an empty key matches nothing";
    const auto across = foundRows(table, QStringLiteral("Flash,Mac"));
    ASSERT_EQ(across.size(), 1u);
    EXPECT_EQ(across[0].slot, 2);
}

TEST_F(SelectionFixture, SearchRowsBeforeARecordWithTooFewNamesAreHandedOverFirst)
{
    put(table, 2, QStringLiteral("  \"25 SPI\" , Macronix"), 0x800000);
    std::vector<ChipSearchRow> rows;
    try {
        allChipRows(table, [&](const ChipSearchRow& row) { rows.push_back(row); });
        FAIL() << "no error raised";
    } catch (const ListIndexError& e) {
        EXPECT_EQ(e.index(), 2);
    }
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].name, QStringLiteral("W25Q32"));

    rows.clear();
    const auto collect = [&](const ChipSearchRow& row) { rows.push_back(row); };
    EXPECT_THROW(findChipRows(table, QStringLiteral("Macronix"), collect), ListIndexError);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(foundRows(table, QStringLiteral("Atmel")).size(), 2u) << "records that do not match are not split";
}

TEST(SearchColumns, TitlesFollowTheLanguage)
{
    EXPECT_EQ(searchColumnTitles(2)[1], QStringLiteral("Manufacturer"));
    EXPECT_EQ(searchColumnTitles(1)[0], QString::fromUtf16(u"類型"));
    EXPECT_EQ(searchColumnTitles(5)[2], QString::fromUtf16(u"名称"));
}

TEST(ChipsNamed, AManufacturerBeforeTheNameTellsSameNamedChipsApart)
{
    ChipTable table;
    put(table, 0, QStringLiteral("25-SPI-Flash,Fudan,FM25Q08"), 0x100000);
    put(table, 1, QStringLiteral("25-SPI-Flash,Fidelix,FM25Q08"), 0x100000);
    put(table, 2, QStringLiteral("25-SPI-Flash,Fudan,FM25Q08A"), 0x100000);
    put(table, 3, QStringLiteral("25-SPI-Flash,Fudan,FM25Q16"), 0x200000);
    struct Case
    {
        const char* text;
        QList<int> exact;
        QList<int> partial;
    };
    const Case cases[] = {
        {"FM25Q08", {0, 1}, {2}},
        {"Fudan,FM25Q08", {0}, {2}},
        {" fidelix , fm25q08 ", {1}, {}},
        {"Fudan,FM25Q", {}, {0, 2, 3}},
        {"Winbond,FM25Q08", {}, {}},
        {"FM25Q16", {3}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const NamedChips named = chipsNamed(table, QString::fromLatin1(c.text));
        EXPECT_EQ(named.exact, c.exact);
        EXPECT_EQ(named.partial, c.partial);
    }
}
