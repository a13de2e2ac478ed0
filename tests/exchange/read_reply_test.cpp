#include "exchange/read_reply.h"

#include <gtest/gtest.h>

#include "reply_builder.h"
#include "scripted_link.h"
#include "tests/support/temp_root.h"

namespace {

using exchange::Bytes;
using exchange::ValueMap;
using namespace exchangetest;

const char kModel[] = R"([NPA READ SETTING]
SIZE=0101
COPIES=0201
NAME=0301
TRAY=0401
OTHER=0701
[NPA WRITE VALUES]
*SIZE:A=01
SIZE:B=02
SIZE:C=03
*COPIES:1..1..999=FFFF
*NAME:=
TRAY:T1=0001
TRAY:T2=0002
TRAY:T3=0003
TRAY:T4=0004
TRAY:T5=0005
OTHER:0..9=FF
)";

class ReadReplyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tables_.Load(dir_.Write("model.ini", kModel));
        request_ = exchange::BuildReadRequest(tables_);
    }
    void Parse(const Bytes& reply) {
        exchange::ParseReadReply(reply.data(), static_cast<uint32_t>(reply.size()), tables_, values_,
                                 descriptors_);
    }

    testsupport::TempRoot root_;
    testsupport::TempDir dir_;
    exchange::CExchangeTables tables_;
    Bytes request_;
    ValueMap values_;
    ValueMap descriptors_;
};

TEST_F(ReadReplyTest, RequestNamesEverySettingInTableOrder) {
    const Bytes expected = {
        0xA5,        // start
        0x00, 0x13,  // length: 2N + 9
        0x50,        // flags
        0xE0, 0xB2,  // command, settings
        0x01,        // read
        0x00, 0x00, 0x00, 0x00,
        0x05,        // N
        0x01, 0x01,  // SIZE
        0x02, 0x01,  // COPIES
        0x03, 0x01,  // NAME
        0x04, 0x01,  // TRAY
        0x07, 0x01,  // OTHER
    };
    EXPECT_BYTES(expected, request_);
    EXPECT_EQ("TRAY", tables_.NameOfIdentifier("0401"));
}

TEST_F(ReadReplyTest, RecordsOfEveryType) {
    struct Case {
        const char* what;
        Bytes record;
        const char* name;
        const char* value;
        const char* descriptor;
    } cases[] = {
        {"type 2 with labels A, B, C", Type2(0x0101, 1, 0, {{0x01}, {0x02}, {0x03}}), "SIZE", "B",
         "Setting(NumSettings=3;DefaultSetting=A;CurSetting=B;OtherSettings=A,C)"},
        {"type 2 with skipped bytes after each entry", Type2(0x0101, 2, 1, {{0x01}, {0x02}, {0x03}}, 5),
         "SIZE", "C", "Setting(NumSettings=3;DefaultSetting=B;CurSetting=C;OtherSettings=A,B)"},
        {"type 2 without values", Type2(0x0101, 0, 0, {}), "SIZE", "Unsupported",
         "Setting(NumSettings=0;DefaultSetting=;CurSetting=;OtherSettings=)"},
        {"type 2 with indexes naming no entry", Type2(0x0101, 9, 8, {{0x01}, {0x02}}), "SIZE", "",
         "Setting(NumSettings=2;DefaultSetting=;CurSetting=;OtherSettings=A,B)"},
        {"type 1 by index", Type1(0x0401, 0x00, {0x00, 0x03}, {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}}, 3),
         "TRAY", "T4", ""},
        {"type 1 by index past the list", Type1(0x0401, 0x00, {0x00, 0x09}, {{0, 1}, {0, 2}}), "TRAY", "",
         ""},
        {"type 1 holding the value", Type1(0x0401, 0x02, {0x00, 0x02}, {{0, 1}}), "TRAY", "T2", ""},
        {"type 0 number", Type0(0x0201, {0x01, 0x2C}), "COPIES", "300", ""},
        {"type 0 text", Type0(0x0301, {'P', 'l', 'a', 'i', 'n', 0x00, 'x'}), "NAME", "Plain", ""},
        {"type 0 of an unknown identifier", Type0(0x0999, {0x01}), "", "", ""},
    };
    for (const Case& c : cases) {
        values_.clear();
        descriptors_.clear();
        Parse(Reply({c.record}));
        ASSERT_EQ(1u, values_.count(c.name)) << c.what;
        EXPECT_EQ(c.value, values_[c.name]) << c.what;
        EXPECT_EQ(c.descriptor, descriptors_[c.name]) << c.what;
    }
}

