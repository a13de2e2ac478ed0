// Checks the shipped model file of the K600 against the limits its readers and the exchange rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/model_file.h"
#include "model/model_text.h"
#include "model/setting_readers.h"
#include "platform/profile.h"

namespace {

const std::string kModelFile = std::string(KELVARO_SOURCE_DIR) + "/cfg/k600.ini";

// Read large enough that nothing is cut, so the real lengths can be checked. Each profile read parses
// the whole file, so the answers are kept for the other checks.
std::string Raw(const std::string& section, const char* key) {
    static std::map<std::pair<std::string, std::string>, std::string> cache;
    auto [entry, added] = cache.try_emplace({section, key});
    if (added) {
        entry->second = platform::GetProfileString(kModelFile, section, key, "", 4096);
    }
    return entry->second;
}

int Int(const std::string& section, const char* key) {
    static std::map<std::pair<std::string, std::string>, int> cache;
    auto [entry, added] = cache.try_emplace({section, key});
    if (added) {
        entry->second = platform::GetProfileInt(kModelFile, section, key, -1);
    }
    return entry->second;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

bool IsHex(const std::string& text) {
    return text.size() % 2 == 0 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

// One line of "NPA WRITE VALUES": [stars]NAME:VALUE=HEX.
struct WriteLine {
    size_t stars = 0;
    std::string name;
    std::string valueText;
    std::string hex;
    bool IsRange() const { return valueText.find("..") != std::string::npos; }
};

std::vector<std::string> SectionLines(const char* section, size_t limit = model::kSectionBytes) {
    return platform::GetProfileSection(kModelFile, section, limit);
}

std::vector<WriteLine> WriteLines() {
    std::vector<WriteLine> lines;
    for (const std::string& text : SectionLines("NPA WRITE VALUES")) {
        WriteLine line;
        line.stars = std::min<size_t>(text.find_first_not_of('*'), 3);
        std::string rest = text.substr(line.stars);
        size_t colon = rest.find(':');
        size_t equals = rest.find('=');
        EXPECT_TRUE(colon != std::string::npos && equals != std::string::npos && colon < equals) << text;
        if (colon == std::string::npos || equals == std::string::npos || colon > equals) {
            continue;
        }
        line.name = rest.substr(0, colon);
        line.valueText = rest.substr(colon + 1, equals - colon - 1);
        line.hex = rest.substr(equals + 1);
        lines.push_back(line);
    }
    return lines;
}

std::map<std::string, std::string> Identifiers() {
    std::map<std::string, std::string> identifiers;
    for (const std::string& line : SectionLines("NPA READ SETTING")) {
        size_t equals = line.find('=');
        EXPECT_NE(equals, std::string::npos) << line;
        EXPECT_TRUE(identifiers.emplace(line.substr(0, equals), line.substr(equals + 1)).second)
            << "read twice: " << line;
    }
    return identifiers;
}

std::string NpaNameOf(const model::SettingSection& section) {
    return Raw(std::string(section.Name), "NpaName");
}

std::vector<WriteLine> LinesOf(const std::vector<WriteLine>& lines, const std::string& name) {
    std::vector<WriteLine> result;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(result),
                 [&](const WriteLine& line) { return line.name == name; });
    return result;
}

// The region defaults as the exchange builds them: "*" for both, "**" and "***" for non-US only; a range
// default is its middle number.
std::map<std::string, std::string> Defaults(const std::vector<WriteLine>& lines, bool nonUs) {
    std::map<std::string, std::string> defaults;
    for (const WriteLine& line : lines) {
        if (line.stars == 0 || (line.stars > 1 && !nonUs)) {
            continue;
        }
        std::string value = line.valueText;
        if (line.IsRange()) {
            size_t first = value.find("..");
            size_t second = value.find("..", first + 2);
            value = second == std::string::npos ? "" : value.substr(first + 2, second - first - 2);
        }
        defaults[line.name] = value;
    }
    return defaults;
}

long long HexNumber(const std::string& hex) {
    return hex.empty() ? -1 : std::stoll(hex, nullptr, 16);
}

TEST(K600FileTest, NamesTheModelsDriversAndBrand) {
    std::vector<std::string> drivers = model::ReadDriverNames(kModelFile);
    ASSERT_FALSE(drivers.empty());
    for (const std::string& driver : drivers) {
        EXPECT_EQ(driver.find('='), std::string::npos) << driver;
        EXPECT_TRUE(driver.starts_with("Quorvex K600")) << driver;
    }
    EXPECT_EQ(model::ReadOemString(kModelFile), "Quorvex");
}

TEST(K600FileTest, TreeOffersEveryPageOnceWithCaptions) {
    std::vector<model::TreeNode> tree = model::ReadTree(kModelFile);
    std::vector<std::string> parents = {"TreeRoot"};
    std::multiset<int> views;
    const model::TreeNode* ports = nullptr;
    for (const model::TreeNode& node : tree) {
        parents.push_back(node.Section);
        if (node.StringId == 61211) {
            ports = &node;
        }
        std::vector<const model::TreeNode*> shown = {&node};
        for (const model::TreeNode& child : node.Children) {
            shown.push_back(&child);
        }
        for (const model::TreeNode* each : shown) {
            EXPECT_FALSE(each->Caption.empty()) << each->Section;
            if (each->ViewId != 0) {
                views.insert(each->ViewId);
            }
        }
    }
    EXPECT_EQ(views, (std::multiset<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));

    // A count that the list does not back would be cut by the readers: the file must agree with itself.
    for (const std::string& parent : parents) {
        std::vector<std::string> names = model::SplitList(Raw(parent, "Children"));
        EXPECT_LE(Raw(parent, "Children").size(), model::kListChars) << parent;
        EXPECT_LE(names.size(), model::kMaxChildren) << parent;
        EXPECT_EQ(platform::GetProfileInt(kModelFile, parent, "NumChildren", 0),
                  static_cast<int>(names.size()))
            << parent;
    }

    ASSERT_NE(ports, nullptr);
    EXPECT_EQ(ports->ViewId, 0);  // a grouping node
    ASSERT_EQ(ports->Children.size(), 2u);
    EXPECT_EQ(ports->Children[0].ViewId, 10);
    EXPECT_EQ(ports->Children[0].StringId, 61212);
    EXPECT_EQ(ports->Children[1].ViewId, 11);
    EXPECT_EQ(ports->Children[1].Caption, "USB");
}

TEST(K600FileTest, EverySettingSectionKeepsTheLimitsOfItsKind) {
    model::SettingDefinitions definitions;
    definitions.Read(kModelFile);
    std::set<std::string> npaNames;
    for (size_t i = 0; i < model::kSettingCount; ++i) {
        const model::SettingSection& section = model::kSettingSections[i];
        std::string name(section.Name);
        SCOPED_TRACE(name);
        std::string npaName = NpaNameOf(section);
        EXPECT_LE(npaName.size(), model::kNpaNameChars);
        EXPECT_EQ(npaName.find(':'), std::string::npos);
        EXPECT_EQ(npaName, Upper(npaName));
        size_t dot = npaName.find('.');
        EXPECT_TRUE(dot != std::string::npos && dot > 0 && dot + 1 < npaName.size()) << npaName;
        EXPECT_TRUE(npaNames.insert(npaName).second) << "NpaName used twice: " << npaName;

        std::string values = Raw(name, "Values");
        std::vector<std::string> items = model::SplitList(values);
        EXPECT_EQ(values, Upper(values));
        switch (section.Kind) {
            case model::SettingKind::List: {
                std::vector<std::string> ids = model::SplitList(Raw(name, "ValueIds"));
                EXPECT_LE(values.size(), model::kListChars);
                EXPECT_LE(Raw(name, "ValueIds").size(), model::kListChars);
                EXPECT_GE(Int(name, "NumValues"), 1);
                EXPECT_LE(Int(name, "NumValues"), static_cast<int>(model::kMaxListValues));
                EXPECT_EQ(static_cast<size_t>(Int(name, "NumValues")), items.size());
                EXPECT_EQ(ids.size(), items.size());
                const auto& listItems = std::get<model::ListSetting>(definitions[i]).Items;
                ASSERT_EQ(listItems.size(), 2 * items.size());
                for (size_t v = 0; v < items.size(); ++v) {
                    EXPECT_EQ(listItems[2 * v], npaName + ":" + items[v]);
                    EXPECT_FALSE(listItems[2 * v + 1].empty()) << items[v] << " has no caption";
                }
                break;
            }
            case model::SettingKind::TwoValue: {
                EXPECT_EQ(Int(name, "NumValues"), 2);
                EXPECT_LE(values.size(), model::kShortValuesChars);
                EXPECT_EQ(items.size(), 2u);
                for (const std::string& id : model::SplitList(Raw(name, "ValueIds"))) {
                    EXPECT_FALSE(model::Caption(model::ConvertId(id)).empty()) << id;
                }
                EXPECT_EQ(model::SplitList(Raw(name, "ValueIds")).size(), 2u);
                const auto& twoItems = std::get<model::TwoValueSetting>(definitions[i]).Items;
                EXPECT_FALSE(twoItems[0].empty());
                EXPECT_FALSE(twoItems[1].empty());
                break;
            }
            case model::SettingKind::Text:
                // The text follows a 13-byte command that may not pass 512 bytes.
                EXPECT_GT(Int(name, "MaxLength"), 0);
                EXPECT_LE(Int(name, "MaxLength"), 512 - 13);
                break;
            case model::SettingKind::Number:
            case model::SettingKind::NumberOff:
            case model::SettingKind::NumberChoice:
                EXPECT_FALSE(Raw(name, "MinVal").starts_with("-"));
                EXPECT_LE(Int(name, "MinVal"), Int(name, "MaxVal"));
                EXPECT_GE(Int(name, "MinVal"), 0);
                if (section.Kind != model::SettingKind::Number) {
                    EXPECT_LE(values.size(), model::kShortValuesChars);
                }
                if (section.Kind == model::SettingKind::NumberOff) {
                    EXPECT_EQ(items.size(), 1u);  // the off value is taken whole
                }
                if (section.Kind == model::SettingKind::NumberChoice) {
                    EXPECT_GT(Int(name, "NumRadios"), 0);
                    EXPECT_EQ(items.size(), section.ChoiceSlots);
                }
                break;
        }
    }
    EXPECT_EQ(definitions.Find<model::NumberChoiceSetting>("ParBuffer")->NpaName, "PARALLEL.BUFFER");
    EXPECT_EQ(definitions.Find<model::NumberChoiceSetting>("UsbBuffer")->NpaName, "USB.BUFFER");
    EXPECT_EQ(definitions.Find<model::NumberSetting>("TonerDarkness")->NpaName, "QUALITY.TONERDARKNESS");
    EXPECT_EQ(definitions.Find<model::TwoValueSetting>("AdvStatus")->Items[0], "PARALLEL.ADVANCEDSTATUS:OFF");
}

TEST(K600FileTest, EverySettingHasADistinctIdentifier) {
    // The whole section must fit the exchange's buffer, or its last lines are never seen.
    ASSERT_EQ(SectionLines("NPA READ SETTING").size(), SectionLines("NPA READ SETTING", 1 << 20).size());
    std::map<std::string, std::string> identifiers = Identifiers();
    EXPECT_LE(identifiers.size(), 123u);  // one read request names at most 123 settings

    std::set<std::string> distinct;
    for (const auto& [name, hex] : identifiers) {
        EXPECT_EQ(name, Upper(name));
        EXPECT_EQ(hex.size(), 4u) << name;
        EXPECT_TRUE(IsHex(hex)) << name << "=" << hex;
        EXPECT_TRUE(distinct.insert(Upper(hex)).second) << "identifier used twice: " << hex;
    }
    std::set<std::string> npaNames;
    for (const model::SettingSection& section : model::kSettingSections) {
        npaNames.insert(NpaNameOf(section));
        EXPECT_TRUE(identifiers.count(NpaNameOf(section))) << section.Name << " has no identifier";
    }
    for (const auto& [name, hex] : identifiers) {
        EXPECT_TRUE(npaNames.count(name)) << name << " is read but belongs to no setting";
    }
}

TEST(K600FileTest, EveryValueHasAWriteLine) {
    ASSERT_EQ(SectionLines("NPA WRITE VALUES").size(), SectionLines("NPA WRITE VALUES", 1 << 20).size());
    std::vector<WriteLine> lines = WriteLines();
    std::map<std::string, std::string> identifiers = Identifiers();
    for (const WriteLine& line : lines) {
        EXPECT_TRUE(identifiers.count(line.name)) << line.name << " has no identifier";
        EXPECT_EQ(line.name + line.valueText + line.hex, Upper(line.name + line.valueText + line.hex));
        EXPECT_TRUE(IsHex(line.hex)) << line.name << ":" << line.valueText;
    }

    for (const model::SettingSection& section : model::kSettingSections) {
        std::string name(section.Name);
        std::string npaName = NpaNameOf(section);
        SCOPED_TRACE(name + " " + npaName);
        std::vector<WriteLine> own = LinesOf(lines, npaName);
        std::vector<std::string> values = model::SplitList(Raw(name, "Values"));
        switch (section.Kind) {
            case model::SettingKind::List:
            case model::SettingKind::TwoValue: {
                std::set<std::string> labels, wire;
                for (const WriteLine& line : own) {
                    EXPECT_FALSE(line.valueText.empty() || line.IsRange())
                        << "enumerated settings take labels only";
                    EXPECT_FALSE(line.hex.empty()) << line.valueText;
                    if (line.stars < 3) {
                        labels.insert(line.valueText);
                        EXPECT_TRUE(wire.insert(line.hex).second) << "two values share " << line.hex;
                    }
                }
                EXPECT_EQ(labels, std::set<std::string>(values.begin(), values.end()));
                break;
            }
            case model::SettingKind::Text:
                ASSERT_EQ(own.size(), 1u);
                EXPECT_EQ(own[0].valueText, "");
                EXPECT_EQ(own[0].hex, "");
                break;
            case model::SettingKind::Number:
            case model::SettingKind::NumberOff:
            case model::SettingKind::NumberChoice: {
                long long minVal = Int(name, "MinVal");
                long long maxVal = Int(name, "MaxVal");
                auto range =
                    std::find_if(own.begin(), own.end(), [](const WriteLine& l) { return l.IsRange(); });
                ASSERT_NE(range, own.end()) << "no range line";
                std::string valueText = range->valueText;
                EXPECT_EQ(std::stoll(valueText), minVal);
                EXPECT_EQ(std::stoll(valueText.substr(valueText.rfind("..") + 2)), maxVal);
                size_t width = range->hex.size() / 2;
                EXPECT_TRUE(width == 1 || width == 2 || width == 4) << range->hex;
                // The exchange shows a value matching any line's wire form as that line's label, so
                // no labelled wire form may be a number of the range.
                for (const WriteLine& line : own) {
                    if (line.stars < 3) {
                        long long number = HexNumber(line.hex);
                        EXPECT_TRUE(number < minVal || number > maxVal) << line.valueText << "=" << line.hex;
                        EXPECT_EQ(line.hex.size(), 2 * width) << line.valueText;
                    }
                }
                // Labels (off, none, automatic) must come before the range line: after it the exchange
                // would file their write templates under the bare name and replace the range's.
                for (const std::string& value : values) {
                    auto label = std::find_if(own.begin(), range, [&](const WriteLine& l) {
                        return l.valueText == value && l.stars < 3;
                    });
                    EXPECT_NE(label, range) << value << " has no write line before the range";
                }
                break;
            }
        }
    }
}

TEST(K600FileTest, BothRegionsHaveADefaultForEverySetting) {
    std::vector<WriteLine> lines = WriteLines();
    std::map<std::string, std::string> us = Defaults(lines, false);
    std::map<std::string, std::string> nonUs = Defaults(lines, true);
    for (const model::SettingSection& section : model::kSettingSections) {
        std::string name(section.Name);
        std::string npaName = NpaNameOf(section);
        std::vector<std::string> values = model::SplitList(Raw(name, "Values"));
        for (const auto* defaults : {&us, &nonUs}) {
            SCOPED_TRACE(name + (defaults == &us ? " US" : " non-US"));
            ASSERT_TRUE(defaults->count(npaName));
            const std::string& value = defaults->at(npaName);
            bool isValue = std::find(values.begin(), values.end(), value) != values.end();
            switch (section.Kind) {
                case model::SettingKind::List:
                case model::SettingKind::TwoValue:
                    EXPECT_TRUE(isValue) << value;
                    break;
                case model::SettingKind::Text:
                    EXPECT_LE(value.size(), static_cast<size_t>(Int(name, "MaxLength")));
                    break;
                default:
                    if (!isValue) {
                        ASSERT_FALSE(value.empty());
                        EXPECT_TRUE(std::all_of(value.begin(), value.end(), ::isdigit)) << value;
                        EXPECT_GE(std::stoll(value), Int(name, "MinVal"));
                        EXPECT_LE(std::stoll(value), Int(name, "MaxVal"));
                    }
                    break;
            }
        }
    }
    EXPECT_EQ(us["PAPER.TRAY1SIZE"], "LETTER");
    EXPECT_EQ(nonUs["PAPER.TRAY1SIZE"], "A4");
    EXPECT_EQ(nonUs["PAPER.MANUALENVSIZE"], "ENVDL");
    EXPECT_EQ(us["PCL.LINESPERPAGE"], "60");
    EXPECT_EQ(nonUs["PCL.LINESPERPAGE"], "64");
    EXPECT_EQ(us["PARALLEL.BUFFER"], "AUTO");
}

}  // namespace
