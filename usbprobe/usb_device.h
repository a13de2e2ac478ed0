#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace usbprobe {

// The code a read or write reports when its time-out passes before the printer is ready, as the
// printer driver reports its semaphore time-out.
inline constexpr int kErrorTimeout = 121;
// A read given up because the waiting thread was told to stop.
inline constexpr int kErrorCancelled = -1;

struct RequestResult {
    bool success = false;
    size_t bytes = 0;
    int error = 0;
};

// The first usblp printer whose node opens for reading and writing. usblp admits one opener at a time,
// so the node is opened once for the run and the write pipe, the read pipe and every request share that
// descriptor; "closing a pipe" leaves it open.
class CUsbDevice {
  public:
    explicit CUsbDevice(std::FILE* out) : out_(out) {}
    ~CUsbDevice();
    CUsbDevice(const CUsbDevice&) = delete;
    CUsbDevice& operator=(const CUsbDevice&) = delete;

    // Looks for the device on the first call and reports once when there is none.
    bool Open();
    // The node in use, or the first node looked for when none opened.
    const std::string& NodePath() const { return nodePath_; }
    // errno of the failed search (ENODEV when there was no usblp device at all).
    int OpenError() const { return openError_; }
    // The node answers the device-ID request itself; otherwise the ID comes from sysfs.
    bool Extended() const { return extended_; }

    // Reads the USB device's sysfs "descriptors" file from offset into buffer (at most capacity bytes).
    RequestResult ReadDescriptors(size_t offset, uint8_t* buffer, size_t capacity);
    // The IEEE 1284 device ID. With the extended set the reply starts with its big-endian length.
    RequestResult GetDeviceId(uint8_t* buffer, size_t capacity);
    RequestResult GetPortStatus(uint8_t& status);

    // Bounds for reads and writes in milliseconds; 0 waits as long as it takes.
    void SetReadTimeout(uint32_t milliseconds) { readTimeoutMs_ = milliseconds; }
    void SetWriteTimeout(uint32_t milliseconds) { writeTimeoutMs_ = milliseconds; }

    // Writes as much of the bytes as the printer takes before the write time-out. Returns 0 when all
    // went, kErrorTimeout, or errno; written counts what went in any case.
    int Write(const uint8_t* bytes, size_t count, size_t& written);
    // One read of at most capacity bytes, waiting up to the read time-out or until cancelFd (-1: none)
    // becomes readable. Returns 0, kErrorTimeout, kErrorCancelled or errno.
    int Read(uint8_t* buffer, size_t capacity, size_t& got, int cancelFd);

  private:
    int OpenNode(unsigned index);  // 0 or errno
    int UsbDeviceDir(std::string& dir) const;

    std::FILE* out_;
    bool searched_ = false;
    int fd_ = -1;
    unsigned lpIndex_ = 0;
    std::string nodePath_;
    int openError_ = 0;
    bool extended_ = false;
    uint32_t readTimeoutMs_ = 0;
    uint32_t writeTimeoutMs_ = 0;
};

}  // namespace usbprobe
