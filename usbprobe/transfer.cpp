#include "usbprobe/transfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "usbprobe/bounded_task.h"
#include "usbprobe/hex_format.h"
#include "usbprobe/host_path.h"
#include "usbprobe/usb_device.h"

namespace usbprobe {

namespace {

constexpr char kDataFile[] = "USBDATA.DAT";

// Fills a block as far as the file goes; returns the byte count or -1 with errno set.
ssize_t ReadBlock(int fd, uint8_t* block) {
    size_t filled = 0;
    while (filled < kBlockSize) {
        const ssize_t n = read(fd, block + filled, kBlockSize - filled);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        filled += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(filled);
}

// The part of a block at base that lies in the range, as [first, last) offsets within the block.
void RangeInBlock(const ByteRange& range, uint64_t base, size_t count, size_t& first, size_t& last) {
    const uint64_t lo = std::max(range.start, base);
    const uint64_t hi = std::min(range.stop + 1, base + count);
    first = lo < hi ? static_cast<size_t>(lo - base) : 0;
    last = lo < hi ? static_cast<size_t>(hi - base) : 0;
}

// Copies the open file to the printer and returns the byte total; reports a failed read or write.
size_t CopyBlocks(std::FILE* out, CUsbDevice& device, int fd, const ByteRange* range) {
    uint8_t block[kBlockSize];
    uint64_t base = 0;
    if (range != nullptr) {
        base = range->start / kBlockSize * kBlockSize;
        if (lseek(fd, static_cast<off_t>(base), SEEK_SET) < 0) {
            std::fprintf(out, "ReadFile failed with error code %d after reading %d bytes\n", errno, 0);
            return 0;
        }
    }
    size_t total = 0;
    size_t readTotal = 0;
    for (;;) {
        const ssize_t n = ReadBlock(fd, block);
        if (n < 0) {
            std::fprintf(out, "ReadFile failed with error code %d after reading %d bytes\n", errno,
                         static_cast<int>(readTotal));
            return total;
        }
        const size_t count = static_cast<size_t>(n);
        readTotal += count;
        size_t first = 0;
        size_t last = count;
        if (range != nullptr) {
            RangeInBlock(*range, base, count, first, last);
        }
        size_t written = 0;
        const int error = first < last ? device.Write(block + first, last - first, written) : 0;
        total += written;
        if (error != 0) {
            std::fprintf(out, "WriteFile failed with error code %d after Writing  %d bytes\n", error,
                         static_cast<int>(total));
            return total;
        }
        const bool holdsStop = range != nullptr && range->stop < base + kBlockSize;
        if (count < kBlockSize || holdsStop) {
            return total;
        }
        base += kBlockSize;
    }
}

}  // namespace

bool OpenPipe(std::FILE* out, CUsbDevice& device) {
    if (device.Open()) {
        return true;
    }
    std::fprintf(out, "Failed to open (%s) = %d", device.NodePath().c_str(), device.OpenError());
    return false;
}

void SendBytes(std::FILE* out, CUsbDevice& device, const uint8_t* bytes, size_t count) {
    if (!OpenPipe(out, device)) {
        return;
    }
    size_t total = 0;
    for (size_t offset = 0; offset < count;) {
        const size_t piece = std::min(kBlockSize, count - offset);
        size_t done = 0;
        for (int attempt = 0; done < piece;) {
            size_t written = 0;
            const int error = device.Write(bytes + offset + done, piece - done, written);
            done += written;
            total += written;
            if (error == kErrorTimeout) {
                std::fprintf(out, "WriteFile timeout.  Retry %d\n", attempt);
                if (++attempt == kWriteAttempts) {
                    return;
                }
            } else if (error != 0) {
                std::fprintf(out, "WriteFile failed with error code %d with %d bytes remaining\n", error,
                             static_cast<int>(count - total));
                return;
            }
        }
        offset += piece;
    }
    std::fprintf(out, "%d bytes transfered\n", static_cast<int>(total));
}

void SendFile(std::FILE* out, CUsbDevice& device, const std::string& path, const ByteRange* range) {
    const int fd = open(UnderRoot(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(out, "Failed to open '%s' with error code %d\n\n", path.c_str(), errno);
        return;
    }
    if (OpenPipe(out, device)) {
        const size_t total = CopyBlocks(out, device, fd, range);
        std::fprintf(out, "%d bytes transfered\n", static_cast<int>(total));
    }
    close(fd);
}

int ReadReply(std::FILE* out, CUsbDevice& device, uint8_t* buffer, size_t capacity, size_t& got,
              CCancelToken& token) {
    const int error = device.Read(buffer, capacity, got, token.Fd());
    if (error == kErrorCancelled || !token.Claim()) {
        return kErrorCancelled;
    }
    if (error == kErrorTimeout) {
        std::fprintf(out, "Printer has no data to return.\n");
    } else if (error != 0) {
        std::fprintf(out, "usbprobe failed with error code %d, after reading %d bytes.\n", error,
                     static_cast<int>(got));
    }
    if (error != 0) {
        HexDump(out, buffer, got);
    }
    return error;
}

void ReadFromPrinter(std::FILE* out, CUsbDevice& device, const WaitBound& bound, size_t packetSize,
                     bool toFile) {
    if (!OpenPipe(out, device)) {
        return;
    }
    const bool finished = RunBounded(
        [&](CCancelToken& token) {
            uint8_t buffer[kBlockSize];
            size_t got = 0;
            const int error = ReadReply(out, device, buffer, std::min(packetSize, kBlockSize), got, token);
            if (error == kErrorCancelled) {
                return;
            }
            if (toFile) {
                if (!WriteTextFile(kDataFile, buffer, error == 0 ? got : 0)) {
                    std::fprintf(out, "Failed to open '%s' with error code %d\n\n", kDataFile, errno);
                }
            } else if (error == 0) {
                std::fprintf(out, "Received %d bytes.\n", static_cast<int>(got));
                HexDump(out, buffer, got);
                std::fprintf(out, "\n");
            }
        },
        bound);
    if (!finished) {
        std::fprintf(out, "Printer had no data to return(thread timeout).\n");
    }
}

bool WriteTextFile(const std::string& path, const uint8_t* bytes, size_t count) {
    std::FILE* file = std::fopen(UnderRoot(path).c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < count && ok; ++i) {
        ok = (bytes[i] != '\n' || std::fputc('\r', file) != EOF) && std::fputc(bytes[i], file) != EOF;
    }
    return std::fclose(file) == 0 && ok;
}

}  // namespace usbprobe
