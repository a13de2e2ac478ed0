#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

// The in-memory forms of the model file's setting sections, one record kind per section kind.
namespace model {

// For each value in "Values" order two entries: the item key NpaName + ":" + value, then its caption.
struct ListSetting {
    std::vector<std::string> Items;

    bool operator==(const ListSetting&) const = default;
};

// The item keys of the cleared and of the set check box; both empty unless the section has two values.
struct TwoValueSetting {
    std::array<std::string, 2> Items;

    bool operator==(const TwoValueSetting&) const = default;
};

struct TextSetting {
    std::string NpaName;
    int MaxLength = 40;

    bool operator==(const TextSetting&) const = default;
};

struct NumberSetting {
    std::string NpaName;
    int MinVal = 0;
    int MaxVal = 120;

    bool operator==(const NumberSetting&) const = default;
};

struct NumberOffSetting {
    std::string NpaName;
    int MinVal = 0;
    int MaxVal = 120;
    std::string OffValue;

    bool operator==(const NumberOffSetting&) const = default;
};

// Choices always holds as many slots as its section has room for (two for a tray assignment: none, off;
// one for a buffer: automatic), so a page may index every slot; a slot the file does not fill is empty.
struct NumberChoiceSetting {
    std::string NpaName;
    int MinVal = 0;
    int MaxVal = 120;
    std::vector<std::string> Choices;

    bool operator==(const NumberChoiceSetting&) const = default;
};

// The alternatives follow the order of SettingKind.
using SettingDefinition = std::variant<ListSetting, TwoValueSetting, TextSetting, NumberSetting,
                                       NumberOffSetting, NumberChoiceSetting>;

}  // namespace model
