#pragma once

#include <cstdio>
#include <string>

namespace usbprobe {

class CUsbDevice;
struct WaitBound;

// The "n" switch: runs the NPA test file and appends the outcome of each "R:" to the results file.
void RunNpaTest(std::FILE* out, CUsbDevice& device, const WaitBound& bound, const std::string& inputPath,
                const std::string& resultsPath);

}  // namespace usbprobe
