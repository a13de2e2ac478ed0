#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "exchange/exchange_tables.h"

namespace exchange {

using ValueMap = std::map<std::string, std::string>;

constexpr uint32_t kReplyBufferSize = 8192;
constexpr uint32_t kMinReadReply = 100;
// The request's length byte (2N + 9) must stay within 255.
constexpr size_t kMaxReadSettings = 123;
constexpr size_t kFirstRecordOffset = 12;

// The read request for every setting of the identifier table, in table order; records each identifier's
// setting name in the reply name table. Settings past the 123 a request can carry, and identifiers of
// fewer than two bytes, are logged and left out.
Bytes BuildReadRequest(CExchangeTables& tables);

// Bytes 4 and 5 are E0 B2 and the reply is long enough to hold settings.
bool IsReadReply(const uint8_t* reply, uint32_t length);

// Stores the value of every record of the reply, and for enumerated records the settings descriptor,
// under the setting's name. Every field is checked against the bytes received: a record that would run
// past the end ends the parse, keeping the records before it.
void ParseReadReply(const uint8_t* reply, uint32_t length, const CExchangeTables& tables, ValueMap& values,
                    ValueMap& descriptors);

}  // namespace exchange
