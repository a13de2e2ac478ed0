#include "devlink/usb_packet_joiner.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

const devlink::CSlcLog log;  // level 0: silent

using Bytes = std::vector<uint8_t>;

// Hands out the chunks it was given, one per read, then nothing.
class ScriptedChunks : public devlink::IChunkSource {
  public:
    explicit ScriptedChunks(std::vector<Bytes> chunks) : chunks_(chunks.begin(), chunks.end()) {}
    size_t ReadChunk(uint8_t* buffer, size_t size) override {
        if (chunks_.empty()) {
            return 0;
        }
        Bytes chunk = chunks_.front();
        chunks_.pop_front();
        EXPECT_LE(chunk.size(), size);
        std::copy(chunk.begin(), chunk.end(), buffer);
        return chunk.size();
    }
    size_t Left() const { return chunks_.size(); }

  private:
    std::deque<Bytes> chunks_;
};

Bytes Packet(uint8_t flags, uint8_t command, size_t dataSize, uint8_t fill = 0x11) {
    size_t length = dataSize + 2;
    Bytes packet = {0xA5, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), flags, command};
    for (size_t i = 0; i < dataSize; ++i) {
        packet.push_back(static_cast<uint8_t>(fill + i));
    }
    return packet;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::vector<Bytes> SplitEvery(const Bytes& bytes, size_t size) {
    std::vector<Bytes> chunks;
    for (size_t at = 0; at < bytes.size(); at += size) {
        chunks.emplace_back(bytes.begin() + static_cast<long>(at),
                            bytes.begin() + static_cast<long>(std::min(bytes.size(), at + size)));
    }
    return chunks;
}

Bytes Read(devlink::CUsbPacketJoiner& joiner, devlink::IChunkSource& source, size_t capacity = 100000) {
    Bytes reply(capacity);
    reply.resize(joiner.ReadResponse(source, reply.data(), reply.size()));
    return reply;
}

TEST(UsbPacketJoinerTest, EveryTwoWaySplitOfAPacketJoinsToThePacket) {
    const Bytes packet = Packet(0x40, 0xE0, 25);  // 30 bytes
    for (size_t split = 1; split < packet.size(); ++split) {
        devlink::CUsbPacketJoiner joiner(log);
        ScriptedChunks source({Bytes(packet.begin(), packet.begin() + static_cast<long>(split)),
                               Bytes(packet.begin() + static_cast<long>(split), packet.end())});
        EXPECT_EQ(Read(joiner, source), packet) << "split at " << split;
        EXPECT_EQ(joiner.CarryOverSize(), 0u);
    }
}

TEST(UsbPacketJoinerTest, ChunkSizesFromOneToThirtyTwoJoinAReplyAndItsFollower) {
    // A 70-byte reply followed at once by a 9-byte alert, cut into chunks of every size.
    const Bytes reply = Packet(0x40, 0xE0, 65);
    const Bytes alert = Packet(0x40, 0xF0, 4);
    for (size_t size = 1; size <= 32; ++size) {
        devlink::CUsbPacketJoiner joiner(log);
        ScriptedChunks source(SplitEvery(Concat({reply, alert}), size));
        EXPECT_EQ(Read(joiner, source), reply) << "chunk size " << size;
        EXPECT_EQ(Read(joiner, source), alert) << "chunk size " << size;
    }
}

TEST(UsbPacketJoinerTest, ContinuedReplyJoinsIntoOnePacket) {
    // Three packets with 10, 20 and 5 data bytes; the first two carry the continuation bit.
    const Bytes first = Packet(0x60, 0xE0, 10, 0x00);
    const Bytes second = Packet(0x60, 0xE1, 20, 0x40);
    const Bytes third = Packet(0x48, 0xE2, 5, 0x80);
    Bytes expected = {0xA5, 0x00, 37,  // 2 + 10 + 20 + 5
                      0x48,            // the flags of the last packet
                      0xE0};           // the command of the first
    expected.insert(expected.end(), first.begin() + 5, first.end());
    expected.insert(expected.end(), second.begin() + 5, second.end());
    expected.insert(expected.end(), third.begin() + 5, third.end());
    for (size_t size : {1, 3, 5, 7, 15, 32}) {
        devlink::CUsbPacketJoiner joiner(log);
        ScriptedChunks source(SplitEvery(Concat({first, second, third}), size));
        EXPECT_EQ(Read(joiner, source), expected) << "chunk size " << size;
    }
}