TEST_F(ReadReplyTest, SkipsTheLengthFieldsBeforeTheTypeByte) {
    Bytes record = RecordHead(0x0201, 7, 300);
    Append(record, {0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0x00, 0x02, 0x00, 0x05});
    Parse(Reply({record, Type0(0x0301, {'x'})}));
    EXPECT_EQ("5", values_["COPIES"]);
    EXPECT_EQ("x", values_["NAME"]);
}

TEST_F(ReadReplyTest, UnknownTypeEndsItsRecordBeforeTheTypeByte) {
    // The type byte 07 and the byte after it are the identifier 0701 of the next record.
    Bytes reply = ReplyHeader();
    Append(reply, RecordHead(0x0101));
    Append(reply, Type0(0x0701, {0x04}));
    Parse(reply);
    EXPECT_EQ("", values_["SIZE"]);
    EXPECT_EQ("4", values_["OTHER"]);
}

TEST_F(ReadReplyTest, EntriesOfOtherSettingsAreLeftAsTheyWere) {
    values_["TRAY"] = "T1";
    descriptors_["TRAY"] = "kept";
    Parse(Reply({Type0(0x0201, {0x00, 0x07})}));
    EXPECT_EQ("T1", values_["TRAY"]);
    EXPECT_EQ("kept", descriptors_["TRAY"]);
    EXPECT_EQ("7", values_["COPIES"]);
}

TEST_F(ReadReplyTest, TruncatedRecordEndsTheParseKeepingWhatCameBefore) {
    const Bytes second[] = {
        Type0(0x0301, {'a', 'b', 'c'}),
        Type1(0x0401, 0x00, {0x00, 0x01}, {{0, 1}, {0, 2}}, 2),
        Type2(0x0101, 0, 0, {{0x01}, {0x02}}, 3),
        RecordHead(0x0101, 4, 4),
    };
    for (const Bytes& record : second) {
        Bytes full = Reply({Type0(0x0201, {0x00, 0x09}), record});
        size_t firstEnd = full.size() - record.size();
        for (size_t cut = firstEnd; cut < full.size(); ++cut) {
            values_.clear();
            Parse(Bytes(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut)));
            EXPECT_EQ("9", values_["COPIES"]) << "cut at " << cut;
            EXPECT_EQ(1u, values_.size()) << "cut at " << cut << " of " << Hex(record);
        }
    }
}

TEST_F(ReadReplyTest, LengthFieldsPointingPastTheEndStopTheParse) {
    Bytes lying = RecordHead(0x0101);
    lying[3] = 0xFF;  // L1
    lying[4] = 0xFF;
    Parse(Reply({lying, Bytes(64, 0x00)}));
    EXPECT_TRUE(values_.empty());

    Bytes wide = Type0(0x0201, {0x01});
    wide[wide.size() - 3] = 0xFF;  // V far beyond the reply
    Parse(Reply({wide}));
    EXPECT_TRUE(values_.empty());
}

TEST(ReadReplyCheckTest, NeedsTheReadCommandAndAHundredBytes) {
    Bytes reply = ReplyHeader();
    reply.resize(100, 0x00);
    EXPECT_TRUE(exchange::IsReadReply(reply.data(), 100));
    EXPECT_FALSE(exchange::IsReadReply(reply.data(), 99));
    reply[5] = 0xB3;
    EXPECT_FALSE(exchange::IsReadReply(reply.data(), 100));
}

TEST(ReadRequestTest, CarriesAtMost123Settings) {
    testsupport::TempRoot root;
    testsupport::TempDir dir;
    std::string section = "[NPA READ SETTING]\nSHORT=05\n";
    for (int i = 0; i < 130; ++i) {
        char line[32];
        snprintf(line, sizeof line, "S%03d=%04X\n", i, 0x1000 + i);
        section += line;
    }
    exchange::CExchangeTables tables;
    tables.Load(dir.Write("model.ini", section));
    Bytes request = exchange::BuildReadRequest(tables);
    ASSERT_EQ(12u + 2 * 123, request.size());
    EXPECT_EQ(255, request[2]);
    EXPECT_EQ(123, request[11]);
    EXPECT_EQ(0x10, request[12]);  // S000: the identifier too short for the wire is left out
    EXPECT_EQ(0x00, request[13]);
    EXPECT_EQ(0x7A, request.back());  // S122
    EXPECT_EQ("", tables.NameOfIdentifier("107B"));
}

}  // namespace
