#include <gtest/gtest.h>

#include "tests/sim/sim_test_support.h"

namespace {

using simtest::Bench;
using simtest::Bytes;

const Bytes kIdentityQuery = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xEB, 0x00, 0x00, 0xB2};
const Bytes kIdentityReply = {
    0xA5, 0x00, 0x07,        // start, length
    0x00, 0xE0,              // flags, command
    0xEB, 0x00, 0x00, 0xB2,  // the query's data
    0x2B,                    // byte 9: model code "+"
};

// The request for all five settings of the fixture model.
const Bytes kReadAll = {
    0xA5, 0x00, 0x13,                    // start, length 2N + 9
    0x50, 0xE0, 0xB2, 0x01,              // flags, command, read
    0x00, 0x00, 0x00, 0x00,              //
    0x05,                                // N
    0x01, 0x01, 0x01, 0x02, 0x01, 0x03,  // PAPER.SIZE, COPIES, JOB.NAME
    0x01, 0x04, 0x01, 0x05,              // DUPLEX, TIMEOUT
};

// Record prefix with the skipped fields left empty: identifier, status, L1 = 0, 4 bytes, L2 = 0.
#define PREFIX(id_hi, id_lo) id_hi, id_lo, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00

const Bytes kReadAllReply = {
    0xA5,
    0x00,
    0x81,  // start, length 129
    0x00,
    0xE0,
    0xB2,
    0x01,  // flags, command (bytes 4, 5 = E0 B2)
    0x00,
    0x00,
    0x00,
    0x00,
    0x05,  // fields the host does not read, record count
    PREFIX(0x01, 0x01),
    0x02,
    0x00,
    0x00,  // PAPER.SIZE: type 2
    0x00,
    0x02,  // value width 2
    0x00,
    0x00,  // current index: LETTER
    0x00,
    0x00,  // default index: LETTER
    0x00,
    0x03,  // value count
    0x00,
    0x01,
    0x00,
    0x00,  // LETTER, K = 0 (LE)
    0x00,
    0x02,
    0x00,
    0x00,  // LEGAL
    0x00,
    0x03,
    0x00,
    0x00,  // A4
    PREFIX(0x01, 0x02),
    0x00,
    0x00,
    0x00,  // COPIES: type 0
    0x00,
    0x00,  // not read
    0x00,
    0x02,
    0x00,
    0x01,  // width 2, value 1
    PREFIX(0x01, 0x03),
    0x00,
    0x00,
    0x00,  // JOB.NAME: type 0
    0x00,
    0x00,
    0x00,
    0x00,  // not read, width 0: empty text
    PREFIX(0x01, 0x04),
    0x02,
    0x00,
    0x00,  // DUPLEX: type 2
    0x00,
    0x01,
    0x00,
    0x01,
    0x00,
    0x01,  // width 1, current ON, default ON
    0x00,
    0x02,  // value count
    0x00,
    0x00,
    0x00,  // OFF
    0x01,
    0x00,
    0x00,  // ON
    PREFIX(0x01, 0x05),
    0x00,
    0x00,
    0x00,  // TIMEOUT: type 0
    0x00,
    0x00,
    0x00,
    0x02,
    0x00,
    0x1E,  // width 2, value 30
};

struct Exchange {
    const char* name;
    Bytes command;
    Bytes reply;  // empty: none
};

void PrintTo(const Exchange& value, std::ostream* out) {
    *out << value.name;
}

class SimProtocol : public ::testing::TestWithParam<Exchange> {};

