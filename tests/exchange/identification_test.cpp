#include <gtest/gtest.h>

#include "exchange/settings_exchange.h"
#include "scripted_link.h"
#include "tests/support/temp_root.h"

namespace {

using exchange::ValueMap;
using namespace exchangetest;

const Bytes kPreamble = {0xA5, 0x00, 0x06, 0x50, 0x03, 0x04, 0x20, 0x20, 0x20};
const Bytes kIdentity = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xEB, 0x00, 0x00, 0xB2};
const Bytes kPreambleReply = {0xA5, 0x00, 0x04, 0x00, 0x03, 0x04, 0x20};

Bytes IdentityReply(uint8_t code) {
    return {
        0xA5, 0x00, 0x07, 0x00, 0xE0, 0xEB, 0x00, 0x00, 0xB2,
        code,  // model code
    };
}

Bytes PortListReply(uint8_t count, const Bytes& types) {
    Bytes reply = {0xA5, 0x00, static_cast<uint8_t>(4 + types.size()), 0x00, 0xE0,
                   0x71, count};  // port count
    reply.insert(reply.end(), types.begin(), types.end());
    return reply;
}

class IdentificationTest : public ::testing::Test {
  protected:
    testsupport::TempRoot root_;
    CScriptedLink link_;
    exchange::CSettingsExchange exchange_{link_, "libQvxBce-absent.so"};
    ValueMap detected_;
};

TEST_F(IdentificationTest, ModelCodesOfTheSupportedModel) {
    struct Case {
        uint8_t code;
        bool supported;
    } cases[] = {{'+', true}, {'-', true}, {'5', true}, {'6', false}, {0x00, false}};
    for (const Case& c : cases) {
        CScriptedLink link;
        link.replies = {{0, kPreambleReply}, {0, IdentityReply(c.code)}};
        exchange::CSettingsExchange exchange(link, "libQvxBce-absent.so");
        ValueMap detected;
        EXPECT_EQ(c.supported, exchange.DetectPrinters({{"K600", "USB001"}}, detected)) << c.code;
        ValueMap expected;
        if (c.supported) {
            expected["USB001"] = "Quorvex K600";
        }
        EXPECT_EQ(expected, detected) << c.code;
        EXPECT_EQ((std::vector<std::string>{"open", "send", "send", "close"}), link.Ops());
        EXPECT_BYTES(kPreamble, link.Sent()[0]);
        EXPECT_BYTES(kIdentity, link.Sent()[1]);
        EXPECT_EQ(exchange::kQueryReplySize, link.calls[2].replySize);
    }
}

TEST_F(IdentificationTest, WrongPreambleReplyIsSentOnceMore) {
    struct Case {
        const char* what;
        ScriptedReply preamble;
        size_t preambles;
    } cases[] = {
        {"right reply", {0, kPreambleReply}, 1},
        {"wrong reply", {0, {0xA5, 0x00, 0x04, 0x00, 0x03, 0x04, 0x21}}, 2},
        {"reply too short to hold the check", {0, {0xA5, 0x00, 0x02, 0x00, 0x03}}, 2},
        {"failed send", {-6, {}}, 1},
    };
    for (const Case& c : cases) {
        CScriptedLink link;
        link.replies = {c.preamble};
        if (c.preambles == 2) {
            link.replies.push_back({0, {}});
        }
        link.replies.push_back({0, IdentityReply('+')});
        exchange::CSettingsExchange exchange(link, "libQvxBce-absent.so");
        ValueMap detected;
        EXPECT_TRUE(exchange.DetectPrinters({{"K600", "USB001"}}, detected)) << c.what;
        std::vector<Bytes> sent = link.Sent();
        ASSERT_EQ(c.preambles + 1, sent.size()) << c.what;
        EXPECT_BYTES(kPreamble, sent[c.preambles - 1]);
        EXPECT_BYTES(kIdentity, sent.back());
    }
}

TEST_F(IdentificationTest, EachIdentityReplyIsJudgedByItsOwnBytes) {
    link_.replies = {
        {0, kPreambleReply}, {0, IdentityReply('+')},                   // USB001
        {0, kPreambleReply}, {0, Bytes{0xA5, 0x00, 0x02, 0x00, 0xE0}},  // USB002: no byte 9
        {0, kPreambleReply}, {-6, {}},                                  // USB003: no reply
    };
    ValueMap printers = {{"a", "USB001"}, {"b", "USB002"}, {"c", "USB003"}};
    EXPECT_TRUE(exchange_.DetectPrinters(printers, detected_));
    EXPECT_EQ((ValueMap{{"USB001", "Quorvex K600"}}), detected_);
}

TEST_F(IdentificationTest, PortsByTheirNames) {
    link_.openResult = -1;
    ValueMap printers = {{"a", "LPT1"}, {"b", "USB004"}, {"c", "lpt2"}, {"d", "\\\\server\\q"}};
    EXPECT_TRUE(exchange_.DetectPrinters(printers, detected_));
    EXPECT_EQ((ValueMap{{"LPT1", "Unavailable"}}), detected_);
    EXPECT_EQ((std::vector<std::string>{"open"}), link_.Ops());  // only USB004, which cannot open

    ValueMap none;
    EXPECT_FALSE(exchange_.DetectPrinters({{"d", "FILE:"}}, none));
}

TEST_F(IdentificationTest, PortListWords) {
    struct Case {
        const char* what;
        ScriptedReply reply;
        const char* text;
    } cases[] = {
        {"parallel, USB, network", {0, PortListReply(3, {0, 7, 3})}, "Ports:Parallel,USB,Network"},
        {"every network type", {0, PortListReply(3, {2, 9, 3})}, "Ports:Network,Network,Network"},
        {"no ports", {0, PortListReply(0, {})}, "Ports:"},
        {"an unknown type adds nothing", {0, PortListReply(3, {0, 5, 7})}, "Ports:Parallel,USB"},
        {"only an unknown type", {0, PortListReply(1, {5})}, "Ports:"},
        {"a count beyond the reply", {0, PortListReply(40, {7, 0})}, "Ports:USB,Parallel"},
        {"no reply", {-6, {}}, "Ports:"},
        {"a reply too short for the count", {0, {0xA5, 0x00, 0x02, 0x00, 0xE0, 0x71}}, "Ports:"},
    };
    for (const Case& c : cases) {
        link_.calls.clear();
        link_.replies = {c.reply};
        std::string text = "stale";
        EXPECT_TRUE(exchange_.QueryPorts("USB001", text)) << c.what;
        EXPECT_EQ(c.text, text) << c.what;
        EXPECT_EQ((std::vector<std::string>{"open", "send", "close"}), link_.Ops()) << c.what;
        EXPECT_BYTES((Bytes{0xA5, 0x00, 0x03, 0x50, 0xE0, 0x71}), link_.Sent()[0]);
    }
}

TEST_F(IdentificationTest, PortListReadsNoFurtherThanTheBuffer) {
    Bytes types(57, 0);
    link_.replies = {{0, PortListReply(255, types)}};
    std::string text;
    exchange_.QueryPorts("USB001", text);
    std::string expected = "Ports:";
    for (int i = 0; i < 57; ++i) {
        expected += "Parallel,";
    }
    expected.pop_back();
    EXPECT_EQ(expected, text);
    EXPECT_EQ(518u, text.size());
}

}  // namespace
