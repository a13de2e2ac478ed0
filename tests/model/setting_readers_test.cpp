#include "model/setting_readers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/model_text.h"
#include "tests/support/temp_root.h"

namespace {

using model::ListSetting;
using model::NumberChoiceSetting;
using model::NumberOffSetting;
using model::NumberSetting;
using model::TextSetting;
using model::TwoValueSetting;

std::string Repeat(char c, size_t count) {
    return std::string(count, c);
}

// A section [S] with the given keys after a section that must not leak into it.
std::string ModelFile(const std::string& keys) {
    return "[Other]\nNumValues=2\nNpaName=OTHER.NAME\nValues=X,Y\nValueIds=61246,61266\n[S]\n" + keys;
}

struct ListCase {
    const char* what;
    std::string keys;
    std::vector<std::string> items;
};

TEST(ListSettingTest, ReadsPairsOfItemKeyAndCaption) {
    const std::string sane = "NpaName=PAPER.SIZE\nValues=LETTER,A4\nValueIds=61319,61320\n";
    const ListCase cases[] = {
        {"baseline", "NumValues=2\n" + sane, {"PAPER.SIZE:LETTER", "レター", "PAPER.SIZE:A4", "A4"}},
        {"first value only", "NumValues=1\n" + sane, {"PAPER.SIZE:LETTER", "レター"}},
        {"NumValues 0 ignores the values", "NumValues=0\n" + sane, {}},
        {"no NumValues", sane, {}},
        {"negative NumValues reads as 0", "NumValues=-2\n" + sane, {}},
        {"two commas in a row, blank kept",
         "NumValues=2\nNpaName=N\nValues=LETTER,, A4\nValueIds=61319,61320\n",
         {"N:LETTER", "レター", "N: A4", "A4"}},
        {"leading and trailing commas",
         "NumValues=2\nNpaName=N\nValues=,LETTER,A4,\nValueIds=,61319,,61320,\n",
         {"N:LETTER", "レター", "N:A4", "A4"}},
        {"identifier that is no number",
         "NumValues=2\nNpaName=N\nValues=LETTER,A4\nValueIds=x61319,61320\n",
         {"N:LETTER", "", "N:A4", "A4"}},
        {"identifier with blanks and a tail",
         "NumValues=1\nNpaName=N\nValues=LETTER\nValueIds= 61319abc\n",
         {"N:LETTER", "レター"}},
        {"identifier without an entry",
         "NumValues=1\nNpaName=N\nValues=LETTER\nValueIds=61306\n",
         {"N:LETTER", ""}},
        {"quoted values",
         "NumValues=1\nNpaName=\"N\"\nValues=\"LETTER\"\nValueIds=61319\n",
         {"N:LETTER", "レター"}},
        {"NumValues beyond the values",
         "NumValues=5\n" + sane,
         {"PAPER.SIZE:LETTER", "レター", "PAPER.SIZE:A4", "A4"}},
        {"NumValues beyond the identifiers",
         "NumValues=2\nNpaName=N\nValues=LETTER,A4\nValueIds=61319\n",
         {"N:LETTER", "レター"}},
        {"no NpaName", "NumValues=1\nValues=LETTER\nValueIds=61319\n", {":LETTER", "レター"}},
    };
    testsupport::TempDir dir;
    for (const ListCase& c : cases) {
        std::string file = dir.Write("m.ini", ModelFile(c.keys));
        EXPECT_EQ(model::ReadListSetting(file, "S").Items, c.items) << c.what;
    }
}

TEST(ListSettingTest, KeepsWithinTwentyValuesAndTheTextLimits) {
    testsupport::TempDir dir;
    std::string values, ids;
    for (int i = 1; i <= 25; ++i) {
        values += "V" + std::to_string(i) + ",";
        ids += "61246,";
    }
    std::string longName = Repeat('N', 80);
    std::string file = dir.Write(
        "m.ini", "[S]\nNumValues=25\nNpaName=" + longName + "\nValues=" + values + "\nValueIds=" + ids);
    ListSetting setting = model::ReadListSetting(file, "S");
    ASSERT_EQ(setting.Items.size(), 40u);
    EXPECT_EQ(setting.Items[0], Repeat('N', 69) + ":V1");
    EXPECT_EQ(setting.Items[38], Repeat('N', 69) + ":V20");

    // "Values" is read into 254 characters: the item that straddles the limit is cut.
    std::string wide = Repeat('A', 250) + ",BCDEFGH";
    file = dir.Write("m.ini", "[S]\nNumValues=2\nNpaName=N\nValues=" + wide + "\nValueIds=61246,61266\n");
    setting = model::ReadListSetting(file, "S");
    ASSERT_EQ(setting.Items.size(), 4u);
    EXPECT_EQ(setting.Items[2], "N:BCD");
}

TEST(ListSettingTest, MissingFileOrSectionGivesAnEmptyList) {
    testsupport::TempDir dir;
    std::string file = dir.Write("m.ini", ModelFile(""));
    EXPECT_TRUE(model::ReadListSetting(file, "Absent").Items.empty());
    EXPECT_TRUE(model::ReadListSetting(dir.Path() + "/none.ini", "S").Items.empty());
    EXPECT_EQ(model::ReadListSetting(file, "other").Items.size(), 4u);  // section names ignore case
}

struct TwoValueCase {
    const char* what;
    std::string keys;
    TwoValueSetting expected;
};

TEST(TwoValueSettingTest, FormsBothItemKeysOnlyForExactlyTwoValues) {
    const TwoValueCase cases[] = {
        {"baseline",
         "NpaName=FINISHING.DUPLEX\nNumValues=2\nValues=OFF,ON\n",
         {{"FINISHING.DUPLEX:OFF", "FINISHING.DUPLEX:ON"}}},
        {"NumValues 3 counts as absent", "NpaName=N\nNumValues=3\nValues=OFF,ON,AUTO\n", {}},
        {"NumValues 1", "NpaName=N\nNumValues=1\nValues=OFF,ON\n", {}},
        {"no NumValues", "NpaName=N\nValues=OFF,ON\n", {}},
        {"only one value present", "NpaName=N\nNumValues=2\nValues=OFF,\n", {}},
        {"further values ignored", "NpaName=N\nNumValues=2\nValues=OFF,ON,AUTO\n", {{"N:OFF", "N:ON"}}},
        {"empty items dropped", "NpaName=N\nNumValues=2\nValues=,OFF,,ON\n", {{"N:OFF", "N:ON"}}},
        {"Values cut to 24 characters",
         "NpaName=N\nNumValues=2\nValues=" + Repeat('A', 12) + "," + Repeat('B', 15) + "\n",
         {{"N:" + Repeat('A', 12), "N:" + Repeat('B', 11)}}},
    };
    testsupport::TempDir dir;
    for (const TwoValueCase& c : cases) {
        std::string file = dir.Write("m.ini", ModelFile(c.keys));
        EXPECT_EQ(model::ReadTwoValueSetting(file, "S"), c.expected) << c.what;
    }
}

TEST(NumberSettingsTest, ReadNamesRangesAndLengthsWithTheirDefaults) {
    testsupport::TempDir dir;
    std::string file =
        dir.Write("m.ini",
                  "[Text]\nNpaName=PAPER.CUSTOM1NAME\nMaxLength=16\n"
                  "[TextDefault]\nNpaName=" +
                      Repeat('T', 75) +
                      "\n"
                      "[Number]\nNpaName=FINISHING.COPIES\nMinVal=1\nMaxVal=999\n"
                      "[NumberNegative]\nNpaName=N\nMinVal=-5\n"
                      "[NumberTail]\nNpaName=N\nMinVal= 3 K\nMaxVal=256K\n"
                      "[Off]\nNpaName=SETUP.POWERSAVER\nMinVal=1\nMaxVal=240\nValues=DISABLED\n"
                      "[OffList]\nNpaName=N\nValues=OFF, DISABLED\n");
    EXPECT_EQ(model::ReadTextSetting(file, "Text"), (TextSetting{"PAPER.CUSTOM1NAME", 16}));
    EXPECT_EQ(model::ReadTextSetting(file, "TextDefault"), (TextSetting{Repeat('T', 69), 40}));
    EXPECT_EQ(model::ReadTextSetting(file, "Absent"), (TextSetting{"", 40}));
    EXPECT_EQ(model::ReadNumberSetting(file, "Number"), (NumberSetting{"FINISHING.COPIES", 1, 999}));
    EXPECT_EQ(model::ReadNumberSetting(file, "NumberNegative"), (NumberSetting{"N", 0, 120}));
    EXPECT_EQ(model::ReadNumberSetting(file, "NumberTail"), (NumberSetting{"N", 3, 256}));
    EXPECT_EQ(model::ReadNumberOffSetting(file, "Off"),
              (NumberOffSetting{"SETUP.POWERSAVER", 1, 240, "DISABLED"}));
    // The off value is the whole text, not split at commas.
    EXPECT_EQ(model::ReadNumberOffSetting(file, "OffList"), (NumberOffSetting{"N", 0, 120, "OFF, DISABLED"}));
    EXPECT_EQ(model::ReadNumberOffSetting(file, "Absent"), (NumberOffSetting{"", 0, 120, ""}));
}

struct ChoiceCase {
    const char* what;
    std::string keys;
    size_t slots;
    std::vector<std::string> choices;
};

TEST(NumberChoiceSettingTest, FillsItsSlotsAndDiscardsFurtherChoices) {
    const std::string tray = "NpaName=PCL.ASSIGNTRAY1\nMinVal=0\nMaxVal=199\n";
    const ChoiceCase cases[] = {
        {"tray baseline", tray + "NumRadios=3\nValues=NONE,OFF\n", 2, {"NONE", "OFF"}},
        {"no radios: values not read", tray + "NumRadios=0\nValues=NONE,OFF\n", 2, {"", ""}},
        {"missing NumRadios", tray + "Values=NONE,OFF\n", 2, {"", ""}},
        {"one choice for two slots", tray + "NumRadios=3\nValues=NONE\n", 2, {"NONE", ""}},
        {"third choice discarded", tray + "NumRadios=3\nValues=NONE,OFF,AUTO\n", 2, {"NONE", "OFF"}},
        {"buffer keeps the first", tray + "NumRadios=2\nValues=AUTO,OFF\n", 1, {"AUTO"}},
    };
    testsupport::TempDir dir;
    for (const ChoiceCase& c : cases) {
        std::string file = dir.Write("m.ini", ModelFile(c.keys));
        NumberChoiceSetting setting = model::ReadNumberChoiceSetting(file, "S", c.slots);
        EXPECT_EQ(setting.Choices, c.choices) << c.what;
        EXPECT_EQ(setting.NpaName, "PCL.ASSIGNTRAY1") << c.what;
        EXPECT_EQ(setting.MaxVal, 199) << c.what;
    }
}

TEST(SettingDefinitionsTest, ReadsEverySectionAsItsKind) {
    testsupport::TempDir dir;
    std::string file =
        dir.Write("m.ini",
                  "[PaperSrc]\nNumValues=1\nNpaName=PAPER.PAPERSOURCE\nValues=TRAY1\nValueIds=61216\n"
                  "[ParBuffer]\nNpaName=PARALLEL.BUFFER\nMinVal=3\nMaxVal=256\nNumRadios=2\n"
                  "Values=AUTO,DISABLED\n"
                  "[UsbBuffer]\nNpaName=USB.BUFFER\nNumRadios=2\nValues=AUTO\n"
                  "[Duplex]\nNpaName=FINISHING.DUPLEX\nNumValues=2\nValues=OFF,ON\n");
    model::SettingDefinitions definitions;
    definitions.Read(file);

    ASSERT_NE(definitions.Find<ListSetting>("PaperSrc"), nullptr);
    EXPECT_EQ(definitions.Find<ListSetting>("PaperSrc")->Items,
              (std::vector<std::string>{"PAPER.PAPERSOURCE:TRAY1", "カセット 1"}));
    // The parallel buffer's second choice is dropped and reaches no other setting.
    ASSERT_NE(definitions.Find<NumberChoiceSetting>("ParBuffer"), nullptr);
    EXPECT_EQ(definitions.Find<NumberChoiceSetting>("ParBuffer")->Choices, std::vector<std::string>{"AUTO"});
    EXPECT_EQ(definitions.Find<NumberChoiceSetting>("UsbBuffer")->Choices, std::vector<std::string>{"AUTO"});
    EXPECT_EQ(definitions.Find<NumberChoiceSetting>("AssignTray1")->Choices,
              (std::vector<std::string>{"", ""}));
    EXPECT_EQ(definitions.Find<TwoValueSetting>("Duplex")->Items[1], "FINISHING.DUPLEX:ON");
    EXPECT_EQ(definitions.Find<ListSetting>("Duplex"), nullptr);  // another kind
    EXPECT_EQ(definitions.Find<ListSetting>("NoSuchSection"), nullptr);
}

TEST(SettingDefinitionsTest, UnreadAndMissingFileGiveEmptyRecordsOfEveryKind) {
    model::SettingDefinitions unread;
    model::SettingDefinitions missing;
    missing.Read("/nonexistent/kelvaro/model.ini");
    for (size_t i = 0; i < model::kSettingCount; ++i) {
        EXPECT_EQ(unread[i].index(), static_cast<size_t>(model::kSettingSections[i].Kind))
            << model::kSettingSections[i].Name;
        EXPECT_EQ(unread[i], missing[i]) << model::kSettingSections[i].Name;
    }
    EXPECT_EQ(missing.Find<NumberSetting>("Copies")->MaxVal, 120);
    EXPECT_EQ(missing.Find<TextSetting>("Cust1Name")->MaxLength, 40);
    EXPECT_EQ(missing.Find<NumberChoiceSetting>("UsbBuffer")->Choices.size(), 1u);
}

}  // namespace
