#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/bce_api.h"
#include "platform/dynlib.h"

namespace exchange {

constexpr const char* kBidiLibraryName = "libQvxBce.so";
constexpr uint32_t kBidiOfflineWait = 2000;
constexpr uint32_t kBidiReplySize = 64;

using BidiPrinterRecord = std::array<uint8_t, kBcePrinterRecordSize>;

// The binding of the bidirectional library: its module, application handle, six functions and the
// printers it reported. Every call but Bind expects a successful Bind.
class CBidiLibrary {
  public:
    explicit CBidiLibrary(std::string libraryName = kBidiLibraryName)
        : libraryName_(std::move(libraryName)) {}

    // Loads the library and looks up its functions; false when any step fails. The library stays loaded
    // (and registered) after a later step failed, until Unload.
    bool Bind();
    bool IsLoaded() const { return library_.IsLoaded(); }
    void Unload() { library_.Unload(); }

    uint16_t AddPrinter(const uint8_t* record);
    uint16_t FindPrinter(const std::string& port) const;
    const std::vector<BidiPrinterRecord>& Printers() const { return printers_; }
    static std::string PortOf(const BidiPrinterRecord& record);
    static uint16_t HandleOf(const BidiPrinterRecord& record);

    // Fills the printer list through the library's enumeration.
    int32_t EnumPrinters();
    int32_t Send(uint16_t printer, const uint8_t* command, uint32_t length, uint8_t* reply,
                 uint32_t* replyLength);
    int32_t CaptureAlerts(uint16_t printer);
    int32_t QueryAlerts(uintptr_t wParam);
    // Takes the printer offline (on) or back online; the result of capturing its alerts.
    int32_t Offline(const std::string& port, bool on);

    void SetAlertWindow(uintptr_t window) { alertWindow_ = window; }

  private:
    std::string libraryName_;
    platform::DynamicLibrary library_;
    uint16_t app_ = 0;
    uintptr_t alertWindow_ = 0;
    BceRegisterAppFn registerApp_ = nullptr;
    BceUnregisterAppFn unregisterApp_ = nullptr;
    BceSendBidiFn sendBidi_ = nullptr;
    BceEnumPrintersFn enumPrinters_ = nullptr;
    BceCaptureAlertsFn captureAlerts_ = nullptr;
    BceQueryAlertsFn queryAlerts_ = nullptr;
    std::vector<BidiPrinterRecord> printers_;
};

}  // namespace exchange
