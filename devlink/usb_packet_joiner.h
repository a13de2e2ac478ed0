#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "devlink/slc_log.h"

namespace devlink {

// Where the joiner takes its bytes from: one read of at most `size` bytes from the printer's read pipe.
// 0 means nothing was read (a read error, the printer gone, or the reader asked to stop).
class IChunkSource {
  public:
    virtual ~IChunkSource() = default;
    virtual size_t ReadChunk(uint8_t* buffer, size_t size) = 0;
};

// Joins the chunks a USB printer sends (at most 32 bytes each, split anywhere) into whole NPA packets,
// a continued reply into one packet. Bytes read past the end of one packet are carried over into the
// next read, so nothing the printer sent between two packets is lost.
class CUsbPacketJoiner {
  public:
    static constexpr size_t kChunkSize = 32;

    explicit CUsbPacketJoiner(const CSlcLog& log) : log_(log) {}

    // Reads one packet into reply[0, capacity) and returns its size: 0 when nothing usable came, or when
    // the packet would not fit (it is then read to its end and dropped).
    size_t ReadResponse(IChunkSource& source, uint8_t* reply, size_t capacity);

    size_t CarryOverSize() const { return carryOver_.size(); }

  private:
    struct Pass;

    // Each examines the current chunk of a pass; true when the reply read is over.
    bool ExaminePass(Pass& pass);
    bool ExaminePacketStart(Pass& pass);
    bool ExamineTruncatedRest(Pass& pass);
    bool ExamineGarbage(Pass& pass);

    const CSlcLog& log_;
    std::vector<uint8_t> carryOver_;  // secondResBuf
};

}  // namespace devlink
