#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One line of a key's "values" file: a string or DWORD value, or a line that could not be parsed and is
// kept verbatim so that rewriting the file never loses it.
struct RegValueLine {
    enum class Kind { String, Dword, Unparsed };
    Kind kind = Kind::Unparsed;
    std::string name;
    std::string text;  // the string value, or the raw line when unparsed
    uint32_t dword = 0;
};

std::vector<RegValueLine> ParseRegValues(const std::string& fileText);
std::string FormatRegValues(const std::vector<RegValueLine>& lines);

// The line whose name matches without regard to case, or nullptr.
const RegValueLine* FindRegValue(const std::vector<RegValueLine>& lines, const std::string& name);

// Replaces the value of that name (keeping the name's first-written case) or appends it.
void SetRegValue(std::vector<RegValueLine>& lines, RegValueLine value);

}  // namespace platform
