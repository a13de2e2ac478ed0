#include "devlink/slc.h"

#include "devlink/port_manager.h"
#include "devlink/usb_port.h"

namespace devlink {

CPortManager& ProcessPortManager() {
    static CPortManager manager(ProcessLog(), std::make_unique<CUsbTransport>(ProcessLog()));
    return manager;
}

}  // namespace devlink

void SlcInit() {
    devlink::ProcessPortManager().Init();
}

int SlcOpenPort(const std::string& port) {
    return devlink::ProcessPortManager().OpenPort(port);
}

int SlcSendCommand(const std::string& port, const uint8_t* command, uint32_t length, uint8_t* reply,
                   uint32_t* replyLength) {
    return devlink::ProcessPortManager().SendCommand(port, command, length, reply, replyLength);
}

int SlcOffline(const std::string& port, uint8_t offline) {
    return devlink::ProcessPortManager().Offline(port, offline);
}

int SlcClosePort(const std::string& port) {
    return devlink::ProcessPortManager().ClosePort(port);
}

void SlcShutdown() {
    devlink::ProcessPortManager().Shutdown();
}

int SlcCopyFiles() {
    return devlink::ProcessPortManager().CopyFiles();
}
