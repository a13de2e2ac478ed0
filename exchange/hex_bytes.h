#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Byte and text helpers shared by the exchange tables and the exchanges.

// Two upper-case hexadecimal digits per byte, no separators.
std::string FormatHexBytes(const uint8_t* bytes, uint32_t length);

// Reverse the bytes of a value in place: big-endian wire fields to host numbers and back.
void SwapBytes16(uint16_t& value);
void SwapBytes32(uint32_t& value);

namespace exchange {

// Digit pairs to bytes, one byte per pair; a final odd character is ignored. Each pair is read up to its
// first character that is no hexadecimal digit, so "1G" gives 01 and "G1" gives 00.
std::vector<uint8_t> DecodeHex(const std::string& text);

// ASCII letters only, so UTF-8 text passes unchanged.
std::string UpperCase(std::string text);

// A big-endian unsigned number of the bytes, taken as a signed 32-bit number: only the last four bytes
// count, and FF FF FF FF is -1.
int32_t BigEndianInt32(const uint8_t* bytes, uint32_t length);

}  // namespace exchange
