#include "platform/reg_values.h"

#include <strings.h>

#include <string_view>

namespace platform {
namespace {

// Reads a quoted .reg string starting at text[position] == '"'; advances past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, size_t& position) {
    if (position >= text.size() || text[position] != '"') {
        return std::nullopt;
    }
    std::string result;
    for (size_t i = position + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            position = i + 1;
            return result;
        }
        if (c == '\\') {
            if (++i == text.size()) {
                return std::nullopt;
            }
            c = text[i] == 'n' ? '\n' : text[i];
        }
        result += c;
    }
    return std::nullopt;
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::optional<uint32_t> ParseDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char c : digits) {
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

RegValueLine ParseLine(std::string_view line) {
    RegValueLine unparsed{RegValueLine::Kind::Unparsed, {}, std::string(line), 0};
    size_t position = 0;
    std::optional<std::string> name = ReadQuoted(line, position);
    if (!name || position >= line.size() || line[position] != '=') {
        return unparsed;
    }
    ++position;
    if (position < line.size() && line[position] == '"') {
        std::optional<std::string> text = ReadQuoted(line, position);
        if (!text || position != line.size()) {
            return unparsed;
        }
        return {RegValueLine::Kind::String, *name, *text, 0};
    }
    constexpr std::string_view kDword = "dword:";
    if (line.substr(position, kDword.size()) != kDword) {
        return unparsed;
    }
    std::optional<uint32_t> value = ParseDword(line.substr(position + kDword.size()));
    if (!value) {
        return unparsed;
    }
    return {RegValueLine::Kind::Dword, *name, {}, *value};
}

}  // namespace

std::vector<RegValueLine> ParseRegValues(const std::string& fileText) {
    std::vector<RegValueLine> lines;
    size_t position = 0;
    while (position < fileText.size()) {
        size_t end = fileText.find('\n', position);
        if (end == std::string::npos) {
            end = fileText.size();
        }
        std::string_view line = std::string_view(fileText).substr(position, end - position);
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.push_back(ParseLine(line));
        }
        position = end + 1;
    }
    return lines;
}

std::string FormatRegValues(const std::vector<RegValueLine>& lines) {
    std::string text;
    for (const RegValueLine& line : lines) {
        switch (line.kind) {
            case RegValueLine::Kind::String:
                text += Quote(line.name) + "=" + Quote(line.text);
                break;
            case RegValueLine::Kind::Dword: {
                char digits[9];
                snprintf(digits, sizeof digits, "%08x", line.dword);
                text += Quote(line.name) + "=dword:" + digits;
                break;
            }
            case RegValueLine::Kind::Unparsed:
                text += line.text;
                break;
        }
        text += '\n';
    }
    return text;
}

const RegValueLine* FindRegValue(const std::vector<RegValueLine>& lines, const std::string& name) {
    for (const RegValueLine& line : lines) {
        if (line.kind != RegValueLine::Kind::Unparsed && strcasecmp(line.name.c_str(), name.c_str()) == 0) {
            return &line;
        }
    }
    return nullptr;
}

void SetRegValue(std::vector<RegValueLine>& lines, RegValueLine value) {
    for (RegValueLine& line : lines) {
        if (line.kind != RegValueLine::Kind::Unparsed &&
            strcasecmp(line.name.c_str(), value.name.c_str()) == 0) {
            value.name = line.name;
            line = std::move(value);
            return;
        }
    }
    lines.push_back(std::move(value));
}

}  // namespace platform
