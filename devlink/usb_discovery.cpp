#include "devlink/usb_discovery.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "devlink/usb_node.h"
#include "platform/paths.h"

namespace devlink {
namespace {

constexpr const char* kUsbMiscClass = "/sys/class/usbmisc";

std::string ReadAttribute(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

// The device number K of "lpK" at the end of a node or sysfs path; -1 when the path names none.
int LpNumberOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() < 3 || name.compare(0, 2, "lp") != 0 || name.size() > 5) {
        return -1;
    }
    for (size_t i = 2; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
            return -1;
        }
    }
    return std::atoi(name.c_str() + 2);
}

std::string SysfsPath(int number) {
    return platform::HostPath(kUsbMiscClass) + "/lp" + std::to_string(number);
}

std::string NodePath(int number) {
    return platform::HostPath("/dev/usb/lp") + std::to_string(number);
}

// The usblp device numbers present in sysfs, in ascending order.
std::vector<int> PresentDeviceNumbers() {
    std::vector<int> numbers;
    if (DIR* dir = opendir(platform::HostPath(kUsbMiscClass).c_str())) {
        while (dirent* entry = readdir(dir)) {
            int number = LpNumberOf(entry->d_name);
            if (number >= 0) {
                numbers.push_back(number);
            }
        }
        closedir(dir);
    }
    std::sort(numbers.begin(), numbers.end());
    if (numbers.size() > kMaxUsbDevices) {
        numbers.resize(kMaxUsbDevices);
    }
    return numbers;
}

std::string ModelOf(const CSlcLog& log, const std::string& deviceId) {
    std::string model;
    size_t fullLength = 0;
    GetDeviceIdField(log, deviceId, "MODEL", model, 255, fullLength);
    return model;
}

// Examines one usblp device; adds it to the table when it is a recognised printer with a model.
void AddUsbPrinterPort(const CSlcLog& log, int number, std::vector<UsbPortEntry>& table) {
    const std::string devicePath = NodePath(number);
    log.Log(kLogSteps, "SetupDiGetInterfaceDeviceDetail() worked\n");
    if (!CUsbNode::Open(devicePath)) {
        return;
    }
    log.Log(kLogSteps, "CreateFile(%s) worked\n", devicePath.c_str());
    std::string deviceId = GetUsbDeviceIdString(log, devicePath);
    log.Log(kLogSteps, "szDevID=%s\n", deviceId.c_str());
    if (!IsRecognizedPrinter(deviceId)) {
        log.Log(kLogSteps, "not a recognized printer\n");
        return;
    }
    std::string serial = GetUsbSerialNumber(devicePath);
    log.Log(kLogSteps, "szSerialNumber=%s\n", serial.c_str());
    std::string model = ModelOf(log, deviceId);
    if (model.empty()) {
        return;
    }
    log.Log(kLogSteps, "szModelName=%s\n", model.c_str());
    std::string portName = CustomPortName(model, serial);
    log.Log(kLogSteps, "szPortName=%s\n", portName.c_str());
    table.push_back({portName, devicePath, deviceId});
}

}  // namespace

bool IsRecognizedPrinter(const std::string& deviceId) {
    static const char* const kMarks[] = {"Quorvex", "QNPAP",    "qnpap",    "Qnpap",   " NPAP,",
                                         " NPAP;",  "CPDNPA00", "cpdnpa00", "Cpdnpa00"};
    return std::any_of(std::begin(kMarks), std::end(kMarks),
                       [&](const char* mark) { return deviceId.find(mark) != std::string::npos; });
}

int GetDeviceIdField(const CSlcLog& log, const std::string& deviceId, const std::string& field,
                     std::string& value, size_t maxLength, size_t& fullLength) {
    size_t at = deviceId.find(field);
    if (at == std::string::npos) {
        log.Log(kLogSteps, "didn't find [%s] in:\n%s\n", field.c_str(), deviceId.c_str());
        return 1;
    }
    size_t start = std::min(at + field.size() + 1, deviceId.size());
    size_t end = deviceId.find(';', start);
    std::string text = deviceId.substr(start, end == std::string::npos ? std::string::npos : end - start);
    fullLength = text.size();
    value = text.substr(0, maxLength);
    return 0;
}

