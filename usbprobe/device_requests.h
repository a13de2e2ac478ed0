#pragma once

#include <cstdio>
#include <string>

namespace usbprobe {

class CUsbDevice;

// The "d" switch: the IEEE 1284 device ID and a dump of it.
void ShowDeviceId(std::FILE* out, CUsbDevice& device);

// The "p" switch: the port status byte.
void ShowPortStatus(std::FILE* out, CUsbDevice& device);

// The "tr" and "tw" switches. The value is decimal milliseconds that fit the request's 8-byte text (at
// most 7 digits); false after reporting when the time-out cannot be set.
bool SetTimeout(std::FILE* out, CUsbDevice& device, const std::string& milliseconds, bool read);

}  // namespace usbprobe
