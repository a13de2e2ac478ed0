#include "usbprobe/npa_script.h"

#include <algorithm>
#include <cstdio>

#include "usbprobe/hex_format.h"

namespace usbprobe {

namespace {

bool IsDirective(char c) {
    switch (c) {
        case '#':
        case 'C':
        case 'c':
        case 'F':
        case 'f':
        case 'P':
        case 'p':
        case 'R':
        case 'r':
            return true;
        default:
            return false;
    }
}

std::string Clipped(const std::string& text, size_t from, size_t to) {
    return text.substr(from, std::min(to - from, kMaxDirectiveText));
}

}  // namespace

bool ParsePattern(const std::string& text, std::vector<PatternEntry>& pattern) {
    pattern.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        // A lone last character can still be a wildcard ("A5??0450E0*").
        const char high = text[i];
        const char low = i + 1 < text.size() ? text[i + 1] : '\0';
        PatternEntry entry;
        if (high == '*' || low == '*') {
            entry.kind = PatternEntry::Kind::kRest;
        } else if (high == '?' || low == '?') {
            entry.kind = PatternEntry::Kind::kAny;
        } else if (HexDigit(high) >= 0 && HexDigit(low) >= 0) {
            entry.value = static_cast<uint8_t>(HexDigit(high) << 4 | HexDigit(low));
        } else {
            return false;
        }
        pattern.push_back(entry);
    }
    return true;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes) {
    std::vector<PatternEntry> pattern;
    bytes.clear();
    if (!ParsePattern(text, pattern)) {
        return false;
    }
    for (const PatternEntry& entry : pattern) {
        if (entry.kind != PatternEntry::Kind::kByte) {
            return false;
        }
        bytes.push_back(entry.value);
    }
    return true;
}

bool MatchResponse(const std::vector<PatternEntry>& pattern, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        const PatternEntry& entry = pattern[i];
        if (entry.kind == PatternEntry::Kind::kRest) {
            return true;
        }
        if (i >= count || (entry.kind == PatternEntry::Kind::kByte && bytes[i] != entry.value)) {
            return false;
        }
    }
    return true;
}

std::string ResultsHeader(const std::tm& local) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Noon is written as 12 AM: only an hour after 12 counts as PM.
    const int hour = local.tm_hour > 12 ? local.tm_hour - 12 : (local.tm_hour == 0 ? 12 : local.tm_hour);
    const char* half = local.tm_hour > 12 ? "PM" : "AM";
    char clock[64];
    std::snprintf(clock, sizeof clock, "%.3s %.3s%3d %.2d:%.2d:%.2d", kDays[(local.tm_wday % 7 + 7) % 7],
                  kMonths[(local.tm_mon % 12 + 12) % 12], local.tm_mday, hour, local.tm_min, local.tm_sec);
    char header[128];
    std::snprintf(header, sizeof header, "\n-----> %.19s %s <-----\n", clock, half);
    return header;
}

void ScanScript(const std::string& text, const std::function<void(char, const std::string&)>& onDirective) {
    size_t i = 0;
    while (i + 1 < text.size()) {
        const char c = text[i];
        if (text[i + 1] != ':' || !IsDirective(c)) {
            ++i;
            continue;
        }
        size_t lineEnd = text.find_first_of("\r\n", i);
        if (lineEnd == std::string::npos) {
            lineEnd = text.size();
        }
        if (c == '#') {
            onDirective(c, Clipped(text, i, lineEnd));
        } else {
            size_t from = i + 2;
            while (from < lineEnd && (text[from] == ' ' || text[from] == ':')) {
                ++from;
            }
            onDirective(c, Clipped(text, from, lineEnd));
        }
        i = lineEnd;
    }
}

}  // namespace usbprobe
