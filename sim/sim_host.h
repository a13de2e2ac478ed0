#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/printer_sim.h"

namespace sim {

// The registry key of the installed printers.
extern const char kPrintersKey[];

// What the host shows of one simulated USB printer; every path is absolute.
struct UsbPrinterEntry {
    std::string port;          // spooler port, "USB001" for lp0
    std::string node;          // <root>/dev/usb/lpK, a link to the pseudo-terminal's slave
    std::string classDevice;   // <root>/sys/class/usbmisc/lpK
    std::string usbDevice;     // the USB device directory: realpath of classDevice/device/..
    std::string registryName;  // the subkey of kPrintersKey
    std::unique_ptr<SimulatedPrinter> printer;
};

// A machine under the host root (platform::HostRoot(), that is $KELVARO_ROOT) with simulated printers
// attached: for each USB printer lpK the device node dev/usb/lpK, the usblp sysfs entries under
// sys/class/usbmisc/lpK and an installed-printers registry key with port USB00(K+1); for a parallel
// printer on LPTn the plain file dev/lp(n-1), which keeps what is written to it, and its registry key.
// Everything it creates is removed on destruction; what was there before stays.
class SimHost {
  public:
    SimHost();
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    const std::string& Root() const { return root_; }

    // Starts a printer and lays it out as the next lpK; nullptr when the root is the real "/", the
    // printer cannot start or the layout cannot be written.
    SimulatedPrinter* AddUsbPrinter(SimOptions options);
    // Lays out a parallel printer on LPTn (n >= 1); its device path, or empty text on failure.
    std::string AddParallelPrinter(int n, const std::string& driverName, const std::string& printerName);
    // What has been written to the parallel printer's device.
    static std::string ReadDevice(const std::string& path);

    const std::vector<UsbPrinterEntry>& UsbPrinters() const { return usb_; }
    // The printer goes away: its device node and sysfs entries disappear, its registry key stays.
    void Unplug(size_t index);

  private:
    bool LayOutUsb(UsbPrinterEntry& entry, size_t index);
    bool Register(const std::string& name, const std::string& driver, const std::string& port);
    bool MakeDirectories(const std::string& path);
    bool WriteFile(const std::string& path, const std::string& contents);
    bool MakeLink(const std::string& target, const std::string& link);
    void RemoveDeviceLayout(size_t index);

    std::string root_;
    std::vector<UsbPrinterEntry> usb_;
    std::mutex layoutMutex_;
    std::vector<std::string> createdDirectories_;
    std::vector<std::string> createdPaths_;  // files, links and registry keys, removed whole
};

// The descriptors file of a usblp device: device descriptor, then the configuration with one printer
// interface (class 7, subclass 1, protocol 2) and its bulk OUT and bulk IN endpoints.
std::string UsbDescriptors(bool withSerial);
// The value of a device ID field ("MODEL"), empty when absent.
std::string DeviceIdField(const std::string& deviceId, const std::string& field);

}  // namespace sim
