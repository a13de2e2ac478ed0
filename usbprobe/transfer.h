#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace usbprobe {

class CUsbDevice;
class CCancelToken;
struct WaitBound;

inline constexpr size_t kBlockSize = 4096;
inline constexpr int kWriteAttempts = 5;

// Bytes start to stop of a file, both inclusive.
struct ByteRange {
    uint64_t start = 0;
    uint64_t stop = 0;
};

// Opens the write or read pipe; reports the failure when there is no device.
bool OpenPipe(std::FILE* out, CUsbDevice& device);

// Writes the bytes in pieces of at most 4096, retrying a piece that times out, and reports the total.
void SendBytes(std::FILE* out, CUsbDevice& device, const uint8_t* bytes, size_t count);

// Sends a file whole (range null) or the bytes of its range, block by block.
void SendFile(std::FILE* out, CUsbDevice& device, const std::string& path, const ByteRange* range);

// One read of at most capacity bytes on the reader thread. Reports a failed read; returns 0 with the
// bytes read, an error code after reporting, or kErrorCancelled (nothing reported) when the waiting
// thread gave up first.
int ReadReply(std::FILE* out, CUsbDevice& device, uint8_t* buffer, size_t capacity, size_t& got,
              CCancelToken& token);

// Reads from the printer with the packet size (at most 4096) and shows the data, or with toFile stores
// it in USBDATA.DAT in the current directory.
void ReadFromPrinter(std::FILE* out, CUsbDevice& device, const WaitBound& bound, size_t packetSize,
                     bool toFile);

// Stores bytes in path the way a text-mode file would: each line feed as CR LF.
bool WriteTextFile(const std::string& path, const uint8_t* bytes, size_t count);

}  // namespace usbprobe
