#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Framing of NPA packets: A5, a big-endian 16-bit length of what follows it, flags, command, data.
// Every function works on the bytes it is handed and never looks past them.
namespace devlink::npa {

constexpr uint8_t kStartByte = 0xA5;
constexpr size_t kHeaderSize = 5;
constexpr size_t kFlagsOffset = 3;
constexpr size_t kCommandOffset = 4;

constexpr uint8_t kFlagResponseRequested = 0x10;
constexpr uint8_t kFlagContinuation = 0x20;
constexpr uint8_t kFlagsCommandError = 0x88;

constexpr size_t kMaxCommandSize = 512;
constexpr size_t kResponseSlotSize = 2048;
constexpr size_t kMaxJoinedReplySize = 100000;
constexpr size_t kUsbChunkSize = 32;

constexpr uint8_t kCommandOffline = 0xE0;
constexpr uint8_t kCommandOfflineAlert = 0xF0;
constexpr size_t kOfflineOutcomeOffset = 8;

// Precedes every command sent to a USB port and every record written to a file.
constexpr std::array<uint8_t, 19> kNpaStart = {
    0xA5,                    // start
    0x00, 0x10,              // length 16
    0x80,                    // flags
    0xA4,                    // command
    0x5B, 0xA4, 0x5B, 0x10,  // data
    0xEF, 0xA4, 0x5B, 0x11,  //
    0xEE, 0x00, 0xFF, 0x13,  //
    0xEC, 0x2E,              //
};

// Offline and online: command E0, data E7 0C, the state (1 offline, 0 online) and a zero byte. Flags 0x50
// ask the printer for a reply; the records written to files carry 0x40 instead.
constexpr std::array<uint8_t, 9> kOfflineCommand = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xE7, 0x0C, 0x01, 0x00};
constexpr std::array<uint8_t, 9> kOnlineCommand = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xE7, 0x0C, 0x00, 0x00};
constexpr std::array<uint8_t, 9> kOfflineRecord = {0xA5, 0x00, 0x06, 0x40, 0xE0, 0xE7, 0x0C, 0x01, 0x00};
constexpr std::array<uint8_t, 9> kOnlineRecord = {0xA5, 0x00, 0x06, 0x40, 0xE0, 0xE7, 0x0C, 0x00, 0x00};

// Ask for (40) and stop asking for (00) the offline alert around an offline or online command.
constexpr std::array<uint8_t, 7> kAlertRegistration = {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x40};
constexpr std::array<uint8_t, 7> kAlertDeregistration = {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x00};

enum class PacketClass {
    Alert,              // F0 to FE: stored for the next waiter
    AlertOfNoInterest,  // FF: never stored
    CommandError,       // a reply with flags 0x88: dropped
    Reply,
    Malformed,  // shorter than a header
};

// The length field + 3, or 0 when fewer than the three bytes that hold it are present.
size_t PacketLength(std::span<const uint8_t> packet);
bool IsContinued(std::span<const uint8_t> packet);
PacketClass ClassOf(std::span<const uint8_t> packet);
// No effect on a buffer too short to hold the flags.
void ClearResponseRequested(std::span<uint8_t> packet);

enum class JoinResult {
    Joined,
    Malformed,  // not a whole packet: no A5, shorter than a header, or fewer bytes than its length says
    TooLarge,   // the joined packet would outgrow the buffer or its 16-bit length field
};

// Appends one whole packet of a reply to the joined packet in joined[0, joinedSize): the first packet is
// copied with its header; a later one gives only its data, grows the length field, and, when it is the
// last (no continuation bit), hands over its flags. Bytes past the packet's own length are ignored.
// Nothing changes unless the result is Joined.
JoinResult AppendToJoinedReply(std::span<uint8_t> joined, size_t& joinedSize,
                               std::span<const uint8_t> packet);

}  // namespace devlink::npa
