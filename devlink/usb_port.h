#pragma once

#include <string>

#include "devlink/slc_log.h"
#include "devlink/usb_response_reader.h"
#include "devlink/usb_transport.h"

namespace devlink {

// USB printers on the usblp driver: found behind their spooler port name among the attached devices,
// written through the write pipe, answered through the response reader.
class CUsbTransport : public IUsbTransport {
  public:
    explicit CUsbTransport(const CSlcLog& log) : log_(log), reader_(log) {}

    int Open(const std::string& portName, std::string& devicePath, std::string& deviceId) override;
    int SendCommand(const std::string& devicePath, const uint8_t* command, uint32_t length, uint8_t* reply,
                    uint32_t* replyLength, uint32_t responseWaitTimeout) override;
    int Offline(const std::string& devicePath, uint8_t offline, uint32_t responseWaitTimeout) override;
    void StopReader() override { reader_.Stop(); }
    void EmptySlots() override { reader_.EmptySlots(); }

    CUsbResponseReader& Reader() { return reader_; }

  private:
    int EvaluateOffline(const std::string& devicePath, uint8_t offline, uint32_t responseWaitTimeout);

    const CSlcLog& log_;
    CUsbResponseReader reader_;
};

}  // namespace devlink
