#pragma once

#include <cstdint>
#include <vector>

#include "exchange/exchange_tables.h"

// Read replies built field by field from the record tables.
namespace exchangetest {

using exchange::Bytes;

inline void Append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}
inline Bytes BigEndian16(size_t value) {
    return {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}
inline Bytes LittleEndian16(size_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
}

// Packet header and the fields before the first record; bytes 4 and 5 mark a read reply.
inline Bytes ReplyHeader() {
    return {
        0xA5,        // start
        0x00, 0x00,  // length (not read)
        0x00,        // flags
        0xE0, 0xB2,  // command, settings
        0x01,        // read
        0x00, 0x00, 0x00, 0x00, 0x00,
    };
}

// From the record start s to the type byte: identifier, a byte, L1 (LE), L1 + 4 bytes, L2 (LE), L2 bytes.
inline Bytes RecordHead(uint16_t id, size_t firstSkip = 0, size_t secondSkip = 0) {
    Bytes head = BigEndian16(id);
    head.push_back(0x00);
    Append(head, LittleEndian16(firstSkip));
    Append(head, Bytes(firstSkip + 4, 0xEE));
    Append(head, LittleEndian16(secondSkip));
    Append(head, Bytes(secondSkip, 0xEE));
    return head;
}

inline Bytes Type0(uint16_t id, const Bytes& value) {
    Bytes record = RecordHead(id);
    Append(record, {0x00, 0xEE, 0xEE, 0xEE, 0xEE});  // type, 2 + 2 bytes not read
    Append(record, BigEndian16(value.size()));       // V
    Append(record, value);
    return record;
}

// Type 1: flags, V, five fields of V bytes (the fourth is given), then the list, each entry followed by a
// big-endian K and K bytes.
inline Bytes Type1(uint16_t id, uint8_t flags, const Bytes& fourth, const std::vector<Bytes>& entries,
                   size_t entryTail = 0) {
    Bytes record = RecordHead(id);
    Append(record, {0x01, 0xEE, 0xEE, flags});
    Append(record, BigEndian16(fourth.size()));
    for (int field = 0; field < 5; ++field) {
        Append(record, field == 3 ? fourth : Bytes(fourth.size(), 0xEE));
    }
    Append(record, BigEndian16(entries.size()));
    for (const Bytes& entry : entries) {
        Append(record, entry);
        Append(record, BigEndian16(entryTail));
        Append(record, Bytes(entryTail, 0xEE));
    }
    return record;
}

// Type 2: V, current index, default index, n, then n entries each followed by a little-endian K and K bytes.
inline Bytes Type2(uint16_t id, uint16_t current, uint16_t defaultIndex, const std::vector<Bytes>& entries,
                   size_t entryTail = 0) {
    Bytes record = RecordHead(id);
    Append(record, {0x02, 0xEE, 0xEE});
    Append(record, BigEndian16(entries.empty() ? 1 : entries.front().size()));
    Append(record, BigEndian16(current));
    Append(record, BigEndian16(defaultIndex));
    Append(record, BigEndian16(entries.size()));
    for (const Bytes& entry : entries) {
        Append(record, entry);
        Append(record, LittleEndian16(entryTail));
        Append(record, Bytes(entryTail, 0xEE));
    }
    return record;
}

inline Bytes Reply(const std::vector<Bytes>& records) {
    Bytes reply = ReplyHeader();
    for (const Bytes& record : records) {
        Append(reply, record);
    }
    return reply;
}

}  // namespace exchangetest
