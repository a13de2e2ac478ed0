// The NPA packet helpers on arbitrary bytes: each packet of the stream is appended to one joined reply.
//
// Input: the joined buffer's size and where the joined reply starts are taken from the end (see
// FuzzedDataProvider); the rest is the stream of packets.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "devlink/npa_packet.h"
#include "fuzz_support.h"

namespace npa = devlink::npa;

namespace {

size_t LengthField(std::span<const uint8_t> packet) {
    return static_cast<size_t>(packet[1]) << 8 | packet[2];
}

void CheckHeaderHelpers(std::span<const uint8_t> packet) {
    const size_t length = npa::PacketLength(packet);
    FUZZ_CHECK((length == 0) == (packet.size() < 3));
    FUZZ_CHECK(length == 0 || length == LengthField(packet) + 3);
    FUZZ_CHECK((npa::ClassOf(packet) == npa::PacketClass::Malformed) == (packet.size() < npa::kHeaderSize));
    fuzz::Keep(npa::IsContinued(packet) ? 1 : 0);

    // Only the flags may change, so a short prefix shows everything.
    std::vector<uint8_t> cleared(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                      packet.size(), npa::kHeaderSize)));
    npa::ClearResponseRequested(cleared);
    for (size_t i = 0; i < cleared.size(); ++i) {
        const uint8_t expected = i == npa::kFlagsOffset
                                     ? static_cast<uint8_t>(packet[i] & ~npa::kFlagResponseRequested)
                                     : packet[i];
        FUZZ_CHECK(cleared[i] == expected);
    }
}

// The bytes an append may write: the header, and as much past the joined reply as the packet could bring.
std::vector<uint8_t> WritableBytes(const std::vector<uint8_t>& joined, size_t joinedSize,
                                   std::span<const uint8_t> packet) {
    const size_t reach = std::min(packet.size(), npa::PacketLength(packet));
    const size_t from = std::min(joinedSize, joined.size());
    const size_t to = std::min(joined.size(), from + reach);
    std::vector<uint8_t> bytes(joined.begin(), joined.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                    joined.size(), npa::kHeaderSize)));
    bytes.insert(bytes.end(), joined.begin() + static_cast<std::ptrdiff_t>(from),
                 joined.begin() + static_cast<std::ptrdiff_t>(to));
    return bytes;
}

// Returns how far the stream moves on: past the packet when it was joined, else one byte.
size_t CheckAppend(std::vector<uint8_t>& joined, size_t& joinedSize, bool startsWithPacket,
                   std::span<const uint8_t> packet) {
    const std::vector<uint8_t> before = WritableBytes(joined, joinedSize, packet);
    const size_t sizeBefore = joinedSize;
    const npa::JoinResult result = npa::AppendToJoinedReply(joined, joinedSize, packet);
    if (result != npa::JoinResult::Joined) {
        FUZZ_CHECK(joinedSize == sizeBefore && WritableBytes(joined, joinedSize, packet) == before);
        return 1;
    }
    const size_t length = npa::PacketLength(packet);
    FUZZ_CHECK(length >= npa::kHeaderSize && length <= packet.size());
    FUZZ_CHECK(joinedSize == (sizeBefore == 0 ? length : sizeBefore + length - npa::kHeaderSize));
    FUZZ_CHECK(joinedSize <= joined.size());
    FUZZ_CHECK(LengthField(joined) + 3 == joinedSize);
    FUZZ_CHECK(!startsWithPacket || joined[0] == npa::kStartByte);
    FUZZ_CHECK(std::equal(packet.begin() + static_cast<std::ptrdiff_t>(length - (joinedSize - sizeBefore)),
                          packet.begin() + static_cast<std::ptrdiff_t>(length),
                          joined.begin() + static_cast<std::ptrdiff_t>(sizeBefore)));
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const size_t capacity =
        provider.ConsumeBool() ? npa::kMaxJoinedReplySize : provider.ConsumeIntegralInRange<size_t>(0, 300);
    // Mostly an empty joined reply; sometimes one that is already part full, or claims more than fits.
    const size_t initialSize =
        provider.ConsumeBool() ? provider.ConsumeIntegralInRange<size_t>(0, capacity + 8) : 0;
    const std::vector<uint8_t> stream = provider.ConsumeRemainingBytes<uint8_t>();

    std::vector<uint8_t> joined(capacity, 0);
    size_t joinedSize = initialSize;
    std::span<const uint8_t> rest(stream);
    for (size_t offset = 0; offset < rest.size();) {
        std::span<const uint8_t> packet = rest.subspan(offset);
        CheckHeaderHelpers(packet);
        offset += CheckAppend(joined, joinedSize, initialSize == 0, packet);
    }
    fuzz::Keep(joinedSize);
    return 0;
}