std::string CustomPortName(const std::string& model, const std::string& serial) {
    std::string name = "USB-" + model + (serial.empty() ? "" : "(" + serial + ")");
    for (char& c : name) {
        c = c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

std::string GetUsbDeviceIdString(const CSlcLog& log, const std::string& path) {
    int number = LpNumberOf(path);
    if (number < 0) {
        return {};
    }
    std::string id;
    if (std::shared_ptr<CUsbNode> node = CUsbNode::Open(NodePath(number))) {
        id = node->RequestDeviceId();
    }
    if (id.empty()) {
        // A node that refuses the request still shows the ID the kernel read at attach time.
        id = ReadAttribute(SysfsPath(number) + "/device/ieee1284_id");
    }
    if (id.size() > kMaxDeviceIdLength - 1) {
        id.resize(kMaxDeviceIdLength - 1);
    }
    log.Log(kLogSteps, "GetUsbDeviceIdString() - %s\n", id.c_str());
    return id;
}

std::string GetUsbSerialNumber(const std::string& path) {
    int number = LpNumberOf(path);
    if (number < 0) {
        return {};
    }
    char resolved[PATH_MAX];
    if (!realpath((SysfsPath(number) + "/device").c_str(), resolved)) {
        return {};
    }
    return ReadAttribute(std::string(resolved) + "/../serial");
}

int UsbGetSymbolicNameFromRegistry(const CSlcLog& log, const std::string& sysPortName,
                                   std::string& symbolicName) {
    log.Log(kLogSteps, "UsbGetSymbolicNameFromRegistry(): called with sysPortName:%s\n", sysPortName.c_str());
    long portNumber = sysPortName.size() > 3 ? std::strtol(sysPortName.c_str() + 3, nullptr, 10) : 0;
    int number = static_cast<int>(portNumber) - 1;
    if (portNumber >= 1 && portNumber <= static_cast<long>(kMaxUsbDevices)) {
        std::vector<int> present = PresentDeviceNumbers();
        if (std::find(present.begin(), present.end(), number) != present.end()) {
            log.Log(kLogSteps, "UsbGetSymbolicNameFromRegistry(): portNumber:%d matched\n",
                    static_cast<int>(portNumber));
            if (access(NodePath(number).c_str(), F_OK) == 0) {
                symbolicName = SysfsPath(number);
                log.Log(kLogSteps,
                        "UsbGetSymbolicNameFromRegistry(): portNumber:%d Linked == 1 and symbolicName:%s \n",
                        static_cast<int>(portNumber), symbolicName.c_str());
                return 1;
            }
        }
    }
    log.Log(kLogSteps, "UsbGetSymbolicNameFromRegistry(): sysPortName:%s returning API_FAIL\n",
            sysPortName.c_str());
    return 0;
}

std::string BuildCustomPortName(const CSlcLog& log, const std::string& sysPortName) {
    std::string symbolicName;
    if (!UsbGetSymbolicNameFromRegistry(log, sysPortName, symbolicName)) {
        return {};
    }
    std::string model = ModelOf(log, GetUsbDeviceIdString(log, symbolicName));
    if (model.empty()) {
        return {};
    }
    return CustomPortName(model, GetUsbSerialNumber(symbolicName));
}

std::vector<UsbPortEntry> EnumerateUsbPrinters(const CSlcLog& log, bool& found) {
    std::vector<UsbPortEntry> table;
    std::vector<int> numbers = PresentDeviceNumbers();
    for (size_t index = 0; index < numbers.size(); ++index) {
        log.Log(kLogEntry, "SlcOpenPort(USB) - found device at %d\n", static_cast<int>(index));
        AddUsbPrinterPort(log, numbers[index], table);
    }
    found = !numbers.empty();
    log.Log(kLogEntry, "SlcOpenPort(USB) - after loop, bFound=%s", found ? "true" : "false");
    return table;
}

}  // namespace devlink
