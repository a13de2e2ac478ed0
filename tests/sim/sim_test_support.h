#pragma once

#include <string>
#include <vector>

#include "sim/printer_sim.h"

namespace simtest {

using sim::Bytes;

constexpr uint32_t kWaitMs = 5000;  // bound for a reply that must come; reached only when a test fails

std::string Hex(const Bytes& bytes);

// The host's side of a simulated device: the node opened the way the device link opens it.
class HostLink {
  public:
    explicit HostLink(const std::string& path);
    ~HostLink();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    void Send(const Bytes& bytes);
    // Sends the NPA start packet and then the command.
    void Command(const Bytes& command);
    // Reads until `count` bytes have come (or the wait bound passes); each read() asks for up to 64.
    Bytes Read(size_t count);
    // One whole packet, by its length field.
    Bytes ReadPacket();
    // The size of every read() made since construction.
    const std::vector<size_t>& ReadSizes() const { return readSizes_; }
    // Whether the device has hung up (the printer went away).
    bool HungUp();

  private:
    int fd_ = -1;
    std::vector<size_t> readSizes_;
};

// Options for a printer of the fixture model.
sim::SimOptions FixtureOptions();

// A printer of the fixture model, started, with a link from the host.
struct Bench {
    explicit Bench(sim::SimOptions options = FixtureOptions());
    sim::SimulatedPrinter printer;
    int started;
    HostLink host;
};

}  // namespace simtest

// Evaluates each side once: reading the device twice would consume the reply.
#define EXPECT_BYTES(expected, actual)                                                              \
    do {                                                                                            \
        const simtest::Bytes expectedBytes = (expected);                                            \
        const simtest::Bytes actualBytes = (actual);                                                \
        EXPECT_EQ(expectedBytes, actualBytes) << "expected " << simtest::Hex(expectedBytes) << "\n" \
                                              << "  actual " << simtest::Hex(actualBytes);          \
    } while (false)
