// Jobs on chosen regions, end to end through the window's chip commands and the simulator.
#include "tests/ops/CommandFixture.h"

#include "app/MapStrip.h"
#include "layout/FlashLayout.h"

#include "tests/layout/LayoutImages.h"

#include <QDir>
#include <QTest>
#include <QTreeWidget>

#include <random>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr quint32 Size = 0x20000; // MX25L1005

class RegionJobs : public CommandFixture
{
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        select(MX25L1005);
        insertSelected(MX25L1005);
    }
    QByteArray chip() { return QByteArray(reinterpret_cast<const char*>(cells()), Size); }
    QByteArray buffer() { return QByteArray(reinterpret_cast<const char*>(w().dataBuffer().data()), Size); }
    void setBuffer(const QByteArray& bytes)
    {
        std::memcpy(w().dataBuffer().data(), bytes.constData(), std::size_t(bytes.size()));
        w().dataBuffer().usedLength = qint32(bytes.size());
    }
    QByteArrayList backups() const
    {
        QByteArrayList contents;
        const QDir folder(dir.filePath(QStringLiteral("backups")));
        for (const QString& name : folder.entryList(QDir::Files)) {
            QFile file(folder.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            contents << file.readAll();
        }
        return contents;
    }
};

QByteArray randomBytes(std::mt19937& random, quint32 size)
{
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

} // namespace

TEST_F(RegionJobs, WritingChosenRegionsKeepsEveryOtherByteAndLeavesABackup)
{
    action("backUpAction").trigger();
    std::mt19937 random(41);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // Eight regions on 4 KiB bounds at random places, a random choice of at least one.
        std::vector<quint32> cuts {0, Size};
        while (cuts.size() < 9)
            if (const quint32 cut = random() % (Size / 0x1000) * 0x1000;
                std::find(cuts.begin(), cuts.end(), cut) == cuts.end())
                cuts.push_back(cut);
        std::sort(cuts.begin(), cuts.end());
        std::vector<Region> layout, chosen;
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
            layout.push_back({QStringLiteral("r%1").arg(i), cuts[i], cuts[i + 1] - cuts[i], RegionSource::LayoutFile});
            if (random() % 2 || (chosen.empty() && i + 2 == cuts.size()))
                chosen.push_back(layout.back());
        }
        const QByteArray before = randomBytes(random, Size);
        std::memcpy(cells(), before.constData(), Size);
        const QByteArray image = randomBytes(random, Size);
        setBuffer(image);
        ui.clearRecords();

        w().operations().writeRegions(chosen, layout);
        ASSERT_EQ(w().operations().lastOutcome(), CommandOutcome::Done) << ui.errors.join('\n').toStdString();
        QByteArray expected = before;
        for (const Region& r : chosen)
            expected.replace(qsizetype(r.start), qsizetype(r.size), image.mid(qsizetype(r.start), qsizetype(r.size)));
        EXPECT_EQ(chip(), expected);
        EXPECT_EQ(buffer(), expected) << "the buffer holds what was written";
        EXPECT_TRUE(backups().contains(before));
        for (const Region& r : layout) {
            const bool written = std::find(chosen.begin(), chosen.end(), r) != chosen.end();
            EXPECT_TRUE(logTexts().contains(
                QStringLiteral("Region %1 (0x%2-0x%3) %4")
                    .arg(r.name, QString::number(r.start, 16).toUpper().rightJustified(6, '0'),
                        QString::number(r.end(), 16).toUpper().rightJustified(6, '0'), written ? "written" : "kept")))
                << r.name.toStdString();
        }
    }
}

TEST_F(RegionJobs, ADescriptorRegionElsewhereOnTheChipIsWrittenOnlyWhenConfirmed)
{
    using namespace kestrum::testing;
    const Image onChip = descriptorImage(
        Size, {flreg(0, 0xFFF), flreg(0x10000, 0x1FFFF), flreg(0x3000, 0xFFFF), flreg(0x1000, 0x2FFF), UnusedRegion});
    const Image inFile = descriptorImage(
        Size, {flreg(0, 0xFFF), flreg(0x8000, 0x1FFFF), flreg(0x3000, 0x7FFF), flreg(0x1000, 0x2FFF), UnusedRegion});
    const QByteArray chipBytes(reinterpret_cast<const char*>(onChip.data()), Size);
    std::memcpy(cells(), onChip.data(), Size);
    setBuffer(QByteArray(reinterpret_cast<const char*>(inFile.data()), Size));
    const std::vector<Region> layout = readDescriptor(inFile.data(), Size).regions;
    QStringList unknown;

    ui.answers = {false};
    w().operations().writeRegions(chooseRegions(layout, {"bios"}, &unknown), layout);
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Declined);
    EXPECT_EQ(chip(), chipBytes);
    ASSERT_EQ(ui.questions.size(), 1);
    EXPECT_EQ(ui.questions[0], "The boundaries of region bios differ between the chip and the file. Write anyway?");

    // gbe sits where the chip has it: no question.
    w().operations().writeRegions(chooseRegions(layout, {"gbe"}, &unknown), layout);
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
    EXPECT_EQ(ui.questions.size(), 1);

    ui.answers = {true};
    w().operations().writeRegions(chooseRegions(layout, {"bios"}, &unknown), layout);
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
    EXPECT_EQ(chip().mid(0x8000), buffer().mid(0x8000));
}

