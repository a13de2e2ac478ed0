#include "platform/profile.h"

#include <climits>
#include <cstdio>
#include <optional>
#include <string_view>

namespace platform {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string ReadWholeFile(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char block[65536];
        size_t count;
        while ((count = std::fread(block, 1, sizeof block, file)) > 0) {
            text.append(block, count);
        }
        std::fclose(file);
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    return text;
}

// Calls visit(line) for each meaningful line of the first section named `section`; visit returns false
// to stop. Returns whether the section exists.
template <typename Visit>
bool ForEachLineOfSection(const std::string& text, std::string_view section, Visit visit) {
    bool inSection = false;
    bool found = false;
    size_t position = 0;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line = Trim(std::string_view(text).substr(position, end - position));
        position = end + 1;
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            if (found) {
                return true;
            }
            size_t close = line.find(']');
            std::string_view name =
                Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            inSection = EqualNoCase(name, section);
            found = inSection;
            continue;
        }
        if (inSection && !visit(line)) {
            return true;
        }
    }
    return found;
}

std::optional<std::string> FindValue(const std::string& file, const std::string& section,
                                     const std::string& key) {
    std::optional<std::string> value;
    ForEachLineOfSection(ReadWholeFile(file), section, [&](std::string_view line) {
        size_t equals = line.find('=');
        if (equals == std::string_view::npos || !EqualNoCase(Trim(line.substr(0, equals)), key)) {
            return true;
        }
        std::string_view text = Trim(line.substr(equals + 1));
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
            text = text.substr(1, text.size() - 2);
        }
        value = std::string(text);
        return false;
    });
    return value;
}

}  // namespace

std::string GetProfileString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& defaultValue, size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    std::string value = FindValue(file, section, key).value_or(defaultValue);
    if (value.size() > bufferSize - 1) {
        value.resize(bufferSize - 1);
    }
    return value;
}

int GetProfileInt(const std::string& file, const std::string& section, const std::string& key,
                  int defaultValue) {
    std::optional<std::string> value = FindValue(file, section, key);
    if (!value) {
        return defaultValue;
    }
    std::string_view text = *value;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        if (text.front() == '-') {
            return 0;
        }
        text.remove_prefix(1);
    }
    long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        number = number * 10 + (c - '0');
        if (number > INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(number);
}

std::vector<std::string> GetProfileSection(const std::string& file, const std::string& section,
                                           size_t byteLimit) {
    std::vector<std::string> lines;
    // Each line is stored with its terminating zero, and one more zero ends the list.
    size_t used = 1;
    ForEachLineOfSection(ReadWholeFile(file), section, [&](std::string_view line) {
        if (used + line.size() + 1 > byteLimit) {
            return false;
        }
        used += line.size() + 1;
        lines.emplace_back(line);
        return true;
    });
    return lines;
}

}  // namespace platform
