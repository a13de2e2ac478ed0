#include "exchange/device_link.h"

#include "devlink/slc.h"

namespace exchange {

int CSlcDeviceLink::OpenPort(const std::string& port) {
    return SlcOpenPort(port);
}

int CSlcDeviceLink::SendCommand(const std::string& port, const uint8_t* command, uint32_t length,
                                uint8_t* reply, uint32_t* replyLength) {
    return SlcSendCommand(port, command, length, reply, replyLength);
}

int CSlcDeviceLink::Offline(const std::string& port, uint8_t offline) {
    return SlcOffline(port, offline);
}

int CSlcDeviceLink::ClosePort(const std::string& port) {
    return SlcClosePort(port);
}

void CSlcDeviceLink::Shutdown() {
    SlcShutdown();
}

}  // namespace exchange
