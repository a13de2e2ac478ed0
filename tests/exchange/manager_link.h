#pragma once

#include "devlink/port_manager.h"
#include "exchange/device_link.h"

namespace exchangetest {

// The exchange's device link over a port manager of the test's own.
class CManagerLink : public exchange::IDeviceLink {
  public:
    explicit CManagerLink(devlink::CPortManager& manager) : manager_(manager) {}

    int OpenPort(const std::string& port) override { return manager_.OpenPort(port); }
    int SendCommand(const std::string& port, const uint8_t* command, uint32_t length, uint8_t* reply,
                    uint32_t* replyLength) override {
        return manager_.SendCommand(port, command, length, reply, replyLength);
    }
    int Offline(const std::string& port, uint8_t offline) override { return manager_.Offline(port, offline); }
    int ClosePort(const std::string& port) override { return manager_.ClosePort(port); }
    void Shutdown() override { manager_.Shutdown(); }

  private:
    devlink::CPortManager& manager_;
};

}  // namespace exchangetest
