#include "model/model_text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/setting_sections.h"

namespace {

struct SplitCase {
    const char* text;
    std::vector<std::string> items;
};

TEST(SplitListTest, CutsAtEveryCommaAndDropsEmptyItems) {
    const SplitCase cases[] = {
        {"", {}},
        {",", {}},
        {",,,", {}},
        {"A", {"A"}},
        {"A,B", {"A", "B"}},
        {"A,,B", {"A", "B"}},
        {",A,B,", {"A", "B"}},
        {"A, B", {"A", " B"}},  // blanks stay part of the item
        {" , ", {" ", " "}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(model::SplitList(c.text), c.items) << '"' << c.text << '"';
    }
}

struct IdCase {
    const char* text;
    int id;
};

TEST(ConvertIdTest, ReadsADecimalPrefix) {
    const IdCase cases[] = {
        {"61211", 61211}, {"  61211", 61211},
        {"\t7", 7},       {"61211x", 61211},
        {"61 211", 61},   {"x61211", 0},
        {"", 0},          {"-5", -5},
        {"+12", 12},      {"99999999999", 2147483647},
    };
    for (const IdCase& c : cases) {
        EXPECT_EQ(model::ConvertId(c.text), c.id) << '"' << c.text << '"';
    }
}

TEST(CaptionTest, LooksUpTheStringTable) {
    EXPECT_EQ(model::Caption(61320), "A4");
    EXPECT_EQ(model::Caption(0), "");
    EXPECT_EQ(model::Caption(-61320), "");
    EXPECT_EQ(model::Caption(61306), "");
}

TEST(SettingSectionsTest, HoldsTheSectionsInReadingOrderWithTheirKinds) {
    const auto& sections = model::kSettingSections;
    EXPECT_EQ(sections.front().Name, "PaperSrc");
    EXPECT_EQ(sections[68].Name, "DuplexBind");
    EXPECT_EQ(sections.back().Name, "UsbBuffer");

    std::set<std::string_view> names;
    std::map<model::SettingKind, int> kinds;
    for (const model::SettingSection& section : sections) {
        EXPECT_TRUE(names.insert(section.Name).second) << section.Name;
        ++kinds[section.Kind];
        size_t slots = section.Kind == model::SettingKind::NumberChoice ? 1u : 0u;
        if (section.Name.starts_with("Assign")) {
            slots = 2;
        }
        EXPECT_EQ(section.ChoiceSlots, slots) << section.Name;
    }
    EXPECT_EQ(kinds[model::SettingKind::List], 81);
    EXPECT_EQ(kinds[model::SettingKind::TwoValue], 20);
    EXPECT_EQ(kinds[model::SettingKind::Text], 6);
    EXPECT_EQ(kinds[model::SettingKind::Number], 3);
    EXPECT_EQ(kinds[model::SettingKind::NumberOff], 4);
    EXPECT_EQ(kinds[model::SettingKind::NumberChoice], 7);

    EXPECT_EQ(model::SettingIndex("PaperSrc"), 0u);
    EXPECT_EQ(model::SettingIndex("UsbBuffer"), 120u);
    EXPECT_EQ(model::SettingIndex("usbbuffer"), model::kSettingCount);
}

}  // namespace
