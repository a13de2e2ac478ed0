#include "exchange/read_reply.h"

#include <optional>

#include "devlink/slc_log.h"
#include "exchange/hex_bytes.h"

namespace exchange {

namespace {

constexpr const char* kUnsupported = "Unsupported";
constexpr uint8_t kValueIsCurrent = 0x02;  // type 1: the fourth field holds the value, not an index

// A read cursor over the reply that refuses every field not wholly inside it.
class CReplyCursor {
  public:
    CReplyCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Has(size_t pos, size_t count) const { return pos <= size_ && count <= size_ - pos; }
    const uint8_t* At(size_t pos) const { return data_ + pos; }
    std::optional<uint16_t> BigEndian16(size_t pos) const {
        if (!Has(pos, 2)) {
            return std::nullopt;
        }
        return static_cast<uint16_t>((data_[pos] << 8) | data_[pos + 1]);
    }
    std::optional<uint16_t> LittleEndian16(size_t pos) const {
        if (!Has(pos, 2)) {
            return std::nullopt;
        }
        return static_cast<uint16_t>(data_[pos] | (data_[pos + 1] << 8));
    }

  private:
    const uint8_t* data_;
    size_t size_;
};

struct ValueSpan {
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
};

struct Record {
    ValueSpan current;
    bool unsupported = false;
    std::string descriptor;
    size_t end = 0;  // the position after the record
};

// Walks count entries of V value bytes and a length-prefixed tail each, from pos. The end position, or
// nothing when an entry runs past the reply. visit(index, entry) sees every entry in order.
template <typename Visit>
std::optional<size_t> WalkEntries(const CReplyCursor& cursor, size_t pos, size_t count, uint16_t width,
                                  bool littleEndianTail, Visit visit) {
    for (size_t i = 0; i < count; ++i) {
        if (!cursor.Has(pos, width)) {
            return std::nullopt;
        }
        visit(i, ValueSpan{cursor.At(pos), width});
        pos += width;
        std::optional<uint16_t> tail =
            littleEndianTail ? cursor.LittleEndian16(pos) : cursor.BigEndian16(pos);
        if (!tail || !cursor.Has(pos + 2, *tail)) {
            return std::nullopt;
        }
        pos += 2 + *tail;
    }
    return pos;
}

// A big-endian index of any width; a number too large for any list names no entry.
size_t IndexOf(const uint8_t* bytes, uint32_t length) {
    size_t index = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (index > (SIZE_MAX >> 8)) {
            return SIZE_MAX;
        }
        index = (index << 8) | bytes[i];
    }
    return index;
}

std::optional<Record> ParseType0(const CReplyCursor& cursor, size_t t) {
    std::optional<uint16_t> width = cursor.BigEndian16(t + 5);
    if (!width || !cursor.Has(t + 7, *width)) {
        return std::nullopt;
    }
    Record record;
    record.current = ValueSpan{cursor.At(t + 7), *width};
    record.end = t + 7 + *width;
    return record;
}

std::optional<Record> ParseType1(const CReplyCursor& cursor, size_t t) {
    std::optional<uint16_t> width = cursor.BigEndian16(t + 4);
    if (!width || !cursor.Has(t + 3, 1)) {
        return std::nullopt;
    }
    uint8_t flags = *cursor.At(t + 3);
    size_t fields = t + 6;
    size_t listStart = fields + size_t{5} * *width;
    std::optional<uint16_t> count = cursor.BigEndian16(listStart);
    if (!count) {
        return std::nullopt;
    }
    ValueSpan fourth{cursor.At(fields + size_t{3} * *width), *width};
    Record record;
    size_t wanted = SIZE_MAX;
    if (flags & kValueIsCurrent) {
        record.current = fourth;
    } else {
        wanted = IndexOf(fourth.bytes, fourth.length);
    }
    std::optional<size_t> end =
        WalkEntries(cursor, listStart + 2, *count, *width, false, [&](size_t i, ValueSpan entry) {
            if (i == wanted) {
                record.current = entry;
            }
        });
    if (!end) {
        return std::nullopt;
    }
    record.end = *end;
    return record;
}

std::optional<Record> ParseType2(const CReplyCursor& cursor, size_t t, const std::string& name,
                                 const CExchangeTables& tables) {
    std::optional<uint16_t> width = cursor.BigEndian16(t + 3);
    std::optional<uint16_t> currentIndex = cursor.BigEndian16(t + 5);
    std::optional<uint16_t> defaultIndex = cursor.BigEndian16(t + 7);
    std::optional<uint16_t> count = cursor.BigEndian16(t + 9);
    if (!width || !currentIndex || !defaultIndex || !count) {
        return std::nullopt;
    }
    Record record;
    record.unsupported = *count == 0;
    std::string defaultText;
    std::string currentText;
    std::string others;
    std::optional<size_t> end =
        WalkEntries(cursor, t + 11, *count, *width, true, [&](size_t i, ValueSpan entry) {
            std::string text = tables.ValueToText(name, entry.bytes, entry.length);
            if (i == *defaultIndex) {
                defaultText = text;
            }
            if (i == *currentIndex) {
                record.current = entry;
                currentText = text;
            } else {
                others += text + ",";
            }
        });
    if (!end) {
        return std::nullopt;
    }
    if (!others.empty()) {
        others.pop_back();
    }
    record.descriptor = "Setting(NumSettings=" + std::to_string(*count) + ";DefaultSetting=" + defaultText +
                        ";CurSetting=" + currentText + ";OtherSettings=" + others + ")";
    record.end = *end;
    return record;
}

}  // namespace

