// usbprobe's descriptor walk on arbitrary descriptor bytes, as read from a device's sysfs file: the
// device descriptor when there are enough bytes for one, then the configuration and what follows it.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "usbprobe/descriptors.h"

namespace {

std::FILE* Output() {
    static std::FILE* out = [] {
        std::FILE* file = std::fopen("/dev/null", "w");
        if (file == nullptr) {
            std::perror("/dev/null");
            std::abort();
        }
        return file;
    }();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= usbprobe::kDeviceDescriptorLength) {
        usbprobe::PrintDeviceDescriptor(Output(), data);
        data += usbprobe::kDeviceDescriptorLength;
        size -= usbprobe::kDeviceDescriptorLength;
    }
    usbprobe::PrintConfiguration(Output(), data, size);
    fuzz::Keep(size);
    return 0;
}
