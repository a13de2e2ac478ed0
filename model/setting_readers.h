#pragma once

#include <array>
#include <string>
#include <string_view>

#include "model/setting_records.h"
#include "model/setting_sections.h"

// Readers of the model file's setting sections. None reports an error: a missing file, section or key
// gives the defaults, and a file that breaks a limit yields only the items and slots a record has room
// for (counts are capped to the items present; further choices are dropped).
namespace model {

ListSetting ReadListSetting(const std::string& file, const std::string& section);
TwoValueSetting ReadTwoValueSetting(const std::string& file, const std::string& section);
TextSetting ReadTextSetting(const std::string& file, const std::string& section);
NumberSetting ReadNumberSetting(const std::string& file, const std::string& section);
NumberOffSetting ReadNumberOffSetting(const std::string& file, const std::string& section);
NumberChoiceSetting ReadNumberChoiceSetting(const std::string& file, const std::string& section,
                                            size_t choiceSlots);

// The record of the section's kind, read from the file.
SettingDefinition ReadSettingDefinition(const std::string& file, const SettingSection& section);

// The definitions of all setting sections, in the order of kSettingSections.
class SettingDefinitions {
  public:
    // Every setting as a model file without its section defines it.
    SettingDefinitions();

    void Read(const std::string& modelFile);

    const SettingDefinition& operator[](size_t index) const { return definitions_[index]; }

    // The record of the named section, or nullptr for an unknown name or another kind of record.
    template <typename Record>
    const Record* Find(std::string_view section) const {
        size_t index = SettingIndex(section);
        return index < kSettingCount ? std::get_if<Record>(&definitions_[index]) : nullptr;
    }

  private:
    std::array<SettingDefinition, kSettingCount> definitions_;
};

}  // namespace model
