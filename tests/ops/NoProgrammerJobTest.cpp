// Chip jobs when the programmer cannot be opened (here: no libusb at all).
#include "ops/ChipProgrammer.h"
#include "tests/ops/RecordingJobView.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

struct NoProgrammer : ::testing::Test
{
    NoProgrammer()
    {
        reporter.setLanguage(2);
        usb.setSleepFunction([](int) {});
    }

    test::ScriptedUserInterface ui;
    Reporter reporter {ui};
    DataBuffer buffer;
    test::RecordingJobView view;
    UsbLink usb {nullptr, "libkestrum-absent-usb.so.0"};
    ChipProgrammer programmer {usb, reporter, buffer, view};
};

} // namespace

TEST_F(NoProgrammer, JobShowsNotConnectedAndEndingItShowsNotConnected)
{
    ChipRecord r {};
    r.chipClass = SpiFlash25;
    r.flashSize = 1024;
    EXPECT_EQ(programmer.beginJob(r, 0), JobStart::NotOpened);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Not connected")});
    EXPECT_FALSE(view.locked);
    EXPECT_FALSE(programmer.isJobOpen());

    programmer.endJob();
    EXPECT_EQ(view.events, (QStringList {QStringLiteral("unlock"), QStringLiteral("status:Not connected")}));
    EXPECT_FALSE(programmer.isJobOpen());
}

TEST_F(NoProgrammer, IdentifyReturnsZeroSilentlyAndLeavesTheReplyAlone)
{
    ChipRecord r {};
    quint8 reply[4] = {0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(programmer.identifyChip(r, 0, reply), Identification::NoProgrammer);
    EXPECT_EQ(reply[0], 0xAA);
    EXPECT_EQ(reply[3], 0xDD);
    EXPECT_TRUE(ui.boxes.isEmpty());
    EXPECT_TRUE(view.events.isEmpty());
}
