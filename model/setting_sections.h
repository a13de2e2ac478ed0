#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace model {

enum class SettingKind { List, TwoValue, Text, Number, NumberOff, NumberChoice };

struct SettingSection {
    std::string_view Name;
    SettingKind Kind;
    size_t ChoiceSlots;  // room for choices; only number-with-choices sections have any
};

constexpr size_t kSettingCount = 121;

// Every setting section of a model file, in the order the document reads them.
extern const std::array<SettingSection, kSettingCount> kSettingSections;

// The position of a section in kSettingSections (names compare exactly), or kSettingCount.
size_t SettingIndex(std::string_view name);

}  // namespace model
