#include "devlink/port_manager.h"

#include <unistd.h>

#include <algorithm>

#include "devlink/npa_packet.h"
#include "devlink/slc.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace devlink {

namespace {

constexpr int kOsFamilyNt = 2;

}  // namespace

PortKind KindOfPort(const std::string& portName) {
    if (portName.starts_with("LPT")) {
        return PortKind::Parallel;
    }
    if (portName.starts_with("USB")) {
        return PortKind::Usb;
    }
    return PortKind::File;
}

CPortManager::CPortManager(CSlcLog& log, std::unique_ptr<IUsbTransport> usb)
    : log_(log), usb_(std::move(usb)) {}

void CPortManager::Init() {
    if (initialised_) {
        return;
    }
    initialised_ = true;
    log_.Log(kLogEntry, "SlcInit() - running on NT derivative\n");
    osFamily_ = kOsFamilyNt;
    ReadRegistry();
    if (log_.Level() != 0) {
        log_.Empty();
    }
}

void CPortManager::ReadRegistry() {
    platform::RegistryKey key;
    if (platform::RegistryKey::Open(kSlcRegistryKey, platform::RegAccess::FullAccess, key) !=
        platform::RegResult::Ok) {
        // The key's access list has no equivalent here: creating it is all there is to do.
        log_.SetLevel(0);
        if (platform::RegistryKey::Create(kSlcRegistryKey, key) == platform::RegResult::Ok) {
            key.WriteDword("LoggingLevel", 0);
        }
        return;
    }
    if (const auto level = key.ReadDword("LoggingLevel")) {
        log_.SetLevel(*level);
    } else {
        log_.SetLevel(0);
        key.WriteDword("LoggingLevel", 0);
    }
    if (const auto seconds = key.ReadDword("USBSendTimeout")) {
        responseWaitTimeout_ =
            static_cast<uint32_t>(std::min<uint64_t>(uint64_t{*seconds} * 1000, UINT32_MAX));
    }
}

int CPortManager::OpenPort(const std::string& port) {
    Init();
    log_.Log(kLogEntry, "SlcOpenPort(%s)\n", port.c_str());
    if (!openPortName_.empty()) {
        log_.Log(kLogEntry, "SlcOpenPort(%s) - currently open port [%s] will be closed\n", port.c_str(),
                 openPortName_.c_str());
        // Sends nothing: a spool file and its offline file stay on disk, a USB reader is only told to stop.
        if (KindOfPort(openPortName_) == PortKind::Usb && usb_) {
            usb_->StopReader();
        }
        ForgetPort();
    }
    int result = SLC_OPEN_FAIL;
    switch (KindOfPort(port)) {
        case PortKind::Parallel:
            result = OpenParallelPort(port);
            break;
        case PortKind::Usb:
            result = OpenUsbPort(port);
            break;
        case PortKind::File:
            result = OpenFilePort(port);
            break;
    }
    if (result >= 0) {
        openPortName_ = port;
    }
    log_.Log(kLogEntry, "SlcOpenPort(%s) - returning %d\n", port.c_str(), result);
    return result;
}

void CPortManager::ForgetPort() {
    portHandle_.Close();
    spooled_ = false;
    spoolFileName_.clear();
    offlineFileName_.clear();
    usbDevicePath_.clear();
    usbDeviceId_.clear();
    openPortName_.clear();
}

int CPortManager::OpenFilePort(const std::string& port) {
    if (const int error = portHandle_.Open(port, false); error != 0) {
        log_.Log(kLogSteps, "SlcOpenPort(FILE) - failed, last error was %d\n", error);
        return SLC_OPEN_FAIL;
    }
    log_.Log(kLogSteps, "SlcOpenPort(FILE) - CreateFile() worked\n");
    return SLC_OK;
}

