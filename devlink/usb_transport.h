#pragma once

#include <cstdint>
#include <string>

namespace devlink {

// The USB kind of port as the port manager sees it: finding the printer behind a spooler port name,
// sending to its write pipe, the offline exchange, and the response reader behind them. The transport
// owns the reader's state (expecting-response flag, slots, semaphore, read thread) for the life of the
// port manager that holds it. Results are the SLC_* codes.
class IUsbTransport {
  public:
    virtual ~IUsbTransport() = default;

    // Finds the printer behind portName (USB001): 0 with its device path and IEEE 1284 device ID, or -1
    // leaving both untouched.
    virtual int Open(const std::string& portName, std::string& devicePath, std::string& deviceId) = 0;

    // Writes the NPA start packet and the command and, when a reply buffer is given or the command asks for
    // a response, waits up to responseWaitTimeout ms for the next stored packet. reply and replyLength may be
    // null; *replyLength holds the buffer's size on entry and the reply's size on return.
    virtual int SendCommand(const std::string& devicePath, const uint8_t* command, uint32_t length,
                            uint8_t* reply, uint32_t* replyLength, uint32_t responseWaitTimeout) = 0;

    // The offline (offline != 0) or online command and the evaluation of its reply and alert.
    virtual int Offline(const std::string& devicePath, uint8_t offline, uint32_t responseWaitTimeout) = 0;

    // Tells the read thread to end after its current read; does not wait for it.
    virtual void StopReader() = 0;

    // Forgets every stored reply and alert.
    virtual void EmptySlots() = 0;
};

}  // namespace devlink
