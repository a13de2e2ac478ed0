#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devlink/slc_log.h"
#include "devlink/usb_node.h"

namespace devlink {

// A semaphore whose count never passes 1: a release while it is already released adds no wake-up.
class CCappedSemaphore {
  public:
    void Release();
    // true when taken within the time; false after it.
    bool WaitFor(uint32_t milliseconds);

  private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool count_ = false;
};

// Opens a pipe of a USB printer ("PIPE00" to write, "PIPE01" to read): two attempts with a pause between.
std::shared_ptr<CUsbNode> OpenUsbHandle(const CSlcLog& log, const std::string& devicePath,
                                        const char* pipeName);

// The background reader of a USB printer's read pipe: it joins what the printer sends into packets, sorts
// them into replies and alerts, and keeps them in three slots for the callers that wait for them. The thread
// starts with the first wait after a port is opened and ends when Stop() is called.
class CUsbResponseReader {
  public:
    static constexpr size_t kSlotCount = 3;
    static constexpr size_t kReplyBufferSize = 100000;

    explicit CUsbResponseReader(const CSlcLog& log);
    ~CUsbResponseReader();
    CUsbResponseReader(const CUsbResponseReader&) = delete;
    CUsbResponseReader& operator=(const CUsbResponseReader&) = delete;

    // UsbGetResponse: waits up to waitTimeout ms for one stored packet and hands it over. reply and
    // replyLength may be null. 0, -6 (nothing came) or -7 (larger than the caller's buffer).
    int GetResponse(const std::string& devicePath, uint8_t* reply, uint32_t* replyLength, uint8_t command,
                    uint32_t waitTimeout);

    // Clears bExpectingResponse and wakes the thread out of its read; it is joined before this returns.
    void Stop();
    void EmptySlots();
    bool ThreadRunning() const { return threadRunning_.load(); }

  private:
    struct Slot {
        std::vector<uint8_t> packet;  // empty: free
        uint64_t sequence = 0;
    };

    void StartThread(const std::string& devicePath);
    void UsbReadPort(std::string devicePath);
    std::shared_ptr<CUsbNode> OpenReadPipe(const std::string& devicePath);
    void Sort(const uint8_t* packet, size_t size);
    void Store(const uint8_t* packet, size_t size, const char* what);
    bool TakeOldest(std::vector<uint8_t>& packet);

    const CSlcLog& log_;

    std::mutex transactionInfo_;  // G_hTransactionInfo: guards bExpectingResponse
    bool bExpectingResponse = false;

    std::mutex slotMutex_;
    std::array<Slot, kSlotCount> slots_;
    uint64_t nextSequence_ = 1;
    CCappedSemaphore semResponse_;  // G_hSemResponse

    std::thread readThread_;  // G_hReadThread
    std::atomic<bool> threadRunning_{false};
    int wakeFd_ = -1;  // makes the thread's blocking read return when the port is closed
};

}  // namespace devlink
