#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class SimKind { Enumerated, Numeric, Text, Unknown };

struct SimValue {
    std::string label;  // upper case, as the model file's line spells it after conversion
    std::vector<uint8_t> bytes;
};

// One setting of the printer: its wire identifier, the values it offers and its current value, all built
// from the model file's "NPA READ SETTING" and "NPA WRITE VALUES" sections.
struct SimSetting {
    std::string name;  // upper case
    uint16_t id = 0;
    SimKind kind = SimKind::Unknown;
    std::vector<SimValue> values;  // enumerated settings, in file order, one per wire value
    size_t width = 0;              // numeric settings: bytes on the wire
    std::vector<uint8_t> current;
    std::optional<std::vector<uint8_t>> usDefault;

    // Index of the value whose bytes equal `bytes`, or -1.
    int IndexOf(const std::vector<uint8_t>& bytes) const;
    // The widest value of an enumerated setting; every value is sent with this width.
    size_t ValueWidth() const;
};

// The settings table, in the order of "NPA READ SETTING".
class SimSettings {
  public:
    // Reads the two sections of the model file; 0, or -1 when the file has no "NPA READ SETTING" lines.
    int Load(const std::string& modelFile);

    const std::vector<SimSetting>& All() const { return settings_; }
    SimSetting* Find(const std::string& name);
    const SimSetting* Find(const std::string& name) const;
    SimSetting* FindById(uint16_t id);

    // The value as the exchange shows it: a label, a decimal number, or the text itself.
    std::string ValueText(const std::string& name) const;
    // Sets the value from such a text; false when the setting or the value is unknown.
    bool SetValueText(const std::string& name, const std::string& text);
    // Stores a value that arrived on the wire; false (nothing changed) for a value an enumerated setting
    // does not offer.
    bool SetValueBytes(SimSetting& setting, const std::vector<uint8_t>& bytes);
    // Every setting with a "*" default takes it.
    void RestoreUsDefaults();

  private:
    void AddWriteLine(std::string line);

    std::vector<SimSetting> settings_;
};

// Hexadecimal digit pairs to bytes; stops at the first pair that is not two hexadecimal digits.
std::vector<uint8_t> DecodeHex(const std::string& text);
std::string ToUpper(std::string text);
// A big-endian unsigned number of `width` bytes.
std::vector<uint8_t> EncodeNumber(int64_t value, size_t width);

}  // namespace sim
