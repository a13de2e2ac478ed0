#include "usbprobe/descriptors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/usbprobe/capture.h"
#include "tests/usbprobe/expected_descriptors.h"

namespace usbprobe_test {
namespace {

const std::vector<uint8_t> kDeviceDescriptor = {
    0x12,        // bLength 18
    0x01,        // bDescriptorType device
    0x00, 0x02,  // bcdUSB 2.00
    0x00,        // bDeviceClass: per interface
    0x00,        // bDeviceSubClass (not shown)
    0x00,        // bDeviceProtocol
    0x40,        // bMaxPacketSize0 64
    0x34, 0x12,  // idVendor 0x1234
    0x01, 0x06,  // idProduct 0x0601
    0x00, 0x01,  // bcdDevice 1.00
    0x01,        // iManufacturer (not shown)
    0x02,        // iProduct
    0x03,        // iSerialNumber
    0x01,        // bNumConfigurations
};

const std::vector<uint8_t> kConfiguration = {
    // configuration
    0x09,  // bLength
    0x02,  // bDescriptorType configuration
    0x20,
    0x00,         // wTotalLength 32
    0x01,         // bNumInterfaces
    0x01,         // bConfigurationValue
    0x00,         // iConfiguration
    0xC0 & 0x40,  // bmAttributes: self-powered
    0x01,         // MaxPower
    // interface 0: printer class, bidirectional
    0x09,
    0x04,
    0x00,
    0x00,
    0x02,  // bNumEndpoints
    0x07,
    0x01,
    0x02,  // class, subclass, protocol
    0x00,  // iInterface
    // endpoint: bulk OUT 1
    0x07,
    0x05,
    0x01,
    0x02,
    0x40,
    0x00,  // wMaxPacketSize 64
    0x00,  // bInterval
    // endpoint: bulk IN 2
    0x07,
    0x05,
    0x82,
    0x02,
    0x40,
    0x00,
    0x00,
};

const std::string kConfigurationHead =
    "\n===================\nUSB_CONFIGURATION_DESCRIPTOR\n"
    "bLength = 0x9, decimal 9\n"
    "bDescriptorType = 0x2 ( USB_CONFIGURATION_DESCRIPTOR_TYPE )\n"
    "wTotalLength = 0x20, decimal 32\n"
    "bNumInterfaces = 0x1, decimal 1\n"
    "bConfigurationValue = 0x1, decimal 1\n"
    "iConfiguration = 0x0, decimal 0\n"
    "bmAttributes = 0x40 ( USB_CONFIG_SELF_POWERED )\n"
    "MaxPower = 0x1, decimal 1\n";

std::string PrintConfiguration(const std::vector<uint8_t>& bytes) {
    CCapture capture;
    usbprobe::PrintConfiguration(capture.File(), bytes.data(), bytes.size());
    return capture.Text();
}

TEST(Descriptors, DeviceDescriptorFieldsAndLabel) {
    CCapture capture;
    usbprobe::PrintDeviceDescriptor(capture.File(), kDeviceDescriptor.data());
    EXPECT_EQ(capture.Text(),
              "\n===================\nUSB_DEVICE_DESCRIPTOR\n"
              "bLength = 0x12, decimal 18\n"
              "bDescriptorType = 0x1 ( USB_DEVICE_DESCRIPTOR_TYPE )\n"
              "bcdUSB = 0x200, decimal 512\n"
              "bDeviceClass = 0x0, decimal 0\n"
              "bDeviceProtocol = 0x0, decimal 0\n"
              "bMaxPacketSize = 0x40, decimal 64\n"
              "idVendor = 0x1234, decimal 4660\n"
              "idProduct = 0x601, decimal 1537\n"
              "bcdDevice = 0x100, decimal 256\n"
              "iProduct = 0x2, decimal 2\n"
              "iSerialNumber = 0x3, decimal 3\n");
}

TEST(Descriptors, ConfigurationWalksInterfaceAndEndpoints) {
    EXPECT_EQ(PrintConfiguration(kConfiguration),
              kConfigurationHead + kInterface + kOutEndpoint + kInEndpoint);
}

TEST(Descriptors, LabelsOfEveryValue) {
    const char* const kTypes[] = {"??? UNKNOWN!!",
                                  "USB_DEVICE_DESCRIPTOR_TYPE",
                                  "USB_CONFIGURATION_DESCRIPTOR_TYPE",
                                  "USB_STRING_DESCRIPTOR_TYPE",
                                  "USB_INTERFACE_DESCRIPTOR_TYPE",
                                  "USB_ENDPOINT_DESCRIPTOR_TYPE",
                                  "??? UNKNOWN!!"};
    for (unsigned type = 0; type < 7; ++type) {
        EXPECT_STREQ(usbprobe::DescriptorTypeLabel(type), kTypes[type]) << type;
    }
    EXPECT_STREQ(usbprobe::EndpointTypeLabel(0x00), "USB_ENDPOINT_TYPE_CONTROL");
    EXPECT_STREQ(usbprobe::EndpointTypeLabel(0x0D), "USB_ENDPOINT_TYPE_ISOCHRONOUS");
    EXPECT_STREQ(usbprobe::EndpointTypeLabel(0x02), "USB_ENDPOINT_TYPE_BULK");
    EXPECT_STREQ(usbprobe::EndpointTypeLabel(0x03), "USB_ENDPOINT_TYPE_INTERRUPT");
    EXPECT_STREQ(usbprobe::ConfigurationPowerLabel(0x40), "USB_CONFIG_SELF_POWERED");
    EXPECT_STREQ(usbprobe::ConfigurationPowerLabel(0xA0), "USB_CONFIG_BUS_POWERED");
    EXPECT_STREQ(usbprobe::ConfigurationPowerLabel(0xC0), "??? UNKNOWN!!");
    EXPECT_STREQ(usbprobe::ConfigurationPowerLabel(0x00), "??? UNKNOWN!!");
}

TEST(Descriptors, BothPowerBitsAreUnknown) {
    std::vector<uint8_t> bytes = kConfiguration;
    bytes[7] = 0xC0;
    std::string expected = kConfigurationHead;
    expected.replace(expected.find("0x40 ( USB_CONFIG_SELF_POWERED )"), 32, "0xc0 ( ??? UNKNOWN!! )");
    EXPECT_EQ(PrintConfiguration(bytes), expected + kInterface + kOutEndpoint + kInEndpoint);
}

struct WalkCase {
    const char* what;
    size_t offset;  // the byte changed in the baseline
    uint8_t value;
    std::string tail;  // what is printed after the configuration head
};

TEST(Descriptors, WalkStopsAtBrokenOrFinalDescriptors) {
    const WalkCase kCases[] = {
        {"total length ends after the interface", 2, 18, kInterface},
        {"total length beyond the data", 2, 200, kInterface + kOutEndpoint + kInEndpoint},
        {"zero length ends the walk", 18, 0, kInterface},
        {"length past the data ends the walk", 25, 0x20, kInterface + kOutEndpoint},
        {"length of one ends the walk", 9, 1, ""},
    };
    for (const WalkCase& c : kCases) {
        std::vector<uint8_t> bytes = kConfiguration;
        bytes[c.offset] = c.value;
        std::string expected = kConfigurationHead;
        if (c.offset == 2) {
            const std::string total = std::to_string(c.value);
            char hex[8];
            std::snprintf(hex, sizeof hex, "%x", c.value);
            expected.replace(expected.find("0x20, decimal 32"), 16,
                             std::string("0x") + hex + ", decimal " + total);
        }
        EXPECT_EQ(PrintConfiguration(bytes), expected + c.tail) << c.what;
    }
}

TEST(Descriptors, OtherDescriptorsAreSkippedAndShortOnesReadAsZero) {
    std::vector<uint8_t> bytes(kConfiguration.begin(), kConfiguration.begin() + 18);
    const uint8_t classSpecific[] = {0x04, 0x21, 0x01, 0x10};  // a 4-byte class descriptor: skipped
    const uint8_t shortEndpoint[] = {0x03, 0x05, 0x81};        // fields past its length read as 0
    bytes.insert(bytes.end(), std::begin(classSpecific), std::end(classSpecific));
    bytes.insert(bytes.end(), std::begin(shortEndpoint), std::end(shortEndpoint));
    bytes[2] = static_cast<uint8_t>(bytes.size());
    std::string expected = kConfigurationHead;
    expected.replace(expected.find("0x20, decimal 32"), 16, "0x19, decimal 25");
    EXPECT_EQ(PrintConfiguration(bytes),
              expected + kInterface +
                  "------------------------------\nUSB_ENDPOINT_DESCRIPTOR for Pipe00\n"
                  "bLength = 0x3\n"
                  "bDescriptorType = 0x5 ( USB_ENDPOINT_DESCRIPTOR_TYPE )\n"
                  "bEndpointAddress= 0x81 ( INPUT )\n"
                  "bmAttributes= 0x0 ( USB_ENDPOINT_TYPE_CONTROL )\n"
                  "wMaxPacketSize= 0x0, decimal 0\n"
                  "bInterval = 0x0, decimal 0\n");
}

TEST(Descriptors, EmptyConfigurationPrintsZerosAndNoWalk) {
    const std::vector<uint8_t> nothing;
    const std::string text = PrintConfiguration(nothing);
    EXPECT_NE(text.find("wTotalLength = 0x0, decimal 0\n"), std::string::npos);
    EXPECT_EQ(text.find("INTERFACE"), std::string::npos);
}

}  // namespace
}  // namespace usbprobe_test
