#include "devlink/npa_packet.h"

#include <algorithm>

namespace devlink::npa {

namespace {

uint16_t LengthField(std::span<const uint8_t> packet) {
    return static_cast<uint16_t>((packet[1] << 8) | packet[2]);
}

void SetLengthField(std::span<uint8_t> packet, size_t length) {
    packet[1] = static_cast<uint8_t>(length >> 8);
    packet[2] = static_cast<uint8_t>(length & 0xFF);
}

}  // namespace

size_t PacketLength(std::span<const uint8_t> packet) {
    return packet.size() < 3 ? 0 : LengthField(packet) + size_t{3};
}

bool IsContinued(std::span<const uint8_t> packet) {
    return packet.size() > kFlagsOffset && (packet[kFlagsOffset] & kFlagContinuation) != 0;
}

PacketClass ClassOf(std::span<const uint8_t> packet) {
    if (packet.size() < kHeaderSize) {
        return PacketClass::Malformed;
    }
    const uint8_t command = packet[kCommandOffset];
    if (command == 0xFF) {
        return PacketClass::AlertOfNoInterest;
    }
    if (command >= 0xF0) {
        return PacketClass::Alert;
    }
    if ((packet[kFlagsOffset] & kFlagsCommandError) == kFlagsCommandError) {
        return PacketClass::CommandError;
    }
    return PacketClass::Reply;
}

void ClearResponseRequested(std::span<uint8_t> packet) {
    if (packet.size() > kFlagsOffset) {
        packet[kFlagsOffset] &= static_cast<uint8_t>(~kFlagResponseRequested);
    }
}

JoinResult AppendToJoinedReply(std::span<uint8_t> joined, size_t& joinedSize,
                               std::span<const uint8_t> packet) {
    const size_t length = PacketLength(packet);
    if (packet.size() < kHeaderSize || packet[0] != kStartByte || length < kHeaderSize ||
        length > packet.size()) {
        return JoinResult::Malformed;
    }
    if (joinedSize == 0) {
        if (length > joined.size()) {
            return JoinResult::TooLarge;
        }
        std::copy_n(packet.begin(), length, joined.begin());
        joinedSize = length;
        return JoinResult::Joined;
    }
    if (joinedSize < kHeaderSize || joinedSize > joined.size()) {
        return JoinResult::Malformed;
    }
    const size_t dataSize = length - kHeaderSize;
    const size_t newSize = joinedSize + dataSize;
    if (newSize > joined.size() || newSize - 3 > 0xFFFF) {
        return JoinResult::TooLarge;
    }
    std::copy_n(packet.begin() + kHeaderSize, dataSize, joined.begin() + static_cast<ptrdiff_t>(joinedSize));
    SetLengthField(joined, newSize - 3);
    if (!IsContinued(packet)) {
        joined[kFlagsOffset] = packet[kFlagsOffset];
    }
    joinedSize = newSize;
    return JoinResult::Joined;
}

}  // namespace devlink::npa
