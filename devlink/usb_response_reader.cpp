#include "devlink/usb_response_reader.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devlink/npa_packet.h"
#include "devlink/slc.h"
#include "devlink/usb_packet_joiner.h"
#include "platform/clock.h"

namespace devlink {
namespace {

constexpr uint32_t kPipeOpenPause = 100;
constexpr uint32_t kReadPipeRetryPause = 200;
constexpr uint32_t kReadErrorPause = 500;

// ReadPkt: one chunk from the read pipe. A read error closes the pipe and pauses the reader; a wake-up
// (the port is being closed) ends the read at once.
class CReadPipe : public IChunkSource {
  public:
    CReadPipe(const CSlcLog& log, std::shared_ptr<CUsbNode>& pipe, int wakeFd)
        : log_(log), pipe_(pipe), wakeFd_(wakeFd) {}

    size_t ReadChunk(uint8_t* buffer, size_t size) override {
        if (!pipe_) {
            return 0;
        }
        ssize_t count = pipe_->ReadSome(buffer, size, wakeFd_);
        if (count > 0) {
            return static_cast<size_t>(count);
        }
        if (count < 0) {
            log_.Log(kLogSteps, "ReadPkt(): after ReadFileEx() call got lastError:%d\n", errno);
            pipe_.reset();
            platform::Clock().Sleep(kReadErrorPause);
        }
        return 0;
    }

  private:
    const CSlcLog& log_;
    std::shared_ptr<CUsbNode>& pipe_;
    int wakeFd_;
};

}  // namespace

void CCappedSemaphore::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        count_ = true;
    }
    released_.notify_one();
}

bool CCappedSemaphore::WaitFor(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!released_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return count_; })) {
        return false;
    }
    count_ = false;
    return true;
}

std::shared_ptr<CUsbNode> OpenUsbHandle(const CSlcLog& log, const std::string& devicePath,
                                        const char* pipeName) {
    log.Log(kLogSteps, "GetDeviceHandle(%s, %s)\n", devicePath.c_str(), pipeName);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (std::shared_ptr<CUsbNode> node = CUsbNode::Open(devicePath)) {
            return node;
        }
        log.Log(kLogSteps, "GetDeviceHandle(%s, %s) - open failed, error=%d\n", devicePath.c_str(), pipeName,
                errno);
        platform::Clock().Sleep(kPipeOpenPause);
    }
    return nullptr;
}

CUsbResponseReader::CUsbResponseReader(const CSlcLog& log)
    : log_(log), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CUsbResponseReader::~CUsbResponseReader() {
    Stop();
    if (wakeFd_ >= 0) {
        close(wakeFd_);
    }
}

int CUsbResponseReader::GetResponse(const std::string& devicePath, uint8_t* reply, uint32_t* replyLength,
                                    uint8_t command, uint32_t waitTimeout) {
    log_.Log(kLogSteps, "UsbGetResponse() - command = %0X\n", command);
    if (!threadRunning_.load()) {
        StartThread(devicePath);
    }
    // A packet stored while the semaphore was already released added no wake-up, so one already waiting
    // is taken first; the semaphore is waited on only when every slot is empty.
    std::vector<uint8_t> packet;
    while (!TakeOldest(packet)) {
        if (!semResponse_.WaitFor(waitTimeout)) {
            if (replyLength) {
                *replyLength = 0;
            }
            log_.Log(
                kLogSteps,
                "UsbGetResponse() - RESPONSE_WAIT_TIMEOUT occured after %d ms, returning SLC_SEND_READFAIL\n",
                static_cast<int>(waitTimeout));
            return SLC_SEND_READFAIL;
        }
        if (TakeOldest(packet)) {
            break;
        }
        log_.Log(kLogSteps, "UsbGetResponse() - Since LookAgain is true, we will look for a response\n");
    }
    if (!reply || !replyLength) {
        return SLC_OK;
    }
    if (packet.size() > *replyLength) {
        *replyLength = 0;
        return SLC_SEND_RESPTOOLARGE;
    }
    std::memcpy(reply, packet.data(), packet.size());
    *replyLength = static_cast<uint32_t>(packet.size());
    return SLC_OK;
}

void CUsbResponseReader::Stop() {
    {
        std::lock_guard<std::mutex> lock(transactionInfo_);
        bExpectingResponse = false;
    }
    uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
        // The counter only saturates; a thread is woken all the same.
    }
    if (readThread_.joinable()) {
        readThread_.join();
    }
}

void CUsbResponseReader::EmptySlots() {
    std::lock_guard<std::mutex> lock(slotMutex_);
    for (Slot& slot : slots_) {
        slot.packet.clear();
    }
}

