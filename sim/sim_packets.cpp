#include "sim/sim_packets.h"

#include <algorithm>

namespace sim {
namespace {

constexpr size_t kHeaderSize = 5;
constexpr uint8_t kCommandReply = 0xE0;
constexpr uint8_t kCommandOfflineAlert = 0xF0;
constexpr uint8_t kCommandPreamble = 0x03;
constexpr uint16_t kNoIndex = 0xFFFF;

void Put16(Bytes& out, size_t value) {
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

// The record lengths L1, L2 and the type-2 entry lengths are little-endian on the wire.
void Put16Le(Bytes& out, size_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutPadded(Bytes& out, const Bytes& value, size_t width) {
    size_t pad = width > value.size() ? width - value.size() : 0;
    out.insert(out.end(), pad, 0x00);
    out.insert(out.end(), value.end() - static_cast<ptrdiff_t>(width - pad), value.end());
}

bool Matches(const Bytes& packet, std::initializer_list<uint8_t> head) {
    return packet.size() >= kHeaderSize - 1 + head.size() &&
           std::equal(head.begin(), head.end(), packet.begin() + kHeaderSize - 1);
}

// Identifier, a status byte, and the two skipped blocks that precede the type byte.
void PutRecordPrefix(Bytes& out, const SimSetting& setting, uint8_t type, bool fill) {
    Put16(out, setting.id);
    out.push_back(0x00);
    if (fill) {
        Put16Le(out, 2);
        out.insert(out.end(), {0x01, 0x00, static_cast<uint8_t>(setting.id >> 8),
                               static_cast<uint8_t>(setting.id & 0xFF), 0x00, 0x00});
        Put16Le(out, setting.name.size());
        out.insert(out.end(), setting.name.begin(), setting.name.end());
    } else {
        Put16Le(out, 0);
        out.insert(out.end(), 4, 0x00);
        Put16Le(out, 0);
    }
    out.push_back(type);
    out.insert(out.end(), 2, 0x00);
}

void PutEntryText(Bytes& out, const std::string& label, bool fill, bool littleEndian) {
    size_t length = fill ? label.size() : 0;
    if (littleEndian) {
        Put16Le(out, length);
    } else {
        Put16(out, length);
    }
    out.insert(out.end(), label.begin(), label.begin() + static_cast<ptrdiff_t>(length));
}

void PutType0(Bytes& out, const SimSetting& setting, bool fill) {
    PutRecordPrefix(out, setting, 0, fill);
    out.insert(out.end(), 2, 0x00);
    Put16(out, setting.current.size());
    out.insert(out.end(), setting.current.begin(), setting.current.end());
}

void PutType1(Bytes& out, const SimSetting& setting, bool byIndex, bool fill) {
    byIndex = byIndex && setting.kind == SimKind::Enumerated;
    size_t width = byIndex ? setting.ValueWidth() : std::max(setting.ValueWidth(), setting.current.size());
    PutRecordPrefix(out, setting, 1, fill);
    out.push_back(byIndex ? 0x00 : 0x02);
    Put16(out, width);
    out.insert(out.end(), 3 * width, 0x00);
    if (byIndex) {
        PutPadded(out, EncodeNumber(setting.IndexOf(setting.current), width), width);
    } else {
        PutPadded(out, setting.current, width);
    }
    out.insert(out.end(), width, 0x00);
    Put16(out, setting.values.size());
    for (const SimValue& value : setting.values) {
        PutPadded(out, value.bytes, width);
        PutEntryText(out, value.label, fill, false);
    }
}

void PutType2(Bytes& out, const SimSetting& setting, bool unsupported, bool fill) {
    size_t width = setting.ValueWidth();
    int current = setting.IndexOf(setting.current);
    int byDefault = setting.usDefault ? setting.IndexOf(*setting.usDefault) : 0;
    PutRecordPrefix(out, setting, 2, fill);
    Put16(out, width);
    Put16(out, unsupported ? 0 : (current < 0 ? kNoIndex : static_cast<size_t>(current)));
    Put16(out, unsupported ? 0 : static_cast<size_t>(std::max(byDefault, 0)));
    Put16(out, unsupported ? 0 : setting.values.size());
    if (unsupported) {
        return;
    }
    for (const SimValue& value : setting.values) {
        PutPadded(out, value.bytes, width);
        PutEntryText(out, value.label, fill, true);
    }
}

}  // namespace

const Bytes kNpaStartPacket = {0xA5, 0x00, 0x10, 0x80, 0xA4, 0x5B, 0xA4, 0x5B, 0x10, 0xEF,
                               0xA4, 0x5B, 0x11, 0xEE, 0x00, 0xFF, 0x13, 0xEC, 0x2E};

Request ClassifyRequest(const Bytes& packet) {
    if (packet == kNpaStartPacket) {
        return Request::NpaStart;
    }
    if (packet.size() < kHeaderSize) {
        return Request::Unknown;
    }
    if (Matches(packet, {kCommandPreamble, 0x04, 0x20})) {
        return Request::Preamble;
    }
    struct Entry {
        std::initializer_list<uint8_t> head;
        Request request;
    };
    static const Entry kTable[] = {
        {{kCommandReply, 0xB2, 0x01}, Request::Read},
        {{kCommandReply, 0xB2, 0x03}, Request::Write},
        {{kCommandReply, 0xE7, 0x08}, Request::FactoryDefaults},
        {{kCommandReply, 0xE7, 0x0C, 0x01}, Request::Offline},
        {{kCommandReply, 0xE7, 0x0C, 0x00}, Request::Online},
        {{kCommandReply, 0x03, 0x40}, Request::AlertRegister},
        {{kCommandReply, 0x03, 0x00}, Request::AlertDeregister},
        {{kCommandReply, 0xEB}, Request::Identity},
        {{kCommandReply, 0x71}, Request::PortList},
    };
    for (const Entry& entry : kTable) {
        if (Matches(packet, entry.head)) {
            return entry.request;
        }
    }
    return Request::Unknown;
}

const char* RequestName(Request request) {
    switch (request) {
        case Request::Any:
            return "any";
        case Request::NpaStart:
            return "start";
        case Request::Read:
            return "read";
        case Request::Write:
            return "write";
        case Request::FactoryDefaults:
            return "defaults";
        case Request::Offline:
            return "offline";
        case Request::Online:
            return "online";
        case Request::AlertRegister:
            return "register";
        case Request::AlertDeregister:
            return "deregister";
        case Request::Identity:
            return "identity";
        case Request::PortList:
            return "ports";
        case Request::Preamble:
            return "preamble";
        case Request::Unknown:
            return "unknown";
    }
    return "unknown";
}

Bytes FramePacket(uint8_t flags, uint8_t command, const Bytes& data) {
    Bytes packet = {0xA5, 0x00, 0x00, flags, command};
    packet.insert(packet.end(), data.begin(), data.end());
    FixLength(packet);
    return packet;
}

void FixLength(Bytes& packet) {
    if (packet.size() >= 3) {
        size_t length = packet.size() - 3;
        packet[1] = static_cast<uint8_t>((length >> 8) & 0xFF);
        packet[2] = static_cast<uint8_t>(length & 0xFF);
    }
}

Bytes BuildRecord(const SimSetting& setting, const RecordStyle& style) {
    Bytes out;
    bool fill = style.fillSkippedFields;
    if (style.unsupported.count(setting.name) != 0) {
        PutType2(out, setting, true, fill);
    } else if (auto type1 = style.type1.find(setting.name); type1 != style.type1.end()) {
        PutType1(out, setting, type1->second, fill);
    } else if (setting.kind == SimKind::Enumerated) {
        PutType2(out, setting, false, fill);
    } else {
        PutType0(out, setting, fill);
    }
    return out;
}

Bytes BuildReadReply(const SimSettings& settings, const Bytes& request, const RecordStyle& style) {
    constexpr size_t kCountOffset = 11;
    Bytes records;
    size_t count = 0;
    size_t requested = request.size() > kCountOffset ? request[kCountOffset] : 0;
    for (size_t i = 0; i < requested && kCountOffset + 2 * i + 2 < request.size(); ++i) {
        uint16_t id =
            static_cast<uint16_t>(request[kCountOffset + 1 + 2 * i] << 8 | request[kCountOffset + 2 + 2 * i]);
        for (const SimSetting& setting : settings.All()) {
            if (setting.id == id) {
                Bytes record = BuildRecord(setting, style);
                records.insert(records.end(), record.begin(), record.end());
                ++count;
                break;
            }
        }
    }
    Bytes data = {0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, static_cast<uint8_t>(count & 0xFF)};
    data.insert(data.end(), records.begin(), records.end());
    return FramePacket(kReplyFlags, kCommandReply, data);
}

bool ParseWrite(const Bytes& packet, uint16_t& id, Bytes& value) {
    constexpr size_t kValueOffset = 13;
    if (packet.size() < kValueOffset) {
        return false;
    }
    id = static_cast<uint16_t>(packet[9] << 8 | packet[10]);
    size_t width = static_cast<size_t>(packet[11] << 8 | packet[12]);
    width = std::min(width, packet.size() - kValueOffset);
    value.assign(packet.begin() + kValueOffset,
                 packet.begin() + static_cast<ptrdiff_t>(kValueOffset + width));
    return true;
}

Bytes BuildWriteReply(bool accepted) {
    return FramePacket(kReplyFlags, kCommandReply,
                       {0xB2, 0x03, static_cast<uint8_t>(accepted ? 0x00 : 0x01)});
}

Bytes BuildFactoryDefaultsReply() {
    return FramePacket(kReplyFlags, kCommandReply, {0xE7, 0x08, 0x00});
}

Bytes BuildOfflineReply(bool offline, uint8_t outcome) {
    return FramePacket(kReplyFlags, kCommandReply,
                       {0xE7, 0x0C, static_cast<uint8_t>(offline ? 1 : 0), outcome});
}

Bytes BuildOfflineAlert(bool offline) {
    return BuildAlert(kCommandOfflineAlert, offline ? 1 : 0);
}

Bytes BuildAlert(uint8_t command, uint8_t status) {
    return FramePacket(kReplyFlags, command, {0x00, 0x00, 0x00, status});
}

Bytes BuildAlertRegistrationReply(bool registered) {
    return FramePacket(kReplyFlags, kCommandReply, {0x03, static_cast<uint8_t>(registered ? 0x40 : 0x00)});
}

Bytes BuildIdentityReply(uint8_t modelCode) {
    return FramePacket(kReplyFlags, kCommandReply, {0xEB, 0x00, 0x00, 0xB2, modelCode});
}

Bytes BuildPortListReply(const Bytes& portTypes) {
    Bytes data = {0x71, static_cast<uint8_t>(portTypes.size() & 0xFF)};
    data.insert(data.end(), portTypes.begin(), portTypes.end());
    return FramePacket(kReplyFlags, kCommandReply, data);
}

Bytes BuildPreambleReply() {
    return FramePacket(kReplyFlags, kCommandPreamble, {0x04, 0x20, 0x00, 0x01});
}

Bytes BuildCommandError(const Bytes& packet) {
    return FramePacket(kFlagsCommandError, packet.size() > 4 ? packet[4] : 0x00, {});
}

std::vector<Bytes> SplitContinued(const Bytes& packet, size_t maxData) {
    if (maxData == 0 || packet.size() <= kHeaderSize + maxData) {
        return {packet};
    }
    std::vector<Bytes> packets;
    Bytes data(packet.begin() + kHeaderSize, packet.end());
    for (size_t offset = 0; offset < data.size(); offset += maxData) {
        size_t end = std::min(offset + maxData, data.size());
        bool last = end == data.size();
        uint8_t flags = last ? packet[3] : static_cast<uint8_t>(packet[3] | kFlagContinued);
        packets.push_back(FramePacket(flags, packet[4],
                                      Bytes(data.begin() + static_cast<ptrdiff_t>(offset),
                                            data.begin() + static_cast<ptrdiff_t>(end))));
    }
    return packets;
}

}  // namespace sim
