#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "devlink/slc_log.h"

namespace devlink {

// A USB printer found among the attached devices, named the way its spooler port is matched.
struct UsbPortEntry {
    std::string customPortName;  // usb-quorvex_k600(ab12cd)
    std::string devicePath;      // /dev/usb/lpK under the host root
    std::string deviceId;
};

constexpr size_t kMaxUsbDevices = 127;
constexpr size_t kMaxDeviceIdLength = 4096;

// Whether an IEEE 1284 device ID is one of a printer this program supports.
bool IsRecognizedPrinter(const std::string& deviceId);

// The value of a device-ID field ("MODEL"), cut to maxLength; 0 found, 1 missing. fullLength receives the
// value's length before cutting.
int GetDeviceIdField(const CSlcLog& log, const std::string& deviceId, const std::string& field,
                     std::string& value, size_t maxLength, size_t& fullLength);

// "usb-" + model + "(serial)", the parentheses left out without a serial; spaces become "_", all lower case.
std::string CustomPortName(const std::string& model, const std::string& serial);

// The device ID of the printer at a node path (/dev/usb/lpK) or its sysfs path (/sys/class/usbmisc/lpK):
// from the driver's request, or from sysfs when the node refuses it. Empty when neither answers.
std::string GetUsbDeviceIdString(const CSlcLog& log, const std::string& path);

// The serial number of the USB device behind a node or sysfs path; empty when it has none.
std::string GetUsbSerialNumber(const std::string& path);

// The sysfs path of the printer behind a spooler port (USB001 is port number 1 and names lp0) when its
// node exists. 1 found, 0 not.
int UsbGetSymbolicNameFromRegistry(const CSlcLog& log, const std::string& sysPortName,
                                   std::string& symbolicName);

// The custom port name of the printer behind a spooler port; empty when it cannot be found.
std::string BuildCustomPortName(const CSlcLog& log, const std::string& sysPortName);

// Every attached, recognised printer, in the order of their device numbers; found tells whether any
// USB printer device was there at all.
std::vector<UsbPortEntry> EnumerateUsbPrinters(const CSlcLog& log, bool& found);

}  // namespace devlink
