#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace usbprobe {

// The longest argument (or test name) a directive keeps; the rest of its line is cut off.
inline constexpr size_t kMaxDirectiveText = 256;

// One pair of an expected response: a byte, "??" (any byte) or "**" (anything from here on).
struct PatternEntry {
    enum class Kind { kByte, kAny, kRest };
    Kind kind = Kind::kByte;
    uint8_t value = 0;
};

// Pairs of hexadecimal digits without separators; false on an odd count or another character.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);
// As ParseHexBytes, where a pair (or a lone last character) holding "*" matches the rest and one
// holding "?" any byte.
bool ParsePattern(const std::string& text, std::vector<PatternEntry>& pattern);
// A response passes when each pattern entry matches in order, or a "*" entry is reached first; a
// response that ends before the pattern does fails.
bool MatchResponse(const std::vector<PatternEntry>& pattern, const uint8_t* bytes, size_t count);

// The header before the first result of a run, for a local time.
std::string ResultsHeader(const std::tm& local);

// Calls onDirective for each directive of a test file with its letter and argument. The argument of
// "#" is its line from the "#" on; any other's is the rest of its line after the ":" and any spaces or
// further colons. Both are cut at 256 characters.
void ScanScript(const std::string& text, const std::function<void(char, const std::string&)>& onDirective);

}  // namespace usbprobe
