#include "sim/sim_settings.h"

#include <gtest/gtest.h>

#include "sim/sim_packets.h"
#include "tests/sim/sim_test_support.h"

namespace {

using sim::SimKind;

TEST(SimSettings, BuildsTheTableFromTheModelFile) {
    sim::SimSettings settings;
    ASSERT_EQ(0, settings.Load(SIM_FIXTURE_MODEL));
    struct Row {
        const char* name;
        uint16_t id;
        SimKind kind;
        size_t values;
        const char* current;
    };
    const Row rows[] = {
        {"PAPER.SIZE", 0x0101, SimKind::Enumerated, 3, "LETTER"},
        {"COPIES", 0x0102, SimKind::Numeric, 0, "1"},
        {"JOB.NAME", 0x0103, SimKind::Text, 0, ""},
        {"DUPLEX", 0x0104, SimKind::Enumerated, 2, "ON"},  // lower-case lines; "***" adds no value
        {"TIMEOUT", 0x0105, SimKind::Numeric, 1, "30"},
    };
    ASSERT_EQ(std::size(rows), settings.All().size());
    for (size_t i = 0; i < std::size(rows); ++i) {
        const sim::SimSetting& setting = settings.All()[i];
        EXPECT_EQ(rows[i].name, setting.name);
        EXPECT_EQ(rows[i].id, setting.id) << rows[i].name;
        EXPECT_EQ(rows[i].kind, setting.kind) << rows[i].name;
        EXPECT_EQ(rows[i].values, setting.values.size()) << rows[i].name;
        EXPECT_EQ(rows[i].current, settings.ValueText(rows[i].name)) << rows[i].name;
    }
}

TEST(SimSettings, ValueTextsRoundTripAndBadOnesAreRefused) {
    sim::SimSettings settings;
    ASSERT_EQ(0, settings.Load(SIM_FIXTURE_MODEL));
    struct Case {
        const char* name;
        const char* text;
        bool accepted;
        const char* shown;
    };
    const Case cases[] = {
        {"PAPER.SIZE", "legal", true, "LEGAL"},
        {"PAPER.SIZE", "B5", false, "LETTER"},
        {"COPIES", "300", true, "300"},
        {"COPIES", "3x", false, "1"},
        {"TIMEOUT", "off", true, "OFF"},
        {"TIMEOUT", "120", true, "120"},
        {"JOB.NAME", "Night run", true, "Night run"},
        {"NO.SUCH", "1", false, ""},
    };
    for (const Case& c : cases) {
        sim::SimSettings copy = settings;
        EXPECT_EQ(c.accepted, copy.SetValueText(c.name, c.text)) << c.name << " " << c.text;
        EXPECT_EQ(c.shown, copy.ValueText(c.name)) << c.name << " " << c.text;
    }
}

TEST(SimSettings, MissingModelFileGivesNoTable) {
    sim::SimSettings settings;
    EXPECT_EQ(-1, settings.Load("/nonexistent/model.ini"));
    sim::SimOptions options;
    options.modelFile = "/nonexistent/model.ini";
    sim::SimulatedPrinter printer(options);
    EXPECT_EQ(-1, printer.Start());
}

TEST(SimSettings, HexDecodingStopsAtTheFirstBadPair) {
    EXPECT_EQ((sim::Bytes{0x01, 0xAB}), sim::DecodeHex("01aB5"));
    EXPECT_EQ((sim::Bytes{0x01}), sim::DecodeHex("01G1"));
}

}  // namespace
