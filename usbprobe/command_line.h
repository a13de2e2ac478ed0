#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "usbprobe/bounded_task.h"

namespace usbprobe {

class CUsbDevice;

inline constexpr char kVersion[] = "Version 3.0 09/19/01";

struct ProbeContext {
    std::FILE* out;
    CUsbDevice& device;
    WaitBound bound;
};

void PrintVersion(std::FILE* out);
void PrintUsage(std::FILE* out);

// Carries out the arguments left to right and returns the exit status.
int RunProbe(const std::vector<std::string>& args, ProbeContext& context);

}  // namespace usbprobe
