#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devlink/file_port.h"
#include "devlink/slc_log.h"
#include "devlink/usb_transport.h"

namespace devlink {

enum class PortKind { Parallel, Usb, File };

// By the first three characters, compared case-sensitively: "LPT", "USB", anything else a command file.
PortKind KindOfPort(const std::string& portName);

constexpr const char* kSlcRegistryKey = "SOFTWARE\\QUORVEX\\QVXSLC";
constexpr uint32_t kDefaultResponseWaitTimeout = 12000;
constexpr uint32_t kFirstSpoolUnique = 32;
constexpr uint32_t kSpoolCopyPause = 5000;

// The device link's state: one open port at a time, handed to the file transport or the USB transport by
// its kind. Called from one thread at a time.
class CPortManager {
  public:
    // Without a USB transport, USB ports cannot be opened.
    explicit CPortManager(CSlcLog& log, std::unique_ptr<IUsbTransport> usb = nullptr);

    void InstallUsbTransport(std::unique_ptr<IUsbTransport> usb) { usb_ = std::move(usb); }

    void Init();
    int OpenPort(const std::string& port);
    int SendCommand(const std::string& port, const uint8_t* command, uint32_t length, uint8_t* reply,
                    uint32_t* replyLength);
    int Offline(const std::string& port, uint8_t offline);
    int ClosePort(const std::string& port);
    void Shutdown();
    int CopyFiles();

    uint32_t ResponseWaitTimeout() const { return responseWaitTimeout_; }
    void SetResponseWaitTimeout(uint32_t milliseconds) { responseWaitTimeout_ = milliseconds; }
    int OsFamily() const { return osFamily_; }
    const std::string& OpenPortName() const { return openPortName_; }
    const std::string& SpoolFileName() const { return spoolFileName_; }
    const std::string& OfflineFileName() const { return offlineFileName_; }
    const std::string& UsbDevicePath() const { return usbDevicePath_; }
    const std::string& UsbDeviceId() const { return usbDeviceId_; }

  private:
    void ReadRegistry();
    void ForgetPort();
    int OpenFilePort(const std::string& port);
    int OpenParallelPort(const std::string& port);
    int OpenUsbPort(const std::string& port);
    int FileRouteOffline(const std::string& port, uint8_t offline, const char* state);
    int UsbOffline(const std::string& port, uint8_t offline, const char* state);
    int CloseParallelPort(const std::string& port);

    CSlcLog& log_;
    std::unique_ptr<IUsbTransport> usb_;

    bool initialised_ = false;
    int osFamily_ = 0;
    std::string openPortName_;
    CPortFile portHandle_;
    bool spooled_ = false;
    std::string spoolFileName_;
    std::string offlineFileName_;
    std::string usbDevicePath_;
    std::string usbDeviceId_;
    uint32_t responseWaitTimeout_ = kDefaultResponseWaitTimeout;
    uint32_t spoolUnique_ = kFirstSpoolUnique;
};

// The process-wide device link behind the Slc* functions.
CPortManager& ProcessPortManager();

}  // namespace devlink