Bytes BuildReadRequest(CExchangeTables& tables) {
    Bytes request = {0xA5, 0x00, 0x00, 0x50, 0xE0, 0xB2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    size_t count = 0;
    for (const auto& [name, id] : tables.Identifiers()) {
        if (id.size() < 2 || count == kMaxReadSettings) {
            SlcLog(devlink::kLogEntry, "ReadSettings: %s is not read\n", name.c_str());
            continue;
        }
        request.push_back(id[0]);
        request.push_back(id[1]);
        tables.NameIdentifier(FormatHexBytes(id.data(), 2), name);
        ++count;
    }
    request[2] = static_cast<uint8_t>(2 * count + 9);
    request[11] = static_cast<uint8_t>(count);
    return request;
}

bool IsReadReply(const uint8_t* reply, uint32_t length) {
    return length >= kMinReadReply && reply[4] == 0xE0 && reply[5] == 0xB2;
}

void ParseReadReply(const uint8_t* reply, uint32_t length, const CExchangeTables& tables, ValueMap& values,
                    ValueMap& descriptors) {
    CReplyCursor cursor(reply, length);
    size_t s = kFirstRecordOffset;
    while (s < length) {
        std::optional<uint16_t> firstLength = cursor.LittleEndian16(s + 3);
        if (!firstLength) {
            return;
        }
        std::optional<uint16_t> secondLength = cursor.LittleEndian16(s + 9 + *firstLength);
        if (!secondLength) {
            return;
        }
        size_t t = s + 11 + *firstLength + *secondLength;
        if (!cursor.Has(t, 1)) {
            return;
        }
        std::string name = tables.NameOfIdentifier(FormatHexBytes(cursor.At(s), 2));
        std::optional<Record> record;
        switch (*cursor.At(t)) {
            case 0:
                record = ParseType0(cursor, t);
                break;
            case 1:
                record = ParseType1(cursor, t);
                break;
            case 2:
                record = ParseType2(cursor, t, name, tables);
                break;
            default:
                // A record of an unknown type carries nothing more; the next one starts at its type byte.
                record = Record{};
                record->end = t;
                break;
        }
        if (!record) {
            return;
        }
        values[name] = record->unsupported
                           ? std::string(kUnsupported)
                           : tables.ValueToText(name, record->current.bytes, record->current.length);
        descriptors[name] = record->descriptor;
        s = record->end;
    }
}

}  // namespace exchange