// The counter restarts with every run, so a spool file of the same name may be left from an earlier one;
// it is emptied rather than sent again ahead of this run's commands.
int CPortManager::OpenParallelPort(const std::string& port) {
    const std::string spoolFile = devlink::SpoolFileName(platform::TempFolder(), port, spoolUnique_++);
    if (const int error = portHandle_.Open(spoolFile, true); error != 0) {
        log_.Log(kLogSteps, "SlcOpenPort(Unidirectional workaround) - failed, last error was %d\n", error);
        return SLC_OPEN_FAIL;
    }
    log_.Log(kLogSteps, "SlcOpenPort(Unidirectional workaround) - CreateFile() worked\n");
    spooled_ = true;
    spoolFileName_ = spoolFile;
    return SLC_OPEN_UNIDIRECTIONAL;
}

int CPortManager::OpenUsbPort(const std::string& port) {
    if (!usb_) {
        log_.Log(kLogEntry, "SlcOpenPort(USB) - no USB transport\n");
        return SLC_OPEN_FAIL;
    }
    std::string devicePath;
    std::string deviceId;
    if (usb_->Open(port, devicePath, deviceId) != SLC_OK) {
        return SLC_OPEN_FAIL;
    }
    usbDevicePath_ = devicePath;
    usbDeviceId_ = deviceId;
    return SLC_OK;
}

int CPortManager::SendCommand(const std::string& port, const uint8_t* command, uint32_t length,
                              uint8_t* reply, uint32_t* replyLength) {
    Init();
    const uint32_t size = command ? (length & 0xFFFF) : 0;
    log_.Log(kLogEntry, "SlcSendCommand()\n");
    log_.HexDump(command, size);
    if (openPortName_.empty() || port != openPortName_) {
        log_.Log(kLogEntry, "port %s is not open\n", port.c_str());
        return SLC_PORT_NOT_OPEN;
    }
    if (KindOfPort(port) == PortKind::Usb) {
        return usb_->SendCommand(usbDevicePath_, command, size, reply, replyLength, responseWaitTimeout_);
    }
    return FileSendCommand(log_, portHandle_, command, size, replyLength);
}

int CPortManager::Offline(const std::string& port, uint8_t offline) {
    Init();
    const char* state = offline ? "offline" : "online";
    if (openPortName_.empty() || port != openPortName_) {
        log_.Log(kLogEntry, "SlcOffline(%s, %s) - port is not open\n", port.c_str(), state);
        return SLC_PORT_NOT_OPEN;
    }
    log_.Log(kLogEntry, "SlcOffline(%s, %s)\n", port.c_str(), state);
    if (KindOfPort(port) == PortKind::Usb) {
        return UsbOffline(port, offline, state);
    }
    return FileRouteOffline(port, offline, state);
}

// The online record follows the commands in the port's own file; the offline record goes to a file of
// its own so that a spooled port can send it first and give the printer time to go offline.
int CPortManager::FileRouteOffline(const std::string& port, uint8_t offline, const char* state) {
    if (!offline) {
        return FileOffline(log_, portHandle_, 0);
    }
    offlineFileName_ = OfflineFileBeside(spooled_ ? spoolFileName_ : port);
    log_.Log(kLogEntry, "SlcOffline(%s, %s) - offline file is [%s]\n", port.c_str(), state,
             offlineFileName_.c_str());
    CPortFile file;
    if (file.Open(offlineFileName_, true) != 0) {
        return SLC_OPEN_FAIL;
    }
    return FileOffline(log_, file, 1);
}

