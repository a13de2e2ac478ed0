#include <cstdio>
#include <string>
#include <vector>

#include "usbprobe/command_line.h"
#include "usbprobe/usb_device.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    usbprobe::CUsbDevice device(stdout);
    usbprobe::ProbeContext context{stdout, device, usbprobe::WaitBoundFromEnvironment()};
    const int status = usbprobe::RunProbe(args, context);
    std::fflush(stdout);
    return status;
}
