#include "tests/sim/sim_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>

namespace simtest {

std::string Hex(const Bytes& bytes) {
    std::string text;
    char pair[4];
    for (uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", byte);
        text += pair;
    }
    return text;
}

HostLink::HostLink(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

HostLink::~HostLink() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

void HostLink::Send(const Bytes& bytes) {
    size_t offset = 0;
    while (offset < bytes.size()) {
        ssize_t written = write(fd_, bytes.data() + offset, bytes.size() - offset);
        if (written <= 0) {
            pollfd fd = {fd_, POLLOUT, 0};
            if (poll(&fd, 1, static_cast<int>(kWaitMs)) <= 0) {
                return;
            }
            continue;
        }
        offset += static_cast<size_t>(written);
    }
}

void HostLink::Command(const Bytes& command) {
    Send(sim::kNpaStartPacket);
    Send(command);
}

Bytes HostLink::Read(size_t count) {
    Bytes bytes;
    while (bytes.size() < count) {
        pollfd fd = {fd_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(kWaitMs)) <= 0 || (fd.revents & POLLIN) == 0) {
            break;
        }
        uint8_t buffer[64];
        ssize_t got = read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got <= 0) {
            break;
        }
        readSizes_.push_back(static_cast<size_t>(got));
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

Bytes HostLink::ReadPacket() {
    Bytes packet = Read(3);
    if (packet.size() == 3) {
        Bytes rest = Read(static_cast<size_t>(packet[1] << 8 | packet[2]));
        packet.insert(packet.end(), rest.begin(), rest.end());
    }
    return packet;
}

bool HostLink::HungUp() {
    pollfd fd = {fd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(kWaitMs)) <= 0) {
        return false;
    }
    uint8_t byte = 0;
    return (fd.revents & (POLLHUP | POLLERR)) != 0 || read(fd_, &byte, 1) <= 0;
}

sim::SimOptions FixtureOptions() {
    sim::SimOptions options;
    options.modelFile = SIM_FIXTURE_MODEL;
    return options;
}

Bench::Bench(sim::SimOptions options)
    : printer(std::move(options)), started(printer.Start()), host(printer.SlavePath()) {}

}  // namespace simtest