void CUsbResponseReader::StartThread(const std::string& devicePath) {
    if (readThread_.joinable()) {
        readThread_.join();
    }
    uint64_t drained = 0;
    while (read(wakeFd_, &drained, sizeof drained) > 0) {
    }
    {
        std::lock_guard<std::mutex> lock(transactionInfo_);
        bExpectingResponse = true;
    }
    threadRunning_.store(true);
    readThread_ = std::thread(&CUsbResponseReader::UsbReadPort, this, devicePath);
    log_.Log(kLogSteps, "UsbGetResponse: no G_hReadThread - started ReadThread and got hReadThread:%d\n", 1);
}

std::shared_ptr<CUsbNode> CUsbResponseReader::OpenReadPipe(const std::string& devicePath) {
    return OpenUsbHandle(log_, devicePath, "PIPE01");
}

void CUsbResponseReader::UsbReadPort(std::string devicePath) {
    CUsbPacketJoiner joiner(log_);
    std::vector<uint8_t> buffer(kReplyBufferSize);
    std::unique_lock<std::mutex> lock(transactionInfo_);
    while (bExpectingResponse) {
        std::shared_ptr<CUsbNode> pipe = OpenReadPipe(devicePath);
        lock.unlock();
        if (!pipe) {
            // The printer is gone or busy. The pause is taken without the mutex so a close never waits on it.
            platform::Clock().Sleep(kReadPipeRetryPause);
            lock.lock();
            continue;
        }
        CReadPipe source(log_, pipe, wakeFd_);
        size_t size = joiner.ReadResponse(source, buffer.data(), buffer.size());
        if (size == 0) {
            log_.Log(kLogSteps, "returned from UsbReadResponse with responseBufLen=%d\n", 0);
        } else {
            Sort(buffer.data(), size);
        }
        pipe.reset();
        lock.lock();
    }
    lock.unlock();
    log_.Log(kLogSteps, "UsbReadPort(), couldn't open port or no one is expecting a response, exiting...\n");
    log_.Log(kLogSteps, "UsbReadPort(), Closed G_hReadThread\n");
    threadRunning_.store(false);
}

void CUsbResponseReader::Sort(const uint8_t* packet, size_t size) {
    switch (npa::ClassOf(std::span<const uint8_t>(packet, size))) {
        case npa::PacketClass::AlertOfNoInterest:
            log_.Log(kLogSteps, "UsbReadPort(): It's an alert we don't care about!\n");
            semResponse_.Release();
            break;
        case npa::PacketClass::Alert:
            log_.Log(kLogSteps, "UsbReadPort(): It's an alert!\n");
            Store(packet, size, "alert");
            break;
        case npa::PacketClass::CommandError:
            log_.Log(kLogSteps, "UsbReadPort(): It's a response!\n");
            log_.Log(kLogSteps, "UsbReadPort(): It's a command error, tossing.\n");
            break;
        case npa::PacketClass::Reply:
            log_.Log(kLogSteps, "UsbReadPort(): It's a response!\n");
            Store(packet, size, "response");
            break;
        case npa::PacketClass::Malformed:
            break;
    }
}

void CUsbResponseReader::Store(const uint8_t* packet, size_t size, const char* what) {
    {
        std::lock_guard<std::mutex> lock(slotMutex_);
        Slot* freeSlot = nullptr;
        for (Slot& slot : slots_) {
            if (slot.packet.empty()) {
                freeSlot = &slot;
                break;
            }
        }
        if (freeSlot) {
            freeSlot->packet.assign(packet, packet + size);
            freeSlot->sequence = nextSequence_++;
            log_.Log(kLogSteps, "UsbReadPort() - saving %s in slot %d\n", what,
                     static_cast<int>(freeSlot - slots_.data()));
        } else {
            log_.Log(kLogSteps, "UsbReadPort() - every slot is full, %s dropped\n", what);
        }
    }
    semResponse_.Release();
}

bool CUsbResponseReader::TakeOldest(std::vector<uint8_t>& packet) {
    std::lock_guard<std::mutex> lock(slotMutex_);
    Slot* oldest = nullptr;
    for (Slot& slot : slots_) {
        if (!slot.packet.empty() && (!oldest || slot.sequence < oldest->sequence)) {
            oldest = &slot;
        }
    }
    if (!oldest) {
        return false;
    }
    log_.Log(kLogSteps, "UsbGetResponse() - found response in slot %d\n",
             static_cast<int>(oldest - slots_.data()));
    packet.swap(oldest->packet);
    oldest->packet.clear();
    return true;
}

}  // namespace devlink