TEST_F(RegionJobs, VerifyOfChosenRegionsLooksAtThoseRegionsOnly)
{
    fillChipPattern();
    fillBufferPattern(Size);
    w().dataBuffer().data()[0x1800] ^= 1; // in a
    w().dataBuffer().data()[0x4000] ^= 1; // outside every chosen region
    const std::vector<Region> chosen {
        {"a", 0x1000, 0x1000, RegionSource::LayoutFile}, {"b", 0x3000, 0x1000, RegionSource::LayoutFile}};
    w().operations().verifyRegions(chosen);
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Different);
    EXPECT_EQ(w().operations().lastComparison().ranges, (std::vector<DifferenceRange> {{0x1800, 0x1800}}));
    EXPECT_TRUE(logTexts().contains("Region a (0x001000-0x001FFF): 1 bytes differ"));
    EXPECT_TRUE(logTexts().contains("Region b (0x003000-0x003FFF) is the same on the chip"));

    w().operations().verifyRegions({chosen[1]});
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
    w().operations().verifyRegions({{"c", 0x1F000, 0x1001, RegionSource::LayoutFile}});
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Refused);
    EXPECT_TRUE(ui.errors.contains("Region c ends past the end of the chip."));
}

TEST_F(RegionJobs, TheWindowListsTheRegionsOfAnOpenedImageAndTheMapStripGoesWhereItIsClicked)
{
    using namespace kestrum::testing;
    Image bytes = descriptorImage(
        Size, {flreg(0, 0xFFF), flreg(0x10000, 0x1FFFF), flreg(0x3000, 0xFFFF), flreg(0x1000, 0x2FFF), UnusedRegion});
    std::memcpy(&bytes[0x18000], "\x1F\x8B\x08", 3);
    const auto save = [this](const char* name, const QByteArray& content) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    };
    ui.openFiles.push_back(save("bios.bin", QByteArray(reinterpret_cast<const char*>(bytes.data()), Size)));
    action("openAction").trigger();
    auto& list = control<QTreeWidget>("regionList");
    ASSERT_EQ(list.topLevelItemCount(), 5);
    QStringList gbe;
    for (int column = 0; column < 5; ++column)
        gbe << list.topLevelItem(3)->text(column);
    EXPECT_EQ(gbe, QStringList({"gbe", "0x001000", "0x002FFF", "8192", "flash descriptor"}));
    EXPECT_EQ(list.topLevelItem(4)->text(0), "gzip");
    list.setCurrentItem(list.topLevelItem(3));
    EXPECT_EQ(hexView().editor().selectionLow(), 0x1000);
    EXPECT_EQ(hexView().editor().selectionHigh(), 0x2FFF);

    auto& strip = control<MapStrip>("mapStrip");
    strip.resize(84, 400);
    EXPECT_EQ(strip.summary().fill(strip.summary().stretchAt(0x1C000)), MapFill::Blank);
    EXPECT_EQ(strip.summary().fill(strip.summary().stretchAt(0x0)), MapFill::Data);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(10, 300));
    EXPECT_EQ(hexView().editor().cursorPosition(), qint64(Size) * 3 / 4);

    ui.openFiles.push_back(save("layout.txt", "0:fff boot\n1000:1ffff rest\n"));
    action("loadLayoutAction").trigger();
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.topLevelItem(0)->text(4), "layout file");
    ui.openFiles.push_back(save("bad.txt", "0:fff a\n800:17ff b\n"));
    action("loadLayoutAction").trigger();
    EXPECT_TRUE(ui.errors.contains("layout file refused at line 2: regions a and b overlap"));
    w().switchLanguage(1);
    EXPECT_EQ(list.headerItem()->text(0), QString::fromUtf16(u"名稱"));
    EXPECT_EQ(action("loadLayoutAction").text(), QString::fromUtf16(u"載入佈局…"));
}
