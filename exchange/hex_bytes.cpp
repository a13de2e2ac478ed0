#include "exchange/hex_bytes.h"

namespace {

int HexDigitValue(char c) {
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

}  // namespace

std::string FormatHexBytes(const uint8_t* bytes, uint32_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size_t{length} * 2);
    for (uint32_t i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

void SwapBytes16(uint16_t& value) {
    value = static_cast<uint16_t>((value >> 8) | (value << 8));
}

void SwapBytes32(uint32_t& value) {
    value = (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}

namespace exchange {

std::vector<uint8_t> DecodeHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        int value = 0;
        for (size_t j = i; j < i + 2; ++j) {
            int digit = HexDigitValue(text[j]);
            if (digit < 0) {
                break;
            }
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

int32_t BigEndianInt32(const uint8_t* bytes, uint32_t length) {
    uint32_t value = 0;
    for (uint32_t i = length > 4 ? length - 4 : 0; i < length; ++i) {
        value = (value << 8) | bytes[i];
    }
    return static_cast<int32_t>(value);
}

}  // namespace exchange
