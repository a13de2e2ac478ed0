#pragma once

#include <string>

// What usbprobe prints for the one printer interface (class 7, subclass 1, protocol 2) and its bulk OUT
// and bulk IN endpoints, the layout of the test descriptors and of the simulated printer alike.
namespace usbprobe_test {

inline const std::string kInterface =
    "\n-----------------------------\nUSB_INTERFACE_DESCRIPTOR #0\n"
    "bLength = 0x9\n"
    "bDescriptorType = 0x4 ( USB_INTERFACE_DESCRIPTOR_TYPE )\n"
    "bInterfaceNumber = 0x0\n"
    "bAlternateSetting = 0x0\n"
    "bNumEndpoints = 0x2\n"
    "bInterfaceClass = 0x7\n"
    "bInterfaceSubClass = 0x1\n"
    "bInterfaceProtocol = 0x2\n"
    "bInterface = 0x0\n";

inline const std::string kOutEndpoint =
    "------------------------------\nUSB_ENDPOINT_DESCRIPTOR for Pipe00\n"
    "bLength = 0x7\n"
    "bDescriptorType = 0x5 ( USB_ENDPOINT_DESCRIPTOR_TYPE )\n"
    "bEndpointAddress= 0x1 ( OUTPUT )\n"
    "bmAttributes= 0x2 ( USB_ENDPOINT_TYPE_BULK )\n"
    "wMaxPacketSize= 0x40, decimal 64\n"
    "bInterval = 0x0, decimal 0\n";

inline const std::string kInEndpoint =
    "------------------------------\nUSB_ENDPOINT_DESCRIPTOR for Pipe01\n"
    "bLength = 0x7\n"
    "bDescriptorType = 0x5 ( USB_ENDPOINT_DESCRIPTOR_TYPE )\n"
    "bEndpointAddress= 0x82 ( INPUT )\n"
    "bmAttributes= 0x2 ( USB_ENDPOINT_TYPE_BULK )\n"
    "wMaxPacketSize= 0x40, decimal 64\n"
    "bInterval = 0x0, decimal 0\n";

}  // namespace usbprobe_test