// Each command after an NPA start packet, then an identity query: the bytes read are the command's reply
// (or nothing) followed by the identity reply, so a missing or an extra reply both show.
TEST_P(SimProtocol, AnswersByteForByte) {
    Bench bench;
    ASSERT_EQ(0, bench.started);
    bench.host.Command(GetParam().command);
    bench.host.Command(kIdentityQuery);
    Bytes expected = GetParam().reply;
    expected.insert(expected.end(), kIdentityReply.begin(), kIdentityReply.end());
    EXPECT_BYTES(expected, bench.host.Read(expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SimProtocol,
    ::testing::Values(
        Exchange{"ReadAll", kReadAll, kReadAllReply},
        Exchange{"ReadWithoutResponseFlag",
                 [] {
                     Bytes b = kReadAll;
                     b[3] = 0x40;
                     return b;
                 }(),
                 {}},
        Exchange{"ReadUnknownIdentifier",
                 {0xA5, 0x00, 0x0B, 0x50, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x7F, 0x7F},
                 {0xA5, 0x00, 0x09, 0x00, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
        Exchange{"Identity", kIdentityQuery, kIdentityReply},
        Exchange{"PortList",
                 {0xA5, 0x00, 0x03, 0x50, 0xE0, 0x71},
                 {0xA5, 0x00, 0x06, 0x00, 0xE0, 0x71,  // header
                  0x02,                                // byte 6: port count
                  0x00, 0x07}},                        // parallel, USB
        Exchange{"PortListWithoutResponseFlag", {0xA5, 0x00, 0x03, 0x40, 0xE0, 0x71}, {}},
        Exchange{"Preamble",
                 {0xA5, 0x00, 0x06, 0x50, 0x03, 0x04, 0x20, 0x20, 0x20},
                 {0xA5, 0x00, 0x06, 0x00,  // start, length, flags
                  0x03, 0x04, 0x20,        // bytes 4 to 6
                  0x00, 0x01}},
        Exchange{"AlertRegistration",
                 {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x40},
                 {0xA5, 0x00, 0x04, 0x00, 0xE0, 0x03, 0x40}},
        Exchange{"AlertDeregistration",
                 {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x00},
                 {0xA5, 0x00, 0x04, 0x00, 0xE0, 0x03, 0x00}},
        Exchange{"FactoryDefaults",
                 {0xA5, 0x00, 0x05, 0x50, 0xE0, 0xE7, 0x08, 0x00},
                 {0xA5, 0x00, 0x05, 0x00, 0xE0, 0xE7, 0x08, 0x00}},
        Exchange{"FactoryDefaultsWithoutResponseFlag", {0xA5, 0x00, 0x05, 0x40, 0xE0, 0xE7, 0x08, 0x00}, {}},
        Exchange{"WriteOffered",
                 {0xA5, 0x00, 0x0B, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x01,  // header, write
                  0x01, 0x04, 0x00, 0x01,                                // DUPLEX, width 1
                  0x00},                                                 // OFF
                 {0xA5, 0x00, 0x05, 0x00, 0xE0, 0xB2, 0x03, 0x00}},      // accepted
        Exchange{"WriteNotOffered",
                 {0xA5, 0x00, 0x0B, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x01, 0x01, 0x04, 0x00, 0x01, 0x07},
                 {0xA5, 0x00, 0x05, 0x00, 0xE0, 0xB2, 0x03, 0x01}},  // refused
        Exchange{"UnknownCommand", {0xA5, 0x00, 0x03, 0x50, 0xE0, 0x55}, {0xA5, 0x00, 0x02, 0x88, 0xE0}},
        Exchange{"GarbageFromHostIsSkipped", {0x0A, 0x13, 0x00, 0xA5, 0x00, 0x01}, {}}),
    [](const ::testing::TestParamInfo<Exchange>& param) { return param.param.name; });

TEST(SimProtocol, ModelCodeAndPortTypesComeFromTheOptions) {
    sim::SimOptions options = simtest::FixtureOptions();
    options.modelCode = '5';
    options.portTypes = {0x07, 0x03, 0x05};
    Bench bench(options);
    bench.host.Command(kIdentityQuery);
    EXPECT_EQ(0x35, bench.host.ReadPacket().at(9));
    bench.host.Command({0xA5, 0x00, 0x03, 0x50, 0xE0, 0x71});
    EXPECT_BYTES((Bytes{0xA5, 0x00, 0x07, 0x00, 0xE0, 0x71, 0x03, 0x07, 0x03, 0x05}),
                 bench.host.ReadPacket());
}

// A write changes what the next read reports; a command file (flags 0x40) changes it silently.
TEST(SimProtocol, WritesShowInTheNextRead) {
    Bench bench;
    bench.host.Command({0xA5, 0x00, 0x0C, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x01,  // header, write
                        0x01, 0x02, 0x00, 0x02,                                // COPIES, width 2
                        0x01, 0x2C});                                          // 300
    bench.host.ReadPacket();
    bench.host.Command({0xA5, 0x00, 0x0C, 0x40, 0xE0, 0xB2, 0x03, 0x00, 0x01,  // no response requested
                        0x01, 0x03, 0x00, 0x02,                                // JOB.NAME, 2 bytes
                        'A', 'b'});
    bench.host.Command({0xA5, 0x00, 0x0D, 0x50, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02,  // read 2
                        0x01, 0x02, 0x01, 0x03});
    Bytes expected = {
        0xA5,
        0x00,
        0x31,
        0x00,
        0xE0,
        0xB2,
        0x01,
        0x00,
        0x00,
        0x00,
        0x00,
        0x02,  // header, 2 records
        PREFIX(0x01, 0x02),
        0x00,
        0x00,
        0x00,
        0x00,
        0x00,
        0x00,
        0x02,
        0x01,
        0x2C,  // COPIES 300
        PREFIX(0x01, 0x03),
        0x00,
        0x00,
        0x00,
        0x00,
        0x00,
        0x00,
        0x02,
        'A',
        'b',  // JOB.NAME "Ab"
    };
    EXPECT_BYTES(expected, bench.host.ReadPacket());
    EXPECT_EQ("300", bench.printer.Value("COPIES"));
    EXPECT_EQ("Ab", bench.printer.Value("job.name"));
}

TEST(SimProtocol, FactoryDefaultsRestoreTheUsDefaults) {
    Bench bench;
    for (auto [name, value] : {std::pair{"PAPER.SIZE", "A4"},
                               {"COPIES", "7"},
                               {"JOB.NAME", "x"},
                               {"DUPLEX", "OFF"},
                               {"TIMEOUT", "OFF"}}) {
        ASSERT_TRUE(bench.printer.SetValue(name, value)) << name;
    }
    bench.host.Command({0xA5, 0x00, 0x05, 0x40, 0xE0, 0xE7, 0x08, 0x00});
    ASSERT_TRUE(bench.printer.WaitForCommands(1, simtest::kWaitMs));
    for (auto [name, value] : {std::pair{"PAPER.SIZE", "LETTER"},
                               {"COPIES", "1"},
                               {"JOB.NAME", ""},
                               {"DUPLEX", "ON"},
                               {"TIMEOUT", "30"}}) {
        EXPECT_EQ(value, bench.printer.Value(name)) << name;
    }
}

struct OfflineCase {
    const char* name;
    sim::OfflineOrder order;
    bool registered;
    bool reject;
    uint8_t state;               // 1 offline, 0 online
    std::vector<Bytes> packets;  // in the order they arrive
    bool offlineAfter;
};

void PrintTo(const OfflineCase& value, std::ostream* out) {
    *out << value.name;
}

class SimOffline : public ::testing::TestWithParam<OfflineCase> {};

TEST_P(SimOffline, AnswersWithReplyAndAlert) {
    const OfflineCase& c = GetParam();
    sim::SimOptions options = simtest::FixtureOptions();
    options.offlineOrder = c.order;
    if (c.reject) {
        options.faults.push_back({sim::Request::Any, 0, sim::FaultAction::Reject, 0});
    }
    Bench bench(options);
    if (c.state == 0) {
        bench.host.Command({0xA5, 0x00, 0x06, 0x40, 0xE0, 0xE7, 0x0C, 0x01, 0x00});  // offline record first
    }
    if (c.registered) {
        bench.host.Command({0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x40});
        bench.host.ReadPacket();
    }
    bench.host.Command({0xA5, 0x00, 0x06, 0x50, 0xE0, 0xE7, 0x0C, c.state, 0x00});
    bench.host.Command(kIdentityQuery);
    std::vector<Bytes> packets = c.packets;
    packets.push_back(kIdentityReply);
    for (const Bytes& packet : packets) {
        EXPECT_BYTES(packet, bench.host.ReadPacket());
    }
    EXPECT_EQ(c.offlineAfter, bench.printer.IsOffline());
}

const Bytes kReplyOffline1 = {0xA5, 0x00, 0x06, 0x00, 0xE0, 0xE7, 0x0C, 0x01,  // header, offline
                              0x01};                                           // byte 8: taken
const Bytes kReplyOffline0 = {0xA5, 0x00, 0x06, 0x00, 0xE0, 0xE7, 0x0C, 0x01, 0x00};
const Bytes kReplyOnline1 = {0xA5, 0x00, 0x06, 0x00, 0xE0, 0xE7, 0x0C, 0x00, 0x01};
const Bytes kReplyOnline0 = {0xA5, 0x00, 0x06, 0x00, 0xE0, 0xE7, 0x0C, 0x00, 0x00};
const Bytes kAlertOffline = {0xA5, 0x00, 0x06, 0x00, 0xF0, 0x00, 0x00, 0x00,  // header, alert F0
                             0x01};                                           // byte 8: offline
const Bytes kAlertOnline = {0xA5, 0x00, 0x06, 0x00, 0xF0, 0x00, 0x00, 0x00, 0x00};

using sim::OfflineOrder;
INSTANTIATE_TEST_SUITE_P(
    Orders, SimOffline,
    ::testing::Values(
        OfflineCase{"OfflineReplyFirst",
                    OfflineOrder::ReplyFirst,
                    true,
                    false,
                    1,
                    {kReplyOffline1, kAlertOffline},
                    true},
        OfflineCase{"OnlineReplyFirst",
                    OfflineOrder::ReplyFirst,
                    true,
                    false,
                    0,
                    {kReplyOnline1, kAlertOnline},
                    false},
        OfflineCase{"OfflineAlertFirst",
                    OfflineOrder::AlertFirst,
                    true,
                    false,
                    1,
                    {kAlertOffline, kReplyOffline0},
                    true},
        OfflineCase{"OnlineAlertFirst",
                    OfflineOrder::AlertFirst,
                    true,
                    false,
                    0,
                    {kAlertOnline, kReplyOnline0},
                    false},
        OfflineCase{
            "NotRegisteredNoAlert", OfflineOrder::ReplyFirst, false, false, 1, {kReplyOffline1}, true},
        OfflineCase{"ReplyOnly", OfflineOrder::ReplyOnly, true, false, 1, {kReplyOffline1}, true},
        OfflineCase{"RejectedReplyFirst", OfflineOrder::ReplyFirst, true, true, 1, {kReplyOffline0}, false},
        OfflineCase{"RejectedAlertFirst",
                    OfflineOrder::AlertFirst,
                    true,
                    true,
                    1,
                    {kAlertOnline, kReplyOffline1},
                    false},
        OfflineCase{"RejectedOnline", OfflineOrder::ReplyFirst, true, true, 0, {kReplyOnline0}, false}),
    [](const ::testing::TestParamInfo<OfflineCase>& param) { return param.param.name; });

}  // namespace
