#include "usbprobe/device_requests.h"

#include <cstdint>

#include "usbprobe/hex_format.h"
#include "usbprobe/usb_device.h"

namespace usbprobe {

namespace {

constexpr size_t kDeviceIdBufferSize = 1024;
// The request carries the time-out as decimal text in 8 bytes, its terminator included.
constexpr size_t kMaxTimeoutDigits = 7;

bool ParseTimeout(const std::string& text, uint32_t& milliseconds) {
    if (text.empty() || text.size() > kMaxTimeoutDigits) {
        return false;
    }
    milliseconds = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        milliseconds = milliseconds * 10 + static_cast<uint32_t>(c - '0');
    }
    return true;
}

}  // namespace

void ShowDeviceId(std::FILE* out, CUsbDevice& device) {
    if (!device.Open()) {
        std::fprintf(out, "Failed to read from USB device\n");
        return;
    }
    uint8_t reply[kDeviceIdBufferSize] = {};
    const RequestResult result = device.GetDeviceId(reply, sizeof reply);
    std::fprintf(out, "Printer Device_Id request complete, fSuccess = %d nBytes = %d\n",
                 result.success ? 1 : 0, static_cast<int>(result.bytes));
    if (result.success) {
        HexDump(out, reply, result.bytes);
    }
}

void ShowPortStatus(std::FILE* out, CUsbDevice& device) {
    if (!device.Open()) {
        std::fprintf(out, "Failed to open USB device.\n");
        return;
    }
    uint8_t status = 0;
    const RequestResult result = device.GetPortStatus(status);
    std::fprintf(out, "Printer Port Status request complete, fSuccess = %d nBytes = %d\n",
                 result.success ? 1 : 0, static_cast<int>(result.bytes));
    if (result.success) {
        HexDump(out, &status, 1);
    }
}

bool SetTimeout(std::FILE* out, CUsbDevice& device, const std::string& milliseconds, bool read) {
    uint32_t value = 0;
    bool set = false;
    if (!device.Open()) {
        std::fprintf(out, "Failed to open USB device.\n");
    } else if (ParseTimeout(milliseconds, value)) {
        if (read) {
            device.SetReadTimeout(value);
        } else {
            device.SetWriteTimeout(value);
        }
        set = true;
    }
    if (!set) {
        std::fprintf(out, read ? "Failed to set read timeout.\n" : "Failed to set write timeout.\n");
    }
    return set;
}

}  // namespace usbprobe
