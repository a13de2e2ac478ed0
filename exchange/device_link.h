#pragma once

#include <cstdint>
#include <string>

namespace exchange {

// The calls the exchange makes on the device link, so a test can script the link or hand it a port
// manager of its own. Arguments and results are those of the Slc* functions.
class IDeviceLink {
  public:
    virtual ~IDeviceLink() = default;
    virtual int OpenPort(const std::string& port) = 0;
    virtual int SendCommand(const std::string& port, const uint8_t* command, uint32_t length, uint8_t* reply,
                            uint32_t* replyLength) = 0;
    virtual int Offline(const std::string& port, uint8_t offline) = 0;
    virtual int ClosePort(const std::string& port) = 0;
    virtual void Shutdown() = 0;
};

// The process-wide device link.
class CSlcDeviceLink : public IDeviceLink {
  public:
    int OpenPort(const std::string& port) override;
    int SendCommand(const std::string& port, const uint8_t* command, uint32_t length, uint8_t* reply,
                    uint32_t* replyLength) override;
    int Offline(const std::string& port, uint8_t offline) override;
    int ClosePort(const std::string& port) override;
    void Shutdown() override;
};

}  // namespace exchange
