#include "usbprobe/usb_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <vector>

#include "usbprobe/host_path.h"

namespace usbprobe {

namespace {

// The kernel exports no header with the usblp requests; these are the values of drivers/usb/class/usblp.c
// and linux/lp.h.
constexpr size_t kDeviceIdCapacity = 1024;
constexpr unsigned long kLpiocGetDeviceId1024 = 0x84005001UL;  // _IOC(_IOC_READ, 'P', 1, 1024)
constexpr unsigned long kLpGetStatus = 0x060BUL;

const char kUsbMiscDir[] = "/sys/class/usbmisc";
const char kNodeDir[] = "/dev/usb/lp";

std::string SysfsDir(unsigned index) {
    return UnderRoot(kUsbMiscDir) + "/lp" + std::to_string(index);
}

// The lp<K> entries under the usbmisc class, in numeric order.
std::vector<unsigned> PrinterIndexes() {
    std::vector<unsigned> indexes;
    DIR* dir = opendir(UnderRoot(kUsbMiscDir).c_str());
    if (dir == nullptr) {
        return indexes;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 3 || name.size() > 6 || name.compare(0, 2, "lp") != 0 ||
            !std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        indexes.push_back(static_cast<unsigned>(std::strtoul(name.c_str() + 2, nullptr, 10)));
    }
    closedir(dir);
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

// Reads at most capacity bytes of a file from offset; sysfs attributes may arrive in several reads.
RequestResult ReadFileBytes(const std::string& path, size_t offset, uint8_t* buffer, size_t capacity) {
    RequestResult result;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    if (offset > 0 && lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        result.error = errno;
        close(fd);
        return result;
    }
    while (result.bytes < capacity) {
        const ssize_t n = read(fd, buffer + result.bytes, capacity - result.bytes);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result.error = errno;
            close(fd);
            return result;
        }
        if (n == 0) {
            break;
        }
        result.bytes += static_cast<size_t>(n);
    }
    close(fd);
    result.success = result.bytes > 0;
    result.error = result.success ? 0 : EIO;
    return result;
}

using SteadyClock = std::chrono::steady_clock;

// Milliseconds left for poll(): -1 without a bound, 0 once the deadline has passed.
int PollWait(uint32_t boundMs, SteadyClock::time_point deadline) {
    if (boundMs == 0) {
        return -1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

}  // namespace

CUsbDevice::~CUsbDevice() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool CUsbDevice::Open() {
    if (searched_) {
        return fd_ >= 0;
    }
    searched_ = true;
    // Without any usblp device the report names the first node there could be; otherwise the first
    // node that failed to open, with its error.
    nodePath_ = UnderRoot(kNodeDir) + "0";
    openError_ = ENODEV;
    bool failedBefore = false;
    for (const unsigned index : PrinterIndexes()) {
        const int error = OpenNode(index);
        if (error == 0) {
            return true;
        }
        if (!failedBefore) {
            failedBefore = true;
            nodePath_ = UnderRoot(kNodeDir) + std::to_string(index);
            openError_ = error;
        }
    }
    std::fprintf(out_, "Failed to GetUsbDeviceFileName\n");
    return false;
}

int CUsbDevice::OpenNode(unsigned index) {
    const std::string path = UnderRoot(kNodeDir) + std::to_string(index);
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    fd_ = fd;
    lpIndex_ = index;
    nodePath_ = path;
    openError_ = 0;
    // The node's own device-ID request stands for the extended request set: a real usblp node answers
    // it, a stand-in that refuses it (ENOTTY) is asked through sysfs instead.
    uint8_t probe[kDeviceIdCapacity] = {};
    extended_ = ioctl(fd_, kLpiocGetDeviceId1024, probe) >= 0;
    return 0;
}

// The USB device is the parent of the interface that lpK/device links to.
int CUsbDevice::UsbDeviceDir(std::string& dir) const {
    const std::string link = SysfsDir(lpIndex_) + "/device";
    char* resolved = realpath(link.c_str(), nullptr);
    if (resolved == nullptr) {
        return errno;
    }
    dir = resolved;
    std::free(resolved);
    dir.erase(dir.find_last_of('/'));
    return 0;
}

RequestResult CUsbDevice::ReadDescriptors(size_t offset, uint8_t* buffer, size_t capacity) {
    std::string dir;
    if (const int error = UsbDeviceDir(dir); error != 0) {
        return RequestResult{false, 0, error};
    }
    return ReadFileBytes(dir + "/descriptors", offset, buffer, capacity);
}

RequestResult CUsbDevice::GetDeviceId(uint8_t* buffer, size_t capacity) {
    if (!extended_) {
        return ReadFileBytes(SysfsDir(lpIndex_) + "/device/ieee1284_id", 0, buffer, capacity);
    }
    uint8_t reply[kDeviceIdCapacity] = {};
    if (ioctl(fd_, kLpiocGetDeviceId1024, reply) < 0) {
        return RequestResult{false, 0, errno};
    }
    const size_t length = static_cast<size_t>(reply[0]) << 8 | reply[1];
    const size_t bytes = std::min({length, capacity, kDeviceIdCapacity});
    std::copy(reply, reply + bytes, buffer);
    return RequestResult{true, bytes, 0};
}

RequestResult CUsbDevice::GetPortStatus(uint8_t& status) {
    int value = 0;
    if (ioctl(fd_, kLpGetStatus, &value) < 0) {
        return RequestResult{false, 0, errno};
    }
    status = static_cast<uint8_t>(value & 0xFF);
    return RequestResult{true, 1, 0};
}

int CUsbDevice::Write(const uint8_t* bytes, size_t count, size_t& written) {
    written = 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(writeTimeoutMs_);
    while (written < count) {
        pollfd ready{fd_, POLLOUT, 0};
        const int polled = poll(&ready, 1, PollWait(writeTimeoutMs_, deadline));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled < 0) {
            return errno;
        }
        if (polled == 0) {
            return kErrorTimeout;
        }
        const ssize_t n = write(fd_, bytes + written, count - written);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        written += static_cast<size_t>(n);
    }
    return 0;
}

int CUsbDevice::Read(uint8_t* buffer, size_t capacity, size_t& got, int cancelFd) {
    got = 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(readTimeoutMs_);
    for (;;) {
        pollfd ready[2] = {{fd_, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        const int polled = poll(ready, cancelFd >= 0 ? 2 : 1, PollWait(readTimeoutMs_, deadline));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled < 0) {
            return errno;
        }
        if (polled == 0) {
            return kErrorTimeout;
        }
        if (cancelFd >= 0 && ready[1].revents != 0) {
            return kErrorCancelled;
        }
        const ssize_t n = read(fd_, buffer, capacity);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        got = static_cast<size_t>(n);
        return 0;
    }
}

}  // namespace usbprobe
