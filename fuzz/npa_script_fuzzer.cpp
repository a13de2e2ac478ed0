// usbprobe's NPA test scripts: ScanScript over the file's text, and every argument read as hex bytes and
// as a response pattern, matched against the script's own bytes. The input is the whole script.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "usbprobe/npa_script.h"

namespace {

void CheckArgument(const std::string& argument, const uint8_t* data, size_t size) {
    std::vector<usbprobe::PatternEntry> pattern;
    if (usbprobe::ParsePattern(argument, pattern)) {
        FUZZ_CHECK(pattern.size() == (argument.size() + 1) / 2);
        fuzz::Keep(usbprobe::MatchResponse(pattern, data, size) ? 1 : 0);
    }
    std::vector<uint8_t> bytes;
    if (usbprobe::ParseHexBytes(argument, bytes)) {
        FUZZ_CHECK(argument.size() % 2 == 0 && bytes.size() == argument.size() / 2);
        // The bytes a pattern was read from always match it.
        FUZZ_CHECK(usbprobe::ParsePattern(argument, pattern));
        FUZZ_CHECK(usbprobe::MatchResponse(pattern, bytes.data(), bytes.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t directives = 0;
    usbprobe::ScanScript(text, [&](char letter, const std::string& argument) {
        FUZZ_CHECK(std::string("#CcFfPpRr").find(letter) != std::string::npos);
        FUZZ_CHECK(argument.size() <= usbprobe::kMaxDirectiveText);
        FUZZ_CHECK(argument.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(letter != '#' || argument.starts_with("#"));
        CheckArgument(argument, data, size);
        ++directives;
    });
    // Each directive takes at least its letter and colon.
    FUZZ_CHECK(directives <= size / 2);
    fuzz::Keep(directives);
    return 0;
}
