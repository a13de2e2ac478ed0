#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace devlink {

// The usblp driver's requests; the kernel exports no header for them.
namespace usblp {
constexpr unsigned long kGetDeviceId1024 = 0x84005001;  // LPIOC_GET_DEVICE_ID(1024): _IOC(READ, 'P', 1, 1024)
constexpr size_t kDeviceIdReplySize = 1024;
}  // namespace usblp

// One open descriptor on a USB printer node (/dev/usb/lpK). usblp lets a node be opened once, so the
// write pipe "PIPE00", the read pipe "PIPE01" and every request are handles on this one descriptor: it is
// opened read-write and non-blocking by the first handle and closed with the last.
class CUsbNode {
  public:
    ~CUsbNode();
    CUsbNode(const CUsbNode&) = delete;
    CUsbNode& operator=(const CUsbNode&) = delete;

    // A handle on the node at path: the one already open in this process, or a new descriptor. Null when the
    // node cannot be opened; errno then tells why.
    static std::shared_ptr<CUsbNode> Open(const std::string& path);

    int Descriptor() const { return fd_; }
    const std::string& Path() const { return path_; }

    // Writes all bytes, waiting for the device to take them at most timeoutMs in all. The bytes written.
    size_t WriteAll(const uint8_t* data, size_t size, uint32_t timeoutMs);

    // Waits for bytes or for wakeFd to become readable; reads at most size. >0 bytes read; 0 when woken;
    // -1 on a read error or hang-up (errno set).
    ssize_t ReadSome(uint8_t* buffer, size_t size, int wakeFd);

    // The IEEE 1284 device ID from the driver: empty when the node refuses the request.
    std::string RequestDeviceId();

  private:
    CUsbNode(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

    std::string path_;
    int fd_;
};

}  // namespace devlink
