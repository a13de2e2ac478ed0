// CExchangeTables::Load on an arbitrary model file, which is meant to hold the "NPA READ SETTING" and
// "NPA WRITE VALUES" sections. The input is the whole file.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "exchange/exchange_tables.h"
#include "exchange/hex_bytes.h"
#include "fuzz_support.h"

namespace {

const std::string& ModelPath() {
    static const std::string path = [] {
        // Loading reads the registry under the host root: keep it away from the real one.
        setenv("KELVARO_ROOT", fuzz::PrivateDir().c_str(), 1);
        return fuzz::PrivateDir() + "/model.ini";
    }();
    return path;
}

size_t LengthField(const exchange::Bytes& packet) {
    return static_cast<size_t>(packet[1]) << 8 | packet[2];
}

void CheckTemplate(const exchange::CExchangeTables& tables, const std::string& key,
                   const exchange::Bytes& command) {
    const std::string name = key.substr(0, key.find(':'));
    const exchange::Bytes* id = tables.FindIdentifier(name);
    FUZZ_CHECK(id != nullptr && id->size() >= 2);
    FUZZ_CHECK(command.size() >= exchange::kTemplateHeaderSize);
    FUZZ_CHECK(command[0] == 0xA5 && command[4] == 0xE0 && command[5] == 0xB2 && command[6] == 0x03);
    FUZZ_CHECK(command[9] == (*id)[0] && command[10] == (*id)[1]);
    // A write command is an NPA packet: its length field counts every byte after the field.
    FUZZ_CHECK(LengthField(command) + 3 == command.size());
    fuzz::Keep(tables
                   .ValueToText(name, command.data() + exchange::kTemplateHeaderSize,
                                static_cast<uint32_t>(command.size() - exchange::kTemplateHeaderSize))
                   .size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteFile(ModelPath(), data, size);
    exchange::CExchangeTables tables;
    tables.Load(ModelPath());

    for (const auto& [name, id] : tables.Identifiers()) {
        FUZZ_CHECK(exchange::UpperCase(name) == name);
        FUZZ_CHECK(tables.FindIdentifier(name) == &id);
        fuzz::Keep(tables.ValueToText(name, id.data(), static_cast<uint32_t>(id.size())).size());
    }
    for (const auto& [key, command] : tables.Templates()) {
        CheckTemplate(tables, key, command);
    }
    // Every default of both regions is a non-US default too.
    for (const auto& [name, value] : tables.UsDefaults()) {
        FUZZ_CHECK(tables.NonUsDefaults().count(name) == 1);
        fuzz::Keep(value.size());
    }
    for (const auto& [name, labels] : tables.Labels()) {
        for (const auto& [hex, label] : labels) {
            FUZZ_CHECK(hex.size() % 2 == 0);
            fuzz::Keep(label.size());
        }
    }
    return 0;
}
