#include <gtest/gtest.h>
#include <poll.h>

#include <numeric>

#include "tests/sim/sim_test_support.h"

namespace {

using sim::Fault;
using sim::FaultAction;
using sim::Request;
using simtest::Bench;
using simtest::Bytes;

const Bytes kIdentityQuery = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xEB, 0x00, 0x00, 0xB2};
const Bytes kIdentityReply = {0xA5, 0x00, 0x07, 0x00, 0xE0, 0xEB, 0x00, 0x00, 0xB2, 0x2B};
const Bytes kReadAll = {0xA5, 0x00, 0x13, 0x50, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00,
                        0x05, 0x01, 0x01, 0x01, 0x02, 0x01, 0x03, 0x01, 0x04, 0x01, 0x05};
constexpr size_t kReadAllSize = 132;

Bytes WholeReadReply() {
    Bench bench;
    bench.host.Command(kReadAll);
    return bench.host.ReadPacket();
}

sim::SimOptions WithFault(Request on, FaultAction action, uint32_t amount = 0, int occurrence = 0) {
    sim::SimOptions options = simtest::FixtureOptions();
    options.faults.push_back(Fault{on, occurrence, action, amount});
    return options;
}

// Each chunk is written only once the host has read the one before, so every read() returns one chunk.
TEST(SimKnobs, ChunksReachTheHostOneReadEach) {
    const Bytes whole = WholeReadReply();
    ASSERT_EQ(kReadAllSize, whole.size());
    for (size_t chunk : {size_t{1}, size_t{5}, size_t{32}, size_t{40}}) {
        sim::SimOptions options = simtest::FixtureOptions();
        options.chunkSize = chunk;
        Bench bench(options);
        bench.host.Command(kReadAll);
        EXPECT_BYTES(whole, bench.host.Read(whole.size()));
        size_t limit = std::min<size_t>(chunk, 32);
        std::vector<size_t> expected(whole.size() / limit, limit);
        if (whole.size() % limit != 0) {
            expected.push_back(whole.size() % limit);
        }
        EXPECT_EQ(expected, bench.host.ReadSizes()) << "chunk " << chunk;
    }
}

TEST(SimKnobs, RandomSplitsFollowTheSeed) {
    const Bytes whole = WholeReadReply();
    auto sizes = [&](uint32_t seed) {
        sim::SimOptions options = simtest::FixtureOptions();
        options.chunkSize = 9;
        options.randomSplits = true;
        options.seed = seed;
        Bench bench(options);
        bench.host.Command(kReadAll);
        EXPECT_BYTES(whole, bench.host.Read(whole.size()));
        return bench.host.ReadSizes();
    };
    std::vector<size_t> first = sizes(7);
    EXPECT_EQ(first, sizes(7));
    EXPECT_NE(first, sizes(8));
    EXPECT_EQ(whole.size(), std::accumulate(first.begin(), first.end(), size_t{0}));
    for (size_t size : first) {
        EXPECT_TRUE(size >= 1 && size <= 9) << size;
    }
}

// Continued packets carry 0x20 except the last, which has the reply's flags; their data joined after the
// first packet's header is the whole reply.
TEST(SimKnobs, ContinuedRepliesJoinIntoTheWholeReply) {
    const Bytes whole = WholeReadReply();
    sim::SimOptions options = simtest::FixtureOptions();
    options.continuedSplit = 50;
    Bench bench(options);
    bench.host.Command(kReadAll);
    Bytes joined;
    std::vector<uint8_t> flags;
    while (flags.empty() || (flags.back() & 0x20) != 0) {
        Bytes packet = bench.host.ReadPacket();
        ASSERT_GE(packet.size(), 5u);
        EXPECT_EQ(0xE0, packet[4]);
        flags.push_back(packet[3]);
        joined.insert(joined.end(), packet.begin() + (joined.empty() ? 0 : 5), packet.end());
    }
    EXPECT_EQ((std::vector<uint8_t>{0x20, 0x20, 0x00}), flags);
    joined[1] = whole[1];
    joined[2] = whole[2];
    joined[3] = flags.back();
    EXPECT_BYTES(whole, joined);
}

struct FaultCase {
    const char* name;
    Fault fault;
    Bytes command;
    Bytes expected;  // everything read before the identity reply that follows
};

void PrintTo(const FaultCase& value, std::ostream* out) {
    *out << value.name;
}

class SimFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SimFaults, ChangeTheAnswer) {
    const FaultCase& c = GetParam();
    sim::SimOptions options = simtest::FixtureOptions();
    options.faults.push_back(c.fault);
    Bench bench(options);
    bench.host.Command(c.command);
    bench.host.Command(kIdentityQuery);
    Bytes expected = c.expected;
    expected.insert(expected.end(), kIdentityReply.begin(), kIdentityReply.end());
    EXPECT_BYTES(expected, bench.host.Read(expected.size()));
}

const Bytes kPortList = {0xA5, 0x00, 0x03, 0x50, 0xE0, 0x71};
const Bytes kPortReply = {0xA5, 0x00, 0x06, 0x00, 0xE0, 0x71, 0x02, 0x00, 0x07};
const Bytes kShortRead = [] {
    Bytes b = WholeReadReply();
    b.resize(99);
    b[1] = 0x00;
    b[2] = 0x60;  // 96 bytes follow the length field
    return b;
}();

INSTANTIATE_TEST_SUITE_P(
    Table, SimFaults,
    ::testing::Values(
        FaultCase{"None", {Request::Read, 0, FaultAction::Silent, 0}, kPortList, kPortReply},
        FaultCase{"Silent", {Request::PortList, 0, FaultAction::Silent, 0}, kPortList, {}},
        FaultCase{
            "SilentOtherOccurrence", {Request::PortList, 2, FaultAction::Silent, 0}, kPortList, kPortReply},
        FaultCase{"CommandError",
                  {Request::PortList, 1, FaultAction::CommandError, 0},
                  kPortList,
                  {0xA5, 0x00, 0x06, 0x88, 0xE0, 0x71, 0x02, 0x00, 0x07}},
        FaultCase{"WrongCommand",
                  {Request::PortList, 0, FaultAction::WrongCommand, 0},
                  kPortList,
                  {0xA5, 0x00, 0x06, 0x00, 0xE1, 0x71, 0x02, 0x00, 0x07}},
        FaultCase{"ShortRead", {Request::Read, 0, FaultAction::ShortReply, 0}, kReadAll, kShortRead},
        FaultCase{"Garbage",
                  {Request::Any, 1, FaultAction::Garbage, 3},
                  kPortList,
                  {0x0A, 0x03, 0x11,  // cooked-mode specials, no 0xA5
                   0xA5, 0x00, 0x06, 0x00, 0xE0, 0x71, 0x02, 0x00, 0x07}},
        FaultCase{"AlertBefore",
                  {Request::PortList, 0, FaultAction::AlertBefore, 0xFF},
                  kPortList,
                  {0xA5, 0x00, 0x06, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00,  // alert of no interest
                   0xA5, 0x00, 0x06, 0x00, 0xE0, 0x71, 0x02, 0x00, 0x07}},
        FaultCase{"AlertAfter",
                  {Request::PortList, 0, FaultAction::AlertAfter, 0},
                  kPortList,
                  {0xA5, 0x00, 0x06, 0x00, 0xE0, 0x71, 0x02, 0x00, 0x07, 0xA5, 0x00, 0x06, 0x00, 0xF1, 0x00,
                   0x00, 0x00, 0x00}},
        FaultCase{"Delay", {Request::PortList, 0, FaultAction::Delay, 20}, kPortList, kPortReply}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return param.param.name; });

TEST(SimKnobs, UnsolicitedAlertReachesTheHost) {
    Bench bench;
    bench.printer.SendAlert(0xF3, 0x05);
    EXPECT_BYTES((Bytes{0xA5, 0x00, 0x06, 0x00, 0xF3, 0x00, 0x00, 0x00, 0x05}), bench.host.ReadPacket());
}

