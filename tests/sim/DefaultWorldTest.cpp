// The world the simulator builds when nobody configures it: what the demo sees with
// LD_LIBRARY_PATH=build/sim-usb build/bin/kestrum. Its own executable, since the default world is
// built only when no control call came first.
#include "link/CommandBlock.h"
#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace kestrum;

TEST(DefaultWorld, HoldsOneProgrammerWithAnEightMebibyteFlashInItsSocket)
{
    void* library = dlopen(UsbBinding::DefaultLibrary, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr);
    ASSERT_NE(dlsym(library, "ksim_reset"), nullptr) << "the simulator is not first on LD_LIBRARY_PATH";

    UsbLink usb;
    usb.setSleepFunction([](int) {});
    ASSERT_EQ(usb.open(0x1FC8, 0x310B), 1);
    EXPECT_EQ(usb.readEndpoint(), 0x82);
    EXPECT_EQ(usb.interfaceNumber(), 0);

    ChipRecord r {};
    CommandBlock identify = CommandBlock::identify(r, 0, ByteOrder::Big);
    ASSERT_EQ(usb.sendCommand(identify.data(), 64, 1), 64);
    EXPECT_EQ(identify[0], ReplySpiFlash);
    EXPECT_EQ(identify[1], 0xEF);
    EXPECT_EQ(identify[2], 0x40);
    EXPECT_EQ(identify[3], 0x17);
    usb.close();
    // A long demo run must not pile up every call: only a test that asks gets them recorded.
    const auto callCount = reinterpret_cast<int (*)()>(dlsym(library, "ksim_call_count"));
    ASSERT_NE(callCount, nullptr);
    EXPECT_EQ(callCount(), 0);
    // Another product id finds nothing.
    EXPECT_EQ(usb.open(0x1FC8, 0x310C), 0);
}
