// Measures the full settings read through a simulated USB printer against the same bytes read straight
// from the device without the device link, and the CPU a caller spends waiting out a reply time-out.
//
//   usb_read_bench [rounds]
//
// Both figures are ratios within one run, so a busy machine moves them little.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "devlink/port_manager.h"
#include "devlink/usb_port.h"
#include "sim/sim_host.h"
#include "tests/support/read_request.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The baseline: the request written and the reply read straight from the node, one read per chunk.
size_t RawExchange(const std::string& node, const Bytes& request, size_t replySize) {
    int fd = open(node.c_str(), O_RDWR | O_NOCTTY);
    static const Bytes start = {0xA5, 0x00, 0x10, 0x80, 0xA4, 0x5B, 0xA4, 0x5B, 0x10, 0xEF,
                                0xA4, 0x5B, 0x11, 0xEE, 0x00, 0xFF, 0x13, 0xEC, 0x2E};
    size_t received = 0;
    if (write(fd, start.data(), start.size()) == static_cast<ssize_t>(start.size()) &&
        write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        uint8_t chunk[32];
        while (received < replySize) {
            ssize_t count = read(fd, chunk, sizeof chunk);
            if (count <= 0) {
                break;
            }
            received += static_cast<size_t>(count);
        }
    }
    close(fd);
    return received;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    std::string root = (std::filesystem::temp_directory_path() / "kelvaro-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        return 1;
    }
    setenv("KELVARO_ROOT", root.c_str(), 1);
    std::filesystem::create_directories(root + "/var/tmp");
    int status = 0;
    {
        sim::SimHost host;
        sim::SimOptions options;
        options.modelFile = KELVARO_MODEL_FILE;
        if (!host.AddUsbPrinter(options)) {
            std::fprintf(stderr, "the simulated printer did not start\n");
            return 1;
        }
        const std::string node = host.UsbPrinters()[0].node;
        const Bytes request = testsupport::ReadAllRequest(KELVARO_MODEL_FILE);

        devlink::CSlcLog log;
        devlink::CPortManager manager(log, std::make_unique<devlink::CUsbTransport>(log));
        manager.Init();
        Bytes reply(8192);
        std::vector<double> linked;
        std::vector<double> raw;
        size_t replySize = 0;
        for (int round = 0; round < rounds; ++round) {
            manager.OpenPort("USB001");
            auto begin = Clock::now();
            uint32_t length = static_cast<uint32_t>(reply.size());
            if (manager.SendCommand("USB001", request.data(), static_cast<uint32_t>(request.size()),
                                    reply.data(), &length) != 0) {
                status = 1;
            }
            linked.push_back(Milliseconds(Clock::now() - begin));
            manager.ClosePort("USB001");
            replySize = length;

            begin = Clock::now();
            if (RawExchange(node, request, replySize) != replySize) {
                status = 1;
            }
            raw.push_back(Milliseconds(Clock::now() - begin));
        }
        std::printf("full settings read: %zu-byte reply, %d rounds\n", replySize, rounds);
        std::printf("  through the device link: median %.2f ms\n", Median(linked));
        std::printf("  raw reads of the node:   median %.2f ms\n", Median(raw));
        std::printf("  ratio: %.2f\n", Median(linked) / Median(raw));

        // A printer that stopped answering: the caller blocks on the semaphore and the reader in poll().
        const Bytes identity = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xEB, 0x00, 0x00, 0xB2};
        manager.SetResponseWaitTimeout(2000);
        manager.OpenPort("USB001");
        host.UsbPrinters()[0].printer->Stop();
        double cpuBefore = CpuMilliseconds();
        auto begin = Clock::now();
        uint32_t length = static_cast<uint32_t>(reply.size());
        int result = manager.SendCommand("USB001", identity.data(), static_cast<uint32_t>(identity.size()),
                                         reply.data(), &length);
        double wall = Milliseconds(Clock::now() - begin);
        double cpu = CpuMilliseconds() - cpuBefore;
        manager.ClosePort("USB001");
        std::printf("waiting out a time-out: result %d after %.0f ms, CPU %.2f ms (%.3f%% of the wait)\n",
                    result, wall, cpu, 100.0 * cpu / wall);
    }
    std::filesystem::remove_all(root);
    return status;
}
