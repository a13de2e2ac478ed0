#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace usbprobe {

inline constexpr size_t kDumpBytesPerLine = 16;
inline constexpr size_t kDumpLineLength = 66;

// One line of the screen dump: byte i as two upper-case hex digits at column 3i, its character at
// column 50 + i ('.' below 0x20 and from 0x80 up), spaces elsewhere. count is at most 16.
std::string DumpLine(const uint8_t* bytes, size_t count);

// Prints the bytes as dump lines, each followed by a line feed.
void HexDump(std::FILE* out, const uint8_t* bytes, size_t count);

// The bytes as upper-case hexadecimal pairs without separators.
std::string HexText(const uint8_t* bytes, size_t count);

// The value of one hexadecimal digit, or -1.
int HexDigit(char c);

}  // namespace usbprobe
