#include "devlink/usb_packet_joiner.h"

#include <algorithm>
#include <cstring>

#include "devlink/npa_packet.h"
#include "devlink/slc_log.h"

namespace devlink {
namespace {

constexpr size_t kLargestPacket = 0xFFFF + 3;  // what a 16-bit length field can describe

size_t LengthField(const uint8_t* packet) {
    return static_cast<size_t>(packet[1]) << 8 | packet[2];
}

}  // namespace

// The state of one reply read, cleared when it begins.
struct CUsbPacketJoiner::Pass {
    Pass(uint8_t* buffer, size_t size) : reply(buffer), capacity(size) {}

    uint8_t* reply;
    size_t capacity;
    size_t offset = 0;      // bytes of the joined packet so far
    bool overflow = false;  // the joined packet outgrew the buffer: it is read to its end and dropped
    uint8_t joinedFlags = 0;
    std::vector<uint8_t> chunk;  // ptrCurrPkt
    bool continueBit = false;
    bool followOnPkt = false;
    size_t truncatedMissing = 0;  // truncatedPkt while not 0
    std::vector<uint8_t> held;    // prevCurrPkt

    void Write(const uint8_t* bytes, size_t count) {
        if (overflow || count > capacity - offset) {
            overflow = true;
            return;
        }
        std::memcpy(reply + offset, bytes, count);
        offset += count;
    }

    // Takes the first `count` bytes of the packet at the start of the chunk into the joined packet: the
    // first packet whole, a later one by its data, growing the joined length field.
    void CopyPacketStart(size_t count) {
        const uint8_t* packet = chunk.data();
        bool continued = (packet[npa::kFlagsOffset] & npa::kFlagContinuation) != 0;
        if (offset == 0) {
            joinedFlags = packet[npa::kFlagsOffset];
            Write(packet, count);
            return;
        }
        if (count > npa::kHeaderSize) {
            Write(packet + npa::kHeaderSize, count - npa::kHeaderSize);
        }
        size_t joinedLength = LengthField(reply) + LengthField(packet) - 2;
        if (joinedLength > 0xFFFF) {
            overflow = true;
        }
        if (!continued) {
            joinedFlags = packet[npa::kFlagsOffset];
        }
        if (!overflow) {
            reply[1] = static_cast<uint8_t>(joinedLength >> 8);
            reply[2] = static_cast<uint8_t>(joinedLength);
            reply[npa::kFlagsOffset] = joinedFlags;
        }
    }

    std::vector<uint8_t> RestOfChunk(size_t from) const {
        return std::vector<uint8_t>(chunk.begin() + static_cast<std::ptrdiff_t>(from), chunk.end());
    }

