#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "exchange/bidi_library.h"
#include "exchange/device_link.h"
#include "exchange/exchange_tables.h"

namespace exchange {

using ValueMap = std::map<std::string, std::string>;

// Read status and write results.
constexpr int kReadFromPrinter = 0;
constexpr int kReadDefaults = 1;
constexpr int kExchangeOpenFailed = -1;
constexpr int kReadNoReply = -2;
constexpr int kWriteStopped = -3;

constexpr uint32_t kWriteReplySize = 64;
constexpr uint32_t kQueryReplySize = 64;
constexpr const char* kSupportedModelName = "Quorvex K600";
constexpr const char* kUnavailable = "Unavailable";

// The settings exchange: the tables of the model file, the mode (bidirectional library, no printer or
// device link) and the library's binding. Its operations run one at a time.
class CSettingsExchange {
  public:
    explicit CSettingsExchange(IDeviceLink& link, std::string bidiLibraryName = kBidiLibraryName)
        : link_(link), bidi_(std::move(bidiLibraryName)) {}

    void SetModelFile(std::string path) { modelFile_ = std::move(path); }
    void SetNoPrinterMode(int on);
    void LoadExchangeTables();

    int ReadSettings(const std::string& port, ValueMap& values, ValueMap& descriptors, int nonUs);
    int WriteSettings(const std::string& target, const std::vector<std::string>& items, int toFile);
    void RestoreFactoryDefaults(const std::string& port);
    int ShutdownExchange(const std::string& port);

    bool DetectPrinters(const ValueMap& printers, ValueMap& detected);
    bool QueryPorts(const std::string& port, std::string& text);

    std::string ValueToText(const std::string& name, const uint8_t* bytes, uint32_t length) const {
        return tables_.ValueToText(name, bytes, length);
    }

    bool BindBidiLibrary();
    uint16_t AddBidiPrinter(const uint8_t* record) { return bidi_.AddPrinter(record); }
    uint16_t FindBidiPrinter(const std::string& port) const { return bidi_.FindPrinter(port); }
    int BidiOffline(const std::string& port, bool on);
    intptr_t OnBidiNotification(uintptr_t wParam, intptr_t lParam);
    // The window the library posts its alert notifications to.
    void SetBidiAlertWindow(uintptr_t window) { bidi_.SetAlertWindow(window); }

    bool LibraryMode() const { return libraryMode_; }
    bool BidiLibraryLoaded() const { return bidi_.IsLoaded(); }
    const CExchangeTables& Tables() const { return tables_; }

  private:
    enum class ItemAction { Send, Skip, Stop };

    int ReadThroughLibrary(const std::string& port, ValueMap& values, ValueMap& descriptors);
    int ReadThroughLink(const std::string& port, ValueMap& values, ValueMap& descriptors);
    int ReadDefaults(ValueMap& values, int nonUs) const;
    ItemAction CommandForItem(const std::string& item, Bytes& command);
    void SendWrite(bool viaLibrary, uint16_t printer, const std::string& target, const Bytes& command);
    void DetectThroughLibrary(ValueMap& detected);
    void DetectThroughLink(const ValueMap& printers, ValueMap& detected);
    void DetectUsbPrinter(const std::string& port, ValueMap& detected);

    IDeviceLink& link_;
    CBidiLibrary bidi_;
    CExchangeTables tables_;
    std::string modelFile_;
    bool tablesLoaded_ = false;
    bool bindTried_ = false;
    bool bidiBound_ = false;
    bool libraryMode_ = false;
    bool noPrinterMode_ = false;
};

}  // namespace exchange
