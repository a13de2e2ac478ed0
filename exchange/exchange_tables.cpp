#include "exchange/exchange_tables.h"

#include "devlink/slc_log.h"
#include "exchange/hex_bytes.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace exchange {

namespace {

enum class DefaultTables { None, NonUsOnly, Both };

}  // namespace

std::string DefaultOfSpec(const std::string& spec) {
    size_t first = spec.find("..");
    if (first == std::string::npos) {
        return spec;
    }
    size_t start = first + 2;
    size_t next = spec.find("..", start);
    if (next == std::string::npos) {
        return std::string();
    }
    return spec.substr(start, next - start);
}

void CExchangeTables::Load(const std::string& modelFile) {
    LoadReadSection(modelFile);
    LoadWriteSection(modelFile);
    ReadResetDelay();
}

void CExchangeTables::Clear() {
    identifiers_.clear();
    identifierIndex_.clear();
    labels_.clear();
    textSettings_.clear();
    numericSettings_.clear();
    usDefaults_.clear();
    nonUsDefaults_.clear();
    templates_.clear();
}

void CExchangeTables::LoadReadSection(const std::string& modelFile) {
    for (const std::string& raw :
         platform::GetProfileSection(modelFile, "NPA READ SETTING", kSectionBufferSize)) {
        std::string line = UpperCase(raw);
        size_t equals = line.find('=');
        std::string hex = equals == std::string::npos ? std::string() : line.substr(equals + 1);
        std::string name = line.substr(0, equals);
        auto [index, added] = identifierIndex_.emplace(name, identifiers_.size());
        if (added) {
            identifiers_.emplace_back(name, DecodeHex(hex));
        } else {
            identifiers_[index->second].second = DecodeHex(hex);
        }
    }
}

void CExchangeTables::LoadWriteSection(const std::string& modelFile) {
    for (const std::string& line :
         platform::GetProfileSection(modelFile, "NPA WRITE VALUES", kSectionBufferSize)) {
        AddWriteLine(UpperCase(line));
    }
}

void CExchangeTables::AddWriteLine(std::string line) {
    DefaultTables defaults = DefaultTables::None;
    bool ordinary = true;
    if (line.starts_with("***")) {
        line.erase(0, 3);
        defaults = DefaultTables::NonUsOnly;
        ordinary = false;
    } else if (line.starts_with("**")) {
        line.erase(0, 2);
        defaults = DefaultTables::NonUsOnly;
    } else if (line.starts_with("*")) {
        line.erase(0, 1);
        defaults = DefaultTables::Both;
    }

    size_t colon = line.find(':');
    if (colon == std::string::npos) {
        SlcLog(devlink::kLogEntry, "NPA WRITE VALUES: line [%s] has no value part, skipped\n", line.c_str());
        return;
    }
    std::string name = line.substr(0, colon);
    size_t equals = line.find('=', colon + 1);
    std::string spec =
        line.substr(colon + 1, equals == std::string::npos ? std::string::npos : equals - colon - 1);
    std::string hex = equals == std::string::npos ? std::string() : line.substr(equals + 1);

    if (defaults == DefaultTables::Both) {
        usDefaults_[name] = DefaultOfSpec(spec);
    }
    if (defaults != DefaultTables::None) {
        nonUsDefaults_[name] = DefaultOfSpec(spec);
    }
    if (!ordinary) {
        return;
    }

    if (spec.empty()) {
        textSettings_.insert(name);
    } else if (spec.find("..") != std::string::npos) {
        numericSettings_.insert(name);
    }
    Bytes value = DecodeHex(hex);
    labels_[name][FormatHexBytes(value.data(), static_cast<uint32_t>(value.size()))] = spec;
    bool wholeSetting = IsTextSetting(name) || IsNumericSetting(name);
    MakeTemplate(name, wholeSetting ? name : name + ":" + spec, hex);
}

void CExchangeTables::MakeTemplate(const std::string& name, const std::string& key, const std::string& hex) {
    const Bytes* id = FindIdentifier(name);
    if (id == nullptr || id->size() < 2) {
        // Without its two identifier bytes the command would address no setting, or a wrong one.
        SlcLog(devlink::kLogEntry, "NPA WRITE VALUES: %s has no identifier, no write template for %s\n",
               name.c_str(), key.c_str());
        return;
    }
    Bytes value = DecodeHex(hex);
    // The length and width fields are 16 bits wide; for values up to 245 bytes their high bytes are 0.
    const size_t width = value.size();
    const size_t length = width + 10;
    Bytes command = {0xA5,
                     static_cast<uint8_t>(length >> 8),
                     static_cast<uint8_t>(length),
                     0x50,  // flags: response requested
                     0xE0,
                     0xB2,
                     0x03,  // write
                     0x00,
                     0x01,
                     (*id)[0],
                     (*id)[1],
                     static_cast<uint8_t>(width >> 8),
                     static_cast<uint8_t>(width)};
    command.insert(command.end(), value.begin(), value.end());
    templates_[key] = std::move(command);
}

void CExchangeTables::ReadResetDelay() {
    platform::RegistryKey key;
    if (platform::RegistryKey::Open(kProductKey, platform::RegAccess::FullAccess, key) !=
        platform::RegResult::Ok) {
        return;
    }
    if (std::optional<uint32_t> delay = key.ReadDword("ResetDelay")) {
        resetDelay_ = *delay;
    }
}

const Bytes* CExchangeTables::FindIdentifier(const std::string& name) const {
    auto found = identifierIndex_.find(name);
    return found == identifierIndex_.end() ? nullptr : &identifiers_[found->second].second;
}

std::string CExchangeTables::NameOfIdentifier(const std::string& idHex) const {
    auto found = replyNames_.find(idHex);
    return found == replyNames_.end() ? std::string() : found->second;
}

Bytes* CExchangeTables::FindTemplate(const std::string& key) {
    auto found = templates_.find(key);
    return found == templates_.end() ? nullptr : &found->second;
}

std::string CExchangeTables::ValueToText(const std::string& name, const uint8_t* bytes,
                                         uint32_t length) const {
    if (length == 0) {
        return std::string();
    }
    std::string text;
    auto labels = labels_.find(name);
    if (labels != labels_.end()) {
        auto label = labels->second.find(FormatHexBytes(bytes, length));
        if (label != labels->second.end()) {
            text = label->second;
        }
    }
    if (!text.empty()) {
        return text;
    }
    if (IsTextSetting(name)) {
        uint32_t end = 0;
        while (end < length && bytes[end] != 0) {
            ++end;
        }
        return std::string(reinterpret_cast<const char*>(bytes), end);
    }
    if (IsNumericSetting(name)) {
        return std::to_string(BigEndianInt32(bytes, length));
    }
    return text;
}

}  // namespace exchange
