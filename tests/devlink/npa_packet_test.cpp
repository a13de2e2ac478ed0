#include "devlink/npa_packet.h"

#include <gtest/gtest.h>

#include "tests/devlink/devlink_fixture.h"

namespace {

using devlink::npa::AppendToJoinedReply;
using devlink::npa::ClassOf;
using devlink::npa::JoinResult;
using devlink::npa::PacketClass;
using devlinktest::Bytes;
using devlinktest::SameBytes;

// A packet with the given flags, command and dataSize data bytes counting up from first.
Bytes Packet(uint8_t flags, uint8_t command, size_t dataSize, uint8_t first = 0) {
    Bytes packet = {0xA5, static_cast<uint8_t>((dataSize + 2) >> 8),
                    static_cast<uint8_t>((dataSize + 2) & 0xFF), flags, command};
    for (size_t i = 0; i < dataSize; ++i) {
        packet.push_back(static_cast<uint8_t>(first + i));
    }
    return packet;
}

TEST(NpaPacket, LengthIsTheLengthFieldPlusThree) {
    const Bytes empty = {0xA5, 0x00, 0x02, 0x40, 0xE0};
    EXPECT_EQ(devlink::npa::PacketLength(empty), 5u);
    EXPECT_EQ(devlink::npa::PacketLength(devlink::npa::kNpaStart), 19u);
    const Bytes longest = {0xA5, 0xFF, 0xFF};
    EXPECT_EQ(devlink::npa::PacketLength(longest), 65538u);
    const Bytes cut = {0xA5, 0x00};
    EXPECT_EQ(devlink::npa::PacketLength(cut), 0u);
}

TEST(NpaPacket, ClassesByCommandByteAndFlags) {
    struct Case {
        uint8_t flags;
        uint8_t command;
        PacketClass expected;
    } const cases[] = {
        {0x40, 0xE0, PacketClass::Reply},
        {0x88, 0xF3, PacketClass::Alert},  // an alert whatever its flags
        {0x40, 0xF0, PacketClass::Alert},
        {0x40, 0xFE, PacketClass::Alert},
        {0x40, 0xFF, PacketClass::AlertOfNoInterest},
        {0x98, 0x20, PacketClass::CommandError},
        {0x80, 0x20, PacketClass::Reply},  // one bit of the pair is not an error
        {0x08, 0x20, PacketClass::Reply},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassOf(Packet(c.flags, c.command, 4)), c.expected)
            << std::hex << "flags " << int{c.flags} << " command " << int{c.command};
    }
    const Bytes header = {0xA5, 0x00, 0x02, 0x40};
    EXPECT_EQ(ClassOf(header), PacketClass::Malformed);
}

TEST(NpaPacket, ClearingTheResponseBitTouchesOnlyTheFlags) {
    Bytes command = devlinktest::Concat({{0xA5, 0x00, 0x06}, {0x50}, {0xE0, 0xE7, 0x0C, 0x01, 0x00}});
    devlink::npa::ClearResponseRequested(command);
    EXPECT_TRUE(
        SameBytes({devlink::npa::kOfflineRecord.begin(), devlink::npa::kOfflineRecord.end()}, command));
    Bytes online{devlink::npa::kOnlineCommand.begin(), devlink::npa::kOnlineCommand.end()};
    devlink::npa::ClearResponseRequested(online);
    EXPECT_TRUE(SameBytes({devlink::npa::kOnlineRecord.begin(), devlink::npa::kOnlineRecord.end()}, online));

    Bytes tooShort = {0xA5, 0x00, 0x06};  // holds no flags: left alone
    devlink::npa::ClearResponseRequested(tooShort);
    EXPECT_TRUE(SameBytes({0xA5, 0x00, 0x06}, tooShort));
}

TEST(NpaPacket, JoinsAContinuedReplyIntoOnePacket) {
    const Bytes first = Packet(0x60, 0xE5, 10, 0x00);
    const Bytes second = Packet(0x60, 0xE6, 20, 0x10);
    const Bytes last = Packet(0x40, 0xE7, 5, 0x30);
    Bytes joined(100);
    size_t size = 0;
    for (const Bytes* packet : {&first, &second, &last}) {
        ASSERT_EQ(AppendToJoinedReply(joined, size, *packet), JoinResult::Joined);
    }
    joined.resize(size);
    Bytes expected = {
        0xA5,        // start
        0x00, 0x25,  // length 37: 2 + 10 + 20 + 5
        0x40,        // flags of the last packet: continuation clear
        0xE5,        // command of the first packet
    };
    for (const Bytes* packet : {&first, &second, &last}) {
        expected.insert(expected.end(), packet->begin() + 5, packet->end());
    }
    EXPECT_TRUE(SameBytes(expected, joined));
    EXPECT_FALSE(devlink::npa::IsContinued(joined));
}

TEST(NpaPacket, JoiningRefusesWhatIsNoWholePacketOrDoesNotFit) {
    const Bytes sane = Packet(0x40, 0xE0, 4);
    struct Case {
        const char* what;
        Bytes packet;
        size_t capacity;
        size_t joinedSize;
        JoinResult expected;
    } const cases[] = {
        {"sane first packet", sane, 64, 0, JoinResult::Joined},
        {"sane later packet", sane, 64, 9, JoinResult::Joined},
        {"no start byte", Bytes{0x00, 0x00, 0x06, 0x40, 0xE0, 0, 1, 2, 3}, 64, 0, JoinResult::Malformed},
        {"shorter than a header", Bytes{0xA5, 0x00, 0x02, 0x40}, 64, 0, JoinResult::Malformed},
        {"length field below 2", Bytes{0xA5, 0x00, 0x01, 0x40, 0xE0}, 64, 0, JoinResult::Malformed},
        {"fewer bytes than its length", Bytes{0xA5, 0x00, 0x10, 0x40, 0xE0, 0, 1}, 64, 0,
         JoinResult::Malformed},
        {"first packet larger than the buffer", sane, 8, 0, JoinResult::TooLarge},
        {"data past the buffer", sane, 12, 9, JoinResult::TooLarge},
        {"length field would pass 16 bits", sane, 70000, 65537, JoinResult::TooLarge},
    };
    for (const Case& c : cases) {
        Bytes joined(c.capacity, 0xEE);
        if (c.joinedSize > 0) {
            joined[0] = 0xA5;
            joined[1] = static_cast<uint8_t>((c.joinedSize - 3) >> 8);
            joined[2] = static_cast<uint8_t>((c.joinedSize - 3) & 0xFF);
        }
        const Bytes before = joined;
        size_t size = c.joinedSize;
        EXPECT_EQ(AppendToJoinedReply(joined, size, c.packet), c.expected) << c.what;
        if (c.expected != JoinResult::Joined) {
            EXPECT_EQ(size, c.joinedSize) << c.what;
            EXPECT_EQ(joined, before) << c.what;
        }
    }
}

TEST(NpaPacket, BytesPastThePacketAreNotJoined) {
    const Bytes packetAndMore = devlinktest::Concat({Packet(0x40, 0xE0, 2, 0x01), {0xA5, 0x00}});
    Bytes joined(32);
    size_t size = 0;
    ASSERT_EQ(AppendToJoinedReply(joined, size, packetAndMore), JoinResult::Joined);
    EXPECT_EQ(size, 7u);
}

}  // namespace
