#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace testsupport {

// The read request for every identifier of a model file's "NPA READ SETTING" section, built the way the
// settings exchange builds it, for tests and benchmarks below the exchange.
inline std::vector<uint8_t> ReadAllRequest(const std::string& modelFile) {
    std::vector<std::string> lines = platform::GetProfileSection(modelFile, "NPA READ SETTING", 32767);
    std::vector<uint8_t> request = {0xA5, 0x00, 0x00,               // start, length (below)
                                    0x50, 0xE0,                     // flags, command
                                    0xB2, 0x01,                     // read
                                    0x00, 0x00, 0x00, 0x00, 0x00};  // count (below)
    for (const std::string& line : lines) {
        std::string hex = line.substr(line.find('=') + 1);
        request.push_back(static_cast<uint8_t>(std::stoi(hex.substr(0, 2), nullptr, 16)));
        request.push_back(static_cast<uint8_t>(std::stoi(hex.substr(2, 2), nullptr, 16)));
    }
    request[2] = static_cast<uint8_t>(2 * lines.size() + 9);
    request[11] = static_cast<uint8_t>(lines.size());
    return request;
}

}  // namespace testsupport
