#include "exchange/exchange_tables.h"

#include <gtest/gtest.h>

#include "exchange/hex_bytes.h"
#include "platform/registry.h"
#include "scripted_link.h"
#include "tests/support/temp_root.h"

namespace {

using exchange::Bytes;
using exchange::CExchangeTables;

// Every test runs under a private root, so the registry read for "ResetDelay" stays in it.
class ExchangeTablesTest : public ::testing::Test {
  protected:
    testsupport::TempRoot root_;
};

CExchangeTables LoadTables(const std::string& readSection, const std::string& writeSection) {
    testsupport::TempDir dir;
    std::string file = dir.Write(
        "model.ini", "[NPA READ SETTING]\n" + readSection + "\n[NPA WRITE VALUES]\n" + writeSection + "\n");
    CExchangeTables tables;
    tables.Load(file);
    return tables;
}

TEST(DecodeHexTest, ReadsPairsUpToTheFirstNonHexDigitOfEachPair) {
    struct Case {
        const char* text;
        Bytes bytes;
    } cases[] = {
        {"0101", {0x01, 0x01}},
        {"aBcD", {0xAB, 0xCD}},
        {"1G", {0x01}},
        {"G1", {0x00}},
        {"123", {0x12}},  // a final odd character is ignored
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_BYTES(c.bytes, exchange::DecodeHex(c.text)) << c.text;
    }
}

TEST(HexBytesTest, FormatsAndSwaps) {
    const uint8_t bytes[] = {0x0A, 0xFF, 0x00};
    EXPECT_EQ("0AFF00", FormatHexBytes(bytes, 3));
    uint16_t half = 0x1234;
    SwapBytes16(half);
    EXPECT_EQ(0x3412, half);
    uint32_t word = 0x12345678;
    SwapBytes32(word);
    EXPECT_EQ(0x78563412u, word);
}

TEST(DefaultOfSpecTest, TakesTheMiddleOfARange) {
    EXPECT_EQ("5", exchange::DefaultOfSpec("1..5..99"));
    EXPECT_EQ("", exchange::DefaultOfSpec("1..99"));
    EXPECT_EQ("LETTER", exchange::DefaultOfSpec("LETTER"));
}

TEST_F(ExchangeTablesTest, StarsFillTheDefaultTablesInFileOrder) {
    struct Case {
        const char* lines;
        const char* us;     // nullptr: no US default
        const char* nonUs;  // nullptr: no non-US default
    } cases[] = {
        {"*S:X=01\n**S:Y=02", "X", "Y"}, {"**S:Y=02\n*S:X=01", "X", "X"}, {"***S:Y=02", nullptr, "Y"},
        {"S:X=01", nullptr, nullptr},    {"*S:1..5..99=FFFF", "5", "5"},  {"*S:1..99=FFFF", "", ""},
    };
    for (const Case& c : cases) {
        CExchangeTables tables = LoadTables("S=0101", c.lines);
        auto us = tables.UsDefaults().find("S");
        auto nonUs = tables.NonUsDefaults().find("S");
        if (c.us == nullptr) {
            EXPECT_EQ(tables.UsDefaults().end(), us) << c.lines;
        } else {
            ASSERT_NE(tables.UsDefaults().end(), us) << c.lines;
            EXPECT_EQ(c.us, us->second) << c.lines;
        }
        if (c.nonUs == nullptr) {
            EXPECT_EQ(tables.NonUsDefaults().end(), nonUs) << c.lines;
        } else {
            ASSERT_NE(tables.NonUsDefaults().end(), nonUs) << c.lines;
            EXPECT_EQ(c.nonUs, nonUs->second) << c.lines;
        }
    }
}

TEST_F(ExchangeTablesTest, TripleStarLineMakesNoLabelAndNoTemplate) {
    CExchangeTables tables = LoadTables("S=0101", "***S:Y=02");
    EXPECT_EQ(0u, tables.Labels().count("S"));
    EXPECT_TRUE(tables.Templates().empty());
}

TEST_F(ExchangeTablesTest, LowerCaseLinesReadLikeUpperCase) {
    CExchangeTables lower = LoadTables("paper.size=0a0b", "*paper.size:letter=0c\npaper.size:a4=0d");
    CExchangeTables upper = LoadTables("PAPER.SIZE=0A0B", "*PAPER.SIZE:LETTER=0C\nPAPER.SIZE:A4=0D");
    EXPECT_EQ(upper.Identifiers(), lower.Identifiers());
    EXPECT_EQ(upper.Labels(), lower.Labels());
    EXPECT_EQ(upper.Templates(), lower.Templates());
    EXPECT_EQ(upper.UsDefaults(), lower.UsDefaults());
}

TEST_F(ExchangeTablesTest, LaterReadLineForANameReplacesItsIdentifierInPlace) {
    CExchangeTables tables = LoadTables("A=0101\nB=0202\nA=0303", "");
    ASSERT_EQ(2u, tables.Identifiers().size());
    EXPECT_EQ("A", tables.Identifiers()[0].first);
    EXPECT_BYTES((Bytes{0x03, 0x03}), tables.Identifiers()[0].second);
}

TEST_F(ExchangeTablesTest, WriteTemplateHoldsTheWireValue) {
    CExchangeTables tables = LoadTables("PAPER.SIZE=0105", "PAPER.SIZE:A4=0A0B");
    const Bytes expected = {
        0xA5,        // start
        0x00, 0x0C,  // length: n + 10
        0x50,        // flags: response requested
        0xE0,        // command
        0xB2,        // settings
        0x03,        // write
        0x00, 0x01,  //
        0x01, 0x05,  // identifier
        0x00, 0x02,  // value width n
        0x0A, 0x0B,  // value
    };
    ASSERT_EQ(1u, tables.Templates().count("PAPER.SIZE:A4"));
    EXPECT_BYTES(expected, tables.Templates().at("PAPER.SIZE:A4"));
}

TEST_F(ExchangeTablesTest, ValueTooLongForOneLengthByteKeepsItsWholeLength) {
    CExchangeTables tables = LoadTables("LOGO=0201", "LOGO:BIG=" + std::string(2 * 300, '7'));
    const Bytes& command = tables.Templates().at("LOGO:BIG");
    ASSERT_EQ(command.size(), 313u);
    EXPECT_EQ(command[1], 0x01);  // length 310 = 0x0136
    EXPECT_EQ(command[2], 0x36);
    EXPECT_EQ(command[11], 0x01);  // width 300 = 0x012C
    EXPECT_EQ(command[12], 0x2C);
}

TEST_F(ExchangeTablesTest, TemplateKeysByKindOfSetting) {
    CExchangeTables tables = LoadTables("E=0101\nN=0102\nT=0103", "E:ON=01\nN:1..9=FFFF\nT:=\nN:AUTO=00");
    EXPECT_EQ(1u, tables.Templates().count("E:ON"));
    EXPECT_EQ(1u, tables.Templates().count("T"));
    // A label line of a numeric setting replaces its template: N is already numeric.
    ASSERT_EQ(1u, tables.Templates().count("N"));
    EXPECT_EQ(0u, tables.Templates().count("N:AUTO"));
    EXPECT_EQ(0x00, tables.Templates().at("N").back());
    EXPECT_TRUE(tables.IsNumericSetting("N"));
    EXPECT_TRUE(tables.IsTextSetting("T"));
    EXPECT_FALSE(tables.IsTextSetting("E"));
}

TEST_F(ExchangeTablesTest, LineWithoutAUsableIdentifierMakesNoTemplate) {
    CExchangeTables tables = LoadTables("SHORT=05", "NOID:X=01\nSHORT:Y=01\n*NOID:Z=02");
    EXPECT_TRUE(tables.Templates().empty());
    // The rest of the line is kept: its label and default.
    EXPECT_EQ("X", tables.Labels().at("NOID").at("01"));
    EXPECT_EQ("Z", tables.UsDefaults().at("NOID"));
}

TEST_F(ExchangeTablesTest, ValueToTextLabelsFirstThenTextOrNumber) {
    CExchangeTables tables = LoadTables("E=0101\nN=0102\nT=0103",
                                        "E:ON=01\nE:OFF=00\nN:1..999=FFFF\nN:AUTO=0000\nT:=\nT:NONE=4E4F");
    struct Case {
        const char* name;
        Bytes bytes;
        const char* text;
    } cases[] = {
        {"E", {0x01}, "ON"},
        {"E", {0x05}, ""},  // no label matches
        {"E", {}, ""},
        {"N", {0x01, 0x2C}, "300"},
        {"N", {0x00, 0x00}, "AUTO"},  // the label comes first for numbers too
        {"N", {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
        {"N", {0x07, 0x00, 0x00, 0x00, 0x05}, "5"},  // longer than four bytes: the last four
        {"T", {'A', 'b', 0x00, 'c'}, "Ab"},
        {"T", {'N', 'O'}, "NONE"},
        {"UNKNOWN", {0x01}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.text, tables.ValueToText(c.name, c.bytes.data(), static_cast<uint32_t>(c.bytes.size())))
            << c.name << " " << exchangetest::Hex(c.bytes);
    }
}

TEST_F(ExchangeTablesTest, ResetDelayFromTheRegistry) {
    EXPECT_EQ(exchange::kDefaultResetDelay, LoadTables("", "").ResetDelay());
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegResult::Ok, platform::RegistryKey::Create(exchange::kProductKey, key));
    EXPECT_EQ(exchange::kDefaultResetDelay, LoadTables("", "").ResetDelay());
    key.WriteDword("ResetDelay", 1234);
    EXPECT_EQ(1234u, LoadTables("", "").ResetDelay());
}

TEST_F(ExchangeTablesTest, MissingFileLeavesTablesEmpty) {
    CExchangeTables tables;
    tables.Load("/nonexistent/model.ini");
    EXPECT_TRUE(tables.Identifiers().empty());
    EXPECT_TRUE(tables.Templates().empty());
}

}  // namespace
