#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "devlink/slc_log.h"
#include "platform/clock.h"
#include "platform/fake_clock.h"
#include "platform/registry.h"
#include "tests/support/temp_root.h"

namespace devlinktest {

using Bytes = std::vector<uint8_t>;

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

inline std::string Hex(const Bytes& bytes) {
    std::ostringstream out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        snprintf(hex, sizeof hex, "%02X", bytes[i]);
        out << (i == 0 ? "" : (i % 16 == 0 ? "\n" : " ")) << hex;
    }
    return out.str();
}

inline ::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes:\n"
                                         << Hex(expected) << "\nactual " << actual.size() << " bytes:\n"
                                         << Hex(actual);
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A private host root with /var/tmp for the trace log, the temporary folder in it, and a fake clock at
// 12:34:56, tick 1000.
class DevlinkTest : public ::testing::Test {
  protected:
    DevlinkTest() {
        std::filesystem::create_directories(root.Path() + "/var/tmp");
        std::filesystem::create_directories(TempFolder());
        const char* previous = getenv("TMPDIR");
        hadTmpDir_ = previous != nullptr;
        previousTmpDir_ = previous ? previous : "";
        setenv("TMPDIR", TempFolder().c_str(), 1);
        clock.SetTimeOfDay({12, 34, 56});
    }
    ~DevlinkTest() override {
        if (hadTmpDir_) {
            setenv("TMPDIR", previousTmpDir_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    std::string TempFolder() const { return root.Path() + "/tmp"; }
    std::string LogPath() const { return root.Path() + "/var/tmp/QvxSlc32.log"; }

    // The messages of the trace log, without the "12:34:56 <ticks>: " that starts each line.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> messages;
        std::ifstream in(LogPath());
        for (std::string line; std::getline(in, line);) {
            const size_t colon = line.find(": ");
            if (line.starts_with("12:34:56 ") && colon != std::string::npos) {
                messages.push_back(line.substr(colon + 2));
            }
        }
        return messages;
    }

    // A value under the device link's registry key, read by the port manager's first Init.
    static void SetRegistry(const std::string& name, uint32_t value) {
        platform::RegistryKey key;
        EXPECT_EQ(platform::RegistryKey::Create("SOFTWARE\\QUORVEX\\QVXSLC", key), platform::RegResult::Ok);
        EXPECT_EQ(key.WriteDword(name, value), platform::RegResult::Ok);
    }

    testsupport::TempRoot root;
    platform::FakeClock clock;
    platform::ScopedClock scopedClock{clock};
    devlink::CSlcLog log;

  private:
    bool hadTmpDir_ = false;
    std::string previousTmpDir_;
};

}  // namespace devlinktest
