#include "exchange/bidi_library.h"

#include <cstring>

#include "platform/clock.h"

namespace exchange {

namespace {

const uint8_t kBidiOfflineCommand[] = {0xA5, 0x00, 0x06, 0x5C, 0xE0, 0xE7, 0x0C, 0x01, 0x02};
const uint8_t kBidiOnlineCommand[] = {0xA5, 0x00, 0x06, 0x5C, 0xE0, 0xE7, 0x0C, 0x00, 0x00};

// The enumeration callback carries no context of its own: it fills the binding whose enumeration runs.
thread_local CBidiLibrary* enumerating = nullptr;

uint16_t AddEnumeratedPrinter(const uint8_t* record) {
    return enumerating != nullptr ? enumerating->AddPrinter(record) : 0;
}

template <typename Function>
bool LookUp(const platform::DynamicLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.Symbol(name));
    return function != nullptr;
}

}  // namespace

bool CBidiLibrary::Bind() {
    if (!library_.Load(libraryName_) || !LookUp(library_, "BceRegisterApp", registerApp_)) {
        return false;
    }
    uint32_t app = registerApp_(0) & 0xFFFF;
    if (app == kBceRegisterFailed) {
        return false;
    }
    app_ = static_cast<uint16_t>(app);
    return LookUp(library_, "BceUnregisterApp", unregisterApp_) &&
           LookUp(library_, "BceSendBidi", sendBidi_) && LookUp(library_, "BceEnumPrinters", enumPrinters_) &&
           LookUp(library_, "BceCaptureAlerts", captureAlerts_) &&
           LookUp(library_, "BceQueryAlerts", queryAlerts_);
}

uint16_t CBidiLibrary::AddPrinter(const uint8_t* record) {
    BidiPrinterRecord copy;
    std::memcpy(copy.data(), record, copy.size());
    printers_.push_back(copy);
    return 1;
}

std::string CBidiLibrary::PortOf(const BidiPrinterRecord& record) {
    const char* port = reinterpret_cast<const char*>(record.data() + kBcePortNameOffset);
    // A name without its zero byte ends at the record's end rather than somewhere past it.
    return std::string(port, strnlen(port, kBcePrinterRecordSize - kBcePortNameOffset));
}

uint16_t CBidiLibrary::HandleOf(const BidiPrinterRecord& record) {
    uint16_t handle = 0;
    std::memcpy(&handle, record.data() + kBcePrinterHandleOffset, sizeof handle);
    return handle;
}

uint16_t CBidiLibrary::FindPrinter(const std::string& port) const {
    for (const BidiPrinterRecord& record : printers_) {
        if (PortOf(record) == port) {
            return HandleOf(record);
        }
    }
    return 0;
}

int32_t CBidiLibrary::EnumPrinters() {
    enumerating = this;
    int32_t result = enumPrinters_(app_, kBceEnumFlags, AddEnumeratedPrinter);
    enumerating = nullptr;
    return result;
}

int32_t CBidiLibrary::Send(uint16_t printer, const uint8_t* command, uint32_t length, uint8_t* reply,
                           uint32_t* replyLength) {
    return sendBidi_(app_, printer, 0, kBceSendFlags, reply, replyLength, command, length);
}

int32_t CBidiLibrary::CaptureAlerts(uint16_t printer) {
    uint32_t filter = kBceAlertFilter;
    return captureAlerts_(app_, printer, &filter, alertWindow_, 0);
}

int32_t CBidiLibrary::QueryAlerts(uintptr_t wParam) {
    uint8_t buffer[kBidiReplySize] = {};
    uint32_t length = sizeof buffer;
    return queryAlerts_(app_, static_cast<uint32_t>((wParam >> 16) & 0xFFFF), wParam, kBceAlertQueryKind,
                        buffer, &length);
}

int32_t CBidiLibrary::Offline(const std::string& port, bool on) {
    uint16_t printer = FindPrinter(port);
    int32_t result = CaptureAlerts(printer);
    uint8_t reply[kBidiReplySize] = {};
    uint32_t replyLength = sizeof reply;
    Send(printer, on ? kBidiOfflineCommand : kBidiOnlineCommand, sizeof kBidiOfflineCommand, reply,
         &replyLength);
    if (on) {
        platform::Clock().Sleep(kBidiOfflineWait);
    }
    return result;
}

}  // namespace exchange
