#include "sim/sim_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/profile.h"

namespace sim {
namespace {

// The exchange fetches each section into a buffer of this size; the printer offers what the exchange
// can see.
constexpr size_t kSectionLimit = 32767;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return ToUpper(a) == ToUpper(b);
}

// The default a numeric spec names: the text between its first ".." and the next one.
std::optional<int64_t> NumericDefault(const std::string& spec) {
    size_t first = spec.find("..");
    size_t second = spec.find("..", first + 2);
    if (first == std::string::npos || second == std::string::npos) {
        return std::nullopt;
    }
    std::string text = spec.substr(first + 2, second - first - 2);
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

int64_t ReadNumber(const std::vector<uint8_t>& bytes) {
    uint32_t value = 0;
    for (uint8_t byte : bytes) {
        value = (value << 8) | byte;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

std::vector<uint8_t> DecodeHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        int high = HexDigit(text[i]);
        int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            break;
        }
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::string ToUpper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::vector<uint8_t> EncodeNumber(int64_t value, size_t width) {
    std::vector<uint8_t> bytes(width);
    auto bits = static_cast<uint64_t>(value);
    for (size_t i = width; i-- > 0;) {
        bytes[i] = static_cast<uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
    return bytes;
}

int SimSetting::IndexOf(const std::vector<uint8_t>& bytes) const {
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i].bytes == bytes) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

size_t SimSetting::ValueWidth() const {
    size_t widest = 0;
    for (const SimValue& value : values) {
        widest = std::max(widest, value.bytes.size());
    }
    return widest;
}

int SimSettings::Load(const std::string& modelFile) {
    settings_.clear();
    for (std::string line : platform::GetProfileSection(modelFile, "NPA READ SETTING", kSectionLimit)) {
        line = ToUpper(line);
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::vector<uint8_t> id = DecodeHex(line.substr(equals + 1));
        if (id.size() < 2) {
            continue;
        }
        SimSetting setting;
        setting.name = line.substr(0, equals);
        setting.id = static_cast<uint16_t>(id[0] << 8 | id[1]);
        if (SimSetting* existing = Find(setting.name)) {
            *existing = setting;
        } else {
            settings_.push_back(setting);
        }
    }
    for (const std::string& line :
         platform::GetProfileSection(modelFile, "NPA WRITE VALUES", kSectionLimit)) {
        AddWriteLine(ToUpper(line));
    }
    for (SimSetting& setting : settings_) {
        if (setting.usDefault) {
            setting.current = *setting.usDefault;
        } else if (setting.kind == SimKind::Enumerated && !setting.values.empty()) {
            setting.current = setting.values.front().bytes;
        }
    }
    return settings_.empty() ? -1 : 0;
}

// One line [stars]NAME:SPEC=HEX. "***" lines hold only a non-US default, which a US printer never uses.
void SimSettings::AddWriteLine(std::string line) {
    size_t stars = std::min<size_t>(line.find_first_not_of('*'), 3);
    if (stars == 3 || stars == std::string::npos) {
        return;
    }
    line.erase(0, stars);
    size_t colon = line.find(':');
    size_t equals = line.find('=', colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || equals == std::string::npos) {
        return;
    }
    SimSetting* setting = Find(line.substr(0, colon));
    if (setting == nullptr) {
        return;
    }
    std::string spec = line.substr(colon + 1, equals - colon - 1);
    std::vector<uint8_t> hex = DecodeHex(line.substr(equals + 1));
    bool usDefault = stars == 1;
    if (spec.empty()) {
        setting->kind = SimKind::Text;
        setting->current = hex;
        if (usDefault) {
            setting->usDefault = std::vector<uint8_t>{};
        }
    } else if (spec.find("..") != std::string::npos) {
        if (setting->kind != SimKind::Text) {
            setting->kind = SimKind::Numeric;
        }
        setting->width = hex.size();
        setting->current = hex;
        std::optional<int64_t> value = NumericDefault(spec);
        if (usDefault && value) {
            setting->usDefault = EncodeNumber(*value, hex.size());
        }
    } else {
        if (setting->kind == SimKind::Unknown) {
            setting->kind = SimKind::Enumerated;
        }
        if (setting->IndexOf(hex) < 0) {
            setting->values.push_back({spec, hex});
        }
        if (usDefault) {
            setting->usDefault = hex;
        }
    }
}

SimSetting* SimSettings::Find(const std::string& name) {
    std::string upper = ToUpper(name);
    for (SimSetting& setting : settings_) {
        if (setting.name == upper) {
            return &setting;
        }
    }
    return nullptr;
}

const SimSetting* SimSettings::Find(const std::string& name) const {
    return const_cast<SimSettings*>(this)->Find(name);
}

SimSetting* SimSettings::FindById(uint16_t id) {
    for (SimSetting& setting : settings_) {
        if (setting.id == id) {
            return &setting;
        }
    }
    return nullptr;
}

std::string SimSettings::ValueText(const std::string& name) const {
    const SimSetting* setting = Find(name);
    if (setting == nullptr) {
        return {};
    }
    int index = setting->IndexOf(setting->current);
    if (index >= 0) {
        return setting->values[static_cast<size_t>(index)].label;
    }
    switch (setting->kind) {
        case SimKind::Text:
            return std::string(setting->current.begin(), setting->current.end());
        case SimKind::Numeric:
            return std::to_string(ReadNumber(setting->current));
        default:
            return {};
    }
}

bool SimSettings::SetValueText(const std::string& name, const std::string& text) {
    SimSetting* setting = Find(name);
    if (setting == nullptr) {
        return false;
    }
    for (const SimValue& value : setting->values) {
        if (EqualNoCase(value.label, text)) {
            setting->current = value.bytes;
            return true;
        }
    }
    if (setting->kind == SimKind::Text) {
        setting->current.assign(text.begin(), text.end());
        return true;
    }
    int64_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (setting->kind != SimKind::Numeric || error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    setting->current = EncodeNumber(number, setting->width);
    return true;
}

bool SimSettings::SetValueBytes(SimSetting& setting, const std::vector<uint8_t>& bytes) {
    if (setting.kind == SimKind::Enumerated && setting.IndexOf(bytes) < 0) {
        return false;
    }
    setting.current = bytes;
    return true;
}

void SimSettings::RestoreUsDefaults() {
    for (SimSetting& setting : settings_) {
        if (setting.usDefault) {
            setting.current = *setting.usDefault;
        }
    }
}

}  // namespace sim
