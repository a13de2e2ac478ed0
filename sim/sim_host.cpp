#include "sim/sim_host.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace sim {
namespace fs = std::filesystem;

const char kPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers";

namespace {

constexpr uint16_t kVendorId = 0x1A2B;
constexpr uint16_t kProductId = 0x0003;
constexpr size_t kSectionLimit = 32767;

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string PortName(const char* prefix, size_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%03zu", prefix, number);
    return text;
}

std::string DefaultDriver(const std::string& modelFile) {
    std::vector<std::string> names = platform::GetProfileSection(modelFile, "DriverNames", kSectionLimit);
    return names.empty() ? std::string() : names.front();
}

}  // namespace

std::string UsbDescriptors(bool withSerial) {
    const uint8_t bytes[] = {
        // device descriptor
        18,
        0x01,  // bLength, bDescriptorType
        0x00,
        0x02,  // bcdUSB 2.00
        0x00,
        0x00,
        0x00,  // class, subclass, protocol: per interface
        64,    // bMaxPacketSize0
        kVendorId & 0xFF,
        kVendorId >> 8,
        kProductId & 0xFF,
        kProductId >> 8,  // idVendor, idProduct
        0x00,
        0x01,  // bcdDevice 1.00
        1,
        2,
        static_cast<uint8_t>(withSerial ? 3 : 0),  // iManufacturer, iProduct, iSerialNumber
        1,                                         // bNumConfigurations
        // configuration descriptor
        9,
        0x02,
        32,
        0x00,  // bLength, bDescriptorType, wTotalLength
        1,
        1,
        0,  // bNumInterfaces, bConfigurationValue, iConfiguration
        0x80,
        50,  // bmAttributes (bus powered), MaxPower 100 mA
        // interface descriptor
        9,
        0x04,
        0,
        0,
        2,  // bLength, bDescriptorType, bInterfaceNumber, bAlternateSetting, bNumEndpoints
        0x07,
        0x01,
        0x02,  // printer class, printer subclass, bidirectional protocol
        0,     // iInterface
        // bulk OUT endpoint, then bulk IN endpoint
        7,
        0x05,
        0x01,
        0x02,
        64,
        0x00,
        0,  // bLength, bDescriptorType, address, bulk, wMaxPacketSize, bInterval
        7,
        0x05,
        0x82,
        0x02,
        64,
        0x00,
        0,
    };
    return std::string(std::begin(bytes), std::end(bytes));
}