    bool MoreToRead() const { return continueBit || followOnPkt || truncatedMissing > 0 || !held.empty(); }
};

bool CUsbPacketJoiner::ExaminePass(Pass& pass) {
    // 0xA5 at the start of a chunk always starts a packet, even while another one is incomplete.
    if (pass.chunk.front() == npa::kStartByte) {
        return ExaminePacketStart(pass);
    }
    if (pass.truncatedMissing > 0) {
        return ExamineTruncatedRest(pass);
    }
    if (!pass.held.empty()) {
        pass.held.insert(pass.held.end(), pass.chunk.begin(), pass.chunk.end());
        pass.chunk.swap(pass.held);
        pass.held.clear();
        pass.followOnPkt = true;
        log_.Log(kLogSteps, "Not A5, but prevCurrPktLen > 0, joined followOnPkt is:\n");
        log_.HexDump(pass.chunk.data(), static_cast<uint32_t>(pass.chunk.size()));
        return false;
    }
    return ExamineGarbage(pass);
}

bool CUsbPacketJoiner::ExaminePacketStart(Pass& pass) {
    const size_t count = pass.chunk.size();
    if (count < npa::kHeaderSize) {
        pass.held = pass.chunk;
        log_.Log(kLogSteps, "UsbReadResponse(): copied ptrCurrPkt into prevCurrPkt (len:%d) and continuing\n",
                 static_cast<int>(count));
        return false;
    }
    const size_t length = LengthField(pass.chunk.data());
    if (length < 2) {
        // Shorter than its own header: no packet can start here.
        pass.chunk.erase(pass.chunk.begin());
        return ExamineGarbage(pass);
    }
    const size_t total = length + 3;
    const bool continued = (pass.chunk[npa::kFlagsOffset] & npa::kFlagContinuation) != 0;
    if (count <= total) {
        pass.CopyPacketStart(count);
        pass.followOnPkt = false;
        pass.continueBit = continued;
        pass.truncatedMissing = total - count;
        return count == total && !continued;
    }
    pass.CopyPacketStart(total);
    if (continued) {
        pass.continueBit = true;
        pass.chunk = pass.RestOfChunk(total);
        pass.followOnPkt = true;
        return false;
    }
    carryOver_ = pass.RestOfChunk(total);
    log_.Log(kLogDump, "UsbReadResponse(stored away secondResBuf is:)\n");
    log_.HexDump(carryOver_.data(), static_cast<uint32_t>(carryOver_.size()));
    return true;
}

bool CUsbPacketJoiner::ExamineTruncatedRest(Pass& pass) {
    const size_t count = pass.chunk.size();
    const size_t missing = pass.truncatedMissing;
    if (count <= missing) {
        pass.Write(pass.chunk.data(), count);
        pass.truncatedMissing -= count;
        pass.followOnPkt = false;
        return false;
    }
    pass.Write(pass.chunk.data(), missing);
    pass.truncatedMissing = 0;
    if ((pass.joinedFlags & npa::kFlagContinuation) == 0) {
        carryOver_ = pass.RestOfChunk(missing);
        return true;
    }
    pass.chunk = pass.RestOfChunk(missing);
    // A zero where the next packet would start ends the use of this chunk.
    pass.followOnPkt = pass.chunk.front() != 0;
    return false;
}

bool CUsbPacketJoiner::ExamineGarbage(Pass& pass) {
    log_.Log(kLogSteps,
             "Not A5, but NO prev truncatedPkt - GARBAGE - going to look for A5: responseBuffer is:\n");
    log_.HexDump(pass.reply, static_cast<uint32_t>(pass.overflow ? 0 : pass.offset));
    auto start = std::find(pass.chunk.begin(), pass.chunk.end(), npa::kStartByte);
    if (start != pass.chunk.end()) {
        pass.chunk.erase(pass.chunk.begin(), start);
        pass.followOnPkt = true;
        return false;
    }
    log_.Log(kLogSteps,
             "Not A5, but NO prev truncatedPkt - GARBAGE - DID NOT FIND A5, rejecting bad data in "
             "responseBuffer and "
             "returning no response (offset set to 0): responseBuffer is:\n");
    log_.HexDump(pass.reply, static_cast<uint32_t>(pass.overflow ? 0 : pass.offset));
    pass.offset = 0;
    pass.overflow = false;
    return true;
}

size_t CUsbPacketJoiner::ReadResponse(IChunkSource& source, uint8_t* reply, size_t capacity) {
    Pass pass(reply, std::min(capacity, kLargestPacket));
    bool finished = false;
    while (!finished) {
        if (!carryOver_.empty()) {
            pass.chunk.swap(carryOver_);
            carryOver_.clear();
            log_.Log(kLogSteps,
                     "UsbReadResponse(): copied secondResBuf into ptrCurrPkt, (len:%d) and going to re-init "
                     "secondresbuf\n",
                     static_cast<int>(pass.chunk.size()));
        } else if (!pass.followOnPkt || !pass.held.empty()) {
            uint8_t buffer[kChunkSize];
            log_.Log(kLogSteps, "ReadPkt()\n");
            size_t count = source.ReadChunk(buffer, kChunkSize);
            if (count == 0) {
                // A read that fails, mid-packet or not, ends this reply read with nothing.
                log_.Log(kLogSteps, "UsbReadResponse(): ReadPkt() did not read anything\n");
                pass.offset = 0;
                break;
            }
            pass.chunk.assign(buffer, buffer + count);
            log_.HexDump(pass.chunk.data(), static_cast<uint32_t>(count));
        }
        finished = ExaminePass(pass);
        if (!finished) {
            log_.Log(
                kLogSteps,
                "UsbReadResponse(): at the end of iteration, before checking for while condition, resBuf "
                "offset is %d\n",
                static_cast<int>(pass.offset));
            finished = !pass.MoreToRead();
        }
    }
    size_t size = pass.overflow ? 0 : std::min(pass.offset, capacity);
    if (pass.overflow) {
        log_.Log(kLogSteps, "UsbReadResponse(): packet larger than %d bytes dropped\n",
                 static_cast<int>(pass.capacity));
    }
    log_.Log(kLogDump, "UsbReadResponse Before RETURNING\n");
    log_.HexDump(reply, static_cast<uint32_t>(size));
    return size;
}

}  // namespace devlink
