#include "devlink/usb_port.h"

#include "devlink/npa_packet.h"
#include "devlink/slc.h"
#include "devlink/usb_discovery.h"

namespace devlink {
namespace {

constexpr uint32_t kOfflineReplySize = 2048;

// A start packet cut short would garble the command after it, so it must go out whole.
bool WriteNpaStart(CUsbNode& pipe, uint32_t timeout) {
    return pipe.WriteAll(npa::kNpaStart.data(), npa::kNpaStart.size(), timeout) == npa::kNpaStart.size();
}

}  // namespace

int CUsbTransport::Open(const std::string& portName, std::string& devicePath, std::string& deviceId) {
    bool found = false;
    std::vector<UsbPortEntry> table = EnumerateUsbPrinters(log_, found);
    if (!found) {
        return SLC_OPEN_FAIL;
    }
    std::string customPortName = BuildCustomPortName(log_, portName);
    if (customPortName.empty()) {
        return SLC_OPEN_FAIL;
    }
    log_.Log(kLogEntry, "SlcOpenPort(USB) - pCustomPortName=%s, numPortsFound=%d\n", customPortName.c_str(),
             static_cast<int>(table.size()));
    for (const UsbPortEntry& entry : table) {
        log_.Log(kLogEntry, "SlcOpenPort(USB) - comparing %s to %s\n", customPortName.c_str(),
                 entry.customPortName.c_str());
        if (entry.customPortName != customPortName) {
            continue;
        }
        log_.Log(kLogEntry, "SlcOpenPort(USB) - found port %s, device path is %s\n", portName.c_str(),
                 entry.devicePath.c_str());
        if (!OpenUsbHandle(log_, entry.devicePath, "PIPE00")) {
            log_.Log(kLogEntry, "SlcOpenPort(USB) - port %s not found\n", portName.c_str());
            return SLC_OPEN_FAIL;
        }
        log_.Log(kLogEntry, "SlcOpenPort(USB) - USB CreateFile worked\n");
        devicePath = entry.devicePath;
        deviceId = entry.deviceId;
        return SLC_OK;
    }
    return SLC_OPEN_FAIL;
}

int CUsbTransport::SendCommand(const std::string& devicePath, const uint8_t* command, uint32_t length,
                               uint8_t* reply, uint32_t* replyLength, uint32_t responseWaitTimeout) {
    const uint32_t size = length & 0xFFFF;
    if (size > npa::kMaxCommandSize) {
        log_.Log(kLogSteps, "UsbSendCommand(): command too large!\n");
        return SLC_SEND_TOOLARGE;
    }
    const bool responseRequested =
        size > npa::kFlagsOffset && (command[npa::kFlagsOffset] & npa::kFlagResponseRequested);
    if (!reply || !replyLength || *replyLength == 0) {
        if (responseRequested) {
            log_.Log(kLogSteps, "UsbSendCommand(): no buffer but response requested!\n");
        }
        if (replyLength) {
            *replyLength = 0;
        }
        reply = nullptr;
    }
    std::shared_ptr<CUsbNode> pipe = OpenUsbHandle(log_, devicePath, "PIPE00");
    if (!pipe) {
        return SLC_OPEN_FAIL;
    }
    if (!WriteNpaStart(*pipe, responseWaitTimeout)) {
        return SLC_SEND_WRITEFAIL;
    }
    if (pipe->WriteAll(command, size, responseWaitTimeout) != size) {
        if (replyLength) {
            *replyLength = 0;
        }
        return SLC_SEND_WRITEFAIL;
    }
    log_.Log(kLogSteps, "Successfully wrote %d bytes\n", static_cast<int>(size));
    if (!reply && !responseRequested) {
        return SLC_OK;
    }
    const uint8_t commandByte = size > npa::kCommandOffset ? command[npa::kCommandOffset] : 0;
    return reader_.GetResponse(devicePath, reply, reply ? replyLength : nullptr, commandByte,
                               responseWaitTimeout);
}

int CUsbTransport::Offline(const std::string& devicePath, uint8_t offline, uint32_t responseWaitTimeout) {
    std::shared_ptr<CUsbNode> pipe = OpenUsbHandle(log_, devicePath, "PIPE00");
    if (!pipe) {
        return SLC_OPEN_FAIL;
    }
    const auto& command = offline ? npa::kOfflineCommand : npa::kOnlineCommand;
    if (!WriteNpaStart(*pipe, responseWaitTimeout) ||
        pipe->WriteAll(command.data(), command.size(), responseWaitTimeout) != command.size()) {
        return SLC_OFFLINE_WRITEFAIL;
    }
    log_.Log(kLogSteps, "UsbOffline(): Successfully wrote %d bytes\n", static_cast<int>(command.size()));
    return EvaluateOffline(devicePath, offline, responseWaitTimeout);
}

// The printer answers an offline or online command with a reply (E0) and the offline alert (F0), in either
// order; the ninth byte of each carries the outcome.
int CUsbTransport::EvaluateOffline(const std::string& devicePath, uint8_t offline,
                                   uint32_t responseWaitTimeout) {
    uint8_t received[kOfflineReplySize] = {};
    uint32_t length = sizeof received;
    const uint8_t expectedState = offline ? 1 : 0;
    if (const int result =
            reader_.GetResponse(devicePath, received, &length, npa::kCommandOffline, responseWaitTimeout);
        result != SLC_OK) {
        return result;
    }
    // The second packet lands in the same buffer; when it does not come, the check uses what is there.
    auto takeSecond = [&](const char* what) {
        length = sizeof received;
        int result =
            reader_.GetResponse(devicePath, received, &length, npa::kCommandOffline, responseWaitTimeout);
        log_.Log(kLogSteps, "UsbOffline(): waiting for the %s returned %d\n", what, result);
    };
    const uint8_t& outcome = received[npa::kOfflineOutcomeOffset];
    log_.Log(kLogSteps, "pRcvData[4]=%02X\n", received[npa::kCommandOffset]);
    if (received[npa::kCommandOffset] == npa::kCommandOffline) {
        log_.Log(kLogSteps, "UsbOffline(): we got the response back first\n");
        if (outcome != 1) {
            log_.Log(kLogSteps, "UsbOffline(): the command appears to have been rejected:\n");
            return SLC_OFFLINE_REJECTED;
        }
        takeSecond("alert");
        if (outcome != expectedState) {
            log_.Log(kLogSteps, "UsbOffline(): 9th byte NOT OK - rejected\n");
            return SLC_OFFLINE_REJECTED;
        }
        log_.Log(kLogSteps, "UsbOffline(): 9th byte OK\n");
        return SLC_OK;
    }
    if (received[npa::kCommandOffset] == npa::kCommandOfflineAlert) {
        log_.Log(kLogSteps, "UsbOffline(): we got the alert back first\n");
        if (outcome != expectedState) {
            log_.Log(kLogSteps, "UsbOffline(): 9th byte NOT OK - rejected\n");
            return SLC_OFFLINE_REJECTED;
        }
        takeSecond("reply");
        if (outcome == 1) {
            log_.Log(kLogSteps, "UsbOffline(): the command appears to have been rejected:\n");
            return SLC_OFFLINE_REJECTED;
        }
        return SLC_OK;
    }
    return SLC_OK;
}

}  // namespace devlink
