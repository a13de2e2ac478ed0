// CUsbPacketJoiner::ReadResponse over bytes a printer might send, cut into chunks as the read pipe would.
//
// Input: byte 0 picks the reply buffer (bit 7 set: the joined-reply size, else bits 0-6 as a small
// capacity), byte 1 the chunk sizes (bits 0-4 + 1 a fixed size when bits 5-7 are clear, else a
// pseudo-random sequence of sizes from 1 to 32 seeded by it); the rest is the stream.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "devlink/npa_packet.h"
#include "devlink/slc_log.h"
#include "devlink/usb_packet_joiner.h"
#include "fuzz_support.h"

namespace npa = devlink::npa;

namespace {

class CSplitSource : public devlink::IChunkSource {
  public:
    CSplitSource(const uint8_t* data, size_t size, uint8_t sizing)
        : data_(data),
          size_(size),
          fixedSize_((sizing & 0x1F) + 1u),
          random_(sizing),
          varied_(sizing >= 0x20) {}

    size_t ReadChunk(uint8_t* buffer, size_t size) override {
        FUZZ_CHECK(size >= 1);
        size_t count = std::min({NextSize(), size, size_ - position_});
        std::memcpy(buffer, data_ + position_, count);
        position_ += count;
        return count;
    }

    bool Exhausted() const { return position_ == size_; }

  private:
    size_t NextSize() {
        if (!varied_) {
            return fixedSize_;
        }
        random_ = random_ * 1103515245u + 12345u;
        return (random_ >> 16) % npa::kUsbChunkSize + 1;
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    size_t fixedSize_;
    uint32_t random_;
    bool varied_;
};

size_t LengthField(const uint8_t* packet) {
    return static_cast<size_t>(packet[1]) << 8 | packet[2];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t capacity = (data[0] & 0x80) != 0 ? npa::kMaxJoinedReplySize : data[0] & 0x7Fu;
    CSplitSource source(data + 2, size - 2, data[1]);
    devlink::CSlcLog log;
    log.SetLevel(0);
    devlink::CUsbPacketJoiner joiner(log);

    // Guard bytes past the capacity catch a write beyond it even where ASan cannot see one.
    constexpr uint8_t kGuard = 0xCD;
    constexpr size_t kGuardSize = 64;
    std::vector<uint8_t> reply(capacity + kGuardSize, kGuard);
    // Each read consumes at least one byte: what is carried over is a strict suffix of what it took.
    const size_t readLimit = size + 2;
    size_t reads = 0;
    while (!source.Exhausted() || joiner.CarryOverSize() > 0) {
        FUZZ_CHECK(++reads <= readLimit);
        const size_t got = joiner.ReadResponse(source, reply.data(), capacity);
        FUZZ_CHECK(got <= capacity);
        FUZZ_CHECK(std::all_of(reply.begin() + static_cast<std::ptrdiff_t>(capacity), reply.end(),
                               [](uint8_t b) { return b == kGuard; }));
        if (got > 0) {
            FUZZ_CHECK(reply[0] == npa::kStartByte);
            // A packet cut short by a chunk that starts with 0xA5 is joined as it stands, so its length
            // field may count bytes that never came; nothing reads a reply by that field, only by its size.
            FUZZ_CHECK(got >= npa::kHeaderSize && LengthField(reply.data()) + 3 >= got);
        }
        fuzz::Keep(got);
    }
    return 0;
}
