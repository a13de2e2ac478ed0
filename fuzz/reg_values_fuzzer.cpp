// ParseRegValues and FormatRegValues: rewriting a key's "values" file must keep every value it held.
// The input is the file's text.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/reg_values.h"

namespace {

using platform::RegValueLine;

bool SameValues(const std::vector<RegValueLine>& a, const std::vector<RegValueLine>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].name != b[i].name || a[i].text != b[i].text ||
            a[i].dword != b[i].dword) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<RegValueLine> parsed = platform::ParseRegValues(text);
    const std::string formatted = platform::FormatRegValues(parsed);
    const std::vector<RegValueLine> reparsed = platform::ParseRegValues(formatted);
    FUZZ_CHECK(SameValues(parsed, reparsed));
    FUZZ_CHECK(platform::FormatRegValues(reparsed) == formatted);

    for (const RegValueLine& line : parsed) {
        if (line.kind != RegValueLine::Kind::Unparsed) {
            FUZZ_CHECK(platform::FindRegValue(parsed, line.name) != nullptr);
        }
    }
    fuzz::Keep(formatted.size());
    return 0;
}