std::string DeviceIdField(const std::string& deviceId, const std::string& field) {
    size_t start = deviceId.find(field + ":");
    if (start == std::string::npos) {
        return {};
    }
    start += field.size() + 1;
    size_t end = deviceId.find(';', start);
    return deviceId.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

SimHost::SimHost() : root_(platform::HostRoot()) {}

SimHost::~SimHost() {
    for (UsbPrinterEntry& entry : usb_) {
        entry.printer->Unplug();
    }
    std::error_code error;
    for (auto path = createdPaths_.rbegin(); path != createdPaths_.rend(); ++path) {
        fs::remove_all(*path, error);
    }
    for (auto directory = createdDirectories_.rbegin(); directory != createdDirectories_.rend();
         ++directory) {
        fs::remove(*directory, error);  // only when empty: it may hold what others put there since
    }
}

SimulatedPrinter* SimHost::AddUsbPrinter(SimOptions options) {
    if (root_.empty()) {
        return nullptr;
    }
    size_t index = usb_.size();
    std::string driver = options.driverName.empty() ? DefaultDriver(options.modelFile) : options.driverName;
    std::string name = options.printerName;
    if (name.empty()) {
        name = DeviceIdField(options.deviceId, "MODEL");
        if (index > 0) {
            name += " (Copy " + std::to_string(index) + ")";
        }
    }
    UsbPrinterEntry entry;
    entry.port = PortName("USB", index + 1);
    entry.registryName = name;
    entry.printer = std::make_unique<SimulatedPrinter>(std::move(options));
    if (entry.printer->Start() != 0) {
        return nullptr;
    }
    entry.printer->SetVanishHandler([this, index] { RemoveDeviceLayout(index); });
    std::lock_guard lock(layoutMutex_);
    if (!LayOutUsb(entry, index) || !Register(name, driver, entry.port)) {
        return nullptr;
    }
    usb_.push_back(std::move(entry));
    return usb_.back().printer.get();
}

// The layout usblp and the USB core give a printer: the class device lpK under the interface directory,
// which holds ieee1284_id, inside the USB device directory, which holds the device's attributes.
bool SimHost::LayOutUsb(UsbPrinterEntry& entry, size_t index) {
    const SimOptions& options = entry.printer->Options();
    std::string lp = "lp" + std::to_string(index);
    std::string bus = "1-" + std::to_string(index + 1);
    std::string devices = "devices/pci0000:00/0000:00:14.0/usb1/" + bus;
    std::string iface = bus + ":1.0";
    entry.usbDevice = root_ + "/sys/" + devices;
    entry.classDevice = root_ + "/sys/class/usbmisc/" + lp;
    entry.node = root_ + "/dev/usb/" + lp;
    std::string interfaceDir = entry.usbDevice + "/" + iface;
    std::string manufacturer = DeviceIdField(options.deviceId, "MFG");
    bool ok = MakeDirectories(interfaceDir + "/usbmisc/" + lp) &&
              MakeDirectories(root_ + "/sys/class/usbmisc") && MakeDirectories(root_ + "/dev/usb");
    createdPaths_.push_back(entry.usbDevice);
    ok = ok && MakeLink("../..", interfaceDir + "/usbmisc/" + lp + "/device") &&
         MakeLink("../../" + devices + "/" + iface + "/usbmisc/" + lp, entry.classDevice) &&
         MakeLink(entry.printer->SlavePath(), entry.node) &&
         WriteFile(interfaceDir + "/ieee1284_id", options.deviceId + "\n") &&
         WriteFile(entry.usbDevice + "/idVendor", Hex4(kVendorId) + "\n") &&
         WriteFile(entry.usbDevice + "/idProduct", Hex4(kProductId) + "\n") &&
         WriteFile(entry.usbDevice + "/manufacturer",
                   (manufacturer.empty() ? "Quorvex" : manufacturer) + "\n") &&
         WriteFile(entry.usbDevice + "/product", DeviceIdField(options.deviceId, "MODEL") + "\n") &&
         WriteFile(entry.usbDevice + "/descriptors", UsbDescriptors(!options.serial.empty()));
    if (ok && !options.serial.empty()) {
        ok = WriteFile(entry.usbDevice + "/serial", options.serial + "\n");
    }
    return ok;
}

std::string SimHost::AddParallelPrinter(int n, const std::string& driverName,
                                        const std::string& printerName) {
    if (root_.empty() || n < 1) {
        return {};
    }
    std::lock_guard lock(layoutMutex_);
    std::string device = root_ + "/dev/lp" + std::to_string(n - 1);
    if (!MakeDirectories(root_ + "/dev") || !WriteFile(device, "") ||
        !Register(printerName, driverName, "LPT" + std::to_string(n))) {
        return {};
    }
    return device;
}

std::string SimHost::ReadDevice(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SimHost::Register(const std::string& name, const std::string& driver, const std::string& port) {
    std::string hive = platform::RegistryKey::HiveDirectory();
    std::error_code error;
    for (fs::path parent = fs::path(hive); !parent.empty() && !fs::exists(parent, error);
         parent = parent.parent_path()) {
        createdDirectories_.insert(createdDirectories_.begin(), parent.string());
    }
    std::string printersKey = std::string(kPrintersKey);
    platform::RegistryKey printers;
    for (size_t cut = printersKey.find('\\');; cut = printersKey.find('\\', cut + 1)) {
        std::string part = printersKey.substr(0, cut);
        platform::RegistryKey probe;
        if (platform::RegistryKey::Open(part, platform::RegAccess::Read, probe) != platform::RegResult::Ok) {
            if (platform::RegistryKey::Create(part, probe) != platform::RegResult::Ok) {
                return false;
            }
            createdDirectories_.push_back(probe.Directory());
        }
        if (cut == std::string::npos) {
            break;
        }
    }
    platform::RegistryKey key;
    if (platform::RegistryKey::Create(printersKey + "\\" + name, key) != platform::RegResult::Ok) {
        return false;
    }
    createdPaths_.push_back(key.Directory());
    return key.WriteString("Printer Driver", driver) == platform::RegResult::Ok &&
           key.WriteString("Port", port) == platform::RegResult::Ok &&
           key.WriteString("Name", name) == platform::RegResult::Ok;
}

void SimHost::Unplug(size_t index) {
    if (index < usb_.size()) {
        usb_[index].printer->Unplug();
        RemoveDeviceLayout(index);
    }
}

void SimHost::RemoveDeviceLayout(size_t index) {
    std::lock_guard lock(layoutMutex_);
    if (index >= usb_.size()) {
        return;
    }
    std::error_code error;
    fs::remove(usb_[index].node, error);
    fs::remove(usb_[index].classDevice, error);
    fs::remove_all(usb_[index].usbDevice, error);
}

bool SimHost::MakeDirectories(const std::string& path) {
    std::error_code error;
    std::vector<std::string> missing;
    for (fs::path part = path; !part.empty() && !fs::exists(part, error); part = part.parent_path()) {
        missing.insert(missing.begin(), part.string());
    }
    for (const std::string& directory : missing) {
        if (!fs::create_directory(directory, error)) {
            return false;
        }
        createdDirectories_.push_back(directory);
    }
    return true;
}

bool SimHost::WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    createdPaths_.push_back(path);
    return static_cast<bool>(out.flush());
}

bool SimHost::MakeLink(const std::string& target, const std::string& link) {
    std::error_code error;
    fs::remove(link, error);
    fs::create_symlink(target, link, error);
    createdPaths_.push_back(link);
    return !error;
}

}  // namespace sim
