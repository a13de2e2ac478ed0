#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/sim_settings.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

// What a packet that reaches the printer asks for, by its command byte and the bytes after it.
enum class Request {
    Any,  // matches every request in a fault; never the kind of a packet
    NpaStart,
    Read,
    Write,
    FactoryDefaults,
    Offline,
    Online,
    AlertRegister,
    AlertDeregister,
    Identity,
    PortList,
    Preamble,
    Unknown,
};

constexpr uint8_t kFlagResponseRequested = 0x10;
constexpr uint8_t kFlagContinued = 0x20;
constexpr uint8_t kFlagsCommandError = 0x88;
// Replies carry no flags of their own.
constexpr uint8_t kReplyFlags = 0x00;

extern const Bytes kNpaStartPacket;

Request ClassifyRequest(const Bytes& packet);
const char* RequestName(Request request);

// A packet: start byte, big-endian length of what follows it, flags, command, data.
Bytes FramePacket(uint8_t flags, uint8_t command, const Bytes& data);
// Sets the length field from the packet's size.
void FixLength(Bytes& packet);

// How each setting of a read reply is sent.
struct RecordStyle {
    // Settings sent as type-1 records: name -> true when the fourth field holds the current index
    // (flag 0x02 clear), false when it holds the current value (flag 0x02 set). Only enumerated settings
    // can be sent by index; the others always send their value.
    std::map<std::string, bool> type1;
    // Settings sent as type-2 records without values ("Unsupported").
    std::set<std::string> unsupported;
    // Fill the fields the reader skips (the lengths L1, L2 and every entry's K) with real bytes instead of
    // leaving them empty.
    bool fillSkippedFields = false;
};

// The reply to a read request: one record for each requested identifier the table knows, in request
// order; identifiers the printer does not know get no record.
Bytes BuildReadReply(const SimSettings& settings, const Bytes& request, const RecordStyle& style);
Bytes BuildRecord(const SimSetting& setting, const RecordStyle& style);

// The identifier and value of a write command; false when the packet is too short for them.
bool ParseWrite(const Bytes& packet, uint16_t& id, Bytes& value);
Bytes BuildWriteReply(bool accepted);
Bytes BuildFactoryDefaultsReply();
// outcome: the byte at offset 8 of the reply.
Bytes BuildOfflineReply(bool offline, uint8_t outcome);
// The offline alert: byte 8 is 1 while the printer is offline, 0 while online.
Bytes BuildOfflineAlert(bool offline);
Bytes BuildAlert(uint8_t command, uint8_t status);
Bytes BuildAlertRegistrationReply(bool registered);
Bytes BuildIdentityReply(uint8_t modelCode);
Bytes BuildPortListReply(const Bytes& portTypes);
Bytes BuildPreambleReply();
Bytes BuildCommandError(const Bytes& packet);

// Splits a packet into packets of at most maxData data bytes each, joined by the continuation flag; the
// last keeps the original flags. maxData 0 keeps the packet whole.
std::vector<Bytes> SplitContinued(const Bytes& packet, size_t maxData);

}  // namespace sim
