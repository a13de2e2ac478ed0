#include <gtest/gtest.h>

#include "exchange/settings_exchange.h"
#include "platform/fake_clock.h"
#include "platform/registry.h"
#include "scripted_link.h"
#include "tests/support/temp_root.h"

namespace {

using namespace exchangetest;
using Items = std::vector<std::string>;

const char kModel[] = R"([NPA READ SETTING]
SIZE=0101
COPIES=0201
NAME=0301
USB.BUFFER=0801
[NPA WRITE VALUES]
*SIZE:LETTER=01
SIZE:A4=02
*COPIES:1..1..999=FFFF
*NAME:=
USB.BUFFER:3..256=FFFF
ORPHAN:1..9=FF
)";

const Bytes kA4 = {
    0xA5,        // start
    0x00, 0x0B,  // length
    0x50,        // flags
    0xE0, 0xB2,  // command, settings
    0x03,        // write
    0x00, 0x01,  //
    0x01, 0x01,  // SIZE
    0x00, 0x01,  // width
    0x02,        // A4
};

Bytes Copies(uint8_t high, uint8_t low) {
    return {
        0xA5, 0x00, 0x0C, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x01, 0x02, 0x01,  // COPIES
        0x00, 0x02,                                                        // width
        high, low,
    };
}

class WriteSettingsTest : public ::testing::Test {
  protected:
    WriteSettingsTest() : exchange_(link_, "libQvxBce-absent.so") {
        exchange_.SetModelFile(dir_.Write("model.ini", kModel));
    }

    testsupport::TempRoot root_;
    testsupport::TempDir dir_;
    platform::FakeClock clock_;
    platform::ScopedClock scopedClock_{clock_};
    CScriptedLink link_;
    exchange::CSettingsExchange exchange_;
};

TEST_F(WriteSettingsTest, ItemsBecomeCommandsBetweenOfflineAndOnline) {
    struct Case {
        const char* what;
        Items items;
        std::vector<Bytes> sent;
    } cases[] = {
        {"a label, sent as its template whatever its case", {"size:a4"}, {kA4}},
        {"a number", {"COPIES:300"}, {Copies(0x01, 0x2C)}},
        {"a signed number with blanks", {"COPIES:  -1"}, {Copies(0xFF, 0xFF)}},
        {"text that is no number", {"COPIES:many"}, {Copies(0x00, 0x00)}},
        {"Unsupported matches no template and is not sent", {"SIZE:Unsupported", "SIZE:A4"}, {kA4}},
        {"a setting the tables do not know is not sent", {"FOO:BAR", "SIZE:A4"}, {kA4}},
        {"a buffer item goes to a printer",
         {"USB.BUFFER:64"},
         {{0xA5, 0x00, 0x0C, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x01, 0x08, 0x01, 0x00, 0x02, 0x00, 0x40}}},
        {"an empty list", {}, {}},
    };
    for (const Case& c : cases) {
        link_.calls.clear();
        EXPECT_EQ(0, exchange_.WriteSettings("USB001", c.items, 0)) << c.what;
        std::vector<std::string> ops = {"open", "offline1"};
        ops.insert(ops.end(), c.sent.size(), "send");
        ops.insert(ops.end(), {"offline0", "close"});
        EXPECT_EQ(ops, link_.Ops()) << c.what;
        ASSERT_EQ(c.sent.size(), link_.Sent().size()) << c.what;
        for (size_t i = 0; i < c.sent.size(); ++i) {
            EXPECT_BYTES(c.sent[i], link_.Sent()[i]) << c.what;
        }
    }
    EXPECT_TRUE(clock_.Sleeps().empty());
}

TEST_F(WriteSettingsTest, TextValueKeepsItsCaseAndRewritesTheLengths) {
    ASSERT_EQ(0, exchange_.WriteSettings("USB001", {"name:AbCd"}, 0));
    const Bytes expected = {
        0xA5, 0x00, 0x0E,                                // length: 17 - 3
        0x50, 0xE0, 0xB2, 0x03, 0x00, 0x01, 0x03, 0x01,  // NAME
        0x00, 0x04,                                      // text length
        'A',  'b',  'C',  'd',
    };
    ASSERT_EQ(1u, link_.Sent().size());
    EXPECT_BYTES(expected, link_.Sent()[0]);
    EXPECT_EQ(exchange::kWriteReplySize, link_.calls[2].replySize);
}

