#include "usbprobe/hex_format.h"

namespace usbprobe {

namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr size_t kCharColumn = 50;

}  // namespace

std::string DumpLine(const uint8_t* bytes, size_t count) {
    std::string line(kDumpLineLength, ' ');
    for (size_t i = 0; i < count && i < kDumpBytesPerLine; ++i) {
        const uint8_t b = bytes[i];
        line[3 * i] = kUpperDigits[b >> 4];
        line[3 * i + 1] = kUpperDigits[b & 0x0F];
        line[kCharColumn + i] = (b < 0x20 || b >= 0x80) ? '.' : static_cast<char>(b);
    }
    return line;
}

void HexDump(std::FILE* out, const uint8_t* bytes, size_t count) {
    for (size_t offset = 0; offset < count; offset += kDumpBytesPerLine) {
        const size_t n = count - offset < kDumpBytesPerLine ? count - offset : kDumpBytesPerLine;
        std::fprintf(out, "%s\n", DumpLine(bytes + offset, n).c_str());
    }
}

std::string HexText(const uint8_t* bytes, size_t count) {
    std::string text;
    text.reserve(2 * count);
    for (size_t i = 0; i < count; ++i) {
        text.push_back(kUpperDigits[bytes[i] >> 4]);
        text.push_back(kUpperDigits[bytes[i] & 0x0F]);
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace usbprobe