int CPortManager::UsbOffline(const std::string& port, uint8_t offline, const char* state) {
    const char* name = port.c_str();
    uint8_t reply[npa::kResponseSlotSize];
    uint32_t replyLength = sizeof reply;
    log_.Log(kLogEntry, "SlcOffline(%s, %s) - registering for offline alert\n", name, state);
    if (SendCommand(port, npa::kAlertRegistration.data(), npa::kAlertRegistration.size(), reply,
                    &replyLength) != SLC_OK) {
        log_.Log(
            kLogEntry,
            "SlcOffline(%s, %s) - SlcSendCommand() failed with error code %d (we couldn't register for the "
            "offline alert)\n",
            name, state, SLC_OFFLINE_WRITEFAIL);
        return SLC_OFFLINE_WRITEFAIL;
    }
    log_.Log(kLogEntry,
             offline ? "SlcOffline(%s, %s) - sending remote OFFline\n"
                     : "SlcOffline(%s, %s) - sending remote ONline\n",
             name, state);
    if (const int result = usb_->Offline(usbDevicePath_, offline, responseWaitTimeout_); result != SLC_OK) {
        log_.Log(kLogEntry, "SlcOffline(%s, %s) - Offline() failed with error code %d\n", name, state,
                 result);
        return result;
    }
    log_.Log(kLogEntry, "SlcOffline(%s, %s) - deregistering for offline alert\n", name, state);
    replyLength = sizeof reply;
    if (const int result = SendCommand(port, npa::kAlertDeregistration.data(),
                                       npa::kAlertDeregistration.size(), reply, &replyLength);
        result != SLC_OK) {
        log_.Log(
            kLogEntry,
            "SlcOffline(%s, %s) - SlcSendCommand() failed with error code %d (no biggie, we were just trying "
            "to deregister for the offline alert)\n",
            name, state, result);
    }
    return SLC_OK;
}

int CPortManager::ClosePort(const std::string& port) {
    Init();
    log_.Log(kLogEntry, "SlcClosePort(%s)\n", port.c_str());
    if (openPortName_.empty() || port != openPortName_) {
        log_.Log(kLogEntry, "port %s is not open\n", port.c_str());
        return SLC_OK;
    }
    log_.Log(kLogEntry, "SlcClosePort(%s) - port is open\n", port.c_str());
    int result = SLC_OK;
    switch (KindOfPort(port)) {
        case PortKind::Parallel:
            log_.Log(kLogEntry, "SlcClosePort(%s) - port is parallel\n", port.c_str());
            result = CloseParallelPort(port);
            break;
        case PortKind::Usb:
            log_.Log(kLogEntry, "SlcClosePort(%s) - port is USB\n", port.c_str());
            if (usb_) {
                usb_->StopReader();
                usb_->EmptySlots();
            }
            break;
        case PortKind::File:
            log_.Log(kLogEntry, "SlcClosePort(%s) - port is FILE\n", port.c_str());
            break;
    }
    ForgetPort();
    return result;
}

// Without an offline record the printer was never taken offline, so the spooled commands are not sent.
int CPortManager::CloseParallelPort(const std::string& port) {
    portHandle_.Close();
    if (spooled_ && !offlineFileName_.empty() && !spoolFileName_.empty()) {
        log_.Log(kLogEntry, "SlcClosePort(Unidirectional workaround)\n");
        return CopyFiles();
    }
    ParQuorvexDosPort(log_, port);
    return SLC_OK;
}

// The pause gives the printer time to go offline before the commands arrive.
int CPortManager::CopyFiles() {
    if (offlineFileName_.empty() || spoolFileName_.empty()) {
        return SLC_OK;
    }
    const auto copy = [this](const std::string& file) {
        if (const int error = CopyFileToPort(file, openPortName_); error != 0) {
            log_.Log(kLogSteps, "SlcCopyFiles() - CopyFile error:%d\n", error);
        }
    };
    copy(offlineFileName_);
    platform::Clock().Sleep(kSpoolCopyPause);
    copy(spoolFileName_);
    unlink(offlineFileName_.c_str());
    unlink(spoolFileName_.c_str());
    offlineFileName_.clear();
    spoolFileName_.clear();
    return SLC_OK;
}

void CPortManager::Shutdown() {
    log_.Log(kLogEntry, "SlcShutdown() - in\n");
    if (initialised_ && usb_) {
        usb_->StopReader();
    }
    log_.Log(kLogEntry, "SlcShutdown() - out\n");
}

}  // namespace devlink
