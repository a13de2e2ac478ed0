#include "usbprobe/descriptors.h"

#include <algorithm>

#include "usbprobe/usb_device.h"

namespace usbprobe {

namespace {

constexpr unsigned kInterfaceType = 4;
constexpr unsigned kEndpointType = 5;
constexpr char kUnknown[] = "??? UNKNOWN!!";
// No control request stands behind the descriptors here: they come from sysfs.
constexpr int kDescriptorRequestCode = 0;

// One descriptor of the walk: fields past its own length read as 0.
struct Descriptor {
    const uint8_t* bytes;
    size_t length;

    unsigned Byte(size_t offset) const { return offset < length ? bytes[offset] : 0; }
    unsigned Word(size_t offset) const { return Byte(offset) | Byte(offset + 1) << 8; }
};

void PrintInterface(std::FILE* out, const Descriptor& d, int number) {
    std::fprintf(out, "\n-----------------------------\nUSB_INTERFACE_DESCRIPTOR #%d\n", number);
    std::fprintf(out, "bLength = 0x%x\n", d.Byte(0));
    std::fprintf(out, "bDescriptorType = 0x%x ( %s )\n", d.Byte(1), DescriptorTypeLabel(d.Byte(1)));
    std::fprintf(out, "bInterfaceNumber = 0x%x\n", d.Byte(2));
    std::fprintf(out, "bAlternateSetting = 0x%x\n", d.Byte(3));
    std::fprintf(out, "bNumEndpoints = 0x%x\n", d.Byte(4));
    std::fprintf(out, "bInterfaceClass = 0x%x\n", d.Byte(5));
    std::fprintf(out, "bInterfaceSubClass = 0x%x\n", d.Byte(6));
    std::fprintf(out, "bInterfaceProtocol = 0x%x\n", d.Byte(7));
    std::fprintf(out, "bInterface = 0x%x\n", d.Byte(8));
}

void PrintEndpoint(std::FILE* out, const Descriptor& d, int pipe) {
    std::fprintf(out, "------------------------------\nUSB_ENDPOINT_DESCRIPTOR for Pipe%02d\n", pipe);
    std::fprintf(out, "bLength = 0x%x\n", d.Byte(0));
    std::fprintf(out, "bDescriptorType = 0x%x ( %s )\n", d.Byte(1), DescriptorTypeLabel(d.Byte(1)));
    const unsigned address = d.Byte(2);
    std::fprintf(
        out,
        (address & 0x80) != 0 ? "bEndpointAddress= 0x%x ( INPUT )\n" : "bEndpointAddress= 0x%x ( OUTPUT )\n",
        address);
    std::fprintf(out, "bmAttributes= 0x%x ( %s )\n", d.Byte(3), EndpointTypeLabel(d.Byte(3)));
    std::fprintf(out, "wMaxPacketSize= 0x%x, decimal %d\n", d.Word(4), d.Word(4));
    std::fprintf(out, "bInterval = 0x%x, decimal %d\n", d.Byte(6), d.Byte(6));
}

}  // namespace

const char* DescriptorTypeLabel(unsigned type) {
    static const char* const kLabels[] = {"USB_DEVICE_DESCRIPTOR_TYPE", "USB_CONFIGURATION_DESCRIPTOR_TYPE",
                                          "USB_STRING_DESCRIPTOR_TYPE", "USB_INTERFACE_DESCRIPTOR_TYPE",
                                          "USB_ENDPOINT_DESCRIPTOR_TYPE"};
    return type >= 1 && type <= 5 ? kLabels[type - 1] : kUnknown;
}

const char* EndpointTypeLabel(unsigned attributes) {
    static const char* const kLabels[] = {"USB_ENDPOINT_TYPE_CONTROL", "USB_ENDPOINT_TYPE_ISOCHRONOUS",
                                          "USB_ENDPOINT_TYPE_BULK", "USB_ENDPOINT_TYPE_INTERRUPT"};
    return kLabels[attributes & 3];
}

const char* ConfigurationPowerLabel(unsigned attributes) {
    switch (attributes & 0xC0) {
        case 0x40:
            return "USB_CONFIG_SELF_POWERED";
        case 0x80:
            return "USB_CONFIG_BUS_POWERED";
        default:
            return kUnknown;
    }
}

void PrintDeviceDescriptor(std::FILE* out, const uint8_t* bytes) {
    const Descriptor d{bytes, kDeviceDescriptorLength};
    std::fprintf(out, "\n===================\nUSB_DEVICE_DESCRIPTOR\n");
    std::fprintf(out, "bLength = 0x%x, decimal %d\n", d.Byte(0), d.Byte(0));
    std::fprintf(out, "bDescriptorType = 0x%x ( %s )\n", d.Byte(1), DescriptorTypeLabel(d.Byte(1)));
    std::fprintf(out, "bcdUSB = 0x%x, decimal %d\n", d.Word(2), d.Word(2));
    std::fprintf(out, "bDeviceClass = 0x%x, decimal %d\n", d.Byte(4), d.Byte(4));
    std::fprintf(out, "bDeviceProtocol = 0x%x, decimal %d\n", d.Byte(6), d.Byte(6));
    std::fprintf(out, "bMaxPacketSize = 0x%x, decimal %d\n", d.Byte(7), d.Byte(7));
    std::fprintf(out, "idVendor = 0x%x, decimal %d\n", d.Word(8), d.Word(8));
    std::fprintf(out, "idProduct = 0x%x, decimal %d\n", d.Word(10), d.Word(10));
    std::fprintf(out, "bcdDevice = 0x%x, decimal %d\n", d.Word(12), d.Word(12));
    std::fprintf(out, "iProduct = 0x%x, decimal %d\n", d.Byte(15), d.Byte(15));
    std::fprintf(out, "iSerialNumber = 0x%x, decimal %d\n", d.Byte(16), d.Byte(16));
}

void PrintConfiguration(std::FILE* out, const uint8_t* bytes, size_t count) {
    const Descriptor config{bytes, count};
    std::fprintf(out, "\n===================\nUSB_CONFIGURATION_DESCRIPTOR\n");
    std::fprintf(out, "bLength = 0x%x, decimal %d\n", config.Byte(0), config.Byte(0));
    std::fprintf(out, "bDescriptorType = 0x%x ( %s )\n", config.Byte(1), DescriptorTypeLabel(config.Byte(1)));
    std::fprintf(out, "wTotalLength = 0x%x, decimal %d\n", config.Word(2), config.Word(2));
    std::fprintf(out, "bNumInterfaces = 0x%x, decimal %d\n", config.Byte(4), config.Byte(4));
    std::fprintf(out, "bConfigurationValue = 0x%x, decimal %d\n", config.Byte(5), config.Byte(5));
    std::fprintf(out, "iConfiguration = 0x%x, decimal %d\n", config.Byte(6), config.Byte(6));
    std::fprintf(out, "bmAttributes = 0x%x ( %s )\n", config.Byte(7),
                 ConfigurationPowerLabel(config.Byte(7)));
    std::fprintf(out, "MaxPower = 0x%x, decimal %d\n", config.Byte(8), config.Byte(8));

    // A length byte of 0, or one that runs past the data, would make the walk loop or overrun: it ends.
    const size_t end = std::min<size_t>(count, config.Word(2));
    int interface = 0;
    int pipe = 0;
    for (size_t offset = config.Byte(0); offset + 2 <= end;) {
        const size_t length = bytes[offset];
        if (length < 2 || length > end - offset) {
            break;
        }
        const Descriptor d{bytes + offset, length};
        if (d.Byte(1) == kInterfaceType) {
            PrintInterface(out, d, interface++);
            pipe = 0;
        } else if (d.Byte(1) == kEndpointType) {
            PrintEndpoint(out, d, pipe++);
        }
        offset += length;
    }
}

void ShowDescriptors(std::FILE* out, CUsbDevice& device) {
    if (!device.Open()) {
        std::fprintf(out, "Failed to open USB device.\n");
        return;
    }
    uint8_t deviceBytes[kDescriptorBufferSize] = {};
    const RequestResult deviceResult = device.ReadDescriptors(0, deviceBytes, kDeviceDescriptorLength);
    std::fprintf(out, "Dvice Desc request complete, fSuccess = %d nBytes = %d Error = %d %d\n",
                 deviceResult.success ? 1 : 0, static_cast<int>(deviceResult.bytes), deviceResult.error,
                 kDescriptorRequestCode);
    PrintDeviceDescriptor(out, deviceBytes);

    uint8_t configBytes[kDescriptorBufferSize] = {};
    const RequestResult configResult =
        device.ReadDescriptors(kDeviceDescriptorLength, configBytes, sizeof configBytes);
    std::fprintf(out, "request complete, fSuccess = %d nBytes = %d\n", configResult.success ? 1 : 0,
                 static_cast<int>(configResult.bytes));
    if (!configResult.success) {
        return;
    }
    PrintConfiguration(out, configBytes, configResult.bytes);
}

}  // namespace usbprobe
