// Searching the data: every answer of the fast search equals a plain scan's, in both directions,
// with and without case folding; and addresses as people type them.
#include "hexview/AddressText.h"
#include "hexview/ByteSearch.h"

#include <gtest/gtest.h>

#include <random>

using namespace kestrum;

namespace {

bool plainMatch(const QByteArray& data, qint64 at, const QByteArray& a, const QByteArray& b)
{
    for (qint64 k = 0; k < a.size(); ++k)
        if (data[at + k] != a[k] && data[at + k] != b[k])
            return false;
    return true;
}

} // namespace

TEST(ByteSearch, AgreesWithAPlainScanEverywhere)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        // A small alphabet makes matches, near misses and overlaps common.
        QByteArray data(int(random() % 200), Qt::Uninitialized);
        for (char& c : data)
            c = "aAbB"[random() % 4];
        QByteArray a(int(1 + random() % 5), Qt::Uninitialized);
        for (char& c : a)
            c = "aAbB"[random() % 4];
        const bool fold = random() % 2 == 0;
        QByteArray b = fold ? a.toUpper() : a;
        if (fold)
            a = a.toLower();
        const SearchPattern pattern(a, b);
        const qint64 m = a.size();
        const qint64 n = data.size();
        const qint64 from = n == 0 ? 0 : qint64(random() % (n + 1));
        qint64 next = -1;
        qint64 previous = -1;
        qint64 count = 0;
        for (qint64 at = 0; at + m <= n; ++at) {
            if (!plainMatch(data, at, a, b))
                continue;
            if (next < 0 && at >= from)
                next = at;
            if (at < from)
                previous = at;
        }
        for (qint64 at = 0; at + m <= n;)
            at += plainMatch(data, at, a, b) ? (++count, m) : 1;
        SCOPED_TRACE(data.toStdString() + " / " + a.toStdString() + " from " + std::to_string(from));
        EXPECT_EQ(pattern.next(data.constData(), n, from), next);
        EXPECT_EQ(pattern.previous(data.constData(), n, from), previous);
        EXPECT_EQ(pattern.count(data.constData(), n), count);
        qint64 replaced = 0;
        const QByteArray result = pattern.replaced(data.constData(), n, QByteArray("#"), &replaced);
        EXPECT_EQ(replaced, count);
        EXPECT_EQ(result.size(), n - count * (m - 1));
    }
}

TEST(ByteSearch, PatternsFromHexAndText)
{
    EXPECT_EQ(SearchPattern::ofHex(QStringLiteral("0x4B, 45\n4e")).bytes(), QByteArray("KEN"));
    for (const char* refused : {"4B4", "hello", "", "0x"})
        EXPECT_TRUE(SearchPattern::ofHex(QString::fromLatin1(refused)).isEmpty()) << refused;
    const QByteArray data = QStringLiteral("xx Über ÜBER").toUtf8();
    const SearchPattern folded = SearchPattern::ofUtf8(QStringLiteral("über"), false);
    EXPECT_EQ(folded.count(data.constData(), data.size()), 2) << "the other case of a non-ASCII letter";
    EXPECT_EQ(SearchPattern::ofUtf8(QStringLiteral("über"), true).count(data.constData(), data.size()), 0);
    EXPECT_TRUE(SearchPattern::ofCodePage(QStringLiteral("\u4E2D"), false, TranslationKind::AsIs).isEmpty())
        << "a character the code page has not";
}

TEST(AddressText, TypedAddresses)
{
    const struct
    {
        const char* text;
        std::optional<qint64> value;
    } cases[] = {{"1000", 0x1000}, {"0x1000", 0x1000}, {"0X1f", 0x1F}, {"#4096", 4096}, {"+10", 0x110},
        {"-#16", 0xF0}, {" + 0x10 ", 0x110}, {"-0x200", -0x100}, {"", std::nullopt}, {"0x", std::nullopt},
        {"#12a", std::nullopt}, {"hello", std::nullopt}, {"1 0", std::nullopt}, {"++1", std::nullopt},
        {"#-5", std::nullopt}, {"FFFFFFFFFFFFFFFFFF", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(parseAddressText(QString::fromLatin1(c.text), 0x100), c.value) << c.text;
    EXPECT_EQ(addressText(0x3FFF), QStringLiteral("0x003FFF"));
}
