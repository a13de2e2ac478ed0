#include "model/setting_readers.h"

#include <algorithm>

#include "model/model_text.h"
#include "platform/profile.h"

namespace model {
namespace {

std::string ReadText(const std::string& file, const std::string& section, const char* key, size_t chars) {
    return platform::GetProfileString(file, section, key, "", chars + 1);
}

int ReadInt(const std::string& file, const std::string& section, const char* key, int defaultValue) {
    return platform::GetProfileInt(file, section, key, defaultValue);
}

std::string ReadNpaName(const std::string& file, const std::string& section) {
    return ReadText(file, section, "NpaName", kNpaNameChars);
}

std::string ItemKey(const std::string& npaName, const std::string& value) {
    return npaName + ":" + value;
}

SettingDefinition EmptyDefinition(const SettingSection& section) {
    switch (section.Kind) {
        case SettingKind::List:
            return ListSetting{};
        case SettingKind::TwoValue:
            return TwoValueSetting{};
        case SettingKind::Text:
            return TextSetting{};
        case SettingKind::Number:
            return NumberSetting{};
        case SettingKind::NumberOff:
            return NumberOffSetting{};
        case SettingKind::NumberChoice:
            break;
    }
    NumberChoiceSetting setting;
    setting.Choices.resize(section.ChoiceSlots);
    return setting;
}

}  // namespace

ListSetting ReadListSetting(const std::string& file, const std::string& section) {
    ListSetting setting;
    int numValues = ReadInt(file, section, "NumValues", 0);
    if (numValues == 0) {
        return setting;
    }
    std::string npaName = ReadNpaName(file, section);
    std::vector<std::string> values = SplitList(ReadText(file, section, "Values", kListChars));
    std::vector<std::string> ids = SplitList(ReadText(file, section, "ValueIds", kListChars));
    size_t count = std::min({static_cast<size_t>(numValues), kMaxListValues, values.size(), ids.size()});
    for (size_t i = 0; i < count; ++i) {
        setting.Items.push_back(ItemKey(npaName, values[i]));
        setting.Items.push_back(Caption(ConvertId(ids[i])));
    }
    return setting;
}

TwoValueSetting ReadTwoValueSetting(const std::string& file, const std::string& section) {
    TwoValueSetting setting;
    std::string npaName = ReadNpaName(file, section);
    if (ReadInt(file, section, "NumValues", 0) != 2) {
        return setting;
    }
    std::vector<std::string> values = SplitList(ReadText(file, section, "Values", kShortValuesChars));
    // With fewer than two values the check box would have no value for one of its states.
    if (values.size() < 2) {
        return setting;
    }
    setting.Items = {ItemKey(npaName, values[0]), ItemKey(npaName, values[1])};
    return setting;
}

TextSetting ReadTextSetting(const std::string& file, const std::string& section) {
    TextSetting setting;
    setting.NpaName = ReadNpaName(file, section);
    setting.MaxLength = ReadInt(file, section, "MaxLength", setting.MaxLength);
    return setting;
}

NumberSetting ReadNumberSetting(const std::string& file, const std::string& section) {
    NumberSetting setting;
    setting.NpaName = ReadNpaName(file, section);
    setting.MinVal = ReadInt(file, section, "MinVal", setting.MinVal);
    setting.MaxVal = ReadInt(file, section, "MaxVal", setting.MaxVal);
    return setting;
}

NumberOffSetting ReadNumberOffSetting(const std::string& file, const std::string& section) {
    NumberOffSetting setting;
    setting.NpaName = ReadNpaName(file, section);
    setting.MinVal = ReadInt(file, section, "MinVal", setting.MinVal);
    setting.MaxVal = ReadInt(file, section, "MaxVal", setting.MaxVal);
    setting.OffValue = ReadText(file, section, "Values", kShortValuesChars);
    return setting;
}

NumberChoiceSetting ReadNumberChoiceSetting(const std::string& file, const std::string& section,
                                            size_t choiceSlots) {
    NumberChoiceSetting setting;
    setting.Choices.resize(choiceSlots);
    setting.NpaName = ReadNpaName(file, section);
    setting.MinVal = ReadInt(file, section, "MinVal", setting.MinVal);
    setting.MaxVal = ReadInt(file, section, "MaxVal", setting.MaxVal);
    if (ReadInt(file, section, "NumRadios", 0) <= 0) {
        return setting;
    }
    std::vector<std::string> values = SplitList(ReadText(file, section, "Values", kShortValuesChars));
    size_t count = std::min(values.size(), choiceSlots);
    std::copy_n(values.begin(), count, setting.Choices.begin());
    return setting;
}

SettingDefinition ReadSettingDefinition(const std::string& file, const SettingSection& section) {
    std::string name(section.Name);
    switch (section.Kind) {
        case SettingKind::List:
            return ReadListSetting(file, name);
        case SettingKind::TwoValue:
            return ReadTwoValueSetting(file, name);
        case SettingKind::Text:
            return ReadTextSetting(file, name);
        case SettingKind::Number:
            return ReadNumberSetting(file, name);
        case SettingKind::NumberOff:
            return ReadNumberOffSetting(file, name);
        case SettingKind::NumberChoice:
            break;
    }
    return ReadNumberChoiceSetting(file, name, section.ChoiceSlots);
}

SettingDefinitions::SettingDefinitions() {
    for (size_t i = 0; i < kSettingCount; ++i) {
        definitions_[i] = EmptyDefinition(kSettingSections[i]);
    }
}

void SettingDefinitions::Read(const std::string& modelFile) {
    for (size_t i = 0; i < kSettingCount; ++i) {
        definitions_[i] = ReadSettingDefinition(modelFile, kSettingSections[i]);
    }
}

}  // namespace model