TEST_F(WriteSettingsTest, NumericTemplateKeepsTheLastValue) {
    ASSERT_EQ(0, exchange_.WriteSettings("USB001", {"COPIES:300", "COPIES:5"}, 0));
    EXPECT_BYTES(Copies(0x01, 0x2C), link_.Sent()[0]);
    EXPECT_BYTES(Copies(0x00, 0x05), link_.Sent()[1]);
    EXPECT_BYTES(Copies(0x00, 0x05), exchange_.Tables().Templates().at("COPIES"));
}

TEST_F(WriteSettingsTest, MissingTemplateStopsTheWalkButComesBackOnline) {
    EXPECT_EQ(-3, exchange_.WriteSettings("USB001", {"SIZE:A4", "ORPHAN:3", "COPIES:2"}, 0));
    EXPECT_EQ((std::vector<std::string>{"open", "offline1", "send", "offline0", "close"}), link_.Ops());
    EXPECT_BYTES(kA4, link_.Sent()[0]);
}

TEST_F(WriteSettingsTest, FailuresBeforeTheWalkSendNothing) {
    link_.openResult = -1;
    EXPECT_EQ(-1, exchange_.WriteSettings("USB001", {"SIZE:A4"}, 0));
    EXPECT_EQ((std::vector<std::string>{"open"}), link_.Ops());

    link_.calls.clear();
    link_.openResult = 0;
    link_.offlineResult = -4;
    EXPECT_EQ(-3, exchange_.WriteSettings("USB001", {"SIZE:A4"}, 0));
    EXPECT_EQ((std::vector<std::string>{"open", "offline1"}), link_.Ops());
}

TEST_F(WriteSettingsTest, OneWayPortIsWrittenAllTheSame) {
    link_.openResult = 1;
    EXPECT_EQ(0, exchange_.WriteSettings("LPT1", {"SIZE:A4"}, 0));
    EXPECT_EQ(1u, link_.Sent().size());
}

TEST_F(WriteSettingsTest, CommandFileLeavesOutBufferItemsAndWaitsTheResetDelay) {
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegResult::Ok, platform::RegistryKey::Create(exchange::kProductKey, key));
    key.WriteDword("ResetDelay", 750);
    EXPECT_EQ(0, exchange_.WriteSettings("/out/x.npa", {"USB.BUFFER:64", "SIZE:A4", "x PARALLEL.BUFFER"}, 1));
    EXPECT_EQ((std::vector<std::string>{"open", "offline1", "send", "offline0", "close"}), link_.Ops());
    EXPECT_EQ((std::vector<uint32_t>{750}), clock_.Sleeps());

    // Only the exact case marks a buffer item.
    link_.calls.clear();
    EXPECT_EQ(0, exchange_.WriteSettings("/out/x.npa", {"usb.buffer:64"}, 1));
    EXPECT_EQ(1u, link_.Sent().size());
    EXPECT_EQ(1u, clock_.Sleeps().size());
}

TEST_F(WriteSettingsTest, FactoryDefaultsAndShutdown) {
    exchange_.RestoreFactoryDefaults("USB001");
    EXPECT_EQ((std::vector<std::string>{"open", "offline1", "send", "offline0", "close"}), link_.Ops());
    EXPECT_BYTES((Bytes{0xA5, 0x00, 0x05, 0x50, 0xE0, 0xE7, 0x08, 0x00}), link_.Sent()[0]);

    link_.calls.clear();
    link_.closeResult = 7;
    EXPECT_EQ(7, exchange_.ShutdownExchange("USB001"));
    EXPECT_EQ((std::vector<std::string>{"close", "shutdown"}), link_.Ops());
    EXPECT_TRUE(exchange_.Tables().Templates().empty());
}

}  // namespace