TEST(UsbPacketJoinerTest, TailOfOnePacketAndStartOfTheNextCarryOver) {
    const Bytes reply = Packet(0x40, 0xE0, 36);  // 41 bytes: a chunk of 32, then its last 9 ...
    const Bytes next = Packet(0x40, 0xF0, 5);    // ... with the 10 bytes of the next packet
    devlink::CUsbPacketJoiner joiner(log);
    ScriptedChunks source(
        {Bytes(reply.begin(), reply.begin() + 32), Concat({Bytes(reply.begin() + 32, reply.end()), next})});
    EXPECT_EQ(Read(joiner, source), reply);
    EXPECT_EQ(joiner.CarryOverSize(), 10u);
    EXPECT_EQ(source.Left(), 0u);
    EXPECT_EQ(Read(joiner, source), next);
}

TEST(UsbPacketJoinerTest, ShortChunkStartingAPacketIsHeldForTheNext) {
    const Bytes packet = {0xA5, 0x00, 0x07, 0x50, 0xE0, 1, 2, 3, 4, 5};
    devlink::CUsbPacketJoiner joiner(log);
    ScriptedChunks source({{0xA5, 0x00, 0x07}, {0x50, 0xE0, 1, 2, 3, 4, 5}});
    EXPECT_EQ(Read(joiner, source), packet);
}

TEST(UsbPacketJoinerTest, GarbageIsSkippedUpToTheNextStartByte) {
    const Bytes packet = Packet(0x40, 0xE0, 4);
    struct Case {
        const char* name;
        std::vector<Bytes> chunks;
        Bytes expected;
    } cases[] = {
        {"garbage then a packet in one chunk", {Concat({{0x00, 0x13, 0x37}, packet})}, packet},
        {"garbage chunk without A5, then nothing", {{0x01, 0x02, 0x03}}, {}},
        {"length field below a header", {Concat({{0xA5, 0x00, 0x01, 0x40, 0xE0}, packet})}, packet},
        {"empty read", {}, {}},
    };
    for (const Case& c : cases) {
        devlink::CUsbPacketJoiner joiner(log);
        ScriptedChunks source(c.chunks);
        EXPECT_EQ(Read(joiner, source), c.expected) << c.name;
    }
}

TEST(UsbPacketJoinerTest, GarbageWithoutStartByteEndsTheReadAndTheNextReadStartsClean) {
    const Bytes packet = Packet(0x40, 0xE0, 4);
    devlink::CUsbPacketJoiner joiner(log);
    ScriptedChunks source({{0x01, 0x02}, packet});
    EXPECT_EQ(Read(joiner, source), Bytes{});
    EXPECT_EQ(Read(joiner, source), packet);
}

TEST(UsbPacketJoinerTest, PacketTooLargeForTheBufferIsReadToItsEndAndDropped) {
    const Bytes large = Packet(0x40, 0xE0, 95);  // 100 bytes
    const Bytes next = Packet(0x40, 0xF0, 4);
    devlink::CUsbPacketJoiner joiner(log);
    ScriptedChunks source(SplitEvery(Concat({large, next}), 32));
    EXPECT_EQ(Read(joiner, source, 64), Bytes{});
    EXPECT_EQ(Read(joiner, source, 64), next);
}

TEST(UsbPacketJoinerTest, ReadFailingInTheMiddleOfAPacketGivesNothing) {
    const Bytes packet = Packet(0x40, 0xE0, 40);
    devlink::CUsbPacketJoiner joiner(log);
    ScriptedChunks source({Bytes(packet.begin(), packet.begin() + 32)});
    EXPECT_EQ(Read(joiner, source), Bytes{});
}

}  // namespace
