#include <gtest/gtest.h>

#include "exchange/read_reply.h"
#include "exchange/settings_exchange.h"
#include "reply_builder.h"
#include "scripted_link.h"
#include "tests/support/temp_root.h"

namespace {

using exchange::ValueMap;
using namespace exchangetest;

const char kModel[] = R"([NPA READ SETTING]
SIZE=0101
COPIES=0201
[NPA WRITE VALUES]
*SIZE:LETTER=01
**SIZE:A4=02
*COPIES:1..1..999=FFFF
)";

// A read reply of at least 100 bytes: the records, then a filler record of an identifier nobody asked for.
Bytes FullReply(const std::vector<Bytes>& records) {
    Bytes reply = Reply(records);
    Append(reply, Type0(0x0FFF, Bytes(reply.size() < 100 ? 100 - reply.size() : 0, 0x00)));
    return reply;
}

class ReadSettingsTest : public ::testing::Test {
  protected:
    ReadSettingsTest() : exchange_(link_, "libQvxBce-absent.so") {
        exchange_.SetModelFile(dir_.Write("model.ini", kModel));
    }

    testsupport::TempRoot root_;
    testsupport::TempDir dir_;
    CScriptedLink link_;
    exchange::CSettingsExchange exchange_;
    ValueMap values_;
    ValueMap descriptors_{{"SIZE", "old"}};
};

TEST_F(ReadSettingsTest, ReadsThroughTheLinkAndLeavesThePortOpen) {
    link_.replies.push_back(
        {0, FullReply({Type2(0x0101, 1, 0, {{0x01}, {0x02}}), Type0(0x0201, {0x00, 0x03})})});
    EXPECT_EQ(0, exchange_.ReadSettings("USB001", values_, descriptors_, 0));
    EXPECT_EQ((std::vector<std::string>{"open", "send"}), link_.Ops());
    EXPECT_EQ(exchange::kReplyBufferSize, link_.calls[1].replySize);
    EXPECT_EQ("A4", values_["SIZE"]);
    EXPECT_EQ("3", values_["COPIES"]);
    EXPECT_EQ("Setting(NumSettings=2;DefaultSetting=LETTER;CurSetting=A4;OtherSettings=LETTER)",
              descriptors_["SIZE"]);
    EXPECT_EQ("", descriptors_["COPIES"]);
}

TEST_F(ReadSettingsTest, ShortOrWrongReplyIsAskedForOnceMore) {
    Bytes good = FullReply({Type0(0x0201, {0x00, 0x04})});
    Bytes shortReply(good.begin(), good.begin() + 99);
    Bytes wrongCommand = good;
    wrongCommand[5] = 0xB3;
    struct Case {
        const char* what;
        std::vector<ScriptedReply> replies;
        int result;
    } cases[] = {
        {"99 bytes, then a good reply", {{0, shortReply}, {0, good}}, 0},
        {"wrong command, then a good reply", {{0, wrongCommand}, {0, good}}, 0},
        {"99 bytes twice", {{0, shortReply}, {0, shortReply}}, -2},
        {"99 bytes, then the resend fails", {{0, shortReply}, {-6, {}}}, -2},
    };
    for (const Case& c : cases) {
        CScriptedLink link;
        link.replies.assign(c.replies.begin(), c.replies.end());
        exchange::CSettingsExchange exchange(link, "libQvxBce-absent.so");
        exchange.SetModelFile(dir_.Write("model.ini", kModel));
        ValueMap values;
        EXPECT_EQ(c.result, exchange.ReadSettings("USB001", values, descriptors_, 0)) << c.what;
        EXPECT_EQ((std::vector<std::string>{"open", "send", "close", "open", "send"}), link.Ops()) << c.what;
        EXPECT_EQ(exchange::kReplyBufferSize, link.calls[4].replySize) << c.what;
        EXPECT_BYTES(link.calls[1].command, link.calls[4].command);
        EXPECT_EQ(c.result == 0 ? 1u : 0u, values.count("COPIES")) << c.what;
    }
}

TEST_F(ReadSettingsTest, FailedFirstSendGivesNoReplyWithoutResend) {
    link_.replies.push_back({-6, {}});
    EXPECT_EQ(-2, exchange_.ReadSettings("USB001", values_, descriptors_, 0));
    EXPECT_EQ((std::vector<std::string>{"open", "send"}), link_.Ops());
    EXPECT_TRUE(values_.empty());
}

TEST_F(ReadSettingsTest, PortThatCannotOpenLeavesTheMapsAlone) {
    link_.openResult = -1;
    EXPECT_EQ(-1, exchange_.ReadSettings("USB001", values_, descriptors_, 0));
    EXPECT_TRUE(values_.empty());
    EXPECT_EQ("old", descriptors_["SIZE"]);
}

TEST_F(ReadSettingsTest, OneWayPortGivesTheRegionsDefaults) {
    link_.openResult = 1;
    EXPECT_EQ(1, exchange_.ReadSettings("LPT1", values_, descriptors_, 0));
    EXPECT_EQ((ValueMap{{"SIZE", "LETTER"}, {"COPIES", "1"}}), values_);
    EXPECT_EQ((ValueMap{{"SIZE", "old"}}), descriptors_);
    EXPECT_EQ(1, exchange_.ReadSettings("LPT1", values_, descriptors_, 1));
    EXPECT_EQ((ValueMap{{"SIZE", "A4"}, {"COPIES", "1"}}), values_);
    EXPECT_EQ((std::vector<std::string>{"open", "open"}), link_.Ops());
}

TEST_F(ReadSettingsTest, NoPrinterModeNeverTouchesTheLink) {
    exchange_.SetNoPrinterMode(1);
    EXPECT_EQ(1, exchange_.ReadSettings("USB001", values_, descriptors_, 1));
    EXPECT_EQ("A4", values_["SIZE"]);
    EXPECT_TRUE(link_.calls.empty());
}

TEST_F(ReadSettingsTest, TablesAreLoadedOnceFromTheFirstModelFile) {
    link_.openResult = 1;
    exchange_.ReadSettings("LPT1", values_, descriptors_, 0);
    exchange_.SetModelFile(dir_.Write("other.ini", "[NPA WRITE VALUES]\n*OTHER:X=01\n"));
    values_.clear();
    exchange_.ReadSettings("LPT1", values_, descriptors_, 0);
    EXPECT_EQ(0u, values_.count("OTHER"));
    EXPECT_EQ("LETTER", values_["SIZE"]);
}

}  // namespace
