#include "usbprobe/hex_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/usbprobe/capture.h"

namespace usbprobe_test {
namespace {

TEST(HexFormat, DumpLineShowsPrintableBytesAndDotsForTheRest) {
    const uint8_t bytes[] = {
        0x41,  // 'A'
        0x00,  // control: '.'
        0x1F,  // last control: '.'
        0x20,  // space shows itself
        0x7E,  // '~'
        0x7F,  // DEL is below 0x80: shown as it is
        0x80,  // first high byte: '.'
        0xFF,  // '.'
    };
    const std::string expected =
        "41 00 1F 20 7E 7F 80 FF" + std::string(27, ' ') + "A.. ~\x7F.." + std::string(8, ' ');
    EXPECT_EQ(usbprobe::DumpLine(bytes, sizeof bytes), expected);
    EXPECT_EQ(expected.size(), 66u);
}

TEST(HexFormat, DumpSplitsIntoLinesOfSixteen) {
    uint8_t bytes[17];
    for (uint8_t i = 0; i < 17; ++i) {
        bytes[i] = static_cast<uint8_t>('a' + i);
    }
    CCapture capture;
    usbprobe::HexDump(capture.File(), bytes, sizeof bytes);
    const std::string expected =
        "61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70   abcdefghijklmnop\n"
        "71" +
        std::string(48, ' ') + "q" + std::string(15, ' ') + "\n";
    EXPECT_EQ(capture.Text(), expected);
}

TEST(HexFormat, DumpOfNothingPrintsNothing) {
    CCapture capture;
    usbprobe::HexDump(capture.File(), nullptr, 0);
    EXPECT_EQ(capture.Text(), "");
}

TEST(HexFormat, HexTextIsUpperCasePairsWithoutSeparators) {
    const uint8_t bytes[] = {0xA5, 0x00, 0x0b, 0xE0};
    EXPECT_EQ(usbprobe::HexText(bytes, sizeof bytes), "A5000BE0");
}

}  // namespace
}  // namespace usbprobe_test
