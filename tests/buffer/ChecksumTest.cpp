#include "buffer/Checksum.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kestrum;

namespace {

const auto* Check = reinterpret_cast<const std::uint8_t*>("123456789");

} // namespace

TEST(Checksum, Crc32OfTheCheckStringIsTheStandardValueAndContinuesAcrossPieces)
{
    EXPECT_EQ(crc32(Check, 9), 0xCBF43926U);
    EXPECT_EQ(crc32(Check + 4, 5, crc32(Check, 4)), 0xCBF43926U);
    EXPECT_EQ(crc32(Check, 0), 0U);
    EXPECT_EQ(crc32Text(0x0000BEEFU), QStringLiteral("0000BEEF"));
}

TEST(Checksum, Sha256OfKnownInputs)
{
    EXPECT_EQ(sha256Text(reinterpret_cast<const std::uint8_t*>("abc"), 3),
        QStringLiteral("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
    EXPECT_EQ(sha256Text(Check, 0), QStringLiteral("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"));
}
