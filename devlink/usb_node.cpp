#include "devlink/usb_node.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>

namespace devlink {
namespace {

std::mutex nodesMutex;
std::map<std::string, std::weak_ptr<CUsbNode>> openNodes;

uint32_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace

CUsbNode::~CUsbNode() {
    close(fd_);
}

std::shared_ptr<CUsbNode> CUsbNode::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(nodesMutex);
    if (std::shared_ptr<CUsbNode> node = openNodes[path].lock()) {
        return node;
    }
    int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        openNodes.erase(path);
        return nullptr;
    }
    std::shared_ptr<CUsbNode> node(new CUsbNode(path, fd));
    openNodes[path] = node;
    return node;
}

size_t CUsbNode::WriteAll(const uint8_t* data, size_t size, uint32_t timeoutMs) {
    // usblp never times a write out by itself, so a printer that stops taking data is given up here.
    const auto start = std::chrono::steady_clock::now();
    size_t done = 0;
    while (done < size) {
        ssize_t written = write(fd_, data + done, size - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
        uint32_t elapsed = MillisecondsSince(start);
        if (elapsed >= timeoutMs) {
            break;
        }
        pollfd entry{fd_, POLLOUT, 0};
        if (poll(&entry, 1, static_cast<int>(timeoutMs - elapsed)) < 0 && errno != EINTR) {
            break;
        }
        if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            break;
        }
    }
    return done;
}

ssize_t CUsbNode::ReadSome(uint8_t* buffer, size_t size, int wakeFd) {
    for (;;) {
        pollfd entries[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (poll(entries, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (entries[1].revents & POLLIN) {
            return 0;
        }
        ssize_t count = read(fd_, buffer, size);
        if (count > 0) {
            return count;
        }
        if (count == 0) {
            errno = EIO;  // end of file: the device is gone
            return -1;
        }
        if (errno != EAGAIN && errno != EINTR) {
            return -1;
        }
    }
}

std::string CUsbNode::RequestDeviceId() {
    uint8_t reply[usblp::kDeviceIdReplySize] = {};
    if (ioctl(fd_, usblp::kGetDeviceId1024, reply) < 0) {
        return {};
    }
    // The reply starts with its big-endian length, which counts those two bytes.
    size_t length = static_cast<size_t>(reply[0]) << 8 | reply[1];
    if (length < 2) {
        return {};
    }
    length = std::min(length, sizeof reply) - 2;
    std::string id(reinterpret_cast<const char*>(reply + 2), length);
    return id.substr(0, id.find('\0'));
}

}  // namespace devlink
