#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace exchange {

using Bytes = std::vector<uint8_t>;

constexpr const char* kProductKey = "Software\\Quorvex\\Kelvaro\\Vantu80\\";
constexpr uint32_t kDefaultResetDelay = 5000;
// Each section is fetched into a buffer of this size; what lies beyond it is not seen.
constexpr size_t kSectionBufferSize = 32767;
// A write template: A5 00 len 50 E0 B2 03 00 01 id-hi id-lo 00 width, then the value bytes.
constexpr size_t kTemplateHeaderSize = 13;
constexpr size_t kTemplateWidthOffset = 12;

// How settings travel on the wire, from the model file's "NPA READ SETTING" and "NPA WRITE VALUES"
// sections. Every setting name is upper case, since each line is upper-cased before it is split.
class CExchangeTables {
  public:
    // Fills the tables from the model file and reads "ResetDelay" from the registry.
    void Load(const std::string& modelFile);
    // Frees every table but the reply name table.
    void Clear();

    // The value as text: a label of the setting, or the text itself, or the decimal number, or empty.
    std::string ValueToText(const std::string& name, const uint8_t* bytes, uint32_t length) const;

    // The reply name table, keyed by the identifier as four upper-case hex digits.
    void NameIdentifier(const std::string& idHex, const std::string& name) { replyNames_[idHex] = name; }
    std::string NameOfIdentifier(const std::string& idHex) const;

    bool IsTextSetting(const std::string& name) const { return textSettings_.count(name) != 0; }
    bool IsNumericSetting(const std::string& name) const { return numericSettings_.count(name) != 0; }
    // nullptr when there is none; the numeric templates are changed by every write.
    Bytes* FindTemplate(const std::string& key);

    // In file order; a later line for the same name replaces the bytes in place.
    const std::vector<std::pair<std::string, Bytes>>& Identifiers() const { return identifiers_; }
    const Bytes* FindIdentifier(const std::string& name) const;
    const std::map<std::string, std::map<std::string, std::string>>& Labels() const { return labels_; }
    const std::map<std::string, std::string>& UsDefaults() const { return usDefaults_; }
    const std::map<std::string, std::string>& NonUsDefaults() const { return nonUsDefaults_; }
    const std::map<std::string, Bytes>& Templates() const { return templates_; }
    uint32_t ResetDelay() const { return resetDelay_; }

  private:
    void LoadReadSection(const std::string& modelFile);
    void LoadWriteSection(const std::string& modelFile);
    void AddWriteLine(std::string line);
    void MakeTemplate(const std::string& name, const std::string& key, const std::string& hex);
    void ReadResetDelay();

    std::vector<std::pair<std::string, Bytes>> identifiers_;
    std::map<std::string, size_t> identifierIndex_;
    std::map<std::string, std::map<std::string, std::string>> labels_;  // name -> value hex -> label
    std::set<std::string> textSettings_;
    std::set<std::string> numericSettings_;
    std::map<std::string, std::string> usDefaults_;
    std::map<std::string, std::string> nonUsDefaults_;
    std::map<std::string, Bytes> templates_;  // NAME:LABEL, or NAME for text and numeric settings
    std::map<std::string, std::string> replyNames_;
    uint32_t resetDelay_ = kDefaultResetDelay;
};

// The default stored by a starred line: the line's SPEC, or for a range "min..default..max" its middle part
// (empty for a range with a single "..").
std::string DefaultOfSpec(const std::string& spec);

}  // namespace exchange
