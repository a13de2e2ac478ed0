// The device access and the bounded reader, in this process, on the simulated printer.
#include "usbprobe/usb_device.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sim/sim_host.h"
#include "tests/usbprobe/capture.h"
#include "tests/usbprobe/printer_fixture.h"
#include "usbprobe/bounded_task.h"
#include "usbprobe/transfer.h"

namespace usbprobe_test {
namespace {

class DeviceOnPrinter : public PrinterTest {};

TEST_F(DeviceOnPrinter, EveryUseSharesOneDescriptorOnTheNode) {
    CCapture capture;
    {
        usbprobe::CUsbDevice device(capture.File());
        ASSERT_TRUE(device.Open());
        EXPECT_EQ(device.NodePath(), RootPath() + "/dev/usb/lp0");
        EXPECT_FALSE(device.Extended());  // a pseudo-terminal refuses the device-ID request

        uint8_t buffer[512] = {};
        EXPECT_TRUE(device.ReadDescriptors(0, buffer, sizeof buffer).success);
        EXPECT_TRUE(device.GetDeviceId(buffer, sizeof buffer).success);
        const uint8_t identity[] = {0xA5, 0x00, 0x03, 0x10, 0xE0, 0xEB};
        size_t done = 0;
        EXPECT_EQ(device.Write(identity, sizeof identity, done), 0);
        EXPECT_EQ(device.Read(buffer, sizeof buffer, done, -1), 0);
        EXPECT_GT(done, 0u);
        EXPECT_TRUE(device.Open());
        EXPECT_EQ(printer_->HostDescriptorCount(), 1);
    }
    EXPECT_EQ(printer_->HostDescriptorCount(), 0);
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(DeviceOnPrinter, NodeThatDoesNotOpenIsPassedOver) {
    // lp0 stays in sysfs while its node is gone; a second printer, lp1, is the device.
    sim::SimOptions options;
    options.modelFile = KELVARO_SOURCE_DIR "/cfg/k600.ini";
    ASSERT_NE(host_->AddUsbPrinter(options), nullptr);
    std::filesystem::remove(RootPath() + "/dev/usb/lp0");
    CCapture capture;
    usbprobe::CUsbDevice device(capture.File());
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.NodePath(), RootPath() + "/dev/usb/lp1");
}

TEST_F(DeviceOnPrinter, ReaderBlockedWithoutBoundIsCancelledAndJoined) {
    CCapture capture;
    usbprobe::CUsbDevice device(capture.File());
    ASSERT_TRUE(device.Open());
    bool reported = true;
    const bool finished = usbprobe::RunBounded(
        [&](usbprobe::CCancelToken& token) {
            uint8_t buffer[64];
            size_t got = 0;
            reported = usbprobe::ReadReply(capture.File(), device, buffer, sizeof buffer, got, token) !=
                       usbprobe::kErrorCancelled;
        },
        usbprobe::WaitBound{1, 3});
    EXPECT_FALSE(finished);
    EXPECT_FALSE(reported);
    EXPECT_EQ(capture.Text(), "");
}

TEST(BoundedTask, WorkThatEndsInTimeIsNotCancelled) {
    bool claimed = false;
    EXPECT_TRUE(usbprobe::RunBounded([&](usbprobe::CCancelToken& token) { claimed = token.Claim(); },
                                     usbprobe::WaitBound{1, 1000}));
    EXPECT_TRUE(claimed);
}

TEST(BoundedTask, OnlyOneSideHasTheLastWord) {
    usbprobe::CCancelToken claimedFirst;
    EXPECT_TRUE(claimedFirst.Claim());
    EXPECT_FALSE(claimedFirst.Cancel());
    pollfd quiet{claimedFirst.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&quiet, 1, 0), 0);

    usbprobe::CCancelToken cancelledFirst;
    EXPECT_TRUE(cancelledFirst.Cancel());
    EXPECT_FALSE(cancelledFirst.Claim());
    pollfd woken{cancelledFirst.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&woken, 1, 0), 1);
}

}  // namespace
}  // namespace usbprobe_test
