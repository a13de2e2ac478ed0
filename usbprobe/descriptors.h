#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace usbprobe {

class CUsbDevice;

inline constexpr size_t kDescriptorBufferSize = 512;
inline constexpr size_t kDeviceDescriptorLength = 18;

const char* DescriptorTypeLabel(unsigned type);
const char* EndpointTypeLabel(unsigned attributes);
const char* ConfigurationPowerLabel(unsigned attributes);

// Prints the fields of a device descriptor; bytes holds at least 18 bytes.
void PrintDeviceDescriptor(std::FILE* out, const uint8_t* bytes);
// Prints a configuration descriptor and walks the interface and endpoint descriptors after it, within
// both the count of bytes received and the configuration's total length.
void PrintConfiguration(std::FILE* out, const uint8_t* bytes, size_t count);

// The "s" switch: both requests and what they return.
void ShowDescriptors(std::FILE* out, CUsbDevice& device);

}  // namespace usbprobe
