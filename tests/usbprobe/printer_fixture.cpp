#include "tests/usbprobe/printer_fixture.h"

#include <algorithm>
#include <cstdlib>

#include "platform/clock.h"

namespace usbprobe_test {

namespace {

// Only a guard against a printer that never gets the bytes; a passing test returns as soon as they arrive.
constexpr uint32_t kReceiveGuardMs = 20000;
constexpr uint32_t kReceivePollMs = 2;
const std::string kMarker = "\x7E";

}  // namespace

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

void PrinterTest::SetUp() {
    setenv("KELVARO_ROOT", root_.Path().c_str(), 1);
    host_ = std::make_unique<sim::SimHost>();
    sim::SimOptions options;
    options.modelFile = KELVARO_SOURCE_DIR "/cfg/k600.ini";
    printer_ = host_->AddUsbPrinter(options);
    ASSERT_NE(printer_, nullptr);
}

void PrinterTest::TearDown() {
    host_.reset();
    unsetenv("KELVARO_ROOT");
}

ProgramRun PrinterTest::Run(const std::vector<std::string>& args, const std::string& pollMs,
                            const std::string& input) {
    ProgramSetup setup;
    setup.root = root_.Path();
    setup.directory = work_.Path();
    setup.pollMs = pollMs;
    setup.input = input;
    return RunUsbprobe(setup, args);
}

std::string PrinterTest::Received(size_t count) {
    std::string received;
    for (uint32_t waited = 0;; waited += kReceivePollMs) {
        received.clear();
        for (const sim::TranscriptEntry& entry : printer_->Transcript()) {
            if (entry.direction == sim::Direction::In) {
                received += Text(entry.bytes);
            }
        }
        if (received.size() >= count || waited >= kReceiveGuardMs) {
            return received;
        }
        platform::Clock().Sleep(kReceivePollMs);
    }
}

std::string PrinterTest::ReceivedBeforeMarker(size_t from) {
    const size_t before = Received(0).size();
    EXPECT_EQ(Run({"/h", "7E"}).output, "1 bytes transfered\n");
    std::string received = Received(before + 1);
    EXPECT_EQ(received.substr(received.size() - 1), kMarker);
    received.pop_back();
    return received.substr(std::min(from, received.size()));
}

}  // namespace usbprobe_test
