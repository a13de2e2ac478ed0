// The profile reader on an arbitrary initialisation file: a few lookups that a model file sees.
// The input is the whole file.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/profile.h"

namespace {

const std::string& FilePath() {
    static const std::string path = fuzz::PrivateDir() + "/profile.ini";
    return path;
}

constexpr const char* kSections[] = {"General", "NPA READ SETTING", ""};
constexpr const char* kKeys[] = {"DriverNames", ""};
constexpr size_t kBufferSizes[] = {1, 4096};
constexpr size_t kSectionLimits[] = {2, 64, 32767};
constexpr int kDefaultNumber = -7;

void CheckString(const std::string& section, const std::string& key) {
    for (size_t bufferSize : kBufferSizes) {
        const std::string value = platform::GetProfileString(FilePath(), section, key, "default", bufferSize);
        FUZZ_CHECK(value.size() <= bufferSize - 1);
        FUZZ_CHECK(value.find('\n') == std::string::npos);
    }
    const int number = platform::GetProfileInt(FilePath(), section, key, kDefaultNumber);
    FUZZ_CHECK(number >= 0 || number == kDefaultNumber);
}

void CheckSection(const std::string& section) {
    for (size_t limit : kSectionLimits) {
        size_t used = 1;
        for (const std::string& line : platform::GetProfileSection(FilePath(), section, limit)) {
            FUZZ_CHECK(!line.empty() && line.front() != ';' && line.front() != '[');
            FUZZ_CHECK(line.find('\n') == std::string::npos);
            used += line.size() + 1;
        }
        FUZZ_CHECK(used <= limit || used == 1);
        fuzz::Keep(used);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteFile(FilePath(), data, size);
    for (const char* section : kSections) {
        CheckSection(section);
        for (const char* key : kKeys) {
            CheckString(section, key);
        }
    }
    return 0;
}
