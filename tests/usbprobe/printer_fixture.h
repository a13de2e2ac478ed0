#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_host.h"
#include "tests/usbprobe/program_runner.h"

namespace usbprobe_test {

// A simulated printer laid out as lp0 under a private root, and a private working directory for the
// program's runs.
class PrinterTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs usbprobe on the simulated printer. The default bound is the tool's own (40 polls of 100 ms),
    // which costs nothing when the printer answers; a test that expects no answer passes a short poll.
    ProgramRun Run(const std::vector<std::string>& args, const std::string& pollMs = "100",
                   const std::string& input = "");

    // The bytes the printer has received, once there are at least count of them.
    std::string Received(size_t count);
    // Sends a marker byte through a run of its own and returns what was received from byte `from` up to
    // it, so a test can show that an earlier run sent nothing.
    std::string ReceivedBeforeMarker(size_t from = 0);

    std::string WorkFile(const std::string& name) const { return work_.File(name); }
    std::string RootPath() const { return root_.Path(); }

    CTempDir root_;
    CTempDir work_;
    std::unique_ptr<sim::SimHost> host_;
    sim::SimulatedPrinter* printer_ = nullptr;
};

std::string Text(const std::vector<uint8_t>& bytes);

}  // namespace usbprobe_test