TEST(SimKnobs, Type1AndUnsupportedRecords) {
    sim::SimOptions options = simtest::FixtureOptions();
    options.records.type1 = {{"PAPER.SIZE", true}, {"TIMEOUT", false}};
    options.records.unsupported = {"DUPLEX"};
    Bench bench(options);
    bench.host.Command({0xA5, 0x00, 0x0F, 0x50, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03,  // read 3
                        0x01, 0x01, 0x01, 0x05, 0x01, 0x04});
    Bytes expected = {
        0xA5, 0x00, 0x69, 0x00, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03,  // header
        0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,        // PAPER.SIZE prefix
        0x01, 0x00, 0x00,                                                        // type 1
        0x00,                                                                    // F: index form
        0x00, 0x02,                                                              // V
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                                      // fields 1 to 3
        0x00, 0x00,                                                              // field 4: index 0
        0x00, 0x00,                                                              // field 5
        0x00, 0x03,                                                              // M
        0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,  // values, K = 0
        0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,        // TIMEOUT prefix
        0x01, 0x00, 0x00,                                                        // type 1
        0x02,                                                                    // F: value form
        0x00, 0x02,                                                              // V
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                                      // fields 1 to 3
        0x00, 0x1E,                                                              // field 4: 30
        0x00, 0x00,                                                              // field 5
        0x00, 0x01, 0x00, 0x00, 0x00, 0x00,                                      // M = 1: OFF
        0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,        // DUPLEX prefix
        0x02, 0x00, 0x00,                                                        // type 2
        0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                          // V 1, no values
    };
    EXPECT_BYTES(expected, bench.host.ReadPacket());
}

TEST(SimKnobs, FilledSkippedFields) {
    sim::SimOptions options = simtest::FixtureOptions();
    options.records.fillSkippedFields = true;
    Bench bench(options);
    bench.host.Command({0xA5, 0x00, 0x0B, 0x50, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x04});
    Bytes expected = {
        0xA5, 0x00, 0x32, 0x00, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01,  // header
        0x01, 0x04, 0x00,                                                        // DUPLEX, status
        0x02, 0x00,                                                              // L1 = 2 (LE)
        0x01, 0x00, 0x01, 0x04, 0x00, 0x00,                                      // L1 + 4 bytes
        0x06, 0x00, 'D',  'U',  'P',  'L',  'E',  'X',                           // L2 = 6 (LE), bytes
        0x02, 0x00, 0x00,                                                        // type 2
        0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x02,                          // V, current, default, n
        0x00, 0x03, 0x00, 'O',  'F',  'F',                                       // OFF, K = 3 (LE)
        0x01, 0x02, 0x00, 'O',  'N',                                             // ON, K = 2
    };
    EXPECT_BYTES(expected, bench.host.ReadPacket());
}

TEST(SimKnobs, VanishHangsUpOnTheHost) {
    Bench bench(WithFault(Request::Read, FaultAction::Vanish));
    bench.host.Command(kIdentityQuery);
    EXPECT_BYTES(kIdentityReply, bench.host.ReadPacket());
    bench.host.Command(kReadAll);
    EXPECT_TRUE(bench.host.HungUp());
    EXPECT_FALSE(bench.printer.IsPlugged());
}

TEST(SimKnobs, TranscriptHoldsEveryPacketWithItsDirection) {
    Bench bench;
    bench.host.Command(kIdentityQuery);
    bench.host.ReadPacket();
    std::vector<sim::TranscriptEntry> transcript = bench.printer.Transcript();
    ASSERT_EQ(3u, transcript.size());
    EXPECT_EQ(sim::Request::NpaStart, transcript[0].request);
    EXPECT_BYTES(kIdentityQuery, transcript[1].bytes);
    EXPECT_EQ(sim::Direction::Out, transcript[2].direction);
    EXPECT_BYTES(kIdentityReply, transcript[2].bytes);
    EXPECT_EQ(std::vector<Bytes>{kIdentityQuery}, bench.printer.ReceivedCommands());
}

TEST(SimKnobs, CountsOnlyTheHostsDescriptors) {
    Bench bench;
    EXPECT_EQ(1, bench.printer.HostDescriptorCount());
    {
        simtest::HostLink second(bench.printer.SlavePath());
        EXPECT_EQ(2, bench.printer.HostDescriptorCount());
    }
    EXPECT_EQ(1, bench.printer.HostDescriptorCount());
}

// Replies nobody read are dropped, so the next host starts clean.
TEST(SimKnobs, DiscardPendingOutput) {
    Bench bench;
    bench.host.Command(kIdentityQuery);
    pollfd fd = {bench.host.Fd(), POLLIN, 0};
    ASSERT_EQ(1, poll(&fd, 1, static_cast<int>(simtest::kWaitMs)));
    bench.printer.DiscardPendingOutput();
    EXPECT_EQ(0, poll(&fd, 1, 0));
}

}  // namespace
