// The notations --serial accepts, field by field.
#include "jobs/SerialNumber.h"

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

TEST(SerialNumber, NotationsOfEachField)
{
    using F = Serial::Format;
    const struct
    {
        const char* text;
        bool valid;
        quint32 address;
        quint64 start;
        quint64 step;
        int width;
        F format;
    } cases[] = {
        {"16:1", true, 16, 1, 1, 4, F::Le},
        {"0x10:0X1f", true, 0x10, 0x1F, 1, 4, F::Le},
        {"010:017", true, 8, 15, 1, 4, F::Le}, // a leading 0: octal
        {"0:0", true, 0, 0, 1, 4, F::Le},
        {"0b11:1", true, 3, 1, 1, 4, F::Le},
        {" 1:2 ", true, 1, 2, 1, 4, F::Le},
        {"0:18446744073709551615:2:8:BE", true, 0, 18446744073709551615ULL, 2, 8, F::Be},
        {"0:1:3", true, 0, 1, 3, 4, F::Le},
        {"0:1:5:2:ascii", true, 0, 1, 5, 2, F::Ascii},
        {"0:1:hex", true, 0, 1, 1, 4, F::Hex},
        {"0x3FFFFFC:1", true, 0x3FFFFFC, 1, 1, 4, F::Le},
        {"0x3FFFFFD:1", false, 0, 0, 0, 0, F::Le},
        {"0:18446744073709551616", false, 0, 0, 0, 0, F::Le},
        {"0:1:2:65", false, 0, 0, 0, 0, F::Le},
        {"0:1:2:0", false, 0, 0, 0, 0, F::Le},
        {"08:1", false, 0, 0, 0, 0, F::Le},
        {"0x:1", false, 0, 0, 0, 0, F::Le},
        {"-1:1", false, 0, 0, 0, 0, F::Le},
        {"+1:1", false, 0, 0, 0, 0, F::Le},
        {"1:-1", false, 0, 0, 0, 0, F::Le},
        {"1a:1", false, 0, 0, 0, 0, F::Le},
        {"1", false, 0, 0, 0, 0, F::Le},
        {"0:1:2:3:le:x", false, 0, 0, 0, 0, F::Le},
        {"0:1:xx", false, 0, 0, 0, 0, F::Le},
        {":1", false, 0, 0, 0, 0, F::Le},
    };
    for (const auto& c : cases) {
        const std::optional<Serial> s = parseSerial(QString::fromLatin1(c.text));
        ASSERT_EQ(s.has_value(), c.valid) << c.text;
        if (!s)
            continue;
        EXPECT_EQ(s->address, c.address) << c.text;
        EXPECT_EQ(s->start, c.start) << c.text;
        EXPECT_EQ(s->step, c.step) << c.text;
        EXPECT_EQ(s->width, c.width) << c.text;
        EXPECT_EQ(s->format, c.format) << c.text;
    }
}

} // namespace
} // namespace kestrum::test
